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

// Reads the encoder's console text line by line as it comes.
class VerdictReader {
public:
    void add(std::string_view chunk);
    // Reads the unfinished last line too; call once the text has ended.
    void finish();

    bool summarySeen() const { return m_summarySeen; }
    // The encoder's first line that reports a failed write or close; empty
    // when there was none.
    const std::string& writeError() const { return m_writeError; }

private:
    void readLine(std::string_view line);

    std::string m_line;  // the line being received, bounded
    bool m_summarySeen = false;
    std::string m_writeError;
};

// True for the encoder's closing summary line ("video:12kB audio:3kB ..."),
// also with the output's tag that newer encoders put in front of it
// ("[out#0/mp4 @ 0x55d1c0] video:12KiB audio:3KiB ..."). Exposed for tests.
bool IsSummaryLine(std::string_view line);

// How the run ended, beside what the encoder said.
struct EncoderEnd {
    bool stopped = false;  // a stop was requested before the run ended
    // The exit code when the encoder ended by itself; nothing when it was
    // killed or crashed.
    std::optional<int> exitCode;
};

// The job's result: kResultCompleted only for a run that ended by itself
// with 0, printed its summary and reported no write error; kResultStopped for
// a stopped run; otherwise a failure (kResultDurationSeen or
// kResultNothingSeen, as the text went) with a reason: the encoder's write
// error, else its last line worth showing (lastLine), else our sentence.
JobResult JudgeEncoderRun(const VerdictReader& text, const EncoderEnd& end, bool durationSeen,
                          const std::string& lastLine);

}  // namespace mirvane
