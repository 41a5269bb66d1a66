#include <gtest/gtest.h>

#include <filesystem>
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
    const std::error_code error = process.start(SplitCommandLine(commandLine));
    EXPECT_FALSE(error) << error.message();
    if (error) {
        return {};
    }
    process.closeWriteEnd();
    std::string output;
    char buffer[2048];
    for (std::ptrdiff_t n; (n = process.read(buffer, sizeof buffer)) > 0;) {
        output.append(buffer, static_cast<std::size_t>(n));
    }
    process.close();

    std::vector<std::string> arguments;
    for (std::size_t begin = 0, end; (end = output.find('\0', begin)) != std::string::npos; begin = end + 1) {
        arguments.push_back(output.substr(begin, end - begin));
    }
    return arguments;
}

const std::string kOption = "-i %INPFILE -x %OUTFILE";

TEST(ArgvPassing, EveryFileNameArrivesAsOneArgument) {
    const std::string names[] = {
        "/videos/my clip.avi",  "/videos/say \"hi\".avi",
        "/videos/%OUTFILE.avi", "/videos/ビデオ 1.avi",
        "/videos/folder\\",     "-dash.avi",
        "/videos/a\t\"\"b",     "",
    };
    const std::string commandTemplate = QuoteProgram(MIRVANE_ARGV_ECHO) + " -y " + kOption;
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        const std::string output = name + ".mp4";
        EXPECT_EQ(argumentsReceived(MakeJobCommand(commandTemplate, name, output)),
                  (std::vector<std::string>{"-y", "-i", name, "-x", output}));
    }
}

TEST(ArgvPassing, EncoderInAFolderWithABlankStarts) {
    TempDir dir;
    const AppPaths paths = AppPaths::fromExecutable(dir.file("My Apps/Mirvane"), PathStyle::Posix);
    std::filesystem::create_directories(ExtractFolder(paths.encoder, PathStyle::Posix));
    std::filesystem::copy_file(MIRVANE_ARGV_ECHO, paths.encoder);

    const std::string command = MakeJobCommand(CommandTemplate(paths, kOption), "/v/a b.avi", "/v/a b.mp4");
    EXPECT_EQ(argumentsReceived(command),
              (std::vector<std::string>{"-y", "-i", "/v/a b.avi", "-x", "/v/a b.mp4"}));
}

}  // namespace
}  // namespace mirvane
