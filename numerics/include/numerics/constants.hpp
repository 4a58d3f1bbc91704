// The numerical constants the programs' formulas are written with, each
// named once.  They differ in precision on purpose: every routine rounds
// with the value its formula has always used, and the outputs depend on it
// to the last bit, so none of them may be replaced by another (nor by
// std::numbers).  The line under each name says where it is used.
//
// The trace-file library keeps its own degree conversions (0.017453292 and
// 57.29578, traceio/src/distaz.cpp): it stands alone, without this module.
#pragma once

namespace numerics {

// --- Single precision ----------------------------------------------------

// pi rounded to float.
// Used by: the pairing step of dfftr (fft.cpp); marrick's Gaussian width
// a = pi f / sqrt(ln 10) (waterlevel/src/marrick.cpp).
inline constexpr float pi_f = 3.1415927f;

// One unit in the last place below pi_f.
// Used by: the twiddles of the complex transform fft (fft.cpp); the half
// cosine bell of window (condition.cpp), for which cos(pi) rounds to -1.
inline constexpr float pi_f_low = 3.1415925f;

// 2 pi rounded to float.
// Used by: the angular frequency of the water-level division
// (waterlevel/src/wldecon.cpp); the multitaper time shift
// (multitaper/src/spectra.cpp); the reflectivity recursion and the driver's
// phase shifts and s/deg conversion (synthetics/src/reflectivity.cpp,
// synthetics/src/kestrum.cpp); the 1 Hz reference frequency of the
// absorption band (synthetics/src/stack.cpp).
inline constexpr float two_pi_f = 6.2831855f;

// pi/2 rounded to float.
// Used by: the cosine-squared low-pass of the multitaper deconvolution
// (multitaper/src/spectra.cpp).
inline constexpr float half_pi_f = 1.5707964f;

// sqrt(ln 10): a Gaussian exp(-w^2/(4a^2)) with a = pi f / sqrt(ln 10) is
// down to 0.1 at f Hz.
// Used by: marrick's -freq option (waterlevel/src/marrick.cpp).
inline constexpr float sqrt_ln10_f = 1.5174271f;

// Mean Earth radius in km.
// Used by: kestrum's slowness in s/deg written to USER0
// (synthetics/src/kestrum.cpp); the Earth-flattening transform
// (synthetics/src/stack.cpp).
inline constexpr float earth_radius_km = 6371.0f;

// Circumference of the Earth in km as the s/deg option has always taken it
// (a little above 2 pi earth_radius_km; the two conversions are not inverse
// to the last bit).
// Used by: kestrum's -p x s/deg conversion (synthetics/src/kestrum.cpp).
inline constexpr float earth_circumference_km = 40030.176f;

// --- Double precision ----------------------------------------------------

// pi to double precision.
// Used by: the pairing step of realft (realft.cpp).
inline constexpr double pi_d = 3.141592653589793;

// 2 pi rounded at 14 decimals (…959).
// Used by: the twiddle recurrence of four1 (realft.cpp).
inline constexpr double two_pi_d14 = 6.28318530717959;

// pi and 2 pi cut (not rounded) after 14 decimals (…979, …958).
// Used by: the Slepian taper design and its concentration estimates
// (multitaper/src/slepian.cpp).
inline constexpr double pi_d14_cut = 3.14159265358979;
inline constexpr double two_pi_d14_cut = 6.28318530717958;

// 2/pi and 4 pi^2 as the single-precision values the attenuation formulas
// have always used, held in doubles (2/pi is one float step above the float
// nearest to it).
// Used by: the absorption-band speed and quality factors vabm and qabm
// (synthetics/src/layers.cpp).
inline constexpr double two_over_pi_f = 0.6366198062896729;
inline constexpr double four_pi_squared_f = 39.478416442871094;

// Euler's constant to 10 decimals.
// Used by: the second concentration estimate of the Slepian tapers
// (multitaper/src/slepian.cpp).
inline constexpr double euler_gamma_10 = 0.5772156649;

} // namespace numerics
