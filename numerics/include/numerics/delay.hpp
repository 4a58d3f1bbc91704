// Time shifts applied in the frequency domain.
#pragma once

#include <string>

namespace numerics {

// A delay applied to a spectrum (each bin turned by its phase) is circular:
// it turns the series around the transform's span nfft * dt.  For a result
// delayed by `shift` seconds whose first `nout` samples are dated from
// -shift, says where zero lag then stands on that time axis when it is not
// at 0 (a shift of the span or more, or one so far below zero that zero lag
// comes round into the output), in words for a message; empty when the
// dating holds.
std::string misdated_zero_lag(float shift, int nfft, float dt, int nout);

} // namespace numerics
