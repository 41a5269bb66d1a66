// Windows' own CommandLineToArgvW and GetPrivateProfileStringA against the
// project's splitter and settings reader, on generated inputs. Runs only
// where those functions exist: on Windows, or under Wine (whose
// implementations are what is measured there). Each run prints its table:
// inputs tried, matches, and the inputs where a rule was decided to differ.

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/platform/platform.h"
#include "engine/profile_reader.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

std::string toUtf8(const wchar_t* text) {
    const std::u8string utf8 = std::filesystem::path(text).u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::wstring toWide(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end())).wstring();
}

std::vector<std::string> windowsSplit(const std::string& line) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(toWide(line).c_str(), &count);
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) result.push_back(toUtf8(arguments[i]));
    LocalFree(arguments);
    return result;
}

// Tallies per kind of input, printed as the run's table.
class Table {
public:
    void add(const std::string& kind, bool matched) {
        auto& [tried, matches] = m_rows[kind];
        ++tried;
        if (matched) ++matches;
    }
    void print(const char* title) const {
        std::printf("\n%s\n%-58s %9s %9s %9s\n", title, "inputs", "tried", "match", "differ");
        for (const auto& [kind, counts] : m_rows)
            std::printf("%-58s %9d %9d %9d\n", kind.c_str(), counts.first, counts.second,
                        counts.first - counts.second);
    }

private:
    std::map<std::string, std::pair<int, int>> m_rows;
};

std::string printable(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\0')
            out += "\\0";
        else if (static_cast<unsigned char>(c) < 0x20)
            out += "\\x" + std::to_string(static_cast<int>(c));
        else
            out += c;
    }
    return out;
}

TEST(Differential, SplitCommandLineAgainstCommandLineToArgvW) {
    std::mt19937 random(20261207);
    const std::vector<std::string> pieces = {"a",  "b",    " ",    "  ", "\t",   "\"",
                                             "\\", "\\\\", "\"\"", "é",  "映画", "🎬"};
    Table table;
    int shown = 0;
    for (int round = 0; round < 200000; ++round) {
        const int length = 1 + static_cast<int>(random() % 12);
        std::string line;
        for (int i = 0; i < length; ++i) line += pieces[random() % pieces.size()];
        const bool leadingBlank = line.front() == ' ' || line.front() == '\t';
        const std::string kind =
            leadingBlank ? "lines that start with a blank or tab" : "lines that start with the program";
        const bool matched = SplitCommandLine(line) == windowsSplit(line);
        table.add(kind, matched);
        if (!matched && shown++ < 10) ADD_FAILURE() << "[" << printable(line) << "]";
    }
    table.print("SplitCommandLine against CommandLineToArgvW");
}

// What Mirvane asks for: a section and a key, both plain names.
std::string windowsValue(const std::string& file, const char* section, const char* key) {
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, file.c_str());
    return std::string(buffer, length);
}

TEST(Differential, ProfileReaderAgainstGetPrivateProfileStringA) {
    std::mt19937 random(20261208);
    const std::vector<std::string> pieces = {"[",
                                             "]",
                                             "=",
                                             "=",
                                             ";",
                                             "#",
                                             "\"",
                                             "'",
                                             " ",
                                             "\t",
                                             "\r\n",
                                             "\n",
                                             "\n",
                                             "\r",
                                             "s",
                                             "S",
                                             "t",
                                             "k",
                                             "K",
                                             "j",
                                             "v",
                                             "x",
                                             std::string(1, '\0'),
                                             "[s]\n",
                                             "[t]\n",
                                             "k=",
                                             "j=",
                                             "\f",
                                             "\v"};
    const char* sections[] = {"s", "t"};
    const char* keys[] = {"k", "j"};
    TempDir dir;
    // The ANSI function reads the path in the ANSI code page: a plain name.
    const std::string path = dir.file("differential.ini");
    Table table;
    int shown = 0;
    for (int round = 0; round < 20000; ++round) {
        const int length = 1 + static_cast<int>(random() % 40);
        std::string content;
        for (int i = 0; i < length; ++i) content += pieces[random() % pieces.size()];
        {
            std::ofstream out(path, std::ios::binary | std::ios::trunc);
            out << content;
            out.close();
            ASSERT_TRUE(out) << "round " << round;
        }
        std::string back;
        ASSERT_FALSE(platform::readFile(path, 1 << 20, back));
        ASSERT_EQ(back, content) << "round " << round;
        const ProfileFile profile = ProfileFile::load(path);
        for (const char* section : sections) {
            for (const char* key : keys) {
                const std::string windows = windowsValue(path, section, key);
                const std::string ours = profile.value(section, key);
                const bool matched = windows == ours;
                table.add("generated files, asked for one section and key", matched);
                if (!matched && shown++ < 30)
                    ADD_FAILURE() << "[" << printable(content) << "] [" << section << "] " << key
                                  << ": windows [" << printable(windows) << "] ours [" << printable(ours)
                                  << "] " << windows.size() << " " << ours.size();
            }
        }
    }
    table.print("ProfileFile against GetPrivateProfileStringA");
}

}  // namespace
}  // namespace mirvane
