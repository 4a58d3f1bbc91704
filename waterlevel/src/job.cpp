#include "waterlevel/job.hpp"

#include "console/console.hpp"
#include "console/outputs.hpp"
#include "numerics/condition.hpp"
#include "numerics/delay.hpp"
#include "numerics/fft.hpp"
#include "traceio/header.hpp"
#include "traceio/sacfile.hpp"
#include "waterlevel/wldecon.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <ostream>
#include <sstream>

namespace waterlevel {

namespace {

// Static buffers reused from job to job.  The two extra places of the long
// buffers take the Nyquist pair of the forward transform.
struct Buffers {
    std::array<float, max_nfft + 2> trace;   // raw wavelet, then cut trace and result
    std::array<float, max_nfft + 2> wavelet; // cut wavelet and its spectrum
    std::array<float, max_samples> dc;       // raw decon input trace
    std::array<float, max_nfft + 2> cdata;   // conv. file trace and its spectrum
    std::array<float, max_samples + 1> d2;   // wavelet power spectrum
};
Buffers buffers;

// How far into each buffer values may stand, from this job or an earlier one
// (the buffers start as zeros).  A mark is raised before anything is written,
// so a job that ends early leaves it on the safe side; clearing to the end of
// a buffer stops at its mark, which leaves the same zeros for a fraction of
// the work.
struct Written {
    std::size_t trace = 0, wavelet = 0, dc = 0, cdata = 0;
};
Written written;

void touch(std::size_t& mark, std::size_t n) {
    mark = std::max(mark, n);
}

// The interpolation slope floor used when cutting traces.
constexpr float slope_floor = 1.0e-4f;

// Clears x from sample n + 1 to the end of the buffer.
void clear_after(std::span<float> x, int n, std::size_t& mark) {
    const auto upto = static_cast<int>(std::min(mark, x.size()));
    numerics::zero(x, n + 1, upto - n);
    mark = std::min(mark, static_cast<std::size_t>(std::max(n, 0)));
}

bool good_interval(float delta) {
    return std::isfinite(delta) && delta > 0.0f;
}

// Gives up the job over a problem of its data: in input-list mode only this job
// is lost (the message without "STOP"); a job of the command line stops the
// run with the message.
[[noreturn]] void refuse(std::string_view message, std::string_view reason = {}) {
    if (console::reading_job_list()) console::skip(console::Record().text(message).str(), reason);
    console::stop(message, reason);
}

// A trace as read: its sample count, begin time and sample interval.
struct Trace {
    int n = 0;
    float b = 0.0f;
    float delta = 0.0f;
};

// rsac1 with the system's reason for a failure kept (errno as the failed
// call left it).
void read_samples(const std::string& name, std::span<float> y, Trace& t, int max,
                  std::string_view trouble) {
    int nerr = 0;
    errno = 0;
    traceio::rsac1(name, y, t.n, t.b, t.delta, max, nerr);
    if (nerr != 0) console::stop(trouble, console::file_reason(name, errno));
}

// The careful reading: the header alone first, to check the sample count
// before any sample lands in the buffer, then the samples.
void read_in_two(const std::string& name, std::span<float> y, Trace& t, std::string_view trouble) {
    int nerr = 0;
    read_samples(name, y, t, 0, trouble);
    // A spectral or x-y file holds no samples in time.
    if (const std::string why = traceio::time_series_problem(); !why.empty())
        refuse("**Not a time series.", why);
    int npts = 0;
    traceio::getnhv("npts", npts, nerr);
    if (nerr != 0) console::stop(trouble);
    if (npts > max_samples) console::stop("**File too long, shorten it.");
    read_samples(name, y, t, max_nfft, trouble);
}

// Reads into y, whose mark covers all of y until the read has succeeded.
// A whole trace that fits the buffer with room to spare is read at once,
// header and samples, and checked afterwards: the same checks, messages and
// values as the careful reading, for half the file opens.  Anything else (a
// read that fails, a trace that fills the buffer and may be longer) is read
// again the careful way, which tells what went wrong.
Trace read_trace(const std::string& name, std::span<float> y, std::string_view trouble,
                 std::size_t& mark) {
    console::concerning(name);
    Trace t;
    const std::size_t before = mark;
    mark = y.size();
    int nerr = 0;
    traceio::rsac1(name, y, t.n, t.b, t.delta, max_nfft, nerr);
    if (nerr != 0 || static_cast<std::size_t>(t.n) >= y.size()) {
        read_in_two(name, y, t, trouble);
    } else {
        if (const std::string why = traceio::time_series_problem(); !why.empty())
            refuse("**Not a time series.", why);
    }
    // (Read the careful way, the file may have grown since its header was.)
    if (t.n > max_samples) console::stop("**File too long, shorten it.");
    if (t.n < 1) refuse("**Trace has no samples.");
    if (!good_interval(t.delta)) refuse("**Bad sample interval.");
    // An undefined, infinite or far-off begin time puts the samples at times
    // no window can be cut at.
    if (const std::string why = traceio::begin_time_problem(); !why.empty())
        refuse("**Bad begin time.", why);
    mark = std::max(before, static_cast<std::size_t>(t.n));
    return t;
}

// A window cut from a trace: k, the count of samples the conditioning works
// on (the first sample after te, or all of them), and length, how far the
// cut reaches into its buffer (zeros beyond).
struct Cut {
    int k = 0;
    int length = 0;
};

// Cuts samples at ts, ts + delta, ... (time accumulated by repeated addition)
// from the raw trace into cut, up to te: as many as the trace has samples,
// and as many more as lie before its first sample, so that a window that
// starts before the trace still reaches the trace's end.  Samples after te
// are 0.  The times, which only grow, are laid out in cut first and
// interpolated there.  A window that would take more than max_samples gives
// up the job.
Cut cut_window(const Trace& raw, std::span<const float> y, float ts, float te, std::span<float> cut,
               std::size_t& mark) {
    if (ts < raw.b) touch(mark, max_samples);
    int inside = 0, before = 0;
    float t = ts;
    for (; inside < raw.n + before && inside < max_samples && t <= te; t += raw.delta) {
        if (t < raw.b) ++before;
        cut[inside++] = t;
    }
    const int limit = raw.n + before;
    if (inside == max_samples && inside < limit && t <= te)
        refuse("**Window too long - at most 32768 samples.",
               "the window starts too long before the trace");
    const auto times = cut.first(static_cast<std::size_t>(inside));
    numerics::wigint(raw.b, y, raw.n, raw.delta, slope_floor, times, times);
    const int length = std::max(raw.n, inside);
    std::fill(cut.begin() + inside, cut.begin() + length, 0.0f);
    return {inside < limit ? inside + 1 : limit, length};
}

// A window that misses the trace altogether would cut nothing but zeros.
void check_overlap(const Trace& t, const Settings& s, std::string_view which) {
    const float last = t.b + static_cast<float>(t.n - 1) * t.delta;
    if (s.te < t.b || s.ts > last) {
        std::ostringstream m;
        m << "**Window " << s.ts << " to " << s.te << " s lies wholly outside the " << which << " ("
          << t.b << " to " << last << " s).";
        console::skip(console::Record().text(m.str()).str());
    }
}

void check_rates(const Trace& other, float dw) {
    if (std::abs(other.delta - dw) * static_cast<float>(other.n) > 0.5f)
        console::stop("**Sample rate mismatch.");
}

void set_float(std::string_view name, float value) {
    int nerr = 0;
    traceio::setfhv(name, value, nerr);
}

void set_int(std::string_view name, int value) {
    int nerr = 0;
    traceio::setnhv(name, value, nerr);
}

// A debug trace, with the header in the store: one that cannot be written
// is reported and the job goes on.
void write_debug(std::string_view file, std::span<const float> y) {
    const std::string path = console::debug_path(file);
    traceio::describe_samples(y);
    int nerr = 0;
    errno = 0;
    traceio::wsac0(path, {}, y, nerr);
    if (nerr != 0) console::debug_file_failed(path, errno);
}

void print_information(int npts, int nfft, float fny, float df, float dt) {
    console::out() << " npts=" << console::int_field(npts, 5)
                   << " nft=" << console::int_field(nfft, 5)
                   << " fny=" << console::fixed_field(fny, 7, 4)
                   << " delf=" << console::fixed_field(df, 8, 4)
                   << " dt=" << console::fixed_field(dt, 6, 3) << '\n';
}

// Samples written in input-list mode: the nearest integer to (te + tdelay)/dt
// (halves away from zero), which covers the window from -tdelay to te; never
// more than the result holds.
int output_count(const Settings& s, float dt, int nfft) {
    const float r = (s.te + s.tdelay) / dt;
    if (!(r >= 0.5f)) refuse("**Window end lies before the output start - nothing to write.");
    if (r >= static_cast<float>(nfft)) return nfft;
    return static_cast<int>(std::lround(r));
}

// A circular delay that misdates zero lag (numerics::misdated_zero_lag) is
// said, with the output written as always (runs that rely on it give the
// same file).
void warn_wrapped_shift(float tdelay, int nfft, float dt, int nout) {
    const std::string why = numerics::misdated_zero_lag(tdelay, nfft, dt, nout);
    if (why.empty()) return;
    console::err() << console::Record().text("**Time shift beyond the transform length.").str()
                   << '\n'
                   << console::where(why) << '\n';
}

} // namespace

void process_job(const Settings& s, const Names& names) {
    Buffers& buf = buffers;
    const bool command_line = !s.input_list;
    // Nothing is read or written for an output name that cannot be used.
    if (!traceio::plain_file_name(names.output())) console::refuse_name("Output", names.output());
    console::keep_text_off_trace(names.output());

    // Wavelet: read raw into the trace buffer, cut into the wavelet buffer.
    const Trace w = read_trace(names.wavelet(), buf.trace, "**Trouble reading wavelet input file.",
                               written.trace);
    check_overlap(w, s, "wavelet trace");
    clear_after(buf.trace, w.n, written.trace);
    touch(written.wavelet, static_cast<std::size_t>(w.n));
    const Cut cw = cut_window(w, buf.trace, s.ts, s.te, buf.wavelet, written.wavelet);
    const int k = cw.k;
    if (command_line) {
        numerics::demean(buf.wavelet, k);
        numerics::dtrend(buf.wavelet, k);
    }
    if (s.blen > 0.0f) numerics::window(s.blen, k, w.delta, buf.wavelet);
    clear_after(buf.wavelet, cw.length, written.wavelet);
    if (s.debug) {
        set_float("b", s.ts);
        write_debug("decon.wav", buf.wavelet);
    }

    // Decon input: read raw into dc, cut into the trace buffer.
    const Trace d =
        read_trace(names.decon(), buf.dc, "**Trouble reading decon input file.", written.dc);
    clear_after(buf.dc, d.n, written.dc); // nothing of an earlier job reaches the interpolation
    check_rates(d, w.delta);
    check_overlap(d, s, "decon input trace");
    if (command_line) {
        numerics::demean(buf.dc, d.n);
        numerics::dtrend(buf.dc, d.n);
    }
    touch(written.trace, static_cast<std::size_t>(d.n));
    const int nd = cut_window(d, buf.dc, s.ts, s.te, buf.trace, written.trace).length;
    clear_after(buf.trace, nd, written.trace);

    // Conv. file: used whole from its first sample, not cut to the window.
    int nc = 0;
    if (s.oconv) {
        const Trace c = read_trace(names.conv(), buf.cdata, "**Trouble reading decon conv. file.",
                                   written.cdata);
        nc = c.n;
        numerics::demean(buf.cdata, nc);
        numerics::dtrend(buf.cdata, nc);
        clear_after(buf.cdata, nc, written.cdata);
        check_rates(c, w.delta);
    }

    if (s.blen > 0.0f) {
        numerics::window(s.blen, nd, w.delta, buf.trace);
        if (s.oconv) numerics::window(s.blen, nc, w.delta, buf.cdata);
    }
    if (s.debug) {
        set_float("b", s.ts);
        set_int("npts", nd);
        write_debug("decon.trc", buf.trace);
        if (s.oconv) {
            set_int("npts", nc);
            write_debug("decon.cnv", buf.cdata);
        }
    }

    // Transform length: room for the longest series and as much zero padding
    // again, so the division's wrap-around stays out of the data.  dfftr needs
    // at least 4 points (one-sample traces).
    const int npts = std::max({cw.length, nd, nc});
    const int nfft = std::max(numerics::npowr2(2 * npts), 4);
    const float fny = 1.0f / (2.0f * w.delta);
    const float df = fny / static_cast<float>(nfft / 2);
    if (command_line) print_information(npts, nfft, fny, df, w.delta);

    const Division division{s.c, s.agauss, s.tdelay, s.oconv};
    int nerr = 0;
    const auto transformed = static_cast<std::size_t>(nfft) + 2;
    touch(written.trace, transformed);
    touch(written.wavelet, transformed);
    if (s.oconv) touch(written.cdata, transformed);
    wldecon(buf.trace, buf.wavelet, buf.cdata, buf.d2, nfft, w.delta, df, division, nerr);
    if (nerr != 0) {
        console::concerning(names.wavelet());
        refuse("**Wavelet is zero - nothing to deconvolve.");
    }

    const int nout = command_line ? npts : output_count(s, w.delta, nfft);
    warn_wrapped_shift(s.tdelay, nfft, w.delta, nout);
    const std::span<const float> result(buf.trace.data(), static_cast<std::size_t>(nout));
    if (!std::all_of(result.begin(), result.end(), [](float x) { return std::isfinite(x); }))
        refuse("**Result is not finite - check the input traces.");

    set_float("b", -s.tdelay);
    set_float("user2", s.c);
    set_float("user3", s.agauss);
    set_int("npts", nout);
    traceio::describe_samples(result);
    console::concerning(names.output());
    errno = 0;
    traceio::wsac0(names.output(), {}, buf.trace, nerr);
    if (nerr != 0)
        console::fail(console::Record()
                          .text("**Trouble writing ")
                          .text(console::upto_blank(names.output()))
                          .str(),
                      console::file_reason(names.output(), errno));
}

} // namespace waterlevel
