#include "traceio/errors.hpp"

namespace traceio {

std::string_view error_text(int nerr) {
    switch (nerr) {
    case 0:
        return "no error";
    case ERR_OPEN:
        return "cannot open or create the file";
    case ERR_DENIED:
        return "permission denied";
    case ERR_READ:
        return "read failed or file too short";
    case ERR_WRITE:
        return "write failed";
    case ERR_NO_UNIT:
        return "no free file unit";
    case ERR_UNEVEN:
        return "file not evenly spaced";
    case ERR_BODY:
        return "unknown reference body";
    case ERR_DISTANCE:
        return "distance disagrees with arc";
    case ERR_UNDEFINED:
        return "header field undefined";
    case ERR_NO_FIELD:
        return "no such header field";
    case ERR_VERSION:
        return "header version is not 6";
    case ERR_NO_RECORD_UNIT:
        return "no free unit for the header record";
    case ERR_FILE_DENIED:
        return "file access denied";
    case ERR_FILE_OPEN:
        return "cannot open file";
    default:
        return "unknown error";
    }
}

} // namespace traceio
