// Why a trace file could not be read or written, in words for a message.
#pragma once

#include "console/console.hpp"
#include "traceio/errors.hpp"
#include "traceio/header.hpp"

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

// The reason a trace could not be written: the system's words where the
// writer left errno set (no such folder, no permission, disk full), else
// the library's.
inline std::string write_failure(int nerr, int error) {
    return error != 0 ? console::system_reason(error) : std::string(traceio::error_text(nerr));
}

// True when the header a reader has just loaded is a trace's: its version
// word NVHDR is 6 (or 7, whose header is the same) in one byte order.  Any
// file of 632 bytes or more loads as a header, so a text or a program read
// as one gives numbers, not an error.
inline bool header_is_a_trace() {
    int version = 0, nerr = 0;
    traceio::getnhv("nvhdr", version, nerr);
    return nerr == 0 && (version == 6 || version == 7);
}

// A file whose header is not a trace's (header_is_a_trace), after a read
// that loaded its header: with no error, or "not evenly spaced" from the
// logical word that happened to be zero.
inline bool read_a_non_trace(int nerr) {
    return (nerr == 0 || nerr == traceio::ERR_UNEVEN) && !header_is_a_trace();
}
inline constexpr const char* not_a_trace = "not a trace file (no header version in NVHDR)";

} // namespace rfkit
