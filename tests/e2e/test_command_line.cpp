// The command-line arguments that run one job and exit without reading
// standard input, and the refusal of the ones that mean nothing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "e2e_checks.h"
#include "engine_process.h"

TEST(CommandLine, OneJobArgumentsExitWithoutReadingInput) {
    // The input is left open: none of these may wait on it.
    EngineProcess version(engineUnderTest(), {"--version"});
    const auto name = version.readLine(20000);
    ASSERT_TRUE(name);
    EXPECT_TRUE(startsWith(*name, "Ostrevalk 2.5 (")) << *name;
    EXPECT_EQ(version.waitExit(20000), 0);

    EngineProcess help(engineUnderTest(), {"--help"});
    Lines helpText;
    while (auto line = help.readLine(20000)) helpText.push_back(*line);
    ASSERT_FALSE(helpText.empty());
    EXPECT_TRUE(startsWith(helpText[0], "usage: ostrevalk")) << helpText[0];
    EXPECT_TRUE(anyContains(helpText, "--standard"));
    EXPECT_EQ(help.waitExit(20000), 0);

    // One line on standard error naming the first bad argument, exit code 2.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--bogus"}, "--bogus"},
        {{"bench", "x"}, "x"},
        {{"bench", "5", "1", "7"}, "7"},
        {{"uci"}, "uci"},
        {{"--standard", "bench", "5", "--fast"}, "--fast"},
    };
    for (const auto& [args, named] : bad) {
        EngineProcess engine(engineUnderTest(), args, true);
        Lines said;
        while (auto line = engine.readLine(20000)) said.push_back(*line);
        EXPECT_EQ(engine.waitExit(20000), 2) << named;
        ASSERT_EQ(said.size(), 1u) << named;
        EXPECT_NE(said[0].find("unknown argument '" + named + "'"), std::string::npos) << said[0];
        EXPECT_NE(said[0].find("usage: ostrevalk"), std::string::npos) << said[0];
    }
}
