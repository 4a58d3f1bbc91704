// The layered model file of the synthetics: its fixed-column reader, two small
// text helpers and the absorption-band attenuation factors.
//
// Model file: line 1 holds the layer count in columns 1-3 and a 10-character
// title in columns 4-13; line 1+i holds layer number i in columns 1-3 and nine
// 8-column reals from column 5 on (vp, vs, rho, h, vp_bottom, vs_bottom,
// rho_bottom, qp, qs).  A real without a decimal point has two implied
// decimals; blanks inside a field are ignored and a blank field is 0.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace synthetics {

// Reads the model in `file` into the arrays (index 0 = top layer, the last one
// is the half-space).  flags bit 1 clear: ask whether to list the layers;
// bit 2 clear: print a summary line.  `limit` is not consulted: the capacity
// is that of the arrays.  Returns false, after a message, for layers out of
// order, a discontinuity at the base of a gradient, a half-space of non-zero
// thickness, or a layer count below 1 or beyond the arrays.  A file that cannot
// be read or a field that is not a number ends the run (console::file_failure).
bool rdlyr(int flags, std::string_view file, int limit, int& n, std::string& title,
           std::span<float> vp, std::span<float> vs, std::span<float> rho, std::span<float> h,
           std::span<float> vp_bottom, std::span<float> vs_bottom, std::span<float> rho_bottom,
           std::span<float> qp, std::span<float> qs);

// Position (from 1) of the last non-blank character among the first `length`
// characters of text; 1 when they are all blank or there are none.
int blank(std::string_view text, int length);

// Writes exactly `length` characters of the question (blank-padded) without a
// newline, reads one line; true iff it begins with 'y' or 'Y'.
bool yesno(std::string_view question, int length);

// Speed factor at angular frequency omega of the absorption band tau1 > tau2
// with quality factor q, relative to the speed at 1 Hz.
double vabm(double omega, double tau1, double tau2, double q);

// Quality factor at angular frequency omega of the same absorption band.
double qabm(double omega, double tau1, double tau2, double q);

} // namespace synthetics
