// The library's error numbers.  Every routine that can fail reports through
// an integer error argument, which it sets to 0 on entry; 0 means success.
// The numbers are part of the file format's tradition and stay as they are:
// callers and scripts compare against them.  Each routine's declaration says
// which of them it can return.
#pragma once

#include <string_view>

namespace traceio {

inline constexpr int ERR_OPEN = 101;       // a file could not be opened or created
inline constexpr int ERR_DENIED = 108;     // opening for reading: permission denied
inline constexpr int ERR_READ = 114;       // a read failed or the file ended early
inline constexpr int ERR_WRITE = 115;      // a write failed or wrote short
inline constexpr int ERR_NO_UNIT = 116;    // no free unit in the numbered-file table
inline constexpr int ERR_UNEVEN = 801;     // the trace is not evenly spaced (LEVEN false)
inline constexpr int ERR_BODY = 804;       // unknown reference body code
inline constexpr int ERR_DISTANCE = 904;   // a distance disagrees with its arc by > 100 km
inline constexpr int ERR_UNDEFINED = 1336; // the header field holds its undefined value
inline constexpr int ERR_NO_FIELD = 1337;  // no header field of that name and kind

// The record-based header routines (rsach, wsach) give these, or the
// system's error number (errno) of a failed open, read or write.
inline constexpr int ERR_VERSION = -1;        // NVHDR is not 6: no header made?
inline constexpr int ERR_NO_RECORD_UNIT = -2; // no free unit in 9..99

// Used only inside the library, by the file-handle layer's open, which the
// trace routines turn into ERR_DENIED or ERR_OPEN.
inline constexpr int ERR_FILE_DENIED = 1; // the system refused access
inline constexpr int ERR_FILE_OPEN = 2;   // any other failure to open

// A short English text for an error number, without a trailing period, e.g.
// "file not evenly spaced" for ERR_UNEVEN; "no error" for 0 and "unknown
// error" for a number the library does not use.  The text is static.
std::string_view error_text(int nerr);

} // namespace traceio
