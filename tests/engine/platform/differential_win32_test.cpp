// Windows' own CommandLineToArgvW and GetPrivateProfileStringA against the
// project's splitter and settings reader, on generated inputs. Runs only
// where those functions exist: on Windows, or under Wine (whose
// implementations are what is measured there). Each run prints its table:
// inputs tried, matches, and the inputs where a rule was decided to differ.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/formats/command_line.h"
#include "engine/platform/files.h"
#include "engine/settings/profile_reader.h"
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
        const bool matched = SplitCommandLine(line) == windowsSplit(line);
        table.add(
            leadingBlank ? "lines that start with a blank or a tab" : "lines that start with the program",
            matched);
        if (!matched && shown++ < 10) ADD_FAILURE() << "[" << printable(line) << "]";
    }
    // Decided to differ: Windows answers the empty line with the calling
    // program's own path.
    table.add("the empty line (decided: no arguments)", SplitCommandLine("") == windowsSplit(""));
    table.print("SplitCommandLine against CommandLineToArgvW");
}

// What Mirvane asks for: a section and a key, as the program does, with a
// buffer of 2048 bytes. The answer is in the ANSI code page, as UTF-8 here.
std::string windowsValue(const std::string& file, const char* section, const char* key) {
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(section, key, "", buffer, sizeof buffer, file.c_str());
    const std::string ansi(buffer, length);
    if (ansi.empty()) return ansi;
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size ? static_cast<int>(ansi.size()) : 0, wide.data(), size);
    return toUtf8(wide.c_str()) + std::string(std::count(ansi.begin(), ansi.end(), '\0'), '\0');
}

bool isValidUtf8(const std::string& text) {
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                               nullptr, 0) > 0;
}

std::string utf16WithMark(const std::string& ascii) {
    std::string bytes = "\xFF\xFE";
    for (const char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

// Bytes of the ANSI code page in use that are no ASCII, so that generated
// files also read in that code page.
std::vector<std::string> ansiPieces() {
    switch (GetACP()) {
        case 932:  // "ソ", "表" (trail byte 0x5C) and "あ"
            return {"\x83\x5C", "\x95\x5C", "\x82\xA0"};
        case 1252:  // "é", "ü" and the no-break space
            return {"\xE9", "\xFC", "\xA0"};
        default:
            return {};
    }
}

TEST(Differential, ProfileReaderAgainstGetPrivateProfileStringA) {
    std::mt19937 random(20261208);
    std::vector<std::string> pieces = {"[",
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
                                       ";k=",
                                       "\f",
                                       "\v"};
    const std::vector<std::string> ansi = ansiPieces();
    const char* sections[] = {"s", "t"};
    const char* keys[] = {"k", "j"};
    TempDir dir;
    // The ANSI function reads the path in the ANSI code page: a plain name.
    const std::string path = dir.file("differential.ini");
    Table table;
    int shown = 0;
    auto compare = [&](const std::string& kind, const std::string& bytes, const char* section,
                       const char* key, bool decided) {
        const std::string windows = windowsValue(path, section, key);
        const std::string ours = ProfileFile::load(path).value(section, key);
        const bool matched = windows == ours;
        table.add(kind, matched);
        if (!matched && !decided && shown++ < 20)
            ADD_FAILURE() << kind << ": [" << printable(bytes) << "] [" << section << "] " << key
                          << ": windows [" << printable(windows) << "] ours [" << printable(ours) << "]";
    };
    auto write = [&](const std::string& bytes) {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        ASSERT_TRUE(out);
    };
    for (int round = 0; round < 10000; ++round) {
        const bool withAnsi = !ansi.empty() && round % 2 == 1;
        const int length = 1 + static_cast<int>(random() % 40);
        std::string content;
        for (int i = 0; i < length; ++i) {
            const std::size_t pick = random() % (pieces.size() + (withAnsi ? ansi.size() : 0));
            content += pick < pieces.size() ? pieces[pick] : ansi[pick - pieces.size()];
        }
        const bool ascii = std::all_of(content.begin(), content.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        std::string kind = "ASCII files";
        bool decided = false;
        if (!ascii && isValidUtf8(content)) {
            kind = "ANSI files that are also valid UTF-8 (decided: UTF-8)";
            decided = true;
        } else if (!ascii) {
            kind = "files in the ANSI code page " + std::to_string(GetACP());
        }
        write(content);
        for (const char* section : sections) {
            for (const char* key : keys) compare(kind, content, section, key, decided);
            compare("keys that begin with ; (decided: comments)", content, section, ";k", true);
        }
        if (ascii) {
            write(utf16WithMark(content));
            for (const char* section : sections)
                for (const char* key : keys)
                    compare("UTF-16 files with a byte-order mark", content, section, key, false);
        }
    }
    table.print("ProfileFile against GetPrivateProfileStringA");
}

}  // namespace
}  // namespace mirvane
