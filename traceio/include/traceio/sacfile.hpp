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

#include "traceio/errors.hpp"

#include <cstdint>
#include <span>
#include <string_view>

namespace traceio {

// Reads the header into the store and up to min(max, y.size()) samples.
// max = 0 reads the header only (NPTS and E as in the file); otherwise NPTS
// and E describe the samples read.  Fills DIST, AZ, BAZ, GCARC from the
// coordinates when LCALDA is true.
void rsac1(std::string_view name, std::span<float> y, int& nlen, float& beg, float& del, int max,
           int& nerr);

// Writes the store's header and NPTS samples of y (and of x when LEVEN is
// false).  The file is replaced atomically: on failure an older file of that
// name is left untouched.  Names beginning with '|' are memory files.
void wsac0(std::string_view name, std::span<const float> x, std::span<const float> y, int& nerr);

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
