// One whole tolvane job on two arbitrary trace files.
#include "job.hpp"
#include "multitaper/tolvane.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<fuzz::Run> runs{
        {{}, "w.sac -5 20 d.sac -5 20 -35 -10 o.sac\n"},
        {{"-window", "-5", "20", "-wavelet", "-5", "20", "-noise", "-35", "-10", "w.sac", "d.sac",
          "o.sac"},
         ""},
        {{"-freq", "1", "-shift", "5"}, "w.sac 0 10 d.sac 0 10 -20 -2 o.sac\n"},
    };
    fuzz::whole_job(data, size, &multitaper::tolvane, runs);
    return 0;
}
