// Fixed-column model reader and the absorption-band attenuation factors.
#include "synthetics/layers.hpp"

#include "console/console.hpp"
#include "numerics/constants.hpp"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <istream>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace synthetics {
namespace {

constexpr int nfields = 9;      // reals per layer line
constexpr int field_width = 8;  // columns per real
constexpr int first_column = 5; // column of the first real
// A model of 100 layers takes under 8 kB; a file a hundred times larger is
// something else (a trace, a log, a device) and is not read.
constexpr long long max_model_bytes = 1 << 20;

using numerics::four_pi_squared_f;
using numerics::two_over_pi_f;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Concatenates message parts (built up from a std::string, not from a literal).
std::string join(std::initializer_list<std::string_view> parts) {
    std::string s;
    for (std::string_view p : parts) s.append(p);
    return s;
}

std::string quoted(std::string_view file) {
    return join({"'", file, "'"});
}

// Opens a model file for reading: a regular file of a size a model can have.
// Anything else ends the run.  The open does not wait for the writer of a
// FIFO.
File open_model(std::string_view file) {
    const std::string name(file);
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        const int err = errno;
        if (fd >= 0) ::close(fd);
        console::file_failure(
            join({"kestrum: cannot read model file ", quoted(file), ": ", std::strerror(err)}));
    }
    std::string trouble;
    if (S_ISDIR(st.st_mode))
        trouble =
            join({"kestrum: cannot read model file ", quoted(file), ": ", std::strerror(EISDIR)});
    else if (!S_ISREG(st.st_mode))
        trouble = join({"kestrum: model file ", quoted(file), " is not a regular file"});
    else if (st.st_size > max_model_bytes)
        trouble = join({"kestrum: model file ", quoted(file), " is far larger than a model (",
                        std::to_string(st.st_size), " bytes)"});
    std::FILE* f = trouble.empty() ? ::fdopen(fd, "r") : nullptr;
    if (f == nullptr) {
        ::close(fd);
        console::file_failure(trouble.empty() ? join({"kestrum: cannot read model file ",
                                                      quoted(file), ": ", std::strerror(errno)})
                                              : trouble);
    }
    return File(f);
}

// Reads record `lineno` (from 1); false at end of file.  A read error or a
// line longer than any model line ends the run.
bool read_record(std::FILE* f, std::string_view file, int lineno, std::string& line) {
    line.clear();
    int c;
    bool too_long = false;
    while ((c = std::fgetc(f)) != EOF && c != '\n') {
        if (line.size() < console::max_line)
            line.push_back(static_cast<char>(c));
        else
            too_long = true;
    }
    if (std::ferror(f)) {
        int err = errno;
        console::file_failure(
            join({"kestrum: cannot read model file ", quoted(file), ": ", std::strerror(err)}));
    }
    if (too_long)
        console::file_failure(
            join({"kestrum: model file ", quoted(file), ", line ", std::to_string(lineno),
                  " is longer than ", std::to_string(console::max_line), " characters"}));
    if (c == EOF && line.empty()) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back(); // text written on DOS
    return true;
}

// Columns first..first+width-1 (from 1) of a record, blank beyond its end.
std::string columns(const std::string& line, int first, int width) {
    std::string s(static_cast<size_t>(width), ' ');
    for (int i = 0; i < width; ++i) {
        size_t k = static_cast<size_t>(first - 1 + i);
        if (k < line.size()) s[static_cast<size_t>(i)] = line[k];
    }
    return s;
}

[[noreturn]] void bad_field(std::string_view file, int lineno, int first, int width,
                            const std::string& text) {
    console::file_failure(
        join({"kestrum: model file ", quoted(file), ", line ", std::to_string(lineno), ": '", text,
              "' in columns ", std::to_string(first), "-", std::to_string(first + width - 1),
              " is not a number"}));
}

// Integer field: optional sign and digits; embedded blanks are ignored and an
// all-blank field is 0.
bool integer_field(const std::string& text, int& value) {
    long v = 0;
    bool negative = false, sign_seen = false, digit_seen = false;
    for (char ch : text) {
        if (ch == ' ') continue;
        if ((ch == '+' || ch == '-') && !sign_seen && !digit_seen) {
            sign_seen = true;
            negative = ch == '-';
        } else if (ch >= '0' && ch <= '9') {
            digit_seen = true;
            v = v * 10 + (ch - '0');
            if (v > 1000000000L) return false;
        } else {
            return false;
        }
    }
    value = static_cast<int>(negative ? -v : v);
    return true;
}

// Real field with `decimals` implied decimals: [sign] digits [. digits]
// [exponent], where the exponent is E or D with an optional sign, or a sign
// alone.  Blanks are ignored; an all-blank field is 0.  Anything else, such as
// "NaN" or a stray letter, is refused.  `implied` tells whether the implied
// decimals were applied to non-zero digits (a field written without its
// decimal point).
bool real_field(const std::string& text, int decimals, float& value, bool& implied) {
    implied = false;
    std::string s;
    for (char ch : text)
        if (ch != ' ') s.push_back(ch);
    if (s.empty()) {
        value = 0.0f;
        return true;
    }
    size_t i = 0;
    std::string mantissa;
    if (s[i] == '+' || s[i] == '-') mantissa.push_back(s[i++]);
    bool point = false, digits = false;
    for (; i < s.size(); ++i) {
        char ch = s[i];
        if (ch >= '0' && ch <= '9') {
            digits = true;
            mantissa.push_back(ch);
        } else if (ch == '.' && !point) {
            point = true;
            mantissa.push_back(ch);
        } else {
            break;
        }
    }
    long exponent = 0;
    if (i < s.size()) {
        char ch = s[i];
        if (ch == 'e' || ch == 'E' || ch == 'd' || ch == 'D')
            ++i;
        else if (ch != '+' && ch != '-')
            return false;
        int e = 0;
        std::string rest = s.substr(i);
        if (rest.empty() || rest == "+" || rest == "-" || !integer_field(rest, e)) return false;
        exponent = e;
    }
    if (!digits) {
        // A sign or a point alone reads as zero.
        value = 0.0f;
        return exponent == 0;
    }
    if (!point) exponent -= decimals;
    std::string number = join({mantissa, "e", std::to_string(exponent)});
    value = std::strtof(number.c_str(), nullptr); // nearest float, as a formatted read gives
    implied = !point && decimals != 0 && value != 0.0f;
    return std::isfinite(value);
}

// A field without a decimal point is read with two implied decimals, which
// turns a thickness of 15 km written as "15" into 0.15 km: said on standard
// error, and read as the fixed format has it.
void warn_implied(std::string_view file, int lineno, int first, const std::string& text,
                  float value) {
    std::ostringstream m;
    m << "kestrum: warning: model file " << quoted(file) << ", line " << lineno << ", columns "
      << first << "-" << first + field_width - 1 << ": '" << text
      << "' has no decimal point and is read as " << value;
    console::err() << m.str() << '\n';
}

std::string pad10(std::string_view s) {
    std::string r(s.substr(0, 10));
    r.resize(10, ' ');
    return r;
}

} // namespace

int blank(std::string_view text, int length) {
    int n = std::min(length, static_cast<int>(text.size()));
    for (int i = n; i >= 1; --i)
        if (text[static_cast<size_t>(i - 1)] != ' ') return i;
    return 1;
}

bool yesno(std::string_view question, int length) {
    std::string q(question.substr(0, static_cast<size_t>(std::max(length, 0))));
    q.resize(static_cast<size_t>(std::max(length, 0)), ' ');
    console::out() << q << std::flush;
    std::string answer;
    if (!std::getline(console::in(), answer)) return false;
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

bool rdlyr(int flags, std::string_view file, int /*limit*/, int& n, std::string& title,
           std::span<float> vp, std::span<float> vs, std::span<float> rho, std::span<float> h,
           std::span<float> vp_bottom, std::span<float> vs_bottom, std::span<float> rho_bottom,
           std::span<float> qp, std::span<float> qs) {
    bool list = false;
    if ((flags & 2) == 0) list = yesno("List the site model? (y or n) ", 30);

    File f = open_model(file);
    std::string line;
    if (!read_record(f.get(), file, 1, line))
        console::file_failure(join({"kestrum: model file ", quoted(file), " is empty"}));
    std::string count = columns(line, 1, 3);
    if (!integer_field(count, n)) bad_field(file, 1, 1, 3, count);
    title = columns(line, 4, 10);
    title.resize(32, ' ');

    if ((flags & 4) == 0)
        console::out() << " file: " << pad10(file) << " model: " << title.substr(0, 10) << "  "
                       << console::int_field(n, 3) << " layers \n";

    // The arrays hold a fixed number of layers; refuse a count they cannot hold
    // before anything is stored.
    size_t capacity = std::min({vp.size(), vs.size(), rho.size(), h.size(), vp_bottom.size(),
                                vs_bottom.size(), rho_bottom.size(), qp.size(), qs.size()});
    if (n < 1) {
        console::err() << "**RDLYR:  No layers in model file " << quoted(file) << " (layer count "
                       << n << ")\n";
        return false;
    }
    if (static_cast<size_t>(n) > capacity) {
        console::err() << "**RDLYR:  Too many layers in model file " << quoted(file) << ": " << n
                       << " (at most " << capacity << ")\n";
        return false;
    }

    if (list)
        console::out() << "\n\n lyr     vp      vs     rho      h     vp"
                          "      vs     rho       ???\n";

    for (int i = 1; i <= n; ++i) {
        if (!read_record(f.get(), file, i + 1, line))
            console::file_failure(join({"kestrum: model file ", quoted(file), " ends before layer ",
                                        std::to_string(i), " of ", std::to_string(n)}));
        std::string number = columns(line, 1, 3);
        int layer = 0;
        if (!integer_field(number, layer)) bad_field(file, i + 1, 1, 3, number);
        float v[nfields];
        for (int k = 0; k < nfields; ++k) {
            int first = first_column + k * field_width;
            std::string text = columns(line, first, field_width);
            bool implied = false;
            if (!real_field(text, 2, v[k], implied))
                bad_field(file, i + 1, first, field_width, text);
            if (implied) warn_implied(file, i + 1, first, text, v[k]);
        }
        if (layer != i) {
            console::err() << "**RDLYR:  Layers out of order\n";
            return false;
        }
        size_t j = static_cast<size_t>(i - 1);
        vp[j] = v[0], vs[j] = v[1], rho[j] = v[2], h[j] = v[3];
        vp_bottom[j] = v[4], vs_bottom[j] = v[5], rho_bottom[j] = v[6];
        qp[j] = v[7], qs[j] = v[8];
        if (list) {
            console::out() << ' ' << console::int_field(i, 3) << ' ';
            for (float x : v) console::out() << console::fixed_field(x, 8, 2);
            console::out() << '\n';
        }
        if (i > 1) {
            // The base of a gradient must meet the top of the layer below.
            size_t a = j - 1;
            bool p_break =
                vp_bottom[a] != 0.0f && (vp_bottom[a] != vp[j] || rho_bottom[a] != rho[j]);
            bool s_break =
                vs_bottom[a] != 0.0f && (vs_bottom[a] != vs[j] || rho_bottom[a] != rho[j]);
            if (p_break || s_break) {
                console::err() << "**RDLYR:  Speed or rho disc. at base of gradient, layer "
                               << console::int_field(i, 2) << '\n';
                return false;
            }
        }
    }
    f.reset();
    if (h[static_cast<size_t>(n - 1)] != 0.0f) {
        console::out() << "**RDLYR:  Last layer " << console::int_field(n, 3)
                       << " not zero thickness\n";
        return false;
    }
    return true;
}

double vabm(double omega, double tau1, double tau2, double q) {
    double a = two_over_pi_f / q * 0.25;
    double w2 = omega * omega;
    double t1 = tau1 * tau1, t2 = tau2 * tau2;
    double at_omega = std::log((1.0 + w2 * t1) / (1.0 + w2 * t2));
    double at_1hz = std::log((1.0 + four_pi_squared_f * t1) / (1.0 + four_pi_squared_f * t2));
    return (1.0 + a * at_omega) / (1.0 + a * at_1hz);
}

double qabm(double omega, double tau1, double tau2, double q) {
    double e =
        std::atan(omega * (tau1 - tau2) / (1.0 + omega * omega * tau1 * tau2)) * two_over_pi_f / q;
    if (e == 0.0) e = 1e-5;
    return 1.0 / e;
}

} // namespace synthetics
