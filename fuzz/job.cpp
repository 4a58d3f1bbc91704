#include "job.hpp"

#include <algorithm>
#include <sstream>

namespace fuzz {

void whole_job(const std::uint8_t* data, std::size_t size, Program program,
               std::span<const Run> runs) {
    if (size < 3 || runs.empty()) return;
    scratch();
    const std::size_t split = std::min<std::size_t>(data[1] | (data[2] << 8), size - 3);
    put_file("w.sac", std::span(data + 3, split));
    put_file("d.sac", std::span(data + 3 + split, size - 3 - split));
    static const std::vector<std::uint8_t> older{'o', 'l', 'd', 'e', 'r'};
    put_file("o.sac", older);

    const Run& run = runs[data[0] % runs.size()];
    const auto r = run_program([&] { return program(run.args); }, run.input);
    require(r.status == 0 || r.status == 1, "status 0 or 1");
    if (r.status == 0)
        require_sound_output("o.sac");
    else
        require(get_file("o.sac") == older, "a failed job leaves the older output");
    sweep({});
}

void job_lines(const std::uint8_t* data, std::size_t size, Program program,
               std::span<const Fixture> fixtures) {
    scratch();
    std::vector<std::string> keep;
    for (const Fixture& f : fixtures) {
        make_trace(f.name, f.npts, f.delta, f.b, f.pulse_at);
        keep.push_back(f.name);
    }
    const std::string input = confined(std::span(data, size));
    const std::vector<std::string> args;
    const auto r = run_program([&] { return program(args); }, input);
    require(r.status == 0 || r.status == 1, "status 0 or 1");
    std::istringstream echoed(r.out);
    for (std::string name; std::getline(echoed, name);)
        if (!name.empty()) require_sound_output(name);
    // Every message about a job line is followed by the line naming it.
    std::istringstream said(r.err);
    bool located = true;
    for (std::string line; std::getline(said, line);) {
        const bool where = line.rfind("  line ", 0) == 0;
        require(where || located, "a message without its line");
        located = where;
    }
    require(located, "a message without its line");
    sweep(keep);
}

} // namespace fuzz
