#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/job_command.h"
#include "engine/platform/platform.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

const std::string kPresetOption = "-i %INPFILE -s 320x240 %OUTFILE";

FileExistsFn existingFiles(const std::set<std::string>& files) {
    return [files](const std::string& path) { return files.count(path) > 0; };
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(MakeOutputPath, NamesAFreeFileAfterTheRow) {
    struct Row {
        const char* name;
        PathStyle style;
        std::string rowPath;
        std::set<std::string> existing;  // the input included
        std::string expected;
    };
    const Row rows[] = {
        {"extension replaced",
         PathStyle::Windows,
         "C:\\Video\\clip.avi",
         {"C:\\Video\\clip.avi"},
         "C:\\Video\\clip.mp4"},
        {"extension appended past existing outputs",
         PathStyle::Windows,
         "C:\\Video\\clip.avi",
         {"C:\\Video\\clip.avi", "C:\\Video\\clip.mp4", "C:\\Video\\clip.mp4.mp4"},
         "C:\\Video\\clip.mp4.mp4.mp4"},
        {"no extension", PathStyle::Windows, "C:\\Video\\clip", {"C:\\Video\\clip"}, "C:\\Video\\clip.mp4"},
        {"the preset's own extension never overwrites the input",
         PathStyle::Windows,
         "C:\\Video\\clip.mp4",
         {"C:\\Video\\clip.mp4"},
         "C:\\Video\\clip.mp4.mp4"},
        {"a folder holding the extension text stays",
         PathStyle::Windows,
         "C:\\Backup.avi\\clip.avi",
         {"C:\\Backup.avi\\clip.avi"},
         "C:\\Backup.avi\\clip.mp4"},
        {"extension in another letter case",
         PathStyle::Windows,
         "C:\\old.avi\\CLIP.AVI",
         {"C:\\old.avi\\CLIP.AVI"},
         "C:\\old.avi\\CLIP.mp4"},
        {"dot only in a folder name",
         PathStyle::Windows,
         "C:\\my.videos\\clip",
         {"C:\\my.videos\\clip"},
         "C:\\my.videos\\clip.mp4"},
        {"name ending in a dot keeps the folder's dots",
         PathStyle::Windows,
         "C:\\my.videos\\clip.",
         {"C:\\my.videos\\clip."},
         "C:\\my.videos\\clip.mp4"},
        {"trail byte 0x5C after the dot is part of the extension",
         PathStyle::Windows,
         "C:\\my.\x83\x5c",
         {"C:\\my.\x83\x5c"},
         "C:\\my.mp4"},
        {"relative row path", PathStyle::Windows, "clip.avi", {"clip.avi"}, "clip.mp4"},
        {"relative row path with an existing output",
         PathStyle::Windows,
         "clip.avi",
         {"clip.avi", "clip.mp4"},
         "clip.mp4.mp4"},
        {"posix dotted folder stays",
         PathStyle::Posix,
         "/home/u/Backup.avi/clip.avi",
         {"/home/u/Backup.avi/clip.avi"},
         "/home/u/Backup.avi/clip.mp4"},
        {"posix backslash is part of the name",
         PathStyle::Posix,
         "/home/u/a.b\\clip",
         {"/home/u/a.b\\clip"},
         "/home/u/a.mp4"},
        {"posix existing output",
         PathStyle::Posix,
         "/home/u/ビデオ.mp4",
         {"/home/u/ビデオ.mp4"},
         "/home/u/ビデオ.mp4.mp4"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MakeOutputPath(row.rowPath, ".mp4", existingFiles(row.existing), row.style), row.expected);
    }
}

TEST(MakeOutputPath, EarlierOutputsOfTheBatchCountAsExisting) {
    std::set<std::string> files = {"C:\\Video\\a.avi", "C:\\Video\\a.mkv"};
    std::vector<std::string> outputs;
    for (const std::string rowPath : {"C:\\Video\\a.avi", "C:\\Video\\a.mkv"}) {
        const std::optional<std::string> output =
            MakeOutputPath(rowPath, ".mp4", existingFiles(files), PathStyle::Windows);
        ASSERT_TRUE(output.has_value());
        outputs.push_back(*output);
        files.insert(*output);  // the job writes it before the next row is named
    }
    EXPECT_EQ(outputs, (std::vector<std::string>{"C:\\Video\\a.mp4", "C:\\Video\\a.mp4.mp4"}));
}

TEST(MakeOutputPath, EmptyExtensionGivesNothingWhenTheNameIsTaken) {
    struct Row {
        const char* name;
        std::string rowPath;
        std::set<std::string> existing;
        std::optional<std::string> expected;
    };
    const Row rows[] = {
        {"extension removed when that name is free",
         "C:\\Video\\clip.avi",
         {"C:\\Video\\clip.avi"},
         "C:\\Video\\clip"},
        {"extension removed onto an existing file",
         "C:\\Video\\clip.avi",
         {"C:\\Video\\clip.avi", "C:\\Video\\clip"},
         std::nullopt},
        {"row without extension names its own input", "C:\\Video\\clip", {"C:\\Video\\clip"}, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MakeOutputPath(row.rowPath, "", existingFiles(row.existing), PathStyle::Windows),
                  row.expected);
    }
}

TEST(MakeOutputPath, AFolderAtTheCandidateIsNoFile) {
    TempDir dir;
    const std::string input = dir.write("clip.avi", "x");
    dir.write("clip.mp4/inside", "");
    EXPECT_EQ(MakeOutputPath(input, ".mp4", platform::fileExists, PathStyle::Posix), dir.file("clip.mp4"));

    dir.write("other.mp4", "");
    EXPECT_EQ(MakeOutputPath(dir.file("other.avi"), ".mp4", platform::fileExists, PathStyle::Posix),
              dir.file("other.mp4.mp4"));
}

TEST(MakeJobCommand, BuildsTheEncoderCommand) {
    struct Row {
        const char* name;
        std::string executable;
        PathStyle style;
        std::string option;
        std::string input;
        std::string output;
        std::string expected;
    };
    const std::string tools = "C:\\Tools\\Mirvane\\Mirvane.exe";
    const Row rows[] = {
        {"plain job", tools, PathStyle::Windows, kPresetOption, "C:\\Video\\clip.avi", "C:\\Video\\clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\Video\\clip.avi\" -s 320x240 "
         "\"C:\\Video\\clip.mp4\""},
        {"script as the input", tools, PathStyle::Windows, kPresetOption, "C:\\Tools\\Mirvane\\Mirvane.avs",
         "C:\\Video\\clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\Tools\\Mirvane\\Mirvane.avs\" -s 320x240 "
         "\"C:\\Video\\clip.mp4\""},
        {"encoder folder with a blank is quoted", "C:\\Program Files\\Mirvane\\Mirvane.exe",
         PathStyle::Windows, kPresetOption, "C:\\Video\\clip.avi", "C:\\Video\\clip.mp4",
         "\"C:\\Program Files\\Mirvane\\ffmpeg\\ffmpeg.exe\" -y -i \"C:\\Video\\clip.avi\" -s 320x240 "
         "\"C:\\Video\\clip.mp4\""},
        {"empty option", tools, PathStyle::Windows, "", "C:\\Video\\clip.avi", "C:\\Video\\clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y "},
        {"small-letter placeholders stay", tools, PathStyle::Windows, "-i %inpfile %outfile", "C:\\a.avi",
         "C:\\a.mp4", "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i %inpfile %outfile"},
        {"input placeholder twice", tools, PathStyle::Windows, "-i %INPFILE -i %INPFILE %OUTFILE",
         "C:\\a.avi", "C:\\a.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\a.avi\" -i \"C:\\a.avi\" \"C:\\a.mp4\""},
        {"a placeholder inside the input path stays", tools, PathStyle::Windows, kPresetOption,
         "C:\\Video\\%OUTFILE.avi", "C:\\Video\\%OUTFILE.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\Video\\%OUTFILE.avi\" -s 320x240 "
         "\"C:\\Video\\%OUTFILE.mp4\""},
        {"quote and trailing backslash are escaped", "/opt/My Apps/Mirvane", PathStyle::Posix, kPresetOption,
         "/v/say \"hi\".avi", "/v/dir\\",
         "\"/opt/My Apps/ffmpeg/ffmpeg\" -y -i \"/v/say \\\"hi\\\".avi\" -s 320x240 \"/v/dir\\\\\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AppPaths paths = AppPaths::fromExecutable(row.executable, row.style);
        EXPECT_EQ(MakeJobCommand(CommandTemplate(paths, row.option), row.input, row.output), row.expected);
    }
}

TEST(MakeJobCommand, EveryPathArrivesAsOneArgument) {
    const AppPaths paths = AppPaths::fromExecutable("/opt/My Apps/Mirvane", PathStyle::Posix);
    const std::string names[] = {
        "/v/a b.avi", "/v/say \"hi\".avi", "/v/%OUTFILE.avi", "/v/ビデオ 1.avi", "/v/dir\\", "-dash.avi",
        "",           "/v/a\\\"\t\\\\b"};
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string command =
            MakeJobCommand(CommandTemplate(paths, kPresetOption), name, name + ".mp4");
        EXPECT_EQ(SplitCommandLine(command), (std::vector<std::string>{paths.encoder, "-y", "-i", name, "-s",
                                                                       "320x240", name + ".mp4"}));
    }
}

TEST(MakeAvsScript, WritesOneCrLfLine) {
    struct Row {
        const char* name;
        std::string input;
        std::string fps;
        std::string expected;
    };
    const Row rows[] = {
        {"with a frame rate", "C:\\Video\\clip.avi", "25",
         "DirectShowSource(\"C:\\Video\\clip.avi\",fps=25,convertfps=true)\r\n"},
        {"without a frame rate", "C:\\Video\\clip.avi", "", "DirectShowSource(\"C:\\Video\\clip.avi\")\r\n"},
        {"frame rate text unchecked", "/v/a.avi", "29.97x",
         "DirectShowSource(\"/v/a.avi\",fps=29.97x,convertfps=true)\r\n"},
        {"path bytes unchanged and unescaped", "/v/ビデオ \"1\"\\.avi", "",
         "DirectShowSource(\"/v/ビデオ \"1\"\\.avi\")\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const AppPaths paths = AppPaths::fromExecutable(dir.file("Mirvane"), PathStyle::Posix);
        std::string scriptPath;
        EXPECT_FALSE(MakeAvsScript(paths, row.input, row.fps, scriptPath));
        EXPECT_EQ(scriptPath, dir.file("Mirvane.avs"));
        EXPECT_EQ(readBytes(dir.file("Mirvane.avs")), row.expected);
    }
}

TEST(MakeAvsScript, TruncatesALongerOldScript) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("Mirvane"), PathStyle::Posix);
    dir.write("Mirvane.avs", std::string(500, 'x') + "\r\n");
    std::string scriptPath;
    EXPECT_FALSE(MakeAvsScript(paths, "/v/a.avi", "", scriptPath));
    EXPECT_EQ(readBytes(paths.scriptFile), "DirectShowSource(\"/v/a.avi\")\r\n");
}

TEST(MakeAvsScript, ReportsAFailureAsTheSystemError) {
    struct Row {
        const char* name;
        std::string executableName;
        std::string directoryInTheWay;  // created when not empty
    };
    const Row rows[] = {
        {"folder does not exist", "missing/Mirvane", ""},
        {"script path is a folder", "Mirvane", "Mirvane.avs/inside"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        if (!row.directoryInTheWay.empty()) {
            dir.write(row.directoryInTheWay, "");
        }
        const AppPaths paths = AppPaths::fromExecutable(dir.file(row.executableName), PathStyle::Posix);
        std::string scriptPath = "unchanged";
        std::error_code error;
        EXPECT_NO_THROW(error = MakeAvsScript(paths, "/v/a.avi", "25", scriptPath));
        EXPECT_TRUE(error);
        EXPECT_EQ(error.category(), std::system_category());
        EXPECT_EQ(scriptPath, "unchanged");
        EXPECT_FALSE(std::filesystem::is_regular_file(paths.scriptFile));
    }
}

}  // namespace
}  // namespace mirvane
