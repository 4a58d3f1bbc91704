// Ray-theory delays after the direct P of the P-to-S converted phases of a
// layered model (kestrum's model file), for a plane P wave of horizontal
// slowness p (s/km):
//   Ps = sum h (qs - qp),   PpPs = sum h (qs + qp),   PpSs+PsPs = sum 2 h qs,
// summed over the layers above an interface, with qs = sqrt(1/vs^2 - p^2) and
// qp = sqrt(1/vp^2 - p^2).  Gradient layers are summed in 200 thin slices per
// layer.  The speeds are the model's 1 Hz speeds.
#pragma once

#include <array>
#include <string>
#include <vector>

namespace rfkit {

// An interface: a jump in P speed, S speed or density between the bottom of
// one layer and the top of the next.
struct Interface {
    int above = 0;                 // number of the layer above it (from 1)
    double depth = 0;              // km
    double contrast = 0;           // S impedance below / above
    std::array<double, 3> times{}; // Ps, PpPs, PpSs+PsPs (s after P)
};

inline constexpr std::array<const char*, 3> phase_names{"Ps", "PpPs", "PpSs+PsPs"};

// A layered model as kestrum reads it.
struct LayeredModel {
    std::string file, title;
    std::vector<float> vp, vs, rho, h, vp_bottom, vs_bottom, rho_bottom;
};

// Reads a model file.  False (after the model reader's message) for a model
// it refuses; a file that cannot be read ends the run with status 2.
bool read_model(const std::string& file, LayeredModel& m);

// The interfaces of the model, top down, with their delays for slowness p.
std::vector<Interface> interfaces(const LayeredModel& m, double p);

} // namespace rfkit
