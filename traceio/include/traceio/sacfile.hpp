// Reading and writing SAC trace files.
//
// Files are written big-endian; readers also accept little-endian files,
// recognised by the header version word.  The header travels to and from the
// header store (header.hpp); samples to and from the caller's arrays, which
// are never read or written beyond their spans.  Every routine sets its error
// argument to 0 on entry; 0 means success.
//
// Error numbers: 101 open/create failed, 108 permission denied on open,
// 114 read failed or the file is short, 115 write failed, 116 no free unit,
// 801 the file is not evenly spaced.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace traceio {

// Reads the header into the store and up to min(max, y.size()) samples.
// max = 0 reads the header only (NPTS and E as in the file); otherwise NPTS
// and E describe the samples read.  Fills DIST, AZ, BAZ, GCARC from the
// coordinates when LCALDA is true; coordinates that are not finite, or a
// distance that fails its check, leave the four undefined (-12345).
void rsac1(std::string_view name, std::span<float> y, int& nlen, float& beg, float& del, int max,
           int& nerr);

// Writes the store's header and NPTS samples of y (and of x when LEVEN is
// false), big-endian, in file order.  Names beginning with '|' are memory
// files (zfile.hpp).  Any other name:
//  - a regular file, or a name not yet taken, is replaced atomically: the
//    trace goes to a temporary file beside it that is renamed over the name
//    when complete, so on failure an older file of that name is untouched
//    and nothing of the new one is left.  The new file keeps the permission
//    bits of the one it replaces; a symbolic link is replaced, not followed.
//  - an existing character device or named pipe (also through a link) and
//    the names of the process's own descriptors (/dev/stdout, /dev/stderr,
//    /dev/fd/N) are written in place as a stream.  A pipe must have a reader
//    within a few seconds.
//  - a directory, block device or socket is refused (101).
// While the temporary file exists, SIGINT, SIGTERM, SIGHUP and SIGXFSZ with
// their default action remove it before the process ends by the signal.
// On failure errno holds the reason (EISDIR for a directory, EINVAL for a
// header whose samples do not fit the arrays or for a device that is neither a
// character device nor a pipe, ENXIO for a pipe without a reader).
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

// Writes an evenly spaced trace of nlen samples with a fresh header (NPTS,
// DELTA, B, E, LEVEN set); the store keeps that header afterwards.
void wsac1(std::string_view name, std::span<const float> y, int nlen, float beg, float del,
           int& nerr);

// Record-based header access: read only the 632-byte header of an existing
// file into the store, or rewrite it from the store (NVHDR must be 6).
// Errors: -1 bad version, -2 no free unit, else the failed operation's status.
void rsach(std::string_view name, int& nerr);
void wsach(std::string_view name, int& nerr);

// First free unit number in 9..99 of the numbered-file table.
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
