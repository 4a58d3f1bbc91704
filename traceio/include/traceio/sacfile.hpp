// Reading and writing SAC trace files.
//
// Files are written big-endian; readers also accept little-endian files,
// recognised by the header version word (6, or 7: the same header with
// double-precision values after the samples, which are not read).  The header travels to and from
// the header store (header.hpp); samples to and from the caller's arrays, which are never read or
// written beyond their spans.  Every routine with an error argument sets it to 0 on entry; 0 means
// success, anything else is one of the numbers of errors.hpp (error_text gives a short text for
// it), as listed at each routine with what the outputs hold then.  None of the routines is
// thread-safe: they share the one header store.
#pragma once

#include "traceio/errors.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace traceio {

// Reads the header of the file into the store and up to min(max, y.size())
// samples into y: nlen is the number read, beg and del are B and DELTA.
// max = 0 reads the header only: nlen = 0, and NPTS and E stay as in the file
// (getnhv("npts", ...) then tells how much room the samples need).  Otherwise
// a longer file is read in part, without an error, and NPTS and E describe the
// samples read.  Fills DIST, AZ, BAZ, GCARC from the coordinates when LCALDA
// is true; coordinates that are not finite, or a distance that fails its
// check, leave the four undefined (-12345).
// Errors, and what the outputs hold then:
//  ERR_OPEN    no such file, not a regular file (a directory, a FIFO), a name
//              of 1024 characters or more, or a name beginning with '|':
//              nothing is changed.
//  ERR_DENIED  permission denied: nothing is changed.
//  ERR_READ    the file is shorter than its header: nothing is changed; or
//              shorter than its samples (also when NPTS is negative): the
//              store holds the file's header, beg and del are set, nlen is 0
//              and y may hold part of the samples, not to be used.
//  ERR_UNEVEN  LEVEN is false: the store holds the file's header; y, nlen,
//              beg and del are unchanged.
void rsac1(std::string_view name, std::span<float> y, int& nlen, float& beg, float& del, int max,
           int& nerr);

// Writes the store's header and NPTS samples of y (and of x when LEVEN is
// false), big-endian, in file order.  A name beginning with '|' is a memory
// file: the rest of the name is created at its final size and written in
// place.  Any other name:
//  - a regular file, or a name not yet taken, is replaced atomically: the
//    trace goes to a temporary file beside it (without a name while it is
//    written, where the file system allows) that is renamed over the name
//    when complete, so on failure, and however the process ends, an older
//    file of that name is untouched and nothing of the new one is left.  The new file keeps the
//    permission bits of the one it replaces; a symbolic link is replaced, not followed.
//  - an existing character device or named pipe (also through a link) and
//    the names of the process's own descriptors (/dev/stdout, /dev/stderr,
//    /dev/fd/N) are written in place as a stream.  A pipe must have a reader
//    within a few seconds.
//  - a directory, block device or socket is refused (ERR_OPEN).
// While the temporary file has a name, SIGINT, SIGTERM, SIGHUP and SIGXFSZ
// with their default action remove it before the process ends by the signal.
// On failure errno holds the reason (EISDIR for a directory, EINVAL for a
// header whose samples do not fit the arrays or for a device that is neither a
// character device nor a pipe, ENXIO for a pipe without a reader).
// Errors (the header store and the arrays are never changed):
//  ERR_OPEN     the file cannot be created or renamed into place, or the name
//               is blank, 1024 characters or longer, or refused as above.
//  ERR_WRITE    a write failed or wrote short, or NPTS is negative or more than
//               y holds (or x, when LEVEN is false).
//  ERR_NO_UNIT  no free unit in the numbered-file table.
// A replaced file is then untouched and nothing of the new one is left; a
// stream or a memory file may have received part of the trace.
void wsac0(std::string_view name, std::span<const float> x, std::span<const float> y, int& nerr);

// Makes the store's header describe the evenly spaced time series y about to
// be written with it: E = B + (NPTS - 1) * DELTA (single precision, product
// first), DEPMIN, DEPMAX and DEPMEN of the first NPTS samples of y (undefined
// when there are none), NVHDR 6, IFTYPE ITIME and LEVEN true.  Every other
// field is left as it is.
void describe_samples(std::span<const float> y);

// True when a program may write to name as a plain file name: it does not
// begin with '|' (which the library takes for a memory file) and holds no
// control character (NUL, CR, LF, ...), which would cut the name short or
// hide part of it in a listing.
bool plain_file_name(std::string_view name);

// Checks on the store's header as read, for programs that take a trace as an
// evenly spaced time series placed in time by B.  Each returns an empty text
// when the header passes, else the reason in a few words.
//  time_series_problem: IFTYPE is not ITIME (a spectral or x-y file), e.g.
//    "IFTYPE is IRLIM, not ITIME".
//  begin_time_problem: B is undefined (-12345), not finite, or so far from
//    the reference time that single precision cannot tell the times of
//    neighbouring samples there apart (its spacing at B exceeds DELTA/2;
//    checked only when DELTA is positive and finite).
std::string time_series_problem();
std::string begin_time_problem();

// Writes an evenly spaced trace of nlen samples with a fresh header (NPTS,
// DELTA, B, E, LEVEN set); the store keeps that header afterwards, also on
// failure.  Errors as wsac0.
void wsac1(std::string_view name, std::span<const float> y, int nlen, float beg, float del,
           int& nerr);

// Record-based header access.  rsach reads only the 632-byte header of an
// existing file into the store; wsach rewrites it from the store and leaves
// the samples alone.  Each prints a message on standard error when it fails.
// Errors: ERR_VERSION (wsach: NVHDR is not 6, nothing written),
// ERR_NO_RECORD_UNIT (no free unit in 9..99), or the system's error number
// (errno) of the open, read or write that failed.  After a failed rsach the
// store holds a fresh header (newhdr).
void rsach(std::string_view name, int& nerr);
void wsach(std::string_view name, int& nerr);

// First free unit number in 9..99 of the numbered-file table; false, unit
// unchanged, when all are taken.
bool saciou(int& unit);

// Copies one 4-byte word, byte-reversed unless keep is true.
void swap(void* dest, int len, bool keep, const void* src);

// 1 on a little-endian host, 0 on a big-endian one.
int endian_type();

// On a little-endian host reverse the bytes of count values in place.
void swap_bytes16(void* array, int count);
void swap_bytes32(void* array, int count);
void swap_bytes64(void* array, int count);

} // namespace traceio
