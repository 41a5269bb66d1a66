#include "cli/command_options.h"

#include <gtest/gtest.h>

namespace mirvane::cli {
namespace {

using Action = CommandOptions::Action;

TEST(ParseCommandLine, ReadsOptionsAndFilesOrSaysWhyNot) {
    struct Case {
        std::vector<std::string> arguments;
        bool understood;
        std::vector<std::string> inputs;
        std::optional<std::string> preset;
        std::optional<int> jobs;
    };
    const Case cases[] = {
        {{"a.avi", "--preset", "2", "b.avi"}, true, {"a.avi", "b.avi"}, "2", {}},
        {{"--preset=MP4 標準", "--jobs=3", "a.avi"}, true, {"a.avi"}, "MP4 標準", 3},
        // After "--" an argument that looks like an option is a file.
        {{"--", "--jobs", "-x.avi"}, true, {"--jobs", "-x.avi"}, {}, {}},
        {{"-", "a.avi"}, true, {"-", "a.avi"}, {}, {}},
        {{"--jobs", "0", "a.avi"}, false, {}, {}, {}},
        {{"--jobs", "65", "a.avi"}, false, {}, {}, {}},
        {{"--jobs", "2x", "a.avi"}, false, {}, {}, {}},
        {{"a.avi", "--preset"}, false, {}, {}, {}},
        {{"--json=yes", "a.avi"}, false, {}, {}, {}},
        {{"--frobnicate", "a.avi"}, false, {}, {}, {}},
        {{"--json"}, false, {}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        const ParsedCommand parsed = ParseCommandLine(c.arguments);
        ASSERT_EQ(parsed.error.empty(), c.understood) << parsed.error;
        if (!c.understood) continue;
        EXPECT_EQ(parsed.options.inputs, c.inputs);
        EXPECT_EQ(parsed.options.preset, c.preset);
        EXPECT_EQ(parsed.options.jobs, c.jobs);
    }
}

TEST(ParseCommandLine, ActionsThatNeedNoFiles) {
    EXPECT_EQ(ParseCommandLine({"--list-presets"}).options.action, Action::ListPresets);
    EXPECT_EQ(ParseCommandLine({"--help"}).options.action, Action::Help);
    EXPECT_EQ(ParseCommandLine({"--version"}).options.action, Action::Version);
    EXPECT_TRUE(ParseCommandLine({"--list-presets"}).error.empty());
}

}  // namespace
}  // namespace mirvane::cli
