// Every file name reaches a Windows encoder as exactly one argument: the
// command line built in UTF-8 goes to CreateProcessW as UTF-16, and the
// encoder splits it with the system's own CommandLineToArgvW (the argument
// echo does just that), so names outside the ANSI code page arrive intact.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/jobs/job_command.h"
#include "engine/platform/process.h"
#include "support/encoder_runs.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

std::vector<std::string> argumentsReceived(const std::string& program, const std::string& commandLine) {
    platform::EncoderProcess process;
    EXPECT_FALSE(process.start(program, commandLine));
    process.closeWriteEnd();
    const std::string output = test::readToEnd(process);
    process.close();
    std::vector<std::string> arguments;
    std::istringstream stream(output);
    for (std::string argument; std::getline(stream, argument, '\0');) arguments.push_back(argument);
    return arguments;
}

TEST(ArgvPassing, EveryFileNameArrivesAsOneArgumentAtAnEncoderInAFolderOutsideTheAnsiCodePage) {
    TempDir dir;
    // A blank, Japanese, Korean and a character outside the Basic
    // Multilingual Plane (two UTF-16 units) in the program's own folder.
    const AppPaths paths = AppPaths::fromExecutable(dir.file("My 映画 🎬 한국\\Mirvane.exe"));
    std::filesystem::create_directories(std::filesystem::u8path(ExtractFolder(paths.encoder)));
    std::filesystem::copy_file(MIRVANE_ARGV_ECHO, std::filesystem::u8path(paths.encoder));
    const JobCommandTemplate commandTemplate = CommandTemplate(paths, "-i %INPFILE -x %OUTFILE");
    const struct {
        std::string name;
        std::string arrives;
    } rows[] = {
        {"C:\\videos\\映画 🎬 한국.avi", "C:\\videos\\映画 🎬 한국.avi"},
        // In Shift-JIS these end in 0x5C, which the quoting would double
        // were it given ANSI bytes; in UTF-8 no byte of them is a backslash.
        {"C:\\ソフト\\表能ソ.avi", "C:\\ソフト\\表能ソ.avi"},
        {"C:\\ソフト\\表\\", "C:\\ソフト\\表\\"},
        {"C:\\videos\\my clip.avi", "C:\\videos\\my clip.avi"},
        {"C:\\videos\\say \"hi\".avi", "C:\\videos\\say \"hi\".avi"},
        {"C:\\videos\\%OUTFILE.avi", "C:\\videos\\%OUTFILE.avi"},
        {"C:\\videos\\folder\\", "C:\\videos\\folder\\"},
        {"\\\\server\\share\\a\t\"\"b", "\\\\server\\share\\a\t\"\"b"},
        {"-dash.avi", ".\\-dash.avi"},
        {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            argumentsReceived(paths.encoder, MakeJobCommand(commandTemplate, row.name, row.name + ".mp4")),
            (std::vector<std::string>{"-y", "-i", row.arrives, "-x", row.arrives + ".mp4"}));
    }
}

}  // namespace
}  // namespace mirvane
