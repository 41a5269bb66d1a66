#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/formats/command_line.h"
#include "engine/jobs/job_command.h"
#include "engine/platform/files.h"
#include "engine/platform/text.h"
#include "support/lead_bytes.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

const std::string kPresetOption = "-i %INPFILE -s 320x240 %OUTFILE";

TEST(MakeOutputPath, NamesAFreeFileAfterTheRow) {
    struct Row {
        const char* name;
        std::string rowPath;
        std::set<std::string> existing;  // besides the input
        std::optional<std::string> expected;
        std::string ext = ".mp4";
    };
    const Row rows[] = {
        {"extension replaced", "C:\\Video\\clip.avi", {}, "C:\\Video\\clip.mp4"},
        {"appended past outputs",
         "C:\\Video\\clip.avi",
         {"C:\\Video\\clip.mp4", "C:\\Video\\clip.mp4.mp4"},
         "C:\\Video\\clip.mp4.mp4.mp4"},
        {"an earlier job's output is kept", "C:\\Video\\a.mkv", {"C:\\Video\\a.mp4"}, "C:\\Video\\a.mp4.mp4"},
        {"no extension", "C:\\Video\\clip", {}, "C:\\Video\\clip.mp4"},
        {"input with the preset extension kept", "C:\\Video\\clip.mp4", {}, "C:\\Video\\clip.mp4.mp4"},
        {"dotted folder stays", "C:\\Backup.avi\\clip.avi", {}, "C:\\Backup.avi\\clip.mp4"},
        {"extension in another letter case", "C:\\old.avi\\CLIP.AVI", {}, "C:\\old.avi\\CLIP.mp4"},
        {"dot only in a folder name", "C:\\my.videos\\clip", {}, "C:\\my.videos\\clip.mp4"},
        {"a lone dot keeps the folder's dots", "C:\\my.videos\\clip.", {}, "C:\\my.videos\\clip.mp4"},
        {"trail byte 0x5C in the extension", "C:\\my.\x83\x5c", {}, "C:\\my.mp4"},
        {"relative row path", "clip.avi", {"clip.mp4"}, "clip.mp4.mp4"},
        {"empty extension removed", "C:\\Video\\clip.avi", {}, "C:\\Video\\clip", ""},
        {"empty extension onto a file: none", "C:\\Video\\clip.avi", {"C:\\Video\\clip"}, std::nullopt, ""},
        {"empty extension, none to remove", "C:\\Video\\clip", {}, std::nullopt, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto exists = [&row](const std::string& path) {
            return path == row.rowPath || row.existing.count(path) > 0;
        };
        EXPECT_EQ(MakeOutputPath(row.rowPath, row.ext, exists, PathStyle::Windows, test::isShiftJisLeadByte),
                  row.expected);
    }
}

// A file takes the name, and so does a folder: neither can be written to.
TEST(MakeOutputPath, AFileOrAFolderTakesTheName) {
    TempDir dir;
    const std::string input = dir.write("clip.avi", "x");
    std::filesystem::create_directory(dir.file("clip.mp4"));
    EXPECT_EQ(MakeOutputPath(input, ".mp4", platform::entryExists), dir.file("clip.mp4.mp4"));
    dir.write("clip.mp4.mp4", "x");
    EXPECT_EQ(MakeOutputPath(input, ".mp4", platform::entryExists), dir.file("clip.mp4.mp4.mp4"));
}

TEST(WorkingOutputPath, MarksTheNameAndKeepsTheExtensionLast) {
    EXPECT_EQ(WorkingOutputPath("C:\\v.d\\clip.mp4", 1, {}, PathStyle::Windows),
              "C:\\v.d\\clip (変換中).mp4");
    EXPECT_EQ(WorkingOutputPath("/v.d/clip.mp4.mp4", 3, {}, PathStyle::Posix),
              "/v.d/clip.mp4 (変換中 3).mp4");
    EXPECT_EQ(WorkingOutputPath("/v.d/clip", 1, {}, PathStyle::Posix), "/v.d/clip (変換中)");
}

// A NUL never reaches the existence test (which would see a shorter name),
// and a test that always answers "taken" cannot keep the loop going.
TEST(MakeOutputPath, GivesUpOnANulAndAfterItsBound) {
    int asked = 0;
    const auto taken = [&asked](const std::string&) { return ++asked, true; };
    EXPECT_EQ(MakeOutputPath(std::string("/v/a\0b.avi", 10), ".mp4", taken, PathStyle::Posix), std::nullopt);
    EXPECT_EQ(MakeOutputPath("/v/a.avi", std::string(".mp\0", 4), taken, PathStyle::Posix), std::nullopt);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(MakeOutputPath("/v/a.avi", ".mp4", taken, PathStyle::Posix), std::nullopt);
    EXPECT_EQ(asked, kMaxOutputNameCandidates);
}

// The working name is longer than the final one; where only the final one
// fits, the working name gives way, a whole UTF-8 character at a time.
TEST(WorkingOutputPath, ShortensItsOwnNameToFitTheLimit) {
    const auto fits255 = [](std::string_view name) { return name.size() <= 255; };
    std::string stem;
    while (stem.size() < 240) stem += "変";  // 3 bytes each
    const struct {
        std::string stem;
        int attempt;
        std::size_t kept;  // bytes of the stem left
    } cases[] = {
        {stem, 1, 237}, {stem, 12, 234}, {"a" + stem, 1, 238}, {"ab" + stem, 1, 239}, {"clip", 1, 4}};
    for (const auto& c : cases)
        EXPECT_EQ(WorkingOutputPath("/v/" + c.stem + ".mp4", c.attempt, fits255, PathStyle::Posix),
                  "/v/" + c.stem.substr(0, c.kept) + (c.attempt > 1 ? " (変換中 12).mp4" : " (変換中).mp4"));
}

TEST(WritesSeveralFiles, APatternOrAMultiFileMuxer) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"-i %INPFILE %OUTFILE", ".mp4", false},
        {"-i %INPFILE %OUTFILE", "_%03d.png", true},
        {"-i %INPFILE %OUTFILE", "%d.jpg", true},
        {"-i %INPFILE -c copy %OUTFILE", ".m3u8", true},
        {"-i %INPFILE -c copy %OUTFILE", ".MPD", true},
        {"-i %INPFILE -f segment -segment_time 10 %OUTFILE", "_%02d.mkv", true},
        {"-i %INPFILE -f image2 %OUTFILE", ".jpg", true},
        {"-i %INPFILE -f mp4 %OUTFILE", ".hls", false},
        {"-i %INPFILE -metadata title=hls %OUTFILE", ".mp4", false},
        {"-i %INPFILE %OUTFILE", "_100%.mp4", false},
    };
    for (const auto& [options, ext, several] : cases)
        EXPECT_EQ(WritesSeveralFiles(options, ext), several) << options << ext;
    EXPECT_EQ(FirstNumberedNames("/v/a_%03d.png"),
              (std::vector<std::string>{"/v/a_000.png", "/v/a_001.png"}));
    EXPECT_EQ(FirstNumberedNames("/v/a%d.jpg"), (std::vector<std::string>{"/v/a0.jpg", "/v/a1.jpg"}));
    EXPECT_EQ(FirstNumberedNames("/v/a.m3u8"), (std::vector<std::string>{"/v/a.m3u8"}));
}

TEST(MakeJobCommand, BuildsTheEncoderCommand) {
    struct Row {
        const char* name;
        std::string option;
        std::string input;
        std::string output;
        std::string expected;
        std::string executable = "C:\\Tools\\Mirvane\\Mirvane.exe";
        PathStyle style = PathStyle::Windows;
    };
    const Row rows[] = {
        {"plain job", kPresetOption, "C:\\Video\\clip.avi", "C:\\Video\\clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\Video\\clip.avi\" -s 320x240 "
         "\"C:\\Video\\clip.mp4\""},
        {"script as the input", kPresetOption, "C:\\Tools\\Mirvane\\Mirvane.avs", "C:\\Video\\clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\Tools\\Mirvane\\Mirvane.avs\" -s 320x240 "
         "\"C:\\Video\\clip.mp4\""},
        {"encoder folder with a blank is quoted", kPresetOption, "C:\\a.avi", "C:\\a.mp4",
         "\"C:\\Program Files\\Mirvane\\ffmpeg\\ffmpeg.exe\" -y -i \"C:\\a.avi\" -s 320x240 \"C:\\a.mp4\"",
         "C:\\Program Files\\Mirvane\\Mirvane.exe"},
        {"empty option", "", "C:\\a.avi", "C:\\a.mp4", "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y "},
        {"small letters stay, capitals twice are both replaced", "-i %inpfile %INPFILE %INPFILE", "C:\\a.avi",
         "C:\\a.mp4", "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i %inpfile \"C:\\a.avi\" \"C:\\a.avi\""},
        {"a placeholder inside the input path stays", kPresetOption, "C:\\%OUTFILE.avi", "C:\\%OUTFILE.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \"C:\\%OUTFILE.avi\" -s 320x240 \"C:\\%OUTFILE.mp4\""},
        {"quote and trailing backslash are escaped", kPresetOption, "/v/say \"hi\".avi", "/v/dir\\",
         "\"/opt/My Apps/ffmpeg/ffmpeg\" -y -i \"/v/say \\\"hi\\\".avi\" -s 320x240 \"/v/dir\\\\\"",
         "/opt/My Apps/Mirvane", PathStyle::Posix},
        {"names that look like options", kPresetOption, "-clip.avi", "-clip.mp4",
         "C:\\Tools\\Mirvane\\ffmpeg\\ffmpeg.exe -y -i \".\\-clip.avi\" -s 320x240 \".\\-clip.mp4\""},
        {"names that look like options, POSIX", kPresetOption, "-clip.avi", "-x/-clip.mp4",
         "/opt/ffmpeg/ffmpeg -y -i \"./-clip.avi\" -s 320x240 \"./-x/-clip.mp4\"", "/opt/Mirvane",
         PathStyle::Posix},
        // The placeholders are the options', never the encoder folder's.
        {"placeholders in the program folder, both in the options", kPresetOption, "/v/a.avi", "/v/a.mp4",
         "\"/o/x%INPFILE y/ffmpeg/ffmpeg\" -y -i \"/v/a.avi\" -s 320x240 \"/v/a.mp4\"", "/o/x%INPFILE y/M",
         PathStyle::Posix},
        {"placeholders in the program folder, repeated", "%OUTFILE %INPFILE %OUTFILE", "/a", "/b",
         "/o/%OUTFILE/ffmpeg/ffmpeg -y \"/b\" \"/a\" \"/b\"", "/o/%OUTFILE/M", PathStyle::Posix},
        {"placeholders in the program folder, none in the options", "-version", "/a", "/b",
         "\"/o/x%INPFILE y/ffmpeg/ffmpeg\" -y -version", "/o/x%INPFILE y/M", PathStyle::Posix},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const AppPaths paths = AppPaths::fromExecutable(row.executable, row.style);
        EXPECT_EQ(MakeJobCommand(CommandTemplate(paths, row.option), row.input, row.output, row.style),
                  row.expected);
    }
}

// A relative name with a ':' before any separator would be read as a
// protocol; a Windows drive is none.
TEST(MakeJobCommand, ColonNamesAreWrittenFromTheCurrentFolder) {
    const struct {
        std::string path, arrives;
        PathStyle style = PathStyle::Posix;
    } rows[] = {{"Part1:Intro.avi", "./Part1:Intro.avi"},
                {"pipe:1.avi", "./pipe:1.avi"},
                {"data:,hello.avi", "./data:,hello.avi"},
                {"C:x.avi", "./C:x.avi"},
                {"v/pipe:1.avi", "v/pipe:1.avi"},
                {"pipe:1.avi", ".\\pipe:1.avi", PathStyle::Windows},
                {"C:\\v:.avi", "C:\\v:.avi", PathStyle::Windows},
                {"c:a.avi", "c:a.avi", PathStyle::Windows}};
    for (const auto& row : rows)
        EXPECT_EQ(
            SplitCommandLine(MakeJobCommand({"f ", "%INPFILE %OUTFILE"}, row.path, row.path, row.style)),
            (std::vector<std::string>{"f", row.arrives, row.arrives}));
}

// Each row first leaves a longer old script, which must be truncated.
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
        {"path bytes unchanged and unescaped", "/v/ビデオ \"1\"\\.avi", "",
         "DirectShowSource(\"/v/ビデオ \"1\"\\.avi\")\r\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const AppPaths paths = AppPaths::fromExecutable(dir.file("Mirvane"), PathStyle::Posix);
        dir.write("Mirvane.avs", std::string(500, 'x'));
        std::string scriptPath;
        EXPECT_FALSE(MakeAvsScript(paths, row.input, row.fps, scriptPath));
        EXPECT_EQ(scriptPath, dir.file("Mirvane.avs"));
        EXPECT_EQ(readBytes(scriptPath), row.expected);
    }
}

TEST(MakeAvsScript, ReportsAFailureAsTheSystemError) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("missing/Mirvane"));
    std::string scriptPath = "unchanged";
    const std::error_code error = MakeAvsScript(paths, "/v/a.avi", "25", scriptPath);
    EXPECT_EQ(error, std::errc::no_such_file_or_directory) << error.message();
    EXPECT_EQ(scriptPath, "unchanged");
}

}  // namespace
}  // namespace mirvane
