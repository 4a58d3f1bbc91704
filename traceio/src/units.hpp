// The table of numbered open files behind handles of 0 or more: units 0, 5
// and 6 are the standard streams (always open), 1..99 are free for files
// opened by name, for sequential text access or direct access to records.
#pragma once

#include <cstddef>
#include <cstdio>
#include <span>
#include <string_view>

namespace traceio::detail {

inline constexpr int max_unit = 99;

enum class Status { Old, New };      // must exist / must not exist
enum class Access { Text, Records }; // sequential text or fixed-length records

bool unit_valid(int unit);
bool unit_is_open(int unit);

// Connects a file to a free unit; 0 or the system's error number.
int unit_connect(int unit, std::string_view path, Status status, Access access, int record_length);
// Disconnects a unit, removing its file when remove is true; 0 or an error
// number.  The standard units stay connected.
int unit_disconnect(int unit, bool remove);
// Read or write record rec (from 1) of a unit opened for records; 0 or an
// error number (EIO when the file ends inside the record).
int unit_read_record(int unit, int rec, std::span<std::byte> record);
int unit_write_record(int unit, int rec, std::span<const std::byte> record);
// The text stream of a unit, or nullptr.
std::FILE* unit_stream(int unit);

// Name handling shared by the file layer: the name cut at a NUL, without
// trailing blanks (a name of blanks only keeps one).  False when it is 1024
// characters or longer.
bool strip_name(std::string_view name, std::string_view& stripped);

} // namespace traceio::detail
