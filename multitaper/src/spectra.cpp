// The multitaper deconvolution core.  Single precision throughout, except
// where a taper value (double) enters a product or the noise weights divide:
// those are formed in double and rounded back, so results are reproducible
// bit for bit.
#include "multitaper/spectra.hpp"

#include "multitaper/slepian.hpp"
#include "numerics/constants.hpp"
#include "numerics/realft.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>

namespace multitaper {
namespace {

using numerics::half_pi_f;
using numerics::two_pi_f;

// Weight of bin j in the cosine-squared low-pass that reaches zero at nf.
float lowpass(int j, int nf) {
    const float c = std::cos(half_pi_f * static_cast<float>(j) / static_cast<float>(nf));
    return c * c;
}

} // namespace

int nint(float x) {
    constexpr float limit = 1073741824.0f; // 2^30
    if (!(x < limit)) return 1 << 30;
    if (x <= -limit) return -(1 << 30);
    return static_cast<int>(std::lround(x));
}

int stretch_count(float t0, float t1, float dt) {
    return nint((t1 - t0 + 2.0f * pad_seconds) / dt) + 1;
}

int noise_count(float t0, float t1, float dt) {
    return nint((t1 - t0 + 2.0f * pad_seconds) / dt);
}

int taper_length(float dt) {
    const int n = nint(10.0f / dt);
    return 2 * (n / 2) + 1;
}

void design_tapers(int nwav, TaperSet& t) {
    mtaper(time_bandwidth, nwav, taper_count, taper_rows, t.lambda, t.v);
    t.nwav = nwav;
    t.half = (nwav - 1) / 2;
    // S is accumulated in single precision, each addition rounded back.
    float s = 0.0f;
    for (int k = 0; k < taper_count; ++k)
        for (int i = 0; i < nwav; ++i) s = static_cast<float>(s + t.v[k * taper_rows + i]);
    t.sum = s;
}

void clear(Spectrum& y, int nfft) {
    for (auto& yk : y) std::fill_n(yk.begin(), nfft, 0.0f);
}

int tapered_spectra(std::span<const float> x, int npts, float b, float t0, int n, const Plan& plan,
                    const TaperSet& tapers, Spectrum& y, std::span<float> u) {
    const int nfft = plan.nfft;
    const int nwav = tapers.nwav;
    // Truncated in single precision; a count past the integer range (an
    // enormous window with a one-sample taper) is held at its largest value.
    const float segments = 4.0f * static_cast<float>(n) / static_cast<float>(nwav);
    const int nseg = segments < 2147483648.0f ? static_cast<int>(segments) : INT_MAX;
    const std::int64_t s0 = nint((t0 - pad_seconds - b) / plan.dt);
    npts = std::min<std::int64_t>(npts, x.size());
    auto buffer = u.first(nfft);

    for (int s = 0; s < nseg; ++s) {
        // Buffer position p (1-based) holds sample s0 + p times taper value
        // j = half - o + p: the taper centre sits at position o + 1.
        const std::int64_t o = static_cast<std::int64_t>(s) * nwav / 4;
        const std::int64_t shift = tapers.half - o;
        const std::int64_t first = std::max<std::int64_t>({1, 1 - shift, 1 - s0});
        const std::int64_t last = std::min<std::int64_t>({nfft, nwav - shift, npts - s0});
        if (1 - shift > nfft) break; // this and later tapers start past the buffer
        // A segment with no data under its taper adds an all-zero transform:
        // skipping it leaves the sums unchanged.
        if (first > last) continue;
        for (int k = 0; k < taper_count; ++k) {
            const double* v = tapers.v.data() + k * taper_rows;
            std::fill(buffer.begin(), buffer.end(), 0.0f);
            for (std::int64_t p = first; p <= last; ++p)
                buffer[p - 1] = static_cast<float>(x[s0 + p - 1] * v[shift + p - 1]);
            numerics::realft(buffer, nfft, 1);
            auto& yk = y[k];
            for (int i = 0; i < nfft; ++i) yk[i] += buffer[i];
        }
    }
    if (nseg > 0) {
        const float c =
            static_cast<float>(n) / static_cast<float>(static_cast<std::int64_t>(nseg) * nfft);
        for (auto& yk : y)
            for (int i = 0; i < nfft; ++i) yk[i] *= c;
    }
    return nseg;
}

void noise_power(const Spectrum& noise, const TaperSet& tapers, const Plan& plan,
                 std::span<float> power) {
    const int half = plan.nfft / 2;
    std::fill_n(power.begin(), half + 1, 0.0f);
    for (int k = 0; k < taper_count; ++k) {
        const auto& nk = noise[k];
        power[0] += nk[0] * nk[0];
        power[half] += nk[1] * nk[1];
        for (int j = 1; j < half; ++j) {
            const float re = nk[2 * j], im = nk[2 * j + 1];
            power[j] = static_cast<float>(power[j] + (re * re + im * im) / tapers.lambda[k]);
        }
    }
}

float deconvolve(Workspace& w, const Plan& plan, float shift, int nt) {
    const int nfft = plan.nfft, nf = plan.nf;
    auto& u = w.u;
    auto& q = w.coherence;
    const auto& p = w.power;
    const int used = std::clamp(std::max(nfft, nt), 0, result_capacity);
    std::fill_n(u.begin(), used, 0.0f);
    std::fill_n(q.begin(), nf, 0.0f);

    // DC: real products only, weight 1.
    float a = 0.0f, bb = 0.0f, dd = 0.0f;
    for (int k = 0; k < taper_count; ++k) {
        const float wk = w.wavelet[k][0], tk = w.trace[k][0];
        a += wk * tk;
        bb += wk * wk;
        dd += tk * tk;
    }
    q[0] = a * a / (dd * bb);
    u[0] = a / (bb + p[0]);
    float weights = 1.0f;

    for (int j = 1; j < nf; ++j) {
        const float wj = lowpass(j, nf);
        float xr = 0.0f, xi = 0.0f, b = 0.0f, d = 0.0f;
        for (int k = 0; k < taper_count; ++k) {
            const float wr = w.wavelet[k][2 * j], wi = w.wavelet[k][2 * j + 1];
            const float tr = w.trace[k][2 * j], ti = w.trace[k][2 * j + 1];
            xr += wr * tr + wi * ti;
            xi += wr * ti - wi * tr;
            b += wr * wr + wi * wi;
            d += tr * tr + ti * ti;
        }
        u[2 * j] = wj * xr / (b + p[j]);
        u[2 * j + 1] = wj * xi / (b + p[j]);
        q[j] = (xr * xr + xi * xi) / (b * d);
        weights += wj;
    }
    // Bins nf and up stay zero, the Nyquist term included.

    // Delay by `shift` seconds: with the forward sign e^{+i}, a factor
    // e^{+i j phi} on bin j moves the series later in time.
    const float phi = two_pi_f * shift / (plan.dt * static_cast<float>(nfft));
    u[1] *= std::cos(static_cast<float>(nfft) * phi * 0.5f);
    float mean = q[0];
    for (int j = 1; j < nf; ++j) {
        const float angle = static_cast<float>(j) * phi;
        const float c = std::cos(angle), s = std::sin(angle);
        const float re = u[2 * j], im = u[2 * j + 1];
        u[2 * j] = re * c - im * s;
        u[2 * j + 1] = re * s + im * c;
        mean += lowpass(j, nf) * q[j];
    }
    mean /= weights;

    numerics::realft(std::span<float>(u).first(nfft), nfft, -1);
    const float g =
        static_cast<float>(nf) / static_cast<float>(nfft) * static_cast<float>(nfft) * 0.5f;
    const int count = std::clamp(nt, 0, result_capacity);
    for (int i = 0; i < count; ++i) u[i] /= g;
    return mean;
}

bool silent(const Spectrum& y, const Plan& plan) {
    const auto zero = [](float v) { return v == 0.0f; };
    for (const auto& yk : y) {
        // DC in value 0, bins 1..nf-1 from value 2 on; value 1 is the Nyquist term.
        if (yk[0] != 0.0f) return false;
        const auto band = std::span<const float>(yk).subspan(2, 2 * std::max(plan.nf - 1, 0));
        if (!std::all_of(band.begin(), band.end(), zero)) return false;
    }
    return true;
}

void zero_result(Workspace& w, const Plan& plan, int nt) {
    std::fill_n(w.u.begin(), std::clamp(std::max(plan.nfft, nt), 0, result_capacity), 0.0f);
    std::fill_n(w.coherence.begin(), plan.nf, 0.0f);
}

int reconstruct(const Spectrum& y, const Plan& plan, const TaperSet& tapers, int n, bool wavelet,
                std::span<float> u) {
    const int nfft = plan.nfft;
    const int count = std::clamp<std::int64_t>(n, 0, u.size());
    std::fill(u.begin(), u.begin() + std::max<std::int64_t>(nfft, count), 0.0f);
    for (const auto& yk : y)
        for (int i = 0; i < nfft; ++i) u[i] += yk[i];
    numerics::realft(u.first(nfft), nfft, -1);
    if (wavelet) {
        const float divisor = 0.5f * tapers.sum;
        for (int i = 0; i < count; ++i) u[i] /= divisor;
    } else {
        const float factor = 2.0f / tapers.sum;
        for (int i = 0; i < count; ++i) u[i] *= factor;
    }
    return count;
}

} // namespace multitaper
