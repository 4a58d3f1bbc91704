// The settings and file names of one water-level deconvolution job.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace waterlevel {

// Longest file name kept; longer names are cut to this many characters.
inline constexpr int name_length = 64;

// Settings of a run; input-list mode reuses them for every line.
struct Settings {
    float c = 0.001f;        // water level, a fraction of the largest wavelet power
    float agauss = 2.0f;     // Gaussian width a of exp(-w^2/(4a^2)), w in rad/s
    float tdelay = 0.0f;     // time shift of the result, seconds
    float blen = 0.0f;       // cosine taper length at both ends, seconds (none unless > 0)
    float ts = 0.0f;         // analysis window start, seconds in the header time frame
    float te = 0.0f;         // analysis window end
    bool oconv = false;      // convolve the result with the conv. file
    bool debug = false;      // write the intermediate traces under /tmp
    bool input_list = false; // one job per line of standard input
};

// The four name slots: wavelet, decon input, output, conv. file.  Each holds a
// name cut to name_length characters without its trailing blanks.
struct Names {
    std::array<std::string, 4> slot;
    const std::string& wavelet() const { return slot[0]; }
    const std::string& decon() const { return slot[1]; }
    const std::string& output() const { return slot[2]; }
    const std::string& conv() const { return slot[3]; }
};

// A name slot's text: cut to name_length characters, trailing blanks dropped.
std::string slot_text(std::string_view text);

} // namespace waterlevel
