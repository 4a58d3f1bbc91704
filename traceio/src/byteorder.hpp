// Conversion of 4-byte words between host order and a file's byte order.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace traceio::detail {

inline constexpr bool host_little = std::endian::native == std::endian::little;

inline std::uint32_t reverse32(std::uint32_t v) {
    return (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
}

// The word at p, stored little-endian (little true) or big-endian.
inline std::uint32_t load_word(const std::byte* p, bool little) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return little == host_little ? v : reverse32(v);
}

// Stores v at p little-endian (little true) or big-endian.
inline void store_word(std::byte* p, std::uint32_t v, bool little) {
    if (little != host_little) v = reverse32(v);
    std::memcpy(p, &v, 4);
}

// Stores v at p big-endian, the order every new file is written in.
inline void store_big(std::byte* p, std::uint32_t v) {
    store_word(p, v, false);
}

} // namespace traceio::detail
