// Why a trace file could not be read, in words for a message.
#pragma once

#include "console/console.hpp"
#include "traceio/errors.hpp"

#include <string>

namespace rfkit {

// The reason behind a trace reader's error number: the system's words for
// a file that could not be opened (errno, as the reader left it), else the
// library's.
inline std::string read_failure(int nerr, int error) {
    if ((nerr == traceio::ERR_OPEN || nerr == traceio::ERR_DENIED) && error != 0)
        return console::system_reason(error);
    return std::string(traceio::error_text(nerr));
}

} // namespace rfkit
