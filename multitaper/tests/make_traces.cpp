// Writes a synthetic station pair <dir>/<stem>.z and <dir>/<stem>.r for the
// command-line tests: make_traces DIR STEM [NOISE [DT]].
#include "synthetic.hpp"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_traces DIR STEM [NOISE [DT]]\n");
        return 2;
    }
    const float noise = argc > 3 ? std::strtof(argv[3], nullptr) : 1e-3f;
    const float dt = argc > 4 ? std::strtof(argv[4], nullptr) : 0.05f;
    const auto records = testing_support::make_records(noise, 1, dt, static_cast<int>(150.0f / dt));
    return testing_support::write_records(records, std::string(argv[1]) + "/" + argv[2]) ? 0 : 1;
}
