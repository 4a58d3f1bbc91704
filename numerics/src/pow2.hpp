// Length check shared by both transform families (internal to numerics).
#pragma once

#include <bit>

namespace numerics::detail {

// True for 1, 2, 4, 8, ...; false for zero and negative lengths.
inline bool power_of_two(long n) {
    return n > 0 && std::has_single_bit(static_cast<unsigned long>(n));
}

} // namespace numerics::detail
