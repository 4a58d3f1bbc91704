#include "harness.hpp"

#include "console/console.hpp"
#include "traceio/sacfile.hpp"

#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace fuzz {

namespace {

std::string make_scratch() {
    const char* base = std::getenv("TMPDIR");
    std::string templ = std::string(base && *base ? base : "/tmp") + "/rffuzz.XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr || ::chdir(templ.c_str()) != 0) {
        std::perror("fuzz scratch directory");
        std::abort();
    }
    return templ;
}

void remove_scratch() {
    sweep({});
    ::chdir("/");
    ::rmdir(scratch().c_str());
}

} // namespace

const std::string& scratch() {
    static const std::string dir = [] {
        std::string d = make_scratch();
        return d;
    }();
    static const bool registered = std::atexit(remove_scratch) == 0;
    (void)registered;
    return dir;
}

void sweep(std::span<const std::string> keep) {
    DIR* d = ::opendir(scratch().c_str());
    if (d == nullptr) return;
    std::vector<std::string> doomed;
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        bool kept = false;
        for (const auto& k : keep) kept = kept || k == name;
        if (!kept) doomed.push_back(scratch() + "/" + name);
    }
    ::closedir(d);
    for (const auto& p : doomed) ::unlink(p.c_str());
}

void put_file(const std::string& name, std::span<const std::uint8_t> bytes) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
    require(static_cast<bool>(f), "scratch file written");
}

std::vector<std::uint8_t> get_file(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

bool exists(const std::string& name) {
    return ::access(name.c_str(), F_OK) == 0;
}

Outcome run_program(const std::function<int()>& body, std::string_view input) {
    std::istringstream in{std::string(input)};
    std::ostringstream out, err;
    console::Streams& s = console::streams();
    const console::Streams saved = s;
    s = {&in, &out, &err};
    const int status = console::run(body);
    s = saved;
    return {status, out.str(), err.str()};
}

void require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

std::string confined(std::span<const std::uint8_t> bytes) {
    std::string s(bytes.begin(), bytes.end());
    for (char& c : s)
        if (c == '/' || c == '|') c = '_';
    return s;
}

void make_trace(const std::string& name, int npts, float delta, float b, float pulse_at) {
    std::vector<float> y(static_cast<std::size_t>(npts));
    for (int i = 0; i < npts; ++i) {
        const float t = b + static_cast<float>(i) * delta - pulse_at;
        y[static_cast<std::size_t>(i)] =
            std::exp(-t * t / 0.125f) + 0.001f * std::sin(0.7f * static_cast<float>(i));
    }
    int nerr = 0;
    traceio::wsac1(name, y, npts, b, delta, nerr);
    require(nerr == 0, "fixture trace written");
}

void require_sound_output(const std::string& name) {
    const auto bytes = get_file(name);
    require(bytes.size() >= 632, "output holds a whole header");
    auto word = [&](std::size_t w) {
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) v = (v << 8) | bytes[4 * w + static_cast<std::size_t>(k)];
        return v;
    };
    const auto npts = static_cast<std::int32_t>(word(79));
    require(npts >= 0 && bytes.size() == 632 + 4 * static_cast<std::size_t>(npts),
            "output length matches its NPTS");
    for (std::size_t w = 158; w < bytes.size() / 4; ++w)
        require(std::isfinite(std::bit_cast<float>(word(w))), "output samples are finite");
}

} // namespace fuzz
