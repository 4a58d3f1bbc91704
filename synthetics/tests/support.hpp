// Test helpers: console capture, a private temporary directory, model files.
#pragma once

#include "console/console.hpp"
#include "rftest/scratch.hpp"
#include "synthetics/kestrum.hpp"

#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace synthetics::testing {

using Capture = rftest::Captured;
using rftest::TempDir;

// One layer line in the fixed columns of a model file.
inline std::string layer_line(int i, std::vector<double> v) {
    char buf[128];
    v.resize(9, 0.0);
    std::snprintf(buf, sizeof buf, "%3d %8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f%8.2f\n", i, v[0],
                  v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]);
    return buf;
}

inline std::string model_text(const std::string& title, const std::vector<std::vector<double>>& l) {
    char head[32];
    std::snprintf(head, sizeof head, "%3d%-10s\n", static_cast<int>(l.size()), title.c_str());
    std::string s = head;
    for (size_t i = 0; i < l.size(); ++i) s += layer_line(static_cast<int>(i + 1), l[i]);
    return s;
}

// Surface motion of a layer over a half-space solved directly: six plane
// waves (up and down P and S in the layer, down P and S in the half-space)
// whose amplitudes satisfy the free surface and the welded interface, in
// double precision.  Time factor exp(i w (t - p x)), z down.  Returns the
// radial/vertical ratio for an incident P (wave 0) or SV (wave 1).
using cd = std::complex<double>;
struct Medium {
    double vp, vs, rho;
};

inline cd direct_ratio(const Medium& m1, double H, const Medium& m2, double p, double f, int wave) {
    const double w = 2 * M_PI * f;
    struct Plane {
        double ux, uz, s; // polarisation and vertical slowness
    };
    auto q = [&](double v) { return std::sqrt(1 / (v * v) - p * p); };
    auto stress = [&](const Medium& m, const Plane& k, cd out[2]) {
        double mu = m.rho * m.vs * m.vs, lambda = m.rho * m.vp * m.vp - 2 * mu;
        out[0] = mu * (k.s * k.ux + p * k.uz);
        out[1] = lambda * (p * k.ux + k.s * k.uz) + 2 * mu * k.s * k.uz;
    };
    double x1 = q(m1.vp), e1 = q(m1.vs), x2 = q(m2.vp), e2 = q(m2.vs);
    Plane layer[4] = {{p, x1, x1}, {p, -x1, -x1}, {e1, -p, e1}, {e1, p, -e1}};
    Plane below[2] = {{p, x2, x2}, {e2, -p, e2}};
    Plane incident = wave == 0 ? Plane{p, -x2, -x2} : Plane{e2, p, -e2};
    cd A[6][7] = {};
    for (int k = 0; k < 4; ++k) {
        cd t[2];
        stress(m1, layer[k], t);
        A[0][k] = t[0], A[1][k] = t[1]; // traction-free surface
        cd ph = std::exp(cd(0, -w * layer[k].s * H));
        A[2][k] = layer[k].ux * ph, A[3][k] = layer[k].uz * ph;
        A[4][k] = t[0] * ph, A[5][k] = t[1] * ph;
    }
    for (int j = 0; j < 2; ++j) {
        cd t[2];
        stress(m2, below[j], t);
        cd ph = std::exp(cd(0, -w * below[j].s * H));
        A[2][4 + j] = -below[j].ux * ph, A[3][4 + j] = -below[j].uz * ph;
        A[4][4 + j] = -t[0] * ph, A[5][4 + j] = -t[1] * ph;
    }
    cd t[2];
    stress(m2, incident, t);
    cd ph = std::exp(cd(0, -w * incident.s * H));
    A[2][6] = incident.ux * ph, A[3][6] = incident.uz * ph, A[4][6] = t[0] * ph,
    A[5][6] = t[1] * ph;
    for (int c = 0; c < 6; ++c) { // Gaussian elimination, partial pivoting
        int piv = c;
        for (int r = c + 1; r < 6; ++r)
            if (std::abs(A[r][c]) > std::abs(A[piv][c])) piv = r;
        std::swap(A[c], A[piv]);
        for (int r = 0; r < 6; ++r) {
            if (r == c) continue;
            cd factor = A[r][c] / A[c][c];
            for (int k = c; k < 7; ++k) A[r][k] -= factor * A[c][k];
        }
    }
    cd ux = 0, uz = 0;
    for (int k = 0; k < 4; ++k) {
        cd amp = A[k][6] / A[k][k];
        ux += amp * layer[k].ux, uz += amp * layer[k].uz;
    }
    return ux / -uz; // radial over vertical (up)
}

// One run of kestrum with `input` on standard input: its status, standard
// output and error.
struct Outcome {
    int status;
    std::string out, err;
};

inline Outcome run(std::vector<std::string> args, const std::string& input) {
    Capture c(input);
    int status = console::run([&] { return kestrum(args); });
    return {status, c.out(), c.err()};
}

} // namespace synthetics::testing
