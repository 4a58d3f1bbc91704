// The header store: the one SAC header a process holds in memory, with access
// to its fields by name.  Names are matched without regard to case, on their
// first 8 significant characters; trailing blanks and anything after a NUL
// are ignored.  Every routine with an error argument sets it to 0 on entry;
// the errors (errors.hpp) are ERR_NO_FIELD, no field of that name and kind,
// and ERR_UNDEFINED, the field holds its undefined value.  Not thread-safe:
// a process has one store.  The store starts as newhdr leaves it, so fields
// set without a newhdr (or rsac1) first still make a trace header; written
// before NPTS is set, it is refused (wsac0: ERR_WRITE, NPTS undefined).
#pragma once

#include "traceio/errors.hpp"

#include <span>
#include <string>
#include <string_view>

namespace traceio {

inline constexpr float FUNDEF = -12345.0f; // undefined float field
inline constexpr int IUNDEF = -12345;      // undefined integer/enumerated field
inline constexpr int NVHDR_CURRENT = 6;    // header version written by this library
inline constexpr std::string_view KUNDEF = "-12345  ";

// Makes the store hold a fresh header: everything undefined, LEVEN, LOVROK and
// LCALDA true, LPSPOL and LHDR5 false, NVHDR 6, IFTYPE ITIME.
void newhdr();
// Sets the undefined values, the version constant and the enumeration codes.
void inihdr();
// Fills the field-name tables.
void inilhf();

// Set a float, integer or character field by name.  Error ERR_NO_FIELD: no
// such field of that kind; the header is unchanged.  setkhv blank-pads the
// value or cuts it to the slot's 8 characters; on KEVNM it also fills the
// second slot (characters 9-16).
void setfhv(std::string_view name, float value, int& nerr);
void setnhv(std::string_view name, int value, int& nerr);
void setkhv(std::string_view name, std::string_view value, int& nerr);

// Reads an integer field.  Errors: ERR_NO_FIELD, value = -12345;
// ERR_UNDEFINED, the field holds -12345 (returned in value).
void getnhv(std::string_view name, int& value, int& nerr);

// Readers for the other kinds, for programs that inspect a trace they read.
// getfhv: errors ERR_NO_FIELD (value = -12345.0) and ERR_UNDEFINED (the
// field holds -12345.0, returned).  getkhv returns the 8 characters of a slot
// (16 for KEVNM) without trailing blanks; errors ERR_NO_FIELD (value =
// "-12345  ") and ERR_UNDEFINED (value = "-12345").
void getfhv(std::string_view name, float& value, int& nerr);
void getkhv(std::string_view name, std::string& value, int& nerr);
// Logical fields (LEVEN, LPSPOL, LOVROK, LCALDA, LHDR5).  Error
// ERR_NO_FIELD: getlhv gives false, setlhv leaves the header unchanged.
void getlhv(std::string_view name, bool& value, int& nerr);
void setlhv(std::string_view name, bool value, int& nerr);

// Enumerated fields (IFTYPE, IZTYPE, ...) by the names of their values
// ("ITIME", "IO", ...).  getihv gives the value's name, or its number when
// the code lies outside 1..103, and 1336 with an empty value when the field is
// undefined; setihv takes a name of the enumeration table.  Both give 1337
// for a name that is not an enumerated field, and setihv also for an unknown
// value name (the header is then unchanged).
void getihv(std::string_view name, std::string& value, int& nerr);
void setihv(std::string_view name, std::string_view value, int& nerr);

// Enumeration code of a name such as "ITIME" or "IEARTH" (1..103), 0 if none.
int enum_code(std::string_view name);

} // namespace traceio
