#pragma once
// Whether an encoder run produced a complete output, by the encoder's own
// words and its end. Its closing summary counts only as the encoder prints it,
// at the start of a line: a file name or a tag the encoder echoes may hold
// the same words anywhere else. A summary is also printed after a failed
// write (a full disk, a trailer not written), so write errors are looked for
// too, and the exit code must say success.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/encoding/job_result.h"

namespace mirvane {

// Reads the encoder's console text one whole line at a time.
class VerdictReader {
public:
    // One line, without its line break.
    void readLine(std::string_view line);

    bool summarySeen() const { return m_summarySeen; }
    // The encoder's first line that reports a failed write or close, as
    // printed; empty when there was none.
    const std::string& writeError() const { return m_writeError; }

    // A line of the encoder's made readable as a failed job's reason: without
    // the encoder's internal tags ("[out#0/mp4 @ 0x55d1c0] "), and naming the
    // file it is about where the line itself does not.
    std::string readable(std::string_view line) const;
    // The write error made readable; it names the output where its line does not.
    std::string readableWriteError() const;

private:
    bool m_summarySeen = false;
    std::string m_writeError;
    // The files the encoder named on its own lines: the first output
    // ("Output #0, mp4, to '...':"), and the files it could not open
    // ("Error opening input file ....").
    std::string m_output;
    std::string m_unopenedInput;
    std::string m_unopenedOutput;
};

// The line without the tags ffmpeg puts in front of a message to say which of
// its parts speaks: "[vost#0:0/libx264 @ 0x55d1c0] ", "[in#0 @ 0x1f0] ",
// "[mp4 @ 000001F2A3B4C5D0] " (Windows prints pointers without "0x").
std::string_view WithoutTags(std::string_view line);

// How the run ended, beside what the encoder said.
struct EncoderEnd {
    bool stopped = false;  // a stop was requested before the run ended
    // The exit code when the encoder ended by itself; nothing when it was
    // killed or crashed.
    std::optional<int> exitCode;
};

// The job's result: kResultCompleted only for a run that ended by itself
// with 0, printed its summary and reported no write error; kResultStopped for
// a stopped run; otherwise kResultFailed with a reason: the encoder's write
// error, else its last line worth showing (lastLine), each made readable,
// else our sentence.
JobResult JudgeEncoderRun(const VerdictReader& text, const EncoderEnd& end, const std::string& lastLine);

}  // namespace mirvane
