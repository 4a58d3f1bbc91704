// One whole marrick job on two arbitrary trace files.
#include "job.hpp"
#include "waterlevel/marrick.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<fuzz::Run> runs{
        {{}, "w.sac 0 20 d.sac x x o.sac\n"},
        {{"-wavelet", "0", "20", "w.sac", "d.sac", "o.sac"}, ""},
        {{"-taper", "1", "-shift", "5", "-wavelet", "-5", "30", "w.sac", "d.sac", "o.sac"}, ""},
        {{"-convolve", "w.sac", "-freq", "1", "-wavelet", "0", "20", "w.sac", "d.sac", "o.sac"},
         ""},
    };
    fuzz::whole_job(data, size, &waterlevel::marrick, runs);
    return 0;
}
