// Makes trace files for the hostile-input suite and the fuzz seed corpora:
// a sound trace written by the library, then, on request, rewritten in
// little-endian order, with header words overwritten by raw values, or cut
// short.  `dead` makes every sample 0, as from a dead channel.
//
//   sacforge OUT [npts=N] [delta=D] [b=B] [pulse=T:A ...] [dead] [little]
//                [set:FIELD=VALUE ...] [sample:K=VALUE ...] [truncate=BYTES]
//
// FIELD is one of delta depmax b e stla stlo evla evlo npts nvhdr leven iftype lcalda; VALUE may be
// nan, inf, -inf or any number (integer fields take integers).
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Poke {
    int word;
    bool integer;
    std::string value;
};

// Word index in the 158-word header and whether the field is an integer.
bool field_word(const std::string& f, int& word, bool& integer) {
    struct Field {
        const char* name;
        int word;
        bool integer;
    };
    static constexpr Field fields[] = {
        {"delta", 0, false},  {"depmax", 2, false}, {"b", 5, false},      {"e", 6, false},
        {"stla", 31, false},  {"stlo", 32, false},  {"evla", 35, false},  {"evlo", 36, false},
        {"nvhdr", 76, true},  {"npts", 79, true},   {"iftype", 85, true}, {"leven", 105, true},
        {"lcalda", 108, true}};
    for (const Field& x : fields)
        if (f == x.name) {
            word = x.word;
            integer = x.integer;
            return true;
        }
    return false;
}

std::uint32_t raw_value(const Poke& p) {
    if (p.integer) return static_cast<std::uint32_t>(std::strtoll(p.value.c_str(), nullptr, 10));
    return std::bit_cast<std::uint32_t>(std::strtof(p.value.c_str(), nullptr));
}

int fail(const std::string& why) {
    std::cerr << "sacforge: " << why << '\n';
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return fail("usage: sacforge OUT [options]");
    const std::string out = argv[1];
    int npts = 1000;
    float delta = 0.05f, b = 0.0f;
    bool little = false, dead = false;
    long truncate = -1;
    std::vector<std::pair<float, float>> pulses;
    std::vector<Poke> pokes;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        const auto eq = a.find('=');
        const std::string key = a.substr(0, eq),
                          val = eq == std::string::npos ? "" : a.substr(eq + 1);
        if (key == "npts") {
            npts = std::atoi(val.c_str());
        } else if (key == "delta") {
            delta = std::strtof(val.c_str(), nullptr);
        } else if (key == "b") {
            b = std::strtof(val.c_str(), nullptr);
        } else if (key == "pulse") {
            const auto colon = val.find(':');
            pulses.emplace_back(
                std::strtof(val.c_str(), nullptr),
                colon == std::string::npos ? 1.0f : std::strtof(val.c_str() + colon + 1, nullptr));
        } else if (key == "dead") {
            dead = true;
        } else if (key == "little") {
            little = true;
        } else if (key == "truncate") {
            truncate = std::atol(val.c_str());
        } else if (key.rfind("sample:", 0) == 0) {
            pokes.push_back({158 + std::atoi(key.c_str() + 7), false, val});
        } else if (key.rfind("set:", 0) == 0) {
            Poke p{};
            if (!field_word(key.substr(4), p.word, p.integer)) return fail("unknown field " + key);
            p.value = val;
            pokes.push_back(p);
        } else {
            return fail("unknown option " + a);
        }
    }
    if (pulses.empty()) pulses.emplace_back(b + 5.0f, 1.0f);

    // Gaussian pulses of half a second on a faint background.
    std::vector<float> y(static_cast<std::size_t>(npts));
    for (int i = 0; i < npts; ++i) {
        const float t = b + static_cast<float>(i) * delta;
        float v = 0.001f * std::sin(0.7f * static_cast<float>(i));
        for (auto [t0, a] : pulses) v += a * std::exp(-((t - t0) * (t - t0)) / 0.125f);
        y[static_cast<std::size_t>(i)] = dead ? 0.0f : v;
    }
    int nerr = 0;
    traceio::wsac1(out, y, npts, b, delta, nerr);
    if (nerr != 0) return fail("cannot write " + out + " (error " + std::to_string(nerr) + ")");

    std::vector<unsigned char> bytes;
    {
        std::ifstream in(out, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    // The library writes big-endian; every word but the 48 text words is
    // reversed for a little-endian file.
    auto reverse_word = [&](std::size_t w) {
        std::swap(bytes[4 * w], bytes[4 * w + 3]);
        std::swap(bytes[4 * w + 1], bytes[4 * w + 2]);
    };
    if (little)
        for (std::size_t w = 0; 4 * w + 3 < bytes.size(); ++w)
            if (w < 110 || w >= 158) reverse_word(w);
    for (const Poke& p : pokes) {
        const std::uint32_t v = raw_value(p);
        for (int k = 0; k < 4; ++k) {
            const int shift = little ? 8 * k : 8 * (3 - k);
            bytes[4 * static_cast<std::size_t>(p.word) + static_cast<std::size_t>(k)] =
                static_cast<unsigned char>(v >> shift);
        }
    }
    if (truncate >= 0 && static_cast<std::size_t>(truncate) < bytes.size())
        bytes.resize(static_cast<std::size_t>(truncate));
    std::ofstream o(out, std::ios::binary | std::ios::trunc);
    o.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    return o ? 0 : fail("cannot rewrite " + out);
}
