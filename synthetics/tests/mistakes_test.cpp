// Ordinary mistakes with the synthetics program, each with the message that
// names it and the line of standard input; and what must go on working.
#include "synthetics/kestrum.hpp"

#include "support.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace synthetics {
namespace {

using testing::Capture;
using testing::layer_line;
using testing::model_text;
using testing::TempDir;

using testing::Outcome;
using testing::run;

std::string bytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

const std::vector<std::vector<double>> crust = {{6.3, 3.6, 2.8, 35}, {8.1, 4.5, 3.3}};
const std::vector<std::string> coarse = {"-dt", "0.5", "-p", "read", "s/km"};

// Each of these lines was once passed over without a word.
TEST(KestrumMistakes, PerLineSlownessMistakesAreNamedByLine) {
    TempDir d;
    const std::string m = d.write("m.mod", model_text("crust", crust));
    const struct {
        std::string line, where;
    } cases[] = {
        {m, "file '" + m + "': no slowness after the model name"},
        {m + "   ", "file '" + m + "': no slowness after the model name"},
        {m + "\t0.06", "file '" + m +
                           "': no slowness after the model name (a tab does not separate "
                           "them)"},
        {m + " nan", "file '" + m + "': 'nan' is not a slowness"},
        {m + " 1e39", "file '" + m + "': '1e39' is not a slowness"},
        {m + " -0.06", "file '" + m + "': negative slowness -0.06"},
        // A decimal comma once gave a slowness of 0.
        {m + " 0,06", "file '" + m + "': '0,06' is not a slowness (the decimal mark is a point)"},
        {d.path("my m.mod 0.06"), "file '" + d.path("my") +
                                      "': 'm.mod 0.06' is not a slowness (a model name cannot "
                                      "hold blanks)"},
    };
    std::string input, want;
    int n = 0;
    for (const auto& c : cases) {
        input += c.line + "\n";
        want += " **No usable slowness on this line, skipping.\n  line " + std::to_string(++n) +
                ", " + c.where + "\n";
    }
    Outcome r = run(coarse, input + m + " 0.06\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, want);
    EXPECT_TRUE(std::filesystem::exists(m + "_sp.z")); // the last line is sound
}

// A decimal comma once passed as the number before it: -p 0,06 made
// synthetics at vertical incidence, -sps 20,5 at 20 samples per second.
TEST(KestrumMistakes, DecimalCommasInOptionsAreRefused) {
    TempDir d;
    const std::string m = d.write("m.mod", model_text("crust", crust));
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{"-dt", "0.5", "-p", "0,06", "s/km"},
         "STOP **Bad -p value\n  '0,06' is more than one number (the decimal mark is a point)\n"},
        {{"-sps", "2,5", "-p", "0.06", "s/km"},
         "STOP **Bad -dt value\n  '2,5' is more than one number (the decimal mark is a point)\n"},
    };
    for (const auto& c : cases) {
        Outcome r = run(c.args, m + "\n");
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.err);
        EXPECT_FALSE(std::filesystem::exists(m + "_sp.z"));
    }
}

// One model at three slownesses once wrote the same names three times.
TEST(KestrumMistakes, NoLineReplacesTheOutputsOfAnEarlierOne) {
    TempDir d;
    const std::string m = d.write("m.mod", model_text("crust", crust));
    const std::string lines = m + " 0.06\n" + m + " 0.07\n" + m + " 0.08\n";
    Outcome plain = run(coarse, lines);
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.err, " **Outputs already written by line 1, skipping.\n  line 2, file '" + m +
                             "_sp.z': -pname puts the slowness into the output names\n"
                             " **Outputs already written by line 1, skipping.\n  line 3, file '" +
                             m + "_sp.z': -pname puts the slowness into the output names\n");
    const std::string first = bytes(m + "_sp.r");

    std::vector<std::string> named = coarse;
    named.insert(named.end(), {"-pname", "-con"});
    Outcome r = run(named, lines);
    EXPECT_EQ(r.status, 0) << r.err;
    for (const char* p : {"0.0600", "0.0700", "0.0800"})
        EXPECT_NE(r.out.find(m + "_p" + p + "_sp.t "), std::string::npos) << p;
    EXPECT_EQ(bytes(m + "_p0.0600_sp.r"), first); // the same trace under its own name
    // The same model at the same slowness, however the model is named.
    const std::string dotted = d.path(".") + "/m.mod";
    Outcome again = run(named, m + " 0.06\n" + dotted + " 0.0600\n");
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("line 2, file '" + dotted +
                             "_p0.0600_sp.z': the same model at the same slowness"),
              std::string::npos);
}

TEST(KestrumMistakes, SlownessInNamesKeepsTheUnitGiven) {
    TempDir d;
    const std::string m = d.write("m.mod", model_text("crust", crust));
    Outcome r = run({"-dt", "0.5", "-p", "6.671", "s/deg", "-pname", "-gen", "z"}, m + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(std::filesystem::exists(m + "_p6.6710_sp.z"));
}

// `-gen ZRT` wrote nothing and `-resp all` dropped the reverberations, both
// with status 0 and not a word.
TEST(KestrumMistakes, SettingsSeldomMeantAreSaid) {
    TempDir d;
    const std::string m = d.write("m.mod", model_text("crust", crust));
    const struct {
        std::vector<std::string> args;
        std::string warning;
    } cases[] = {
        {{"-gen", "ZRT"},
         "kestrum: warning: -gen 'ZRT' names none of z, r, t (lower case): no "
         "traces are written\n"},
        {{"-resp", "all"},
         "kestrum: warning: -resp 'all' is read as n: no reverberations but one in the top "
         "layer\n"},
        {{"-gen", "rz", "-resp", "n"}, ""},
        {{"-resp", "full", "-resp", "P"}, ""}, // a later one overrides
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-dt", "0.5", "-p", "0.06", "s/km"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome r = run(args, m + "\n");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.err, c.warning) << c.args[1];
    }
}

TEST(KestrumMistakes, HelpRunsNothing) {
    for (const char* h : {"-h", "-help", "--help"}) {
        Outcome r = run({h}, "");
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.rfind("Usage: kestrum", 0), 0u);
    }
}

// A thickness written "15" is read as 0.15 km, as the fixed format has it:
// said, with the result and status unchanged.
TEST(KestrumMistakes, ImpliedDecimalsAreTakenAndSaid) {
    TempDir d;
    const std::string pointed =
        d.write("a.mod", model_text("crust", {{6.3, 3.6, 2.8, 0.15}, {8.1, 4.5, 3.3}}));
    std::string text = model_text("crust", {{6.3, 3.6, 2.8, 0}, {8.1, 4.5, 3.3}});
    text.replace(text.find("    0.00"), 8, "      15");
    const std::string implied = d.write("b.mod", text);
    const std::vector<std::string> args = {"-dt", "0.5", "-p", "0.06", "s/km"};
    EXPECT_EQ(run(args, pointed + "\n").err, "");
    Outcome r = run(args, implied + "\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "kestrum: warning: model file '" + implied +
                         "', line 2, columns 29-36: '      15' has no decimal point and is read "
                         "as 0.15\n");
    EXPECT_EQ(bytes(implied + "_sp.r"), bytes(pointed + "_sp.r"));
}

// Quality factors taken without a word though they look mistaken: a Qs
// given with Qp = 0 was replaced by the default pair, and a Q below 1 (1/Q
// typed in place of Q) gave traces of noise.  Said, with the result and
// status unchanged.
TEST(KestrumMistakes, QualityFactorsThatLookMistakenAreSaid) {
    TempDir d;
    const struct {
        std::vector<std::vector<double>> layers;
        std::string said;
        bool defaults; // the traces are those of the default pair
    } cases[] = {
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 0, 0}, {8.1, 4.5, 3.3}}, "", true},
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 0, 50}, {8.1, 4.5, 3.3}},
         "', layer 1: Qs 50 given with Qp 0 is not used: Qp = 0 takes Qp 125 and Qs 62.5\n",
         true},
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 125, 62.5}, {8.1, 4.5, 3.3}}, "", true},
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 0.01, 0.02}, {8.1, 4.5, 3.3}},
         "', layer 1: Qp 0.01, Qs 0.02: a quality factor below 1 (1/Q given in place of Q?)\n",
         false},
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 500, 0.5}, {8.1, 4.5, 3.3}},
         "', layer 1: Qp 500, Qs 0.5: a quality factor below 1 (1/Q given in place of Q?)\n",
         false},
        {{{6.3, 3.6, 2.8, 35, 0, 0, 0, 1, 1}, {8.1, 4.5, 3.3}}, "", false},
    };
    std::string first;
    int k = 0;
    for (const auto& c : cases) {
        std::string name = "q"; // built by appending: g++ 12 -O3 misreads "q" + string
        name += std::to_string(++k) + ".mod";
        const std::string m = d.write(name, model_text("q", c.layers));
        Outcome r = run({"-dt", "0.5", "-p", "0.06", "s/km"}, m + "\n");
        EXPECT_EQ(r.status, 0) << r.err;
        std::string want;
        if (!c.said.empty()) want.append("kestrum: warning: model file '").append(m).append(c.said);
        EXPECT_EQ(r.err, want);
        if (first.empty()) first = bytes(m + "_sp.r");
        if (c.defaults) {
            EXPECT_EQ(bytes(m + "_sp.r"), first) << name;
        }
    }
}

// A P speed below sqrt(4/3) times the S speed (a negative bulk modulus) once
// gave finite, meaningless traces.
TEST(KestrumMistakes, ImpossibleEarthsAreRefused) {
    TempDir d;
    const struct {
        std::vector<std::vector<double>> layers;
        int bad_layer; // 0: accepted
    } cases[] = {
        {{{6.3, 3.6, 2.8, 35}, {5.0, 4.5, 3.3}}, 2},
        {{{4.15, 3.6, 2.8, 35}, {8.1, 4.5, 3.3}}, 1},               // 4.15 < 1.1547 * 3.6
        {{{4.16, 3.6, 2.8, 35}, {8.1, 4.5, 3.3}}, 0},               // just above
        {{{6.3, 3.6, 2.8, 35, 6.5, 5.7, 3.0}, {6.5, 5.7, 3.0}}, 1}, // at the gradient's base
        {{{6.3, 3.6, 2.8, 35, 6.9, 0, 3.0}, {6.9, 3.6, 3.0}}, 0},   // P gradient alone
    };
    int k = 0;
    for (const auto& c : cases) {
        std::string name = "m"; // built by appending: g++ 12 -O3 misreads "m" + string
        name += std::to_string(++k) + ".mod";
        const std::string m = d.write(name, model_text("m", c.layers));
        Outcome r = run({"-dt", "0.5", "-p", "0.06", "s/km"}, m + "\n");
        if (c.bad_layer == 0) {
            EXPECT_EQ(r.status, 0) << k << r.err;
            continue;
        }
        EXPECT_EQ(r.status, 1) << k;
        EXPECT_EQ(r.err, " **Model file '" + m + "', layer " + std::to_string(c.bad_layer) +
                             ": P speed not above sqrt(4/3) times the S speed (negative bulk "
                             "modulus)\n  line 1, file '" +
                             m + "'\n");
        EXPECT_FALSE(std::filesystem::exists(m + "_sp.z"));
    }
}

// A model name that led to a FIFO waited for ever; one that led to an
// endless device, or a huge line, grew memory without bound.
TEST(KestrumMistakes, FilesThatAreNoModelsAreRefusedUnread) {
    TempDir d;
    const std::string fifo = d.path("fifo.mod");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_directory(d.path("dir.mod"));
    const std::string huge = d.write("huge.mod", std::string(2 << 20, ' '));
    const std::string wide = d.write("wide.mod", "  1half\n" + std::string(5000, ' ') + "\n");
    const struct {
        std::string name, message;
    } cases[] = {
        {fifo, "kestrum: model file '" + fifo + "' is not a regular file"},
        {"/dev/null", "kestrum: model file '/dev/null' is not a regular file"},
        {d.path("dir.mod"),
         "kestrum: cannot read model file '" + d.path("dir.mod") + "': Is a directory"},
        {huge, "kestrum: model file '" + huge + "' is far larger than a model (2097152 bytes)"},
        {wide, "kestrum: model file '" + wide + "', line 2 is longer than 4096 characters"},
    };
    for (const auto& c : cases) {
        Outcome r = run({"-dt", "0.5", "-p", "0.06", "s/km"}, c.name + "\n");
        EXPECT_EQ(r.status, 2) << c.name;
        EXPECT_EQ(r.err, c.message + "\n  line 1, file '" + c.name + "'\n");
    }
}

} // namespace
} // namespace synthetics
