// Numbers and tokens from command-line arguments and input lines.
//
// Text is fixed-length and blank-padded in the job files: trailing blanks are
// padding.  A token is a maximal run of characters other than the blank (a
// tab is an ordinary character).
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace numerics {

// Reads one real number (list-directed: blanks skipped, the item ends at a
// blank, comma, slash or the end; the rest is ignored).  Returns 0 on success.
// On a blank or unreadable text returns 1 and, when `name` is not empty,
// writes the record " **Invalid <name>." on standard error.  `value` changes
// only on success; a lone slash succeeds and leaves it unchanged.
int gnum(std::string_view text, float& value, std::string_view name);

// Splits a line into blank-separated tokens: ntok (<= maxtok) tokens are
// stored in toks[0..ntok-1], each cut to ltok characters.  Further tokens are
// skipped.
void tokens(std::string_view line, int maxtok, int& ntok, std::span<std::string> toks, int ltok);

// Copies the n-th (1-based) blank-separated token of text into out, cut to
// lout characters; false when there is no such token (out unchanged).
bool getnbs(std::string_view text, int n, std::string& out, int lout);

// Reads up to values.size() reals from a list separated by blanks or commas;
// returns the count read, or -1 when an item is not a number.
int read_reals(std::string_view text, std::span<float> values);

} // namespace numerics
