// The message store: one numbered message of up to five lines that library
// routines compose word by word, and that outmsg writes to the units
// registered for its type (units of the numbered-file table, zfile.hpp:
// 0 standard error, 6 standard output).
//
// Nothing is registered at start: no type names (every type word then gives
// type 3), no units, an empty message table and automatic output off, so a
// composed message is kept but never written until a caller sets these up.
//
// Internal to this tree (traceio/internal/, target traceio_internal): not
// installed and not part of the library's public interface.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace traceio {

// Starts a message: clears the store, sets the type from the type word and,
// for number >= 100, appends that number's text from the message table.
void setmsg(std::string_view type, int number);
// Number and type 0, lines blanked, one line in use, column 0.
void clrmsg();
// Type of a type word: position 1..6 of the first type name with the same
// first letter (case ignored), 3 when none.  Stored and returned.
int typmsg(std::string_view type);
// Text of a table entry into text (cut or blank-padded); "Number" and the
// number in 5 columns when the table has no such entry.
void getmsg(int number, std::span<char> text);
// Appends a word (up to its last non-blank) and one blank to the message.
void apcmsg(std::string_view word);
// Appends the decimal form of n as a word.
void apimsg(int n);
// Writes n right-aligned over the whole of text (asterisks if too wide).
void cnvita(int n, std::span<char> text);
// Moves text left over its leading blanks, blank-filling the end.
void ljust(std::span<char> text);
// Writes the current message to every registered unit that takes its type.
void outmsg();

// Set-up of the store.  Type names (first letters used) for types 1..6.
void msgtypes(const std::array<std::string_view, 6>& names);
// Registers an output unit with the message types (1..6) it takes; false when
// five units are registered already.
bool msgunit(int unit, std::span<const int> types);
// Adds or replaces a message-table entry (160 characters kept); false when
// the table is full.
bool msgtable(int number, std::string_view text);
// Automatic output: a message overflowing five lines is written and restarted.
void msgauto(bool on);
// Forgets units, type names, table and message (back to the state at start).
void msgreset();

// The current message, for callers and tests: number, type, lines in use and
// the text of line k (1..5) without trailing blanks.
int msgnumber();
int msgtype();
int msglines();
std::string_view msgline(int k);

} // namespace traceio
