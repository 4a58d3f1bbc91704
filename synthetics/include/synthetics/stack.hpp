// Preparing a layered model for the reflectivity response: the checks that
// keep the response finite, Earth flattening, default attenuation and the
// 1 Hz complex speeds and vertical delays of the model store.
#pragma once

#include "synthetics/reflectivity.hpp"

#include <array>
#include <string>
#include <string_view>

namespace synthetics {

// A model as read from its file; index 0 is the top layer.
struct Layers {
    int n = 0;
    std::string title;
    std::array<float, max_layers> vp{}, vs{}, rho{}, h{};
    std::array<float, max_layers> vp_bottom{}, vs_bottom{}, rho_bottom{};
    std::array<float, max_layers> qp{}, qs{};
};

// Reads a model file with rdlyr (flags 7: no prompt, no summary); false after
// rdlyr's message.
bool read_layers(std::string_view file, Layers& m);

// Stops, naming the file and the layer, on values that would make the response
// non-finite: speeds or density not positive, negative thickness or bottom
// values, a gradient of zero thickness, a negative quality factor, or Qp given
// with Qs = 0.
void check_layers(const Layers& m, std::string_view file);

// Earth-flattening transformation of thicknesses, speeds and densities
// (radius 6371 km); stops if a layer reaches the Earth's centre.
void flatten(Layers& m, std::string_view file);

// Stops when the slowness p (s/km) reaches 1/vp (wave 1, incident P) or 1/vs
// (wave 2, incident S) in a layer whose aligning delay needs it below that.
void check_slowness(const Layers& m, float p, int wave, std::string_view file);

// Qp = 0 selects Qp = 125 and Qs = 62.5.
void default_attenuation(Layers& m);

// Fills the model store at slowness p (s/km) with the 1 Hz complex speeds,
// densities and vertical delays, sets the reverberation modes from the
// response letter, and returns the total vertical P and S delays that align
// the direct waves.
void fill_model(const Layers& m, float p, char response, float& tp, float& ts);

} // namespace synthetics
