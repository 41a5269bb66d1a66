#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/formats/command_line.h"
#include "engine/jobs/job_command.h"
#include "engine/platform/process.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

// Runs the command line as the encoder would be run and returns the arguments
// the program received after its own name (it writes each one NUL-terminated).
std::vector<std::string> argumentsReceived(const std::string& program, const std::string& commandLine) {
    platform::EncoderProcess process;
    EXPECT_FALSE(process.start(program, commandLine));
    process.closeWriteEnd();
    std::string output;
    char buffer[2048];
    for (std::ptrdiff_t n; (n = process.read(buffer, sizeof buffer)) > 0;)
        output.append(buffer, static_cast<std::size_t>(n));
    process.close();
    std::vector<std::string> arguments;
    std::istringstream stream(output);
    for (std::string argument; std::getline(stream, argument, '\0');) arguments.push_back(argument);
    return arguments;
}

TEST(ArgvPassing, EveryFileNameArrivesAsOneArgumentAtAnEncoderInAFolderWithABlank) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("My Apps/Mirvane"), PathStyle::Posix);
    std::filesystem::create_directories(ExtractFolder(paths.encoder, PathStyle::Posix));
    std::filesystem::copy_file(MIRVANE_ARGV_ECHO, paths.encoder);
    const JobCommandTemplate commandTemplate = CommandTemplate(paths, "-i %INPFILE -x %OUTFILE");
    const std::string names[] = {
        "/videos/my clip.avi",  "/videos/say \"hi\".avi",
        "/videos/%OUTFILE.avi", "/videos/ビデオ 1.avi",
        "/videos/folder\\",     "-dash.avi",
        "/videos/a\t\"\"b",     "",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string output = name + ".mp4";
        // A name the encoder would take for an option comes from the current folder.
        const std::string from = name.starts_with('-') ? "./" : "";
        EXPECT_EQ(argumentsReceived(paths.encoder, MakeJobCommand(commandTemplate, name, output)),
                  (std::vector<std::string>{"-y", "-i", from + name, "-x", from + output}));
    }
}

// A path with both a blank and a quote cannot be written as a program's part:
// "<dir>/a"b c/ffmpeg/ffmpeg" reads as the program <dir>/a followed by other
// arguments. The encoder's own path still runs, with its own arguments.
TEST(ArgvPassing, AnEncoderWhosePathCannotBeWrittenRunsWithItsOwnArguments) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("a\"b c/Mirvane"), PathStyle::Posix);
    std::filesystem::create_directories(ExtractFolder(paths.encoder, PathStyle::Posix));
    std::filesystem::copy_file(MIRVANE_ARGV_ECHO, paths.encoder);
    // What a split of the whole line would run instead.
    const std::string cutOff = dir.write("a", "#!/bin/sh\ntouch \"$0.ran\"\n");
    std::filesystem::permissions(cutOff, std::filesystem::perms::owner_all);

    const std::string commandLine =
        MakeJobCommand(CommandTemplate(paths, "-i %INPFILE %OUTFILE"), "/v/in.avi", "/v/out.mp4");
    ASSERT_EQ(SplitCommandLine(commandLine).front(), cutOff);
    EXPECT_EQ(argumentsReceived(paths.encoder, commandLine),
              (std::vector<std::string>{"-y", "-i", "/v/in.avi", "/v/out.mp4"}));
    EXPECT_FALSE(std::filesystem::exists(cutOff + ".ran"));
}

}  // namespace
}  // namespace mirvane
