#include "engine/encoding/encoder_verdict.h"

#include <algorithm>
#include <array>

#include "engine/window/texts.h"

namespace mirvane {

namespace {

// No summary or error line is longer; a longer line is kept cut.
constexpr std::size_t kMaxLine = 4096;

// What the encoder prints when a write or the closing of its output fails.
constexpr std::array<std::string_view, 7> kWriteErrors = {
    "Error writing trailer",
    "Error closing file",
    "No space left on device",
    "Disk quota exceeded",
    "av_interleaved_write_frame():",
    "Error muxing a packet",
    "Error submitting a packet to the muxer",
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

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

}  // namespace

bool IsSummaryLine(std::string_view line) { return startsWithSummary(withoutOutputTag(line)); }

void VerdictReader::add(std::string_view chunk) {
    while (!chunk.empty()) {
        const std::size_t end = chunk.find_first_of("\r\n");
        const std::string_view piece = chunk.substr(0, end);
        if (end == std::string_view::npos || !m_line.empty()) {
            m_line.append(piece.substr(0, kMaxLine - std::min(kMaxLine, m_line.size())));
            if (end == std::string_view::npos) return;
            readLine(m_line);
            m_line.clear();
        } else {
            readLine(piece);
        }
        chunk.remove_prefix(end + 1);
    }
}

void VerdictReader::finish() {
    readLine(m_line);
    m_line.clear();
}

void VerdictReader::readLine(std::string_view line) {
    // Progress lines, by far the most of the text, say neither.
    if (line.empty() || line.starts_with("frame=")) return;
    if (IsSummaryLine(line)) m_summarySeen = true;
    if (!m_writeError.empty()) return;
    for (const std::string_view error : kWriteErrors) {
        if (line.find(error) != std::string_view::npos) {
            m_writeError = line;
            return;
        }
    }
}

JobResult JudgeEncoderRun(const VerdictReader& text, const EncoderEnd& end, bool durationSeen,
                          const std::string& lastLine) {
    if (end.stopped) return {kResultStopped, {}};
    const bool succeeded = end.exitCode == 0 && text.summarySeen() && text.writeError().empty();
    if (succeeded) return {kResultCompleted, {}};
    JobResult failure{durationSeen ? kResultDurationSeen : kResultNothingSeen, text.writeError()};
    if (failure.reason.empty()) failure.reason = lastLine;
    if (failure.reason.empty()) {
        if (!end.exitCode) {
            failure.reason = texts::kReasonEncoderCrashed;
        } else if (*end.exitCode != 0) {
            failure.reason = std::string(texts::kReasonEncoderExitCode) + std::to_string(*end.exitCode);
        } else {
            failure.reason = texts::kReasonNoOutput;
        }
    }
    return failure;
}

}  // namespace mirvane
