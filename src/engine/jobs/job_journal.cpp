#include "engine/jobs/job_journal.h"

#include <array>
#include <cstdint>
#include <vector>

namespace mirvane {

namespace {

constexpr std::size_t kNumberSize = 4;
constexpr std::size_t kRecordHeader = 2 * kNumberSize;
// The smallest row: its status and two empty strings.
constexpr std::size_t kSmallestRow = 1 + 2 * kNumberSize;
constexpr std::uint32_t kOldVersionOneJob = 1;
constexpr std::uint32_t kOldVersionSeveralJobs = 2;

enum Op : unsigned char {
    kSnapshot = 1,
    kRowsAppended = 2,
    kRowChanged = 3,
    kRowsRemoved = 4,
    kRowsCleared = 5,
    kWorkingFiles = 6,
};

constexpr std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t value = i;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? 0xedb88320u ^ (value >> 1) : value >> 1;
        table[i] = value;
    }
    return table;
}
constexpr std::array<std::uint32_t, 256> kCrcTable = makeCrcTable();

std::uint32_t crc32(std::string_view bytes) {
    std::uint32_t crc = 0xffffffffu;
    for (const char byte : bytes)
        crc = kCrcTable[(crc ^ static_cast<unsigned char>(byte)) & 0xff] ^ (crc >> 8);
    return crc ^ 0xffffffffu;
}

void appendNumber(std::string& out, std::uint64_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>((value >> shift) & 0xff));
}

void appendWide(std::string& out, std::uint64_t value) {
    appendNumber(out, value & 0xffffffffu);
    appendNumber(out, value >> 32);
}

void appendString(std::string& out, std::string_view text) {
    appendNumber(out, text.size());
    out += text;
}

void appendRow(std::string& out, const JobRow& row) {
    out.push_back(static_cast<char>(row.status));
    appendString(out, row.path);
    appendString(out, row.reason);
}

void appendWorkingFiles(std::string& out, std::span<const JournalWorkingFile> files) {
    std::size_t count = 0;
    for (const JournalWorkingFile& file : files) count += !file.path.empty();
    appendNumber(out, count);
    for (const JournalWorkingFile& file : files) {
        if (file.path.empty()) continue;
        appendString(out, file.path);
        out.push_back(file.identity ? 1 : 0);
        if (file.identity) {
            appendWide(out, file.identity->volume);
            appendWide(out, file.identity->file);
        }
    }
}

std::string frame(std::string_view body) {
    std::string out;
    out.reserve(kRecordHeader + body.size());
    appendNumber(out, body.size());
    appendNumber(out, crc32(body));
    out += body;
    return out;
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
    std::optional<std::uint64_t> wide() {
        const std::optional<std::uint32_t> low = number();
        const std::optional<std::uint32_t> high = number();
        if (!low || !high) return std::nullopt;
        return (static_cast<std::uint64_t>(*high) << 32) | *low;
    }
    std::optional<unsigned char> byte() {
        if (m_left.empty()) return std::nullopt;
        const auto value = static_cast<unsigned char>(m_left.front());
        m_left.remove_prefix(1);
        return value;
    }
    std::optional<std::string_view> string() {
        const std::optional<std::uint32_t> length = number();
        if (!length || *length > m_left.size() || *length > kJournalMaxString) return std::nullopt;
        const std::string_view text = m_left.substr(0, *length);
        m_left.remove_prefix(*length);
        return text;
    }
    // A count of items of at least itemSize bytes each, checked against the
    // bytes left before anything is reserved for it.
    std::optional<std::uint32_t> count(std::size_t itemSize, std::size_t bound) {
        const std::optional<std::uint32_t> value = number();
        if (!value || *value > m_left.size() / itemSize || *value > bound) return std::nullopt;
        return value;
    }
    std::size_t left() const { return m_left.size(); }

private:
    std::string_view m_left;
};

// A name that holds a NUL names no file on any system; one of ours never does.
bool isName(std::string_view name) { return name.find('\0') == std::string_view::npos; }

std::optional<JobRow> readRow(Reader& in) {
    const std::optional<unsigned char> status = in.byte();
    const std::optional<std::string_view> path = in.string();
    const std::optional<std::string_view> reason = in.string();
    if (!status || !path || !reason || *status > static_cast<unsigned char>(JobStatus::Failed) ||
        !isName(*path))
        return std::nullopt;
    const auto value = static_cast<JobStatus>(*status);
    // JobList keeps a reason only with a failure: any other is not ours.
    if (value != JobStatus::Failed && !reason->empty()) return std::nullopt;
    return JobRow{std::string(*path), value, std::string(*reason)};
}

bool readRows(Reader& in, std::vector<JobRow>& rows) {
    const std::optional<std::uint32_t> count = in.count(kSmallestRow, kJournalMaxRows);
    if (!count || rows.size() + *count > kJournalMaxRows) return false;
    rows.reserve(rows.size() + *count);
    for (std::uint32_t i = 0; i < *count; ++i) {
        std::optional<JobRow> row = readRow(in);
        if (!row) return false;
        rows.push_back(std::move(*row));
    }
    return true;
}

std::optional<JournalWorkingFile> readWorkingFile(Reader& in) {
    const std::optional<std::string_view> path = in.string();
    const std::optional<unsigned char> known = in.byte();
    if (!path || path->empty() || !isName(*path) || !known || *known > 1) return std::nullopt;
    JournalWorkingFile file{std::string(*path), std::nullopt};
    if (*known == 1) {
        const std::optional<std::uint64_t> volume = in.wide();
        const std::optional<std::uint64_t> index = in.wide();
        if (!volume || !index) return std::nullopt;
        file.identity = platform::FileId{*volume, *index};
    }
    return file;
}

bool readWorkingFiles(Reader& in, std::vector<JournalWorkingFile>& files) {
    const std::optional<std::uint32_t> count = in.count(kNumberSize + 2, kJournalMaxWorkingFiles);
    if (!count) return false;
    files.clear();
    for (std::uint32_t i = 0; i < *count; ++i) {
        std::optional<JournalWorkingFile> file = readWorkingFile(in);
        if (!file) return false;
        files.push_back(std::move(*file));
    }
    return true;
}

// Applies one record's changes to the journal read so far; false for
// anything that is not a change of ours.
bool applyChanges(std::string_view body, JobJournal& journal) {
    Reader in(body);
    while (in.left() > 0) {
        const std::optional<unsigned char> op = in.byte();
        switch (op.value_or(0)) {
            case kRowsAppended:
                if (!readRows(in, journal.rows)) return false;
                break;
            case kRowChanged: {
                const std::optional<std::uint32_t> index = in.number();
                const std::optional<unsigned char> status = in.byte();
                const std::optional<std::string_view> reason = in.string();
                if (!index || *index >= journal.rows.size() || !status || !reason ||
                    *status > static_cast<unsigned char>(JobStatus::Failed))
                    return false;
                const auto value = static_cast<JobStatus>(*status);
                if (value != JobStatus::Failed && !reason->empty()) return false;
                journal.rows[*index].status = value;
                journal.rows[*index].reason = std::string(*reason);
                break;
            }
            case kRowsRemoved: {
                const std::optional<std::uint32_t> count = in.count(kNumberSize, journal.rows.size());
                if (!count) return false;
                std::vector<bool> gone(journal.rows.size());
                std::optional<std::uint32_t> last;
                for (std::uint32_t i = 0; i < *count; ++i) {
                    const std::optional<std::uint32_t> index = in.number();
                    if (!index || *index >= journal.rows.size() || (last && *index <= *last)) return false;
                    gone[*index] = true;
                    last = index;
                }
                std::size_t kept = 0;
                for (std::size_t i = 0; i < journal.rows.size(); ++i) {
                    if (gone[i]) continue;
                    if (kept != i) journal.rows[kept] = std::move(journal.rows[i]);
                    ++kept;
                }
                journal.rows.resize(kept);
                break;
            }
            case kRowsCleared:
                journal.rows.clear();
                break;
            case kWorkingFiles:
                if (!readWorkingFiles(in, journal.workingFiles)) return false;
                break;
            default:
                return false;
        }
    }
    return true;
}

// The two earlier versions: one whole list, without identities.
std::optional<JobJournal> decodeOld(std::uint32_t version, Reader& in) {
    JobJournal journal;
    if (version == kOldVersionOneJob) {
        const std::optional<std::string_view> workingFile = in.string();
        if (!workingFile || !isName(*workingFile)) return std::nullopt;
        if (!workingFile->empty()) journal.workingFiles.push_back({std::string(*workingFile), std::nullopt});
    } else {
        // Fewer than two files were always written as version 1: any other
        // spelling of the same journal is not ours.
        const std::optional<std::uint32_t> files = in.count(kNumberSize, kJournalMaxWorkingFiles);
        if (!files || *files < 2) return std::nullopt;
        for (std::uint32_t i = 0; i < *files; ++i) {
            const std::optional<std::string_view> file = in.string();
            if (!file || file->empty() || !isName(*file)) return std::nullopt;
            journal.workingFiles.push_back({std::string(*file), std::nullopt});
        }
    }
    if (!readRows(in, journal.rows) || in.left() != 0) return std::nullopt;
    return journal;
}

}  // namespace

std::optional<std::string> EncodeJobJournal(std::span<const JobRow> rows,
                                            std::span<const JournalWorkingFile> workingFiles) {
    if (rows.size() > kJournalMaxRows || workingFiles.size() > kJournalMaxWorkingFiles) return std::nullopt;
    std::size_t size = kJournalMagic.size() + kNumberSize + kRecordHeader + 1 + 2 * kNumberSize;
    for (const JournalWorkingFile& file : workingFiles) {
        if (file.path.size() > kJournalMaxString || !isName(file.path)) return std::nullopt;
        size += kNumberSize + 1 + 16 + file.path.size();
    }
    for (const JobRow& row : rows) {
        if (row.path.size() > kJournalMaxString || row.reason.size() > kJournalMaxString || !isName(row.path))
            return std::nullopt;
        size += kSmallestRow + row.path.size() + row.reason.size();
        if (size > kJournalMaxSnapshot) return std::nullopt;
    }
    std::string body;
    body.reserve(size);
    body.push_back(static_cast<char>(kSnapshot));
    appendNumber(body, rows.size());
    for (const JobRow& row : rows) appendRow(body, row);
    appendWorkingFiles(body, workingFiles);
    std::string out(kJournalMagic);
    appendNumber(out, kJournalVersion);
    out += frame(body);
    return out;
}

void JournalRecord::rowsAppended(std::span<const JobRow> rows) {
    m_body.push_back(static_cast<char>(kRowsAppended));
    appendNumber(m_body, rows.size());
    for (const JobRow& row : rows) appendRow(m_body, row);
}

void JournalRecord::rowChanged(int row, const JobRow& data) {
    m_body.push_back(static_cast<char>(kRowChanged));
    appendNumber(m_body, static_cast<std::uint32_t>(row));
    m_body.push_back(static_cast<char>(data.status));
    appendString(m_body, data.reason);
}

void JournalRecord::rowsRemoved(const std::vector<int>& rows) {
    m_body.push_back(static_cast<char>(kRowsRemoved));
    appendNumber(m_body, rows.size());
    for (const int row : rows) appendNumber(m_body, static_cast<std::uint32_t>(row));
}

void JournalRecord::rowsCleared() { m_body.push_back(static_cast<char>(kRowsCleared)); }

void JournalRecord::workingFilesChanged(std::span<const JournalWorkingFile> files) {
    m_body.push_back(static_cast<char>(kWorkingFiles));
    appendWorkingFiles(m_body, files);
}

std::string JournalRecord::framed() const { return m_body.empty() ? std::string() : frame(m_body); }

std::optional<JobJournal> DecodeJobJournal(std::string_view bytes) {
    if (bytes.size() > kJournalMaxSize || !bytes.starts_with(kJournalMagic)) return std::nullopt;
    Reader in(bytes.substr(kJournalMagic.size()));
    const std::optional<std::uint32_t> version = in.number();
    if (version == kOldVersionOneJob || version == kOldVersionSeveralJobs) return decodeOld(*version, in);
    if (version != kJournalVersion) return std::nullopt;
    std::string_view left = bytes.substr(kJournalMagic.size() + kNumberSize);
    JobJournal journal;
    if (left.empty()) return std::nullopt;
    for (bool first = true; !left.empty(); first = false) {
        Reader header(left);
        const std::optional<std::uint32_t> length = header.number();
        const std::optional<std::uint32_t> sum = header.number();
        const bool intact = length && sum && *length > 0 && *length <= header.left() &&
                            crc32(left.substr(kRecordHeader, *length)) == *sum;
        if (!intact) {
            // Where a crash cut the last write short; without a snapshot
            // there is no list at all.
            if (first) return std::nullopt;
            break;
        }
        const std::string_view body = left.substr(kRecordHeader, *length);
        left.remove_prefix(kRecordHeader + *length);
        if (first) {
            Reader snapshot(body);
            if (snapshot.byte() != kSnapshot) return std::nullopt;
            JobJournal whole;
            const std::optional<std::uint32_t> count = snapshot.count(kSmallestRow, kJournalMaxRows);
            if (!count) return std::nullopt;
            whole.rows.reserve(*count);
            for (std::uint32_t i = 0; i < *count; ++i) {
                std::optional<JobRow> row = readRow(snapshot);
                if (!row) return std::nullopt;
                whole.rows.push_back(std::move(*row));
            }
            if (!readWorkingFiles(snapshot, whole.workingFiles) || snapshot.left() != 0) return std::nullopt;
            journal = std::move(whole);
        } else if (!applyChanges(body, journal)) {
            return std::nullopt;
        }
    }
    return journal;
}

bool IsWorkingOutputName(std::string_view path, PathStyle style) {
    const std::string extension = ExtractExtension(path, style);
    std::string_view stem = path.substr(0, path.size() - extension.size());
    const std::size_t separator = stem.find_last_of(style == PathStyle::Windows ? "\\/:" : "/");
    if (separator != std::string_view::npos) stem.remove_prefix(separator + 1);
    if (!stem.ends_with(')')) return false;
    stem.remove_suffix(1);
    constexpr std::string_view kMark = "(変換中";
    if (stem.ends_with(kMark)) return true;
    // " N": a number from 2 on, as the later attempts are numbered.
    std::size_t digits = 0;
    while (digits < stem.size() && stem[stem.size() - 1 - digits] >= '0' &&
           stem[stem.size() - 1 - digits] <= '9')
        ++digits;
    if (digits == 0 || stem[stem.size() - digits] == '0') return false;
    stem.remove_suffix(digits);
    return stem.ends_with(std::string(kMark) + " ");
}

}  // namespace mirvane
