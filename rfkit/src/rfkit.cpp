// The subcommand table and the dispatch of `rfkit <subcommand> ...`.
#include "rfkit/rfkit.hpp"

#include "console/console.hpp"

#include <array>
#include <ostream>

namespace rfkit {

namespace {

constexpr std::array<Subcommand, 5> table{{
    {"prep", "rotate, pick, cut and taper three-component recordings for deconvolution", prep},
    {"info", "print chosen header fields of many trace files as a table", info},
    {"peaks", "largest peaks of receiver functions beside ray-theory phase times", peaks},
    {"hk", "crustal thickness and Vp/Vs by H-kappa stacking", hk},
    {"stack", "moveout-corrected stack of receiver functions", stack},
}};

void list(std::ostream& os) {
    os << "usage: rfkit <subcommand> [options] [files]\n"
          "       rfkit <subcommand> -h    (synopsis of one subcommand)\n\n"
          "subcommands:\n";
    for (const Subcommand& s : table) {
        os << "  " << s.name << std::string(8 - s.name.size(), ' ') << s.summary << '\n';
    }
    os << "\nThe manual page rfkit(1) describes each subcommand.\n";
}

} // namespace

std::span<const Subcommand> subcommands() {
    return table;
}

int rfkit(std::span<const std::string> args) {
    if (args.empty()) {
        list(console::err());
        return 1;
    }
    const std::string& name = args[0];
    if (name == "help" || name == "-h" || name == "-help" || name == "--help") {
        list(console::out());
        return 0;
    }
    for (const Subcommand& s : table) {
        if (s.name == name) return s.body(args.subspan(1));
    }
    console::err() << "rfkit: unknown subcommand '" << name << "'\n";
    list(console::err());
    return 1;
}

} // namespace rfkit
