#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/formats/command_line.h"

namespace mirvane {
namespace {

using Arguments = std::vector<std::string>;

TEST(SplitCommandLine, FollowsTheWindowsArgumentRules) {
    struct Row {
        const char* name;
        std::string commandLine;
        Arguments expected;
    };
    const Row rows[] = {
        {"blanks and tabs separate once per run", "prog  a\t\tb \tc", {"prog", "a", "b", "c"}},
        {"trailing blanks are dropped", "prog a  \t", {"prog", "a"}},
        {"a leading blank leaves the program empty", " \t prog a", {"", "prog", "a"}},
        {"a blank line is an empty program", " \t ", {""}},
        {"the empty line has no arguments", "", {}},
        {"empty quoted argument", "prog \"\" b", {"prog", "", "b"}},
        {"empty quoted argument at the end", "prog \"\"", {"prog", ""}},
        {"quotes keep blanks and tabs", "prog \"a b\tc\"", {"prog", "a b\tc"}},
        {"quoted parts join their neighbours", "prog a\"b c\"d", {"prog", "ab cd"}},
        {"backslashes are literal elsewhere", "prog C:\\a\\b\\", {"prog", "C:\\a\\b\\"}},
        {"two backslashes before the closing quote", "prog \"C:\\dir\\\\\" x", {"prog", "C:\\dir\\", "x"}},
        {"odd run gives half and a literal quote", "prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"escaped quotes do not group", "prog \\\"a b\\\"", {"prog", "\"a", "b\""}},
        {"doubled quote inside quotes ends them", "prog \"a\"\"b c\"", {"prog", "a\"b", "c"}},
        {"doubled quote outside quotes is empty", "prog a\"\"b", {"prog", "ab"}},
        {"three quotes give one quote", "prog \"\"\"", {"prog", "\""}},
        {"four quotes reopen quoting", "prog \"\"\"\" x", {"prog", "\" x"}},
        {"unclosed quote runs to the end", "prog \"a  b", {"prog", "a  b"}},
        {"program takes no escapes", "C:\\dir\\\"x y", {"C:\\dir\\\"x", "y"}},
        {"quoted program ends at the next quote", "\"C:\\dir\\\" a", {"C:\\dir\\", "a"}},
        {"text after a quoted program is the next argument", "\"prog\"a b", {"prog", "a", "b"}},
        {"unclosed program quote runs to the end", "\"C:\\My Apps\\prog", {"C:\\My Apps\\prog"}},
        {"empty quoted program", "\"\" a", {"", "a"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(SplitCommandLine(row.commandLine), row.expected);
    }
}

// Bare or enclosed, the program's path must come back whole: it takes no
// escapes, so neither quotes nor backslashes may be added inside.
TEST(QuoteProgram, SplitsBackAsTheProgram) {
    for (const std::string path :
         {"C:\\Tools\\ffmpeg.exe", "/opt/a\tb/ffmpeg", "/opt/a\"b/ffmpeg", "C:\\My Apps\\"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(SplitCommandLine(QuoteProgram(path) + " -y"), (Arguments{path, "-y"}));
    }
}

// Texts are built from the bytes the quoting rules care about, several per
// command line, so each must come back whole, in order and alone; the quoted
// form never holds a doubled quote, which older runtimes read differently.
TEST(QuoteArgument, AnyTextsSplitBackAsOneArgumentEach) {
    const std::vector<std::string> pieces = {"\"", "\"", "\\", "\\", "\\", " ", "\t", "%OUTFILE",
                                             "ビ", "a",  ".",  ":",  "/",  "-", "'",  "\x01"};
    const std::string separators[] = {" ", "\t", "  \t "};
    std::mt19937 random(20240611);
    const auto upTo = [&random](std::size_t max) {
        return std::uniform_int_distribution<std::size_t>(0, max)(random);
    };
    for (int n = 0; n < 20000; ++n) {
        Arguments expected = {"prog"};
        std::string commandLine = "prog";
        for (std::size_t k = 1 + upTo(3); k > 0; --k) {
            std::string text;
            for (std::size_t length = upTo(30); length > 0; --length) {
                text += pieces[upTo(pieces.size() - 1)];
            }
            const std::string quoted = QuoteArgument(text);
            ASSERT_EQ(quoted.substr(1, quoted.size() - 2).find("\"\""), std::string::npos) << quoted;
            expected.push_back(text);
            commandLine += separators[upTo(2)] + quoted;
        }
        ASSERT_EQ(SplitCommandLine(commandLine), expected) << commandLine;
    }
}

// The program's part is taken as written by QuoteProgram, so a path that
// cannot be written (a blank and a quote) shifts no argument; other lines
// lose their first word.
TEST(ArgumentsAfterProgram, TakesWhatFollowsTheProgramsPart) {
    struct Row {
        const char* name;
        std::string program;
        std::string commandLine;
        Arguments expected;
    };
    const Row rows[] = {
        {"plain program", "/opt/ff", "/opt/ff -y -i \"a b\"", {"-y", "-i", "a b"}},
        {"program with a blank", "/opt/my apps/ff", "\"/opt/my apps/ff\" -y", {"-y"}},
        {"program with a blank and a quote",
         "/opt/a\"b c/ff",
         "\"/opt/a\"b c/ff\" -y -i \"x\"",
         {"-y", "-i", "x"}},
        {"program with a quote only", "/opt/a\"b/ff", "/opt/a\"b/ff -y", {"-y"}},
        {"blanks before the program", "/opt/ff", "  /opt/ff\t-y", {"-y"}},
        {"program alone", "/opt/ff", "/opt/ff", {}},
        {"a longer program in the line", "/opt/ff", "/opt/ffmpeg -y", {"-y"}},
        {"another program in the line", "/opt/ff", "\"/usr/bin/x y\" -y", {"-y"}},
        {"empty line", "/opt/ff", "", {}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ArgumentsAfterProgram(row.program, row.commandLine), row.expected) << row.name;
    }
}

}  // namespace
}  // namespace mirvane
