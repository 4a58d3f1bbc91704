// One whole kestrum run on an arbitrary model file: the run ends with status
// 0, 1 or 2, and after a success the three traces are whole and finite.
#include "harness.hpp"
#include "synthetics/kestrum.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::scratch();
    fuzz::put_file("m", std::span(data, size));
    // Coarse sampling keeps a run short; the first byte picks the wave type.
    const bool s_wave = size > 0 && (data[0] & 1);
    const std::vector<std::string> args{
        "-dt", "0.4", "-p", "0.06", "s/km", "-type", s_wave ? "S" : "P"};
    const auto r = fuzz::run_program([&] { return synthetics::kestrum(args); }, "m\n");
    fuzz::require(r.status == 0 || r.status == 1 || r.status == 2, "status 0, 1 or 2");
    if (r.status == 0)
        for (const char* c : {"m_sp.z", "m_sp.r", "m_sp.t"}) fuzz::require_sound_output(c);
    else
        for (const char* c : {"m_sp.z", "m_sp.r", "m_sp.t"})
            fuzz::require(!fuzz::exists(c), "a refused model leaves no traces");
    fuzz::sweep({});
    return 0;
}
