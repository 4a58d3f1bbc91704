#include "rfkit/rfkit.hpp"

#include "rftest/scratch.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// `rfkit help` lists every subcommand of the table; an unknown one fails.
TEST(Rfkit, HelpListsEverySubcommandAndUnknownOnesFail) {
    rftest::Captured console;
    std::vector<std::string> help{"help"};
    EXPECT_EQ(rfkit::rfkit(help), 0);
    for (const rfkit::Subcommand& s : rfkit::subcommands())
        EXPECT_NE(console.out().find("  " + std::string(s.name) + " "), std::string::npos)
            << s.name;

    std::vector<std::string> unknown{"rotate"};
    EXPECT_EQ(rfkit::rfkit(unknown), 1);
    EXPECT_NE(console.err().find("unknown subcommand 'rotate'"), std::string::npos);
}

} // namespace
