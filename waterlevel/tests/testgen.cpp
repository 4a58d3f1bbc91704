// Writes a test trace: testgen FILE NPTS DELTA [B] -- a damped oscillation.
#include "support.hpp"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    const int n = std::atoi(argv[2]);
    const float b = argc > 4 ? std::strtof(argv[4], nullptr) : 0.0f;
    wltest::write_trace(argv[1], wltest::pulse(n, 60), b, std::strtof(argv[3], nullptr));
    return 0;
}
