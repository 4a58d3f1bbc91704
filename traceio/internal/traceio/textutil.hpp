// Small text routines behind the header names and the message store.  Text is
// handled as fixed-length fields: positions count from 1, trailing blanks
// never count, and a NUL character ends the significant part of a name.
//
// Internal to this tree (traceio/internal/, target traceio_internal): not
// installed and not part of the library's public interface.
#pragma once

#include <span>
#include <string_view>

namespace traceio {

// Copies the first count characters of input to output, raising (upper true)
// or lowering ASCII letters outside quoted stretches; ' and " toggle quoting.
// Positions beyond output.size() are not stored; output past count is kept.
void modcase(bool upper, std::string_view input, int count, std::span<char> output);

// Position (1-based) of the first character equal to c (occurrence true) or
// different from c (occurrence false), scanning forward or backward; 0 if none.
int indexa(std::string_view text, char c, bool forward, bool occurrence);

// The text without its trailing blanks, the padding of a fixed-length field
// (empty for an all-blank text).  Unlike indexb it does not stop at a NUL.
std::string_view trimmed(std::string_view text);

// Position of the last non-blank character, but not past the character before
// the first NUL; 0 for an empty or all-blank text.
int indexb(std::string_view text);

// 1-based index of the first of the first count entries of list equal to key,
// compared as blank-padded text; 0 when none matches or count <= 0.
int nequal(std::string_view key, std::span<const std::string_view> list, int count);

} // namespace traceio
