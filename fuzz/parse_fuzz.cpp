// Numbers and tokens from arbitrary text: gnum, tokens, getnbs and the list
// reader keep to their counts and never read or write outside their text.
#include "harness.hpp"
#include "numerics/parse.hpp"

#include <array>
#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    const int maxtok = 1 + data[0] % 12;
    const int ltok = data[1] % 90;
    const int nth = data[2] % 12; // 0 asks for a token that cannot exist
    const std::string text(data + 3, data + size);

    fuzz::run_program(
        [&] {
            float v = 1.25f;
            const int r = numerics::gnum(text, v, "fuzz value");
            fuzz::require(r == 0 || r == 1, "gnum gives 0 or 1");
            if (r == 1) fuzz::require(v == 1.25f, "a failed read leaves the value");
            return 0;
        },
        "");

    std::array<std::string, 12> toks;
    int ntok = -1;
    numerics::tokens(text, maxtok, ntok, std::span(toks).first(static_cast<std::size_t>(maxtok)),
                     ltok);
    fuzz::require(ntok >= 0 && ntok <= maxtok, "token count within maxtok");
    for (int k = 0; k < ntok; ++k) {
        const std::string& t = toks[static_cast<std::size_t>(k)];
        const auto end = t.find_last_not_of(' ');
        fuzz::require(end == std::string::npos ||
                          t.substr(0, end + 1).find(' ') == std::string::npos,
                      "a token holds no blank");
        fuzz::require(static_cast<int>(t.substr(0, end + 1).size()) <= ltok, "token cut to ltok");
    }

    std::string out = "unchanged";
    if (nth >= 1 && !numerics::getnbs(text, nth, out, ltok))
        fuzz::require(out == "unchanged", "getnbs leaves out when there is no token");

    std::array<float, 6> values{};
    const int got = numerics::read_reals(text, values);
    fuzz::require(got >= -1 && got <= 6, "read_reals count");
    return 0;
}
