#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/command_line.h"

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
        {"blanks separate", "prog a b", {"prog", "a", "b"}},
        {"runs of blanks separate once", "prog  a   b", {"prog", "a", "b"}},
        {"tabs separate", "prog\ta\t\tb", {"prog", "a", "b"}},
        {"leading and trailing blanks are dropped", " \t prog a  \t", {"prog", "a"}},
        {"an empty line has no program", "", {}},
        {"a blank line has no program", " \t ", {}},
        {"empty quoted argument", "prog \"\" b", {"prog", "", "b"}},
        {"empty quoted argument at the end", "prog \"\"", {"prog", ""}},
        {"quotes keep blanks", "prog \"a b\"", {"prog", "a b"}},
        {"quotes keep tabs", "prog \"a\tb\"", {"prog", "a\tb"}},
        {"quoted parts join their neighbours", "prog a\"b c\"d", {"prog", "ab cd"}},
        {"backslashes are literal elsewhere", "prog C:\\a\\b\\", {"prog", "C:\\a\\b\\"}},
        {"two backslashes before the closing quote", "prog \"C:\\dir\\\\\" x", {"prog", "C:\\dir\\", "x"}},
        {"one backslash escapes the closing quote", "prog \"C:\\dir\\\" x", {"prog", "C:\\dir\" x"}},
        {"odd run gives half and a literal quote", "prog a\\\\\\\"b", {"prog", "a\\\"b"}},
        {"even run gives half and a grouping quote", "prog a\\\\\\\\\"b c\"", {"prog", "a\\\\b c"}},
        {"escaped quotes do not group", "prog \\\"a b\\\"", {"prog", "\"a", "b\""}},
        {"doubled quote inside quotes ends them", "prog \"a\"\"b c\"", {"prog", "a\"b", "c"}},
        {"doubled quote outside quotes is empty", "prog a\"\"b", {"prog", "ab"}},
        {"three quotes give one quote", "prog \"\"\"", {"prog", "\""}},
        {"four quotes reopen quoting", "prog \"\"\"\" x", {"prog", "\" x"}},
        {"unclosed quote runs to the end", "prog \"a  b", {"prog", "a  b"}},
        {"quoted program keeps its blank",
         "\"C:\\Program Files\\a.exe\" -y",
         {"C:\\Program Files\\a.exe", "-y"}},
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

TEST(QuoteArgument, EscapesOnlyBackslashesThatMeetAQuote) {
    struct Row {
        const char* name;
        std::string text;
        std::string expected;
    };
    const Row rows[] = {
        {"empty text", "", "\"\""},
        {"path without quotes is only enclosed", "C:\\Video\\clip.avi", "\"C:\\Video\\clip.avi\""},
        {"quote is escaped", "a\"b", "\"a\\\"b\""},
        {"backslash before a quote", "a\\\"b", "\"a\\\\\\\"b\""},
        {"trailing backslash is doubled", "C:\\dir\\", "\"C:\\dir\\\\\""},
        {"trailing backslash run is doubled", "a\\\\", "\"a\\\\\\\\\""},
        {"doubled quote never stays doubled", "a\"\"b", "\"a\\\"\\\"b\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QuoteArgument(row.text), row.expected);
    }
}

TEST(QuoteProgram, EnclosesOnlyWhatBlanksWouldSplit) {
    struct Row {
        const char* name;
        std::string path;
        std::string expected;
    };
    const Row rows[] = {
        {"plain path stays bare", "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe"},
        {"blank is enclosed", "C:\\Program Files\\Mirvane\\ffmpeg\\ffmpeg.exe",
         "\"C:\\Program Files\\Mirvane\\ffmpeg\\ffmpeg.exe\""},
        {"tab is enclosed", "/opt/a\tb/ffmpeg", "\"/opt/a\tb/ffmpeg\""},
        {"inner quote stays bare", "/opt/a\"b/ffmpeg", "/opt/a\"b/ffmpeg"},
        {"backslashes are never doubled", "C:\\My Apps\\", "\"C:\\My Apps\\\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QuoteProgram(row.path), row.expected);
        EXPECT_EQ(SplitCommandLine(QuoteProgram(row.path) + " -y"), (Arguments{row.path, "-y"}));
    }
}

// Texts rich in the bytes the quoting rules care about.
class TextGenerator {
public:
    std::string next() {
        static const std::vector<std::string> pieces = {"\"", "\"", "\"", "\\",       "\\", "\\", "\\",  " ",
                                                        " ",  "\t", "%",  "%OUTFILE", "ビ", "é",  "a",   "Z",
                                                        "0",  ".",  ":",  "/",        "-",  "'",  "\x01"};
        std::uniform_int_distribution<std::size_t> length(0, 40);
        std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
        std::string text;
        for (std::size_t n = length(m_random); n > 0; --n) {
            text += pieces[pick(m_random)];
        }
        return text;
    }
    std::size_t count(std::size_t max) {
        return std::uniform_int_distribution<std::size_t>(0, max)(m_random);
    }

private:
    std::mt19937 m_random{20240611};
};

// True when every quote between the enclosing pair is escaped, so the rule
// for a doubled quote inside a quoted part can never apply.
bool innerQuotesAreEscaped(const std::string& quoted) {
    std::size_t backslashes = 0;
    for (std::size_t i = 1; i + 1 < quoted.size(); ++i) {
        if (quoted[i] == '"' && backslashes % 2 == 0) {
            return false;
        }
        backslashes = quoted[i] == '\\' ? backslashes + 1 : 0;
    }
    return true;
}

TEST(QuoteArgument, AnyTextSplitsBackAsOneArgument) {
    TextGenerator generator;
    for (int n = 0; n < 25000; ++n) {
        const std::string text = generator.next();
        const std::string quoted = QuoteArgument(text);
        ASSERT_EQ(SplitCommandLine("prog " + quoted), (Arguments{"prog", text})) << "quoted: " << quoted;
        ASSERT_TRUE(innerQuotesAreEscaped(quoted)) << "quoted: " << quoted;
    }
}

TEST(QuoteArgument, SeveralQuotedTextsSplitBackInOrder) {
    TextGenerator generator;
    const std::string separators[] = {" ", "\t", "  \t "};
    for (int n = 0; n < 5000; ++n) {
        Arguments expected = {"prog"};
        std::string commandLine = "prog";
        for (std::size_t k = generator.count(5); k > 0; --k) {
            expected.push_back(generator.next());
            commandLine += separators[generator.count(2)] + QuoteArgument(expected.back());
        }
        ASSERT_EQ(SplitCommandLine(commandLine), expected) << "command line: " << commandLine;
    }
}

}  // namespace
}  // namespace mirvane
