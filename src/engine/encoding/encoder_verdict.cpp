#include "engine/encoding/encoder_verdict.h"

#include <array>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// How the encoder's own lines about a failed write or close begin, once its
// tag is left out. Only the start of its line counts: a name or a title tag
// holding the same words is echoed elsewhere (in "Input #0, ... from '...':",
// indented under "Metadata:", or after other words).
constexpr std::array<std::string_view, 5> kWriteErrors = {
    "Error writing trailer",                   // "... of out.mp4: No space left on device"; 6.0 on: tagged
    "Error closing file",                      // the same
    "av_interleaved_write_frame():",           // up to 5.1
    "Error muxing a packet",                   // 6.1 on
    "Error submitting a packet to the muxer",  // 6.0 on
};

// Since 6.1 the encoder names a file it cannot open on a line of its own
// ("Error opening input file clip.mp4.") and gives the cause on the next,
// without the name ("Error opening input files: Invalid data found when
// processing input"); older releases print "clip.mp4: Invalid data ...".
constexpr std::string_view kUnopenedInput = "Error opening input file ";
constexpr std::string_view kUnopenedOutput = "Error opening output file ";
constexpr std::string_view kInputsCause = "Error opening input files: ";
constexpr std::string_view kOutputsCause = "Error opening output files: ";

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// "[out#0/mp4 @ 0x55d1c0] " in front of the summary: the output's tag.
std::string_view withoutOutputTag(std::string_view line) {
    if (!line.starts_with("[out#")) return line;
    const std::size_t end = line.find("] ");
    return end == std::string_view::npos ? std::string_view{} : line.substr(end + 2);
}

// "video:" then a size in kB or KiB, then " audio:".
bool startsWithSummary(std::string_view text) {
    if (!text.starts_with("video:")) return false;
    std::size_t at = 6;
    const std::size_t digits = at;
    while (at < text.size() && isDigit(text[at])) ++at;
    if (at == digits) return false;
    const std::string_view rest = text.substr(at);
    return rest.starts_with("kB audio:") || rest.starts_with("KiB audio:");
}

// The encoder's closing summary line ("video:12kB audio:3kB ..."), also with
// the output's tag that newer encoders put in front of it
// ("[out#0/mp4 @ 0x55d1c0] video:12KiB audio:3KiB ...").
bool isSummaryLine(std::string_view line) { return startsWithSummary(withoutOutputTag(line)); }

// The length of a tag at the line's start: "[" name " @ " pointer "] "; 0
// when the line does not begin with one.
std::size_t tagLength(std::string_view line) {
    if (!line.starts_with('[')) return 0;
    const std::size_t close = line.find("] ");
    const std::size_t at = line.rfind(" @ ", close);
    if (close == std::string_view::npos || at == std::string_view::npos || at == 0) return 0;
    std::string_view pointer = line.substr(at + 3, close - at - 3);
    if (pointer.starts_with("0x")) pointer.remove_prefix(2);
    if (pointer.empty()) return 0;
    for (const char c : pointer)
        if (!isHexDigit(c)) return 0;
    return close + 2;
}

// "Output #0, mp4, to '/v/out.mp4':" gives /v/out.mp4.
std::string_view outputName(std::string_view line) {
    const std::size_t open = line.find(", to '");
    if (!line.starts_with("Output #0, ") || open == std::string_view::npos || !line.ends_with("':"))
        return {};
    const std::size_t begin = open + 6;
    return line.size() - 2 > begin ? line.substr(begin, line.size() - 2 - begin) : std::string_view{};
}

// "Error opening input file /v/clip.mp4." gives /v/clip.mp4.
std::string_view unopenedName(std::string_view line, std::string_view start) {
    if (!line.starts_with(start) || !line.ends_with('.') || line.size() <= start.size() + 1) return {};
    return line.substr(start.size(), line.size() - start.size() - 1);
}

}  // namespace

std::string_view WithoutTags(std::string_view line) {
    for (std::size_t length = tagLength(line); length > 0; length = tagLength(line))
        line.remove_prefix(length);
    return line;
}

void VerdictReader::readLine(std::string_view line) {
    // Progress lines, by far the most of the text, say neither.
    if (line.starts_with("frame=")) return;
    if (isSummaryLine(line)) {
        m_summarySeen = true;
        return;
    }
    if (m_output.empty()) m_output = outputName(line);
    if (const std::string_view name = unopenedName(line, kUnopenedInput); !name.empty())
        m_unopenedInput = name;
    if (const std::string_view name = unopenedName(line, kUnopenedOutput); !name.empty())
        m_unopenedOutput = name;
    if (!m_writeError.empty()) return;
    const std::string_view message = WithoutTags(line);
    for (const std::string_view error : kWriteErrors) {
        if (message.starts_with(error)) {
            m_writeError = line;
            return;
        }
    }
}

std::string VerdictReader::readable(std::string_view line) const {
    const std::string_view message = WithoutTags(line);
    for (const auto& [start, file] :
         {std::pair{kInputsCause, &m_unopenedInput}, std::pair{kOutputsCause, &m_unopenedOutput}}) {
        if (message.starts_with(start) && !file->empty())
            return *file + ": " + std::string(message.substr(start.size()));
    }
    return std::string(message);
}

std::string VerdictReader::readableWriteError() const {
    const std::string_view message = WithoutTags(m_writeError);
    // "Error submitting a packet to the muxer: No space left on device": on
    // which disk is the output's.
    if (m_output.empty() || message.find(m_output) != std::string_view::npos) return std::string(message);
    return m_output + ": " + std::string(message);
}

JobResult JudgeEncoderRun(const VerdictReader& text, const EncoderEnd& end, const std::string& lastLine) {
    if (end.stopped) return {kResultStopped, {}};
    const bool succeeded = end.exitCode == 0 && text.summarySeen() && text.writeError().empty();
    if (succeeded) return {kResultCompleted, {}};
    JobResult failure{kResultFailed, {}};
    if (!text.writeError().empty()) {
        failure.reason = text.readableWriteError();
    } else if (!lastLine.empty()) {
        failure.reason = text.readable(lastLine);
    } else if (!end.exitCode) {
        failure.reason = texts::kReasonEncoderCrashed.c_str();
    } else if (*end.exitCode != 0) {
        failure.reason = std::string(texts::kReasonEncoderExitCode) + std::to_string(*end.exitCode);
    } else {
        failure.reason = texts::kReasonNoOutput.c_str();
    }
    return failure;
}

}  // namespace mirvane
