#pragma once

// The step language of the fake encoders (fake_encoder_posix.cpp,
// fake_encoder_win32.cpp): the parsing of the arguments and the text the
// steps print, written once so that both systems' encoders act alike. What
// needs the system is asked of a ScriptHost.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirvane::test {

enum class Stream { Output, Error };

// What a script needs of the system it runs on.
class ScriptHost {
public:
    virtual ~ScriptHost() = default;

    // All of data, in as few writes as the system allows; an output that is
    // closed or broken is no error, the script goes on regardless.
    virtual void write(Stream stream, std::string_view data) = 0;
    virtual void sleepMs(long long ms) = 0;
    virtual void exitNow(long long code) = 0;
    virtual void crash(long long signal) = 0;
    virtual void hang() = 0;
    virtual void closeOutput() = 0;
    // pidFile: where the grandchild is to write its id, when the step says.
    // One that does not hold the output runs on in the background once the
    // encoder has ended.
    virtual void startGrandchild(long long sleepMs, std::optional<std::string_view> pidFile,
                                 bool holdsOutput) = 0;
    virtual void writePidFile(std::string_view path) = 0;
    // The steps only this system knows; false when name is none of them, as
    // for any argument that is not a step.
    virtual bool runOwnStep(std::string_view name, std::string_view value) = 0;
};

// One argument split at its first colon: "sleep:20" is {"sleep", "20"}, and
// "hang" is {"hang", ""}.
struct Step {
    std::string_view name;
    std::string_view value;
};

Step parseStep(std::string_view argument);

// Arguments cannot hold NUL bytes (and on Windows only text), hence the
// escapes \n \r \0 and \xHH; any other byte stands for itself.
std::string unescape(std::string_view text);

// The leading decimal number of text, 0 when there is none.
long long number(std::string_view text);

// A number of bytes that may end in k, m or g.
long long byteCount(std::string_view text);

// "HH:MM:SS.00" as ffmpeg writes times.
std::string timestamp(long long seconds);

// One of ffmpeg's progress lines, ending in "\r" as ffmpeg's do.
std::string progressLine(long long frame, long long seconds);

// Carries out the steps in arguments (the program's own name left out) in
// order; any argument that is not a step is passed over, so an encoder's full
// command line can be given. "input-steps" runs the lines of the input file
// (after -i) as steps; "wait-for:PATH" waits until PATH exists.
void runScript(const std::vector<std::string>& arguments, ScriptHost& host);

}  // namespace mirvane::test
