#include "engine/jobs/job_journal.h"

#include <cstdint>
#include <vector>

namespace mirvane {

namespace {

constexpr std::size_t kNumberSize = 4;
// The smallest row: its status and two empty strings.
constexpr std::size_t kSmallestRow = 1 + 2 * kNumberSize;

void appendNumber(std::string& out, std::size_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xff));
}

void appendString(std::string& out, std::string_view text) {
    appendNumber(out, text.size());
    out += text;
}

// Reads from the front of the bytes left; each read fails once nothing more
// can be, and every later read then fails too.
class Reader {
public:
    explicit Reader(std::string_view bytes) : m_left(bytes) {}

    std::optional<std::uint32_t> number() {
        if (m_left.size() < kNumberSize) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = static_cast<int>(kNumberSize) - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(m_left[i]);
        m_left.remove_prefix(kNumberSize);
        return value;
    }
    std::optional<unsigned char> byte() {
        if (m_left.empty()) return std::nullopt;
        const auto value = static_cast<unsigned char>(m_left.front());
        m_left.remove_prefix(1);
        return value;
    }
    std::optional<std::string_view> string() {
        const std::optional<std::uint32_t> length = number();
        if (!length || *length > m_left.size()) return std::nullopt;
        const std::string_view text = m_left.substr(0, *length);
        m_left.remove_prefix(*length);
        return text;
    }
    std::size_t left() const { return m_left.size(); }

private:
    std::string_view m_left;
};

}  // namespace

std::optional<std::string> EncodeJobJournal(std::span<const JobRow> rows,
                                            std::span<const std::string> workingFiles) {
    std::vector<std::string_view> files;
    std::size_t size = kJournalMagic.size() + 3 * kNumberSize;
    for (const std::string& file : workingFiles) {
        if (file.empty()) continue;
        files.push_back(file);
        size += kNumberSize + file.size();
    }
    for (const JobRow& row : rows) {
        size += kSmallestRow + row.path.size() + row.reason.size();
        if (size > kJournalMaxSize) return std::nullopt;
    }
    if (size > kJournalMaxSize) return std::nullopt;
    std::string out;
    out.reserve(size);
    out += kJournalMagic;
    if (files.size() <= 1) {
        appendNumber(out, kJournalVersionOneJob);
        appendString(out, files.empty() ? std::string_view() : files.front());
    } else {
        appendNumber(out, kJournalVersionSeveralJobs);
        appendNumber(out, files.size());
        for (const std::string_view file : files) appendString(out, file);
    }
    appendNumber(out, rows.size());
    for (const JobRow& row : rows) {
        out.push_back(static_cast<char>(row.status));
        appendString(out, row.path);
        appendString(out, row.reason);
    }
    return out;
}

std::optional<JobJournal> DecodeJobJournal(std::string_view bytes) {
    if (bytes.size() > kJournalMaxSize || !bytes.starts_with(kJournalMagic)) return std::nullopt;
    Reader in(bytes.substr(kJournalMagic.size()));
    JobJournal journal;
    const std::optional<std::uint32_t> version = in.number();
    if (version == kJournalVersionOneJob) {
        const std::optional<std::string_view> workingFile = in.string();
        if (!workingFile) return std::nullopt;
        if (!workingFile->empty()) journal.workingFiles.emplace_back(*workingFile);
    } else if (version == kJournalVersionSeveralJobs) {
        // Fewer than two files are always written as version 1: any other
        // spelling of the same journal is not ours.
        const std::optional<std::uint32_t> files = in.number();
        if (!files || *files < 2 || *files > in.left() / kNumberSize) return std::nullopt;
        for (std::uint32_t i = 0; i < *files; ++i) {
            const std::optional<std::string_view> file = in.string();
            if (!file || file->empty()) return std::nullopt;
            journal.workingFiles.emplace_back(*file);
        }
    } else {
        return std::nullopt;
    }
    const std::optional<std::uint32_t> count = in.number();
    // The count is checked against the bytes left before anything is reserved for it.
    if (!count || *count > in.left() / kSmallestRow) return std::nullopt;
    journal.rows.reserve(*count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        const std::optional<unsigned char> status = in.byte();
        const std::optional<std::string_view> path = in.string();
        const std::optional<std::string_view> reason = in.string();
        if (!status || !path || !reason || *status > static_cast<unsigned char>(JobStatus::Failed))
            return std::nullopt;
        const auto value = static_cast<JobStatus>(*status);
        // JobList keeps a reason only with a failure: any other is not ours.
        if (value != JobStatus::Failed && !reason->empty()) return std::nullopt;
        journal.rows.push_back({std::string(*path), value, std::string(*reason)});
    }
    if (in.left() != 0) return std::nullopt;
    return journal;
}

}  // namespace mirvane
