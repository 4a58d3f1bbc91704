// The file-handle layer: the library's only contact with the file system.
//
// A handle below 0 is a negated operating-system descriptor (zopenc, zopenm);
// a handle of 0 or more is a unit number of a small table of numbered open
// files: 0, 5 and 6 are standard error, input and output, 1-19 the pool that
// zgtfun hands out, up to 99 in all.  Names may be padded with blanks, which
// are not part of the name; a name of 1024 characters or more is refused.
//
// Memory files are files under a process-wide path prefix (zmempfx), sized to
// their final length when created.  With no prefix set, the name is used as it
// stands (relative to the working directory).
//
// Offsets and counts are in 4-byte words.  Routines with an error argument set
// it to 0 on entry.
//
// Internal to this tree (traceio/internal/, target traceio_internal): not
// installed and not part of the library's public interface.
#pragma once

#include "traceio/errors.hpp"

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

namespace traceio {

// Opens a file (or, for a name beginning with '|', starts the rest as a shell
// command and writes to it).  create 0: must exist; bit 2 set: create if
// missing; other non-zero: create or empty.  Errors: ERR_FILE_DENIED
// (permission denied), ERR_FILE_OPEN (any other cause); nfu is then unchanged.
void zopenc(int& nfu, std::string_view name, int create, int ronly, int nwords, int& nerr);

// Opens the memory file prefix+name (flags bit 0: read-only, bit 1: create) and
// sizes it to nwords words unless nwords is 0.  Error ERR_FILE_OPEN, with a
// message on standard error; a file this call created is removed again.
void zopenm(int& nfu, std::string_view name, int flags, int nwords, int& nerr);

// Creates a file of form "DATA" (a '|' name makes a memory file of nwords
// words) or opens a text file "TEXT" on the free unit held in nfu.  Error
// ERR_OPEN, also for any other form.
void znfile(int& nfu, std::string_view name, std::string_view form, int nwords, int& nerr);

// Closes a handle of any kind; nerr is always 0.
void zclose(int nfu, std::string_view name, int& nerr);
// Closes a negated descriptor.
void zclosec(int nfu);
// Closes a memory file and, when destroy is true, removes it.
void zclosem(int nfu, std::string_view name, bool destroy);

// Sets the memory-file prefix (blanks stripped); an empty text clears it.
void zmempfx(std::string_view prefix);

// First unit from 19 down to 1 with no file open; unit 0 and error
// ERR_NO_UNIT if none.
void zgtfun(int& nfu, int& nerr);

// True when a file of that name exists and is not a directory.
void zinquire(std::string_view name, bool& exists);

// Deletes the named file.  Errors: ERR_DENIED (108) when there is no such
// file, ERR_OPEN when it cannot be removed, ERR_NO_UNIT.
void zdest(std::string_view name, int& nerr);

// Read or write count words at word offset (zwabs: offset < 0 means the
// current position), as one system call unless the system delivers less
// (a signal, a pipe), when the transfer goes on.  A transfer larger than
// the buffer, a negative count or a short transfer fails: ERR_READ (the
// buffer may hold part of the words) or ERR_WRITE (the file part of them).
void zrabs(int nfu, std::span<std::byte> words, int count, int offset, int& nerr);
void zwabs(int nfu, std::span<const std::byte> words, int count, int offset, int& nerr);

// Copy count characters between a word array and a text, never past either.
void zgetc(std::span<const std::byte> words, std::span<char> text, int count);
void zputc(std::string_view text, std::span<std::byte> words, int count);

// The name without trailing blanks (at most 1023 characters), in a buffer of
// the library that the next call overwrites; it is followed by a NUL.
std::string_view deblank(std::string_view name);

// The stream open on a unit of the numbered-file table, or nullptr.
std::FILE* zstream(int unit);

} // namespace traceio
