// mirvane-cli as scripts and job runners meet it: the real program, copied
// beside a settings file and an encoder, run without a display.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <sstream>
#include <thread>

#include "support/temp_dir.h"

namespace mirvane {
namespace {

namespace fs = std::filesystem;

// One line of the JSON report as its fields' texts: the report writes flat
// objects of strings, numbers and booleans only, which is all this reads.
std::map<std::string, std::string> parseJsonLine(const std::string& line) {
    std::map<std::string, std::string> fields;
    std::size_t i = 0;
    auto text = [&] {
        std::string value;
        for (++i; i < line.size() && line[i] != '"'; ++i) value += line[i] == '\\' ? line[++i] : line[i];
        ++i;
        return value;
    };
    if (line.empty() || line.front() != '{' || line.back() != '}') throw std::runtime_error("not an object: " + line);
    for (i = 1; i < line.size() && line[i] == '"';) {
        const std::string key = text();
        if (line.at(i++) != ':') throw std::runtime_error("no colon: " + line);
        if (line[i] == '"') {
            fields[key] = text();
        } else {
            const std::size_t end = line.find_first_of(",}", i);
            fields[key] = line.substr(i, end - i);
            i = end;
        }
        if (line[i] == ',') ++i;
    }
    if (i != line.size() - 1) throw std::runtime_error("not one object: " + line);
    return fields;
}

struct ProgramRun {
    int status = -1;
    std::string output;
};

class ConsoleProgram : public testing::Test {
protected:
    ConsoleProgram() {
        fs::copy_file(MIRVANE_CLI, program.file("mirvane-cli"));
        fs::create_directory(program.file("ffmpeg"));
        fs::copy_file(MIRVANE_FAKE_ENCODER, program.file("ffmpeg/ffmpeg"));
        program.write("MovieSet.ini",
                      "[List]\nListTitle00=converts\nListOption00=progress:2:10 -i %INPFILE %OUTFILE\nListExt00=.mp4\n"
                      "ListTitle01=fails\nListOption01=exit:1 -i %INPFILE %OUTFILE\nListExt01=.mp4\n"
                      "ListTitle02=slow\nListOption02=pidfile:" + program.file("encoder.pid") +
                          " progress:60:100 -i %INPFILE %OUTFILE\nListExt02=.mp4\n");
        for (const char* name : {"a.avi", "b.avi"}) files.push_back(inputs.write(name, "video"));
    }

    // Starts the program without a display, its output into a pipe.
    pid_t start(std::vector<std::string> arguments) {
        int pipe[2];
        EXPECT_EQ(::pipe(pipe), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::dup2(pipe[1], STDOUT_FILENO);
            ::close(pipe[0]);
            ::unsetenv("DISPLAY");
            ::unsetenv("WAYLAND_DISPLAY");
            arguments.insert(arguments.begin(), program.file("mirvane-cli"));
            std::vector<char*> argv;
            for (std::string& argument : arguments) argv.push_back(argument.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::close(pipe[1]);
        m_output = pipe[0];
        return pid;
    }
    // The next line of the program's output; empty at its end.
    std::string readLine() {
        std::string line;
        for (char byte; ::read(m_output, &byte, 1) == 1 && byte != '\n';) line += byte;
        return line;
    }
    ProgramRun finish(pid_t pid) {
        ProgramRun run;
        for (char chunk[4096]; const ssize_t count = ::read(m_output, chunk, sizeof chunk);) {
            if (count < 0) break;
            run.output.append(chunk, static_cast<std::size_t>(count));
        }
        ::close(m_output);
        int status = 0;
        ::waitpid(pid, &status, 0);
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    ProgramRun run(const std::vector<std::string>& arguments) { return finish(start(arguments)); }

    TempDir program;
    TempDir inputs;
    std::vector<std::string> files;

private:
    int m_output = -1;
};

TEST_F(ConsoleProgram, ExitStatusTellsTheOutcome) {
    struct Case {
        std::vector<std::string> arguments;
        int status;
    };
    const Case cases[] = {
        {{files[0], files[1]}, 0},
        {{"--preset", "fails", files[0]}, 1},
        {{"--preset", "4", files[0]}, 2},
        {{"--settings", inputs.file("none.ini"), files[0]}, 2},
        {{"--jobs", "0", files[0]}, 2},
        {{}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.arguments));
        for (const char* output : {"a.mp4", "b.mp4"}) fs::remove(inputs.file(output));
        EXPECT_EQ(run(c.arguments).status, c.status);
    }
}

TEST_F(ConsoleProgram, JsonReportsEachJobAndTheOutputItMade) {
    const ProgramRun result = run({"--json", "--jobs", "2", files[0], files[1]});
    ASSERT_EQ(result.status, 0) << result.output;
    std::map<std::string, std::string> outputs;
    std::map<std::string, int> events;
    std::istringstream lines(result.output);
    for (std::string line; std::getline(lines, line);) {
        const auto fields = parseJsonLine(line);
        ++events[fields.at("event")];
        if (fields.at("event") == "finished") {
            EXPECT_EQ(fields.at("status"), "converted") << line;
            outputs[fields.at("input")] = fields.at("output");
        }
    }
    EXPECT_EQ(events["started"], 2);
    EXPECT_EQ(events["summary"], 1);
    EXPECT_EQ(outputs, (std::map<std::string, std::string>{{files[0], inputs.file("a.mp4")},
                                                            {files[1], inputs.file("b.mp4")}}));
    for (const auto& [input, output] : outputs) EXPECT_TRUE(fs::exists(output)) << output;
}

TEST_F(ConsoleProgram, TerminationStopsTheBatchAsTheStopButtonDoes) {
    const pid_t pid = start({"--preset", "slow", files[0]});
    ASSERT_NE(readLine().find("a.avi"), std::string::npos);
    while (!fs::exists(program.file("encoder.pid"))) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const pid_t encoder = std::stoi(readBytes(program.file("encoder.pid")));
    const auto asked = std::chrono::steady_clock::now();
    ::kill(pid, SIGTERM);
    const ProgramRun result = finish(pid);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(2500));
    EXPECT_EQ(result.status, 130) << result.output;
    EXPECT_NE(::kill(encoder, 0), 0) << "the encoder outlived the stop";
    for (const fs::directory_entry& entry : fs::directory_iterator(inputs.path()))
        EXPECT_TRUE(entry.path().extension() == ".avi") << entry.path();
}

TEST_F(ConsoleProgram, ConvertsWithTheRealEncoder) {
    if (std::system("command -v ffmpeg >/dev/null") != 0) GTEST_SKIP() << "no ffmpeg";
    fs::remove(program.file("ffmpeg/ffmpeg"));
    fs::copy_file(fs::path(MIRVANE_SOURCE_DIR) / "MovieSet.ini", program.file("MovieSet.ini"),
                  fs::copy_options::overwrite_existing);
    ASSERT_EQ(std::system(("ln -s \"$(command -v ffmpeg)\" '" + program.file("ffmpeg/ffmpeg") + "' && " +
                           "ffmpeg -v error -f lavfi -i testsrc=duration=1:size=160x120 -f lavfi -i sine=duration=1 "
                           "-shortest '" + inputs.file("clip.mkv") + "'")
                              .c_str()),
              0);
    const ProgramRun result = run({inputs.file("clip.mkv")});
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_GT(fs::file_size(inputs.file("clip.mp4")), 1000u);
}

}  // namespace
}  // namespace mirvane
