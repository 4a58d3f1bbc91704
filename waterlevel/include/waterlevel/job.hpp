// One job of the water-level deconvolution: read, cut and condition the
// traces, deconvolve, write the receiver function.
#pragma once

#include "waterlevel/settings.hpp"

namespace waterlevel {

// Longest trace read, in samples; the transform length is at most twice this.
inline constexpr int max_samples = 32768;
inline constexpr int max_nfft = 2 * max_samples;

// Runs one job with the given settings and names.  Returns after the output
// trace is written; every failure ends the run (console::Ending) with its
// message on standard error.
void process_job(const Settings& s, const Names& names);

} // namespace waterlevel
