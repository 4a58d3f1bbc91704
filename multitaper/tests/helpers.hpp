// Test helpers: console redirection, a dense symmetric eigen-solver that
// shares nothing with the tridiagonal routines, and trace files in a
// temporary directory.
#pragma once

#include "console/console.hpp"
#include "multitaper/tolvane.hpp"
#include "rftest/scratch.hpp"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

using rftest::Captured;
using rftest::TempDir;

// Runs body as a program and returns its exit status.
inline int run(const std::function<int()>& body) {
    return console::run(body);
}

// One run of tolvane: its status, standard output and error, and the error
// text without the where-lines (those beginning with two blanks).
struct Result {
    int status = -1;
    std::string out, err;
    std::string said;
};

inline Result tolvane(std::vector<std::string> args, std::string input = {}) {
    Captured io(std::move(input));
    Result r;
    r.status = run([&] { return multitaper::tolvane(args); });
    r.out = io.out();
    r.err = io.err();
    r.said = io.said();
    return r;
}

// Cyclic Jacobi rotations on a dense symmetric matrix a (n by n, row major):
// eigenvalues on return in `values`, eigenvectors in the columns of `vectors`.
inline void jacobi(std::vector<double> a, int n, std::vector<double>& values,
                   std::vector<double>& vectors) {
    vectors.assign(static_cast<std::size_t>(n) * n, 0.0);
    for (int i = 0; i < n; ++i) vectors[i * n + i] = 1.0;
    for (int sweep = 0; sweep < 100; ++sweep) {
        double off = 0.0;
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) off += a[i * n + j] * a[i * n + j];
        if (off < 1e-22) break;
        for (int p = 0; p < n; ++p)
            for (int q = p + 1; q < n; ++q) {
                const double apq = a[p * n + q];
                if (std::fabs(apq) < 1e-300) continue;
                const double theta = (a[q * n + q] - a[p * n + p]) / (2.0 * apq);
                const double t =
                    (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < n; ++k) {
                    const double akp = a[k * n + p], akq = a[k * n + q];
                    a[k * n + p] = c * akp - s * akq;
                    a[k * n + q] = s * akp + c * akq;
                }
                for (int k = 0; k < n; ++k) {
                    const double apk = a[p * n + k], aqk = a[q * n + k];
                    a[p * n + k] = c * apk - s * aqk;
                    a[q * n + k] = s * apk + c * aqk;
                }
                for (int k = 0; k < n; ++k) {
                    const double vkp = vectors[k * n + p], vkq = vectors[k * n + q];
                    vectors[k * n + p] = c * vkp - s * vkq;
                    vectors[k * n + q] = s * vkp + c * vkq;
                }
            }
    }
    values.resize(n);
    for (int i = 0; i < n; ++i) values[i] = a[i * n + i];
}

} // namespace testing_support
