// Butterworth filters as cascades of second-order sections, and their
// zero-phase application (forward, then backward over the reversed series).
//
// Design: the analogue Butterworth prototype of the given order, its corner
// prewarped (K = tan(pi fc dt)) and mapped by the bilinear transform; odd
// orders add one first-order section.  Each section runs as
//     y[n] = b0 x[n] + b1 x[n-1] + b2 x[n-2] - a1 y[n-1] - a2 y[n-2]
// in double precision.  A band-pass is a high-pass at f1 followed by a
// low-pass at f2.  Run forward and backward, the amplitude response is the
// square of one pass: 1/2 (-6 dB) at each corner, and the phase is zero.
#pragma once

#include <span>
#include <vector>

namespace rfkit {

struct Section {
    double b0, b1, b2, a1, a2;
};

// Low-pass and high-pass of order 1..8, corner fc (Hz) strictly between 0
// and the Nyquist frequency 1/(2 dt).  The caller checks the ranges.
std::vector<Section> butterworth_lowpass(int order, double fc, double dt);
std::vector<Section> butterworth_highpass(int order, double fc, double dt);

// High-pass at f1 and low-pass at f2, each of the given order; f1 = 0 leaves
// the high-pass out.
std::vector<Section> butterworth_bandpass(int order, double f1, double f2, double dt);

// Filters x in place, forward then backward, starting each pass at rest.
void filter_zero_phase(const std::vector<Section>& sections, std::span<float> x);

// Filters traces in place, each exactly as the call above would.  Traces of
// one length (the three components of an event) run side by side, which
// takes about a third of the time.
void filter_zero_phase(const std::vector<Section>& sections, std::span<const std::span<float>> x);

// Amplitude response of one forward pass at frequency f (Hz).
double amplitude(const std::vector<Section>& sections, double f, double dt);

} // namespace rfkit
