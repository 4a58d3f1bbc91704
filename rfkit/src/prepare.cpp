// Preparing one event for deconvolution (see prepare.hpp): belonging
// together, geometry, P, window, rotation, conditioning and signal-to-noise.
#include "rfkit/prepare.hpp"

#include "numerics/condition.hpp"
#include "rfkit/butterworth.hpp"
#include "rfkit/iasp91.hpp"
#include "rfkit/reftime.hpp"
#include "rfkit/rotation.hpp"
#include "traceio/distaz.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <span>

namespace rfkit {

namespace {

std::string fixed(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}

std::string quoted(const std::string& s) {
    return "'" + s + "'";
}

// ---- which file is which ------------------------------------------------

// How a component is oriented: up or down (vertical), or horizontal with an
// azimuth.  From CMPINC and CMPAZ, else from the channel name's last letter.
struct Orientation {
    enum Kind { up, down, horizontal, unknown } kind = unknown;
    double azimuth = 0;
    std::string why; // for unknown
};

bool near(double a, double b) {
    return std::abs(a - b) <= 1.0; // degrees
}

Orientation orientation(const Recording& r) {
    const char last =
        r.channel.empty()
            ? '\0'
            : static_cast<char>(std::toupper(static_cast<unsigned char>(r.channel.back())));
    const auto horizontal = [&]() -> Orientation {
        if (!std::isnan(r.cmpaz)) return {Orientation::horizontal, r.cmpaz, {}};
        if (last == 'N') return {Orientation::horizontal, 0, {}};
        if (last == 'E') return {Orientation::horizontal, 90, {}};
        return {Orientation::unknown, 0, "a horizontal component with no azimuth (CMPAZ)"};
    };
    if (!std::isnan(r.cmpinc)) {
        if (near(r.cmpinc, 0)) return {Orientation::up, 0, {}};
        if (near(r.cmpinc, 180)) return {Orientation::down, 0, {}};
        if (near(r.cmpinc, 90)) return horizontal();
        return {Orientation::unknown, 0,
                "inclined " + fixed(r.cmpinc, 1) + " deg from the vertical (CMPINC)"};
    }
    if (last == 'Z') return {Orientation::up, 0, {}};
    if (last == 'N' || last == 'E' || !std::isnan(r.cmpaz)) return horizontal();
    return {Orientation::unknown, 0, "orientation unknown (no CMPINC, CMPAZ or channel letter)"};
}

std::string station_label(const Recording& r) {
    std::string s = r.network.empty() ? r.station : r.network + "." + r.station;
    if (!r.location.empty()) s += "." + r.location;
    return s.empty() ? "(no name)" : s;
}

// Remarks for the user gather in one line.
void add_note(Prepared& out, const std::string& text) {
    if (!out.note.empty()) out.note += "; ";
    out.note += text;
}

// Seconds from Z's reference time to another recording's.
double reference_offset(const Recording& z, const Recording& r) {
    return static_cast<double>(r.reference - z.reference) / 1000;
}

// The first defined value of a field among the three recordings, with its
// agreement checked: values further apart than `tolerance` give a message.
std::optional<double> common_value(const std::array<Recording, 3>& rec,
                                   double (*get)(const Recording&, const Recording&),
                                   double tolerance, const char* what, std::string& why) {
    std::optional<double> first;
    for (const Recording& r : rec) {
        const double v = get(rec[0], r);
        if (std::isnan(v)) continue;
        if (!first) {
            first = v;
        } else if (std::abs(v - *first) > tolerance) {
            why = "the files disagree on the " + std::string(what) + " (" + fixed(*first, 3) +
                  " and " + fixed(v, 3) + ")";
            return std::nullopt;
        }
    }
    return first;
}

// ---- window arithmetic --------------------------------------------------

// Z sample indices [lo, hi] covered by all three components.
struct Span {
    long lo, hi;
};

double rms(std::span<const float> x, double begin, double dt, double from, double to) {
    double sum = 0;
    long n = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = begin + static_cast<double>(i) * dt;
        if (t < from || t > to) continue;
        sum += static_cast<double>(x[i]) * x[i];
        ++n;
    }
    return n > 0 ? std::sqrt(sum / static_cast<double>(n)) : 0;
}

void condition(std::span<float> x, double taper, double dt) {
    const int n = static_cast<int>(x.size());
    numerics::demean(x, n);
    numerics::dtrend(x, n);
    numerics::window(static_cast<float>(taper), n, static_cast<float>(dt), x);
}

} // namespace

std::string describe_event(const Prepared& p) {
    return p.has_origin ? "event " + iso_time(p.origin) : "event";
}

bool prepare(const std::array<std::string, 3>& files, const PrepSettings& s, Prepared& out,
             std::string& why) {
    out = Prepared{};
    out.files = files;

    // Read (last to first: a list in the usual Z, N, E order then leaves
    // Z's header in the store), and order as Z, H1, H2.
    // Kept from one event to the next: a batch then reuses the records'
    // memory instead of taking and returning it for every event.
    static std::array<Recording, 3> rec;
    for (std::size_t i = 3; i-- > 0;) {
        std::string reason;
        if (!read_recording(files[i], rec[i], reason)) {
            why = quoted(files[i]) + ": " + reason;
            return false;
        }
    }
    std::array<Orientation, 3> how;
    int vertical = -1, verticals = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        how[i] = orientation(rec[i]);
        if (how[i].kind == Orientation::unknown) {
            why = quoted(files[i]) + ": " + how[i].why;
            return false;
        }
        if (how[i].kind != Orientation::horizontal) vertical = static_cast<int>(i), ++verticals;
    }
    if (verticals != 1) {
        why = "the files are not one vertical and two horizontal components (" +
              std::to_string(verticals) + " vertical)";
        return false;
    }
    std::rotate(rec.begin(), rec.begin() + vertical, rec.begin() + vertical + 1);
    std::rotate(how.begin(), how.begin() + vertical, how.begin() + vertical + 1);
    for (std::size_t i = 0; i < 3; ++i) out.files[i] = rec[i].file;
    const Recording& z = rec[0];

    // The origin first, so that later messages can name the event.
    const auto origin = common_value(
        rec,
        [](const Recording& z0, const Recording& r) { return reference_offset(z0, r) + r.origin; },
        0.01, "origin time O", why);
    if (!why.empty()) return false;
    if (origin) {
        out.has_origin = true;
        out.origin = z.reference + nearest_ms(*origin);
    }

    // Same station, same event, same sampling.
    for (const Recording& r : rec) {
        if (r.network != z.network || r.station != z.station || r.location != z.location) {
            why = "the files are of different stations (" + station_label(z) + " and " +
                  station_label(r) + ")";
            return false;
        }
    }
    if (z.station.empty()) {
        why = "no station name (KSTNM)";
        return false;
    }
    // The band and instrument letters before the orientation (BH of BHZ):
    // components of two sensors of one station have their own responses.
    const auto sensor = [](const Recording& r) {
        return r.channel.size() > 1 ? r.channel.substr(0, r.channel.size() - 1) : std::string();
    };
    for (const Recording& r : rec) {
        if (!sensor(z).empty() && !sensor(r).empty() && sensor(r) != sensor(z)) {
            why = "the files are of different sensors (channels " + z.channel + " and " +
                  r.channel + ")";
            return false;
        }
    }
    const auto field = [&](double Recording::*m, double tol, const char* what) {
        std::array<double, 3> v{rec[0].*m, rec[1].*m, rec[2].*m};
        std::optional<double> first;
        for (double x : v) {
            if (std::isnan(x)) continue;
            if (first && std::abs(x - *first) > tol) {
                why = "the files disagree on the " + std::string(what) + " (" + fixed(*first, 4) +
                      " and " + fixed(x, 4) + ")";
                return std::optional<double>{};
            }
            if (!first) first = x;
        }
        return first;
    };
    const auto stla = field(&Recording::stla, 1e-3, "station latitude STLA");
    const auto stlo = field(&Recording::stlo, 1e-3, "station longitude STLO");
    const auto evla = field(&Recording::evla, 1e-3, "event latitude EVLA");
    const auto evlo = field(&Recording::evlo, 1e-3, "event longitude EVLO");
    const auto evdp = field(&Recording::evdp, 1e-2, "event depth EVDP");
    const auto baz_header = field(&Recording::baz, 0.1, "back azimuth BAZ");
    const auto gcarc_header = field(&Recording::gcarc, 0.01, "distance GCARC");
    if (!why.empty()) return false;

    const double dt = z.delta;
    std::size_t longest = 0;
    for (const Recording& r : rec) longest = std::max(longest, r.samples.size());
    for (const Recording& r : rec) {
        // Equal when their sample times drift apart by under a tenth of a
        // sample over the longest record.
        if (std::abs(r.delta - dt) * static_cast<double>(longest) > 0.1 * dt) {
            why = "the files have different sample intervals (" + fixed(dt, 6) + " s and " +
                  fixed(r.delta, 6) + " s)";
            return false;
        }
    }

    // Alignment and common span, in Z's sample indices.
    Span common{0, static_cast<long>(z.samples.size()) - 1};
    std::array<long, 3> shift{0, 0, 0}; // H sample j sits at Z index j + shift
    for (std::size_t i = 1; i < 3; ++i) {
        const double offset = reference_offset(z, rec[i]) + rec[i].begin - z.begin;
        // Channels of one digitiser share their sample times, but records
        // from a data centre may start a few milliseconds apart.  Up to half
        // a sample they are aligned on the nearest sample (an error far below
        // a receiver function's resolution), with a note above a tenth.
        const double k = std::round(offset / dt);
        const double apart = std::abs(offset - k * dt);
        if (apart >= 0.499 * dt) {
            why = "the components are sampled at different times (offset " +
                  fixed(offset - k * dt, 4) + " s, half a sample)";
            return false;
        }
        if (apart > 0.1 * dt)
            add_note(out, "sample times " + fixed(apart, 4) + " s apart (" + fixed(apart / dt, 2) +
                              " of a sample), aligned on the nearest sample");
        if (std::abs(k) > 1e9) {
            why = "the files have no common time span";
            return false;
        }
        shift[i] = static_cast<long>(k);
        common.lo = std::max(common.lo, shift[i]);
        common.hi = std::min(common.hi, shift[i] + static_cast<long>(rec[i].samples.size()) - 1);
    }
    if (common.lo > common.hi) {
        why = "the files have no common time span";
        return false;
    }

    // Geometry: from the coordinates, else the header's back azimuth.
    if (stla && stlo && evla && evlo) {
        std::array<float, 1> fla{static_cast<float>(*stla)}, flo{static_cast<float>(*stlo)};
        std::array<float, 1> d{}, a{}, b{}, g{};
        int nerr = 0;
        traceio::distaz(traceio::enum_code("IEARTH"), static_cast<float>(*evla),
                        static_cast<float>(*evlo), fla, flo, 1, d, a, b, g, nerr);
        out.baz = b[0], out.gcarc = g[0], out.dist = d[0], out.az = a[0];
        out.has_distance = out.located = true;
    } else if (baz_header) {
        out.baz = *baz_header;
        if (gcarc_header) out.gcarc = *gcarc_header, out.has_distance = true;
    } else {
        why = "no event and station coordinates (EVLA, EVLO, STLA, STLO) and no back azimuth "
              "(BAZ)";
        return false;
    }
    out.radial_azimuth = radial_azimuth(out.baz);
    out.transverse_azimuth = transverse_azimuth(out.baz);

    // Direct P in iasp91, wherever distance and depth are known; outside the
    // model's ranges the event is refused even with a pick, since a direct-P
    // receiver function does not apply there.
    iasp91::Arrival arrival{};
    bool have_arrival = false;
    if (out.has_distance &&
        !(out.gcarc >= iasp91::min_distance && out.gcarc <= iasp91::max_distance)) {
        why = "distance " + fixed(out.gcarc, 2) + " deg is outside " +
              fixed(iasp91::min_distance, 0) + "-" + fixed(iasp91::max_distance, 0) +
              " deg, where direct P applies";
        return false;
    }
    if (evdp && !(*evdp >= 0 && *evdp <= iasp91::max_depth)) {
        why = "source depth EVDP " + fixed(*evdp, 1) + " km is outside 0-" +
              fixed(iasp91::max_depth, 0) + " km";
        // Some converters write EVDP in metres; say so where it would fit.
        if (*evdp > iasp91::max_depth && *evdp / 1000 <= iasp91::max_depth)
            why += " (a depth in metres? EVDP is read in km)";
        return false;
    }
    if (out.has_distance && evdp) {
        if (!iasp91::direct_p(*evdp, out.gcarc, arrival, why)) return false;
        have_arrival = true;
        out.slowness = arrival.slowness;
        out.has_slowness = true;
    }

    // P: the pick, else the prediction; seconds after Z's reference time.
    std::optional<double> picked;
    for (const Recording& r : rec) {
        const double v = r.picks[static_cast<std::size_t>(s.pick)];
        if (!std::isnan(v)) {
            picked = reference_offset(z, r) + v;
            break;
        }
    }
    double p_rel = 0;
    if (have_arrival && origin) {
        out.has_prediction = true;
        out.predicted = *origin + arrival.time; // re-based below
    }
    if (picked) {
        p_rel = *picked;
        out.picked = true;
        out.pick = s.pick;
        // Residuals of P against a 1-D Earth stay within a few seconds; a
        // pick much further off is more likely another phase's (an S pick
        // left in A).  Taken as given, and said.
        constexpr double far_from_prediction = 10; // s
        if (out.has_prediction && std::abs(*picked - out.predicted) > far_from_prediction)
            add_note(out, "the pick (" + pick_name(s.pick) + ") lies " +
                              fixed(*picked - out.predicted, 1) +
                              " s from the P iasp91 predicts: a pick of another phase?");
        if (!out.has_slowness)
            add_note(out, "no ray parameter (USER0): the " +
                              std::string(out.has_distance ? "source depth EVDP" : "distance") +
                              " is unknown");
    } else if (!origin) {
        why = "no P pick (" + pick_name(s.pick) + ") and no origin time (O)";
        return false;
    } else if (!out.has_distance) {
        why = "no P pick (" + pick_name(s.pick) +
              ") and no distance to predict P from (no "
              "coordinates, no GCARC)";
        return false;
    } else if (!evdp) {
        why = "no P pick (" + pick_name(s.pick) + ") and no source depth (EVDP) to predict P";
        return false;
    } else {
        p_rel = out.predicted;
    }
    out.p_time = z.reference + nearest_ms(p_rel);
    out.p_residual = p_rel - static_cast<double>(out.p_time - z.reference) / 1000;
    if (out.has_prediction) out.predicted -= static_cast<double>(out.p_time - z.reference) / 1000;

    // The window, in Z's sample indices; a sample within a thousandth of a
    // sample interval of an end counts as on it (a single-precision interval
    // such as 0.05 is not exact, and its error grows along the record).
    const double first = std::ceil((p_rel + s.from - z.begin) / dt - 1e-3);
    const double last = std::floor((p_rel + s.to - z.begin) / dt + 1e-3);
    if (!(first >= static_cast<double>(common.lo) && last <= static_cast<double>(common.hi))) {
        const double span_from = z.begin + static_cast<double>(common.lo) * dt - p_rel;
        const double span_to = z.begin + static_cast<double>(common.hi) * dt - p_rel;
        why = "the window " + fixed(s.from, 1) + " to " + fixed(s.to, 1) +
              " s around P is not inside the recordings, which run from " + fixed(span_from, 1) +
              " to " + fixed(span_to, 1) + " s around P";
        return false;
    }
    const long i0 = static_cast<long>(first), i1 = static_cast<long>(last);

    // A band-pass runs over a longer stretch than the window, so that its
    // start-up stays away from the window.
    long s0 = i0, s1 = i1;
    const bool filtering = s.f2 > 0;
    if (filtering) {
        const double pad = std::max(60.0, s.f1 > 0 ? 5 / s.f1 : 0.0);
        const long n = static_cast<long>(std::ceil(pad / dt));
        s0 = std::max(common.lo, i0 - n);
        s1 = std::min(common.hi, i1 + n);
    }
    const std::size_t len = static_cast<std::size_t>(s1 - s0 + 1);
    std::array<std::vector<float>, 3> seg;
    for (std::size_t c = 0; c < 3; ++c) {
        const auto from = rec[c].samples.begin() + (s0 - shift[c]);
        seg[c].assign(from, from + static_cast<long>(len));
        if (!std::ranges::all_of(seg[c], [](float v) { return std::isfinite(v); })) {
            why = quoted(rec[c].file) + ": samples that are not finite numbers";
            return false;
        }
        const auto w0 = seg[c].begin() + (i0 - s0), w1 = seg[c].begin() + (i1 - s0) + 1;
        if (std::all_of(w0, w1, [](float v) { return v == 0.0f; })) {
            why = quoted(rec[c].file) + ": the component is all zeros in the window";
            return false;
        }
    }
    if (how[0].kind == Orientation::down)
        for (float& v : seg[0]) v = -v;

    Rotation rot{};
    if (!rotation(how[1].azimuth, how[2].azimuth, out.baz, rot)) {
        why = "the horizontal components are nearly parallel (CMPAZ " + fixed(how[1].azimuth, 1) +
              " and " + fixed(how[2].azimuth, 1) + ")";
        return false;
    }
    std::vector<float> r(len), t(len);
    rotate(rot, seg[1], seg[2], r, t);
    seg[1] = std::move(r);
    seg[2] = std::move(t);

    if (filtering) {
        const auto sections = butterworth_bandpass(s.order, s.f1, s.f2, dt);
        for (auto& x : seg) condition(x, s.taper, dt);
        const std::span<float> zrt[] = {seg[0], seg[1], seg[2]};
        filter_zero_phase(sections, zrt);
    }
    for (std::size_t c = 0; c < 3; ++c) {
        out.zrt[c].assign(seg[c].begin() + (i0 - s0), seg[c].begin() + (i1 - s0) + 1);
        condition(out.zrt[c], s.taper, dt);
    }

    out.delta = dt;
    out.begin = z.begin + static_cast<double>(i0) * dt - p_rel;
    const double noise = rms(out.zrt[0], out.begin, dt, s.noise_from, s.noise_to);
    const double signal = rms(out.zrt[0], out.begin, dt, 0, s.signal_to);
    out.has_snr = noise > 0; // a noise-free synthetic has no ratio
    out.snr = out.has_snr ? signal / noise : 0;
    // The store is left holding Z's header, which the outputs start from.
    if (vertical != 0) {
        int n = 0, nerr = 0;
        float b = 0, d = 0;
        traceio::rsac1(z.file, {}, n, b, d, 0, nerr);
        if (nerr != 0) {
            why = quoted(z.file) + ": could not be read again";
            return false;
        }
    }
    out.network = z.network;
    out.station = z.station;
    out.location = z.location;
    out.channel_prefix = z.channel.size() > 1 ? z.channel.substr(0, z.channel.size() - 1) : "";
    return true;
}

} // namespace rfkit
