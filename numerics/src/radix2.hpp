// The radix-2 engine shared by both transform families (internal to numerics).
//
// Both families run the same decimation-in-time transform: a bit-reversal
// permutation, then stages whose butterflies pair elements `span` apart,
// t = w b; b = a - t; a = a + t, all in single precision.  They differ only
// in their twiddle factors w, which each family computes once per stage and
// keeps in a table; the engine never forms a factor itself.  Every butterfly
// performs exactly the operations of the one-at-a-time loop, so the results
// are the same bits; only their order in memory and time changes.
#pragma once

#include <vector>

namespace numerics::detail {

// The factors of every stage up to some length, split into real and
// imaginary parts: the stage of span s (s = 1, 2, 4, ...) keeps its s factors
// at re[s + q], im[s + q], q = 0 .. s-1.  `length` is the longest transform
// the table serves (every span below it is present).
struct StageTwiddles {
    std::vector<float> re, im;
    int length = 1;
};

// Makes tw serve transforms of m points (a power of two), filling each
// missing stage with fill(span, re, im), which writes the span factors of
// that stage.  Stages already present are kept as they are.
template <class Fill> const StageTwiddles& serve(StageTwiddles& tw, int m, Fill fill) {
    if (tw.length < m) {
        tw.re.resize(static_cast<std::size_t>(m));
        tw.im.resize(static_cast<std::size_t>(m));
        for (int span = tw.length; span < m; span *= 2) fill(span, &tw.re[span], &tw.im[span]);
        tw.length = m;
    }
    return tw;
}

// Transforms the m complex values interleaved in z (2m floats: real, then
// imaginary part) in place with the factors of tw, which must serve m.
// m is a power of two; m = 1 leaves z as it is.
void radix2(float* z, int m, const StageTwiddles& tw);

} // namespace numerics::detail
