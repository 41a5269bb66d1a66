#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "engine/command_line.h"
#include "engine/job_command.h"
#include "engine/platform/platform.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

// Runs the command line as the encoder would be run and returns the arguments
// the program received after its own name (it writes each one NUL-terminated).
std::vector<std::string> argumentsReceived(const std::string& commandLine) {
    platform::EncoderProcess process;
    EXPECT_FALSE(process.start(SplitCommandLine(commandLine)));
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
    const std::string commandTemplate = CommandTemplate(paths, "-i %INPFILE -x %OUTFILE");
    const std::string names[] = {
        "/videos/my clip.avi",  "/videos/say \"hi\".avi",
        "/videos/%OUTFILE.avi", "/videos/ビデオ 1.avi",
        "/videos/folder\\",     "-dash.avi",
        "/videos/a\t\"\"b",     "",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string output = name + ".mp4";
        EXPECT_EQ(argumentsReceived(MakeJobCommand(commandTemplate, name, output)),
                  (std::vector<std::string>{"-y", "-i", name, "-x", output}));
    }
}

}  // namespace
}  // namespace mirvane
