#include "numerics/delay.hpp"

#include <cmath>
#include <sstream>

namespace numerics {

std::string misdated_zero_lag(float shift, int nfft, float dt, int nout) {
    const float span = static_cast<float>(nfft) * dt;
    if (shift < span && !(shift < 0.0f && span + shift < static_cast<float>(nout) * dt)) return {};
    const float at = std::fmod(std::fmod(shift, span) + span, span) - shift;
    std::ostringstream why;
    why << "shift " << shift << " s: zero lag stands at " << at
        << " s of the output's time axis (the transform spans " << span << " s)";
    return why.str();
}

} // namespace numerics
