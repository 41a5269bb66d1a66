#include "engine/jobs/job_journal.h"

#include <gtest/gtest.h>

namespace mirvane {
namespace {

using enum JobStatus;
using namespace std::string_literals;

const platform::FileId kMade{0x0102030405060708u, 0xfffffffffffffff0u};

// A journal written whole, then each change appended as its own record.
struct Written {
    std::string bytes;
    // The list after the whole journal and after each record.
    std::vector<JobJournal> states;
};

Written writeChanges() {
    JobJournal state{{{"/v/\x83\x72\x83\x66.avi", Pending, ""}, {"caf\xe9.avi", Failed, "なぜ\xff"}}, {}};
    Written written{*EncodeJobJournal(state.rows, state.workingFiles), {state}};
    auto record = [&](const std::function<void(JournalRecord&)>& change) {
        JournalRecord changes;
        change(changes);
        written.bytes += changes.framed();
        written.states.push_back(state);
    };
    record([&](JournalRecord& r) {
        state.rows.push_back({"c.mkv", Pending, ""});
        state.rows.push_back({"", Pending, ""});
        r.rowsAppended(std::span<const JobRow>(state.rows).subspan(2));
    });
    record([&](JournalRecord& r) {
        // A job's start: its working file named, its row's status, then the
        // file's identity once it is made.
        state.workingFiles = {{"/v/c (変換中).mp4", std::nullopt}};
        r.workingFilesChanged(state.workingFiles);
        state.rows[2].status = Converting;
        r.rowChanged(2, state.rows[2]);
        state.workingFiles[0].identity = kMade;
        r.workingFilesChanged(state.workingFiles);
    });
    record([&](JournalRecord& r) {
        state.rows.erase(state.rows.begin() + 3);
        state.rows.erase(state.rows.begin());
        r.rowsRemoved({0, 3});
    });
    record([&](JournalRecord& r) {
        state.rows.clear();
        r.rowsCleared();
    });
    return written;
}

// A crash may cut the journal at any byte: what is read back is the list
// after the last whole change, with the exact bytes it was given, never a
// mix of two.
TEST(JobJournal, ACrashAtAnyByteLeavesTheListOfTheLastWholeChange) {
    const Written written = writeChanges();
    std::size_t state = 0;
    bool whole = false;
    for (std::size_t size = 0; size <= written.bytes.size(); ++size) {
        const std::optional<JobJournal> read = DecodeJobJournal(written.bytes.substr(0, size));
        if (!read) {
            EXPECT_FALSE(whole) << "once whole, a cut tail is ignored, at " << size;
            continue;
        }
        whole = true;
        // Each change comes in as its record is whole, one after the other.
        if (*read != written.states[state]) ++state;
        ASSERT_LT(state, written.states.size()) << size;
        ASSERT_EQ(*read, written.states[state]) << "at " << size;
    }
    EXPECT_EQ(state, written.states.size() - 1);
    // A torn record at the end, whatever its bytes, is ignored too.
    for (const std::string& tail : {"\x10\0\0\0garbage"s, "\xff\xff\xff\xff\0\0\0\0"s, std::string(40, '\0')})
        EXPECT_EQ(DecodeJobJournal(written.bytes + tail), written.states.back());
}

// Each row is a journal another program (or a user) could leave: one whose
// records are whole but break a rule is not ours, and none of it is used.
TEST(JobJournal, RefusesWhatIsNotOneOfOurs) {
    const std::string header = "MRVJ\3\0\0\0"s;
    // Framed as a record of ours: length, CRC-32, body.
    auto record = [](const std::string& body) {
        std::uint32_t crc = 0xffffffffu;
        for (const unsigned char byte : body) {
            crc ^= byte;
            for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? 0xedb88320u ^ (crc >> 1) : crc >> 1;
        }
        std::string framed;
        for (const std::uint32_t value : {static_cast<std::uint32_t>(body.size()), crc ^ 0xffffffffu})
            for (int shift = 0; shift < 32; shift += 8)
                framed.push_back(static_cast<char>((value >> shift) & 0xff));
        return framed + body;
    };
    const std::string empty = "\1\0\0\0\0\0\0\0\0"s;  // snapshot: no rows, no working files
    ASSERT_EQ(DecodeJobJournal(header + record(empty)), JobJournal{});
    const std::string oneRow = "\1\1\0\0\0\0\1\0\0\0a\0\0\0\0\0\0\0\0"s;
    const std::string twoRows = "\1\2\0\0\0\0\1\0\0\0a\0\0\0\0\0\1\0\0\0b\0\0\0\0\0\0\0\0"s;
    ASSERT_EQ(DecodeJobJournal(header + record(twoRows) + record("\4\1\0\0\0\1\0\0\0"s)),
              (JobJournal{{{"a", Pending, ""}}, {}}));
    ASSERT_EQ(DecodeJobJournal(header + record(oneRow)), (JobJournal{{{"a", Pending, ""}}, {}}));
    const struct {
        const char* fault;
        std::string bytes;
    } bad[] = {
        {"another magic", "MRVK\3\0\0\0"s + record(empty)},
        {"a later version", "MRVJ\4\0\0\0"s + record(empty)},
        {"a change first", header + record("\5"s)},
        {"a NUL in a row's name", header + record("\1\1\0\0\0\0\3\0\0\0a\0b\0\0\0\0\0\0\0\0"s)},
        {"a NUL in a working file", header + record("\1\0\0\0\0\1\0\0\0\2\0\0\0w\0\0"s)},
        {"an empty working file", header + record("\1\0\0\0\0\1\0\0\0\0\0\0\0\0"s)},
        {"an unknown status", header + record("\1\1\0\0\0\4\1\0\0\0a\0\0\0\0\0\0\0\0"s)},
        {"a reason on a pending row", header + record("\1\1\0\0\0\0\1\0\0\0a\1\0\0\0x\0\0\0\0"s)},
        {"a status for a row past the end", header + record(oneRow) + record("\3\1\0\0\0\2\0\0\0\0"s)},
        {"removals out of order", header + record(twoRows) + record("\4\2\0\0\0\1\0\0\0\0\0\0\0"s)},
        {"a removal past the end", header + record(oneRow) + record("\4\1\0\0\0\1\0\0\0"s)},
        {"an unknown change", header + record(oneRow) + record("\7"s)},
        {"more rows than bytes", header + record("\1\xff\xff\xff\x0f"s)},
        {"more rows than any list", header + record("\1\x41\x0d\x03\0"s + std::string(200'001 * 9, '\0'))},
        {"a name longer than any system's",
         header + record("\1\1\0\0\0\0\0\0\2\0"s + std::string(131'072, 'a') + "\0\0\0\0\0\0\0\0"s)},
        {"bytes left in a snapshot", header + record(empty + "x")},
        {"an identity cut short", header + record("\1\0\0\0\0\1\0\0\0\1\0\0\0w\1\0\0\0\0"s)},
        {"an old journal with a NUL", "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\0\3\0\0\0a\0b\0\0\0\0"s},
        {"an old journal with one file as version 2", "MRVJ\2\0\0\0\1\0\0\0\1\0\0\0w\0\0\0\0"s},
        {"larger than any journal of ours", header + record(empty) + std::string(kJournalMaxSize, '\0')},
    };
    for (const auto& row : bad) EXPECT_FALSE(DecodeJobJournal(row.bytes)) << row.fault;
}

// A list kept by the release before comes back once, its working files
// known by name only (and so never removed).
TEST(JobJournal, ReadsTheEarlierVersions) {
    const std::vector<JobRow> rows = {{"ab", Failed, "x"}};
    EXPECT_EQ(DecodeJobJournal("MRVJ\1\0\0\0\1\0\0\0w\1\0\0\0\3\2\0\0\0ab\1\0\0\0x"s),
              (JobJournal{rows, {{"w", std::nullopt}}}));
    EXPECT_EQ(DecodeJobJournal("MRVJ\2\0\0\0\2\0\0\0\1\0\0\0v\1\0\0\0w\0\0\0\0"s),
              (JobJournal{{}, {{"v", std::nullopt}, {"w", std::nullopt}}}));
}

TEST(JobJournal, WritesNothingItWouldRefuse) {
    EXPECT_FALSE(EncodeJobJournal(std::vector<JobRow>{{"a\0b"s, Pending, ""}}, {}));
    EXPECT_FALSE(EncodeJobJournal({}, std::vector<JournalWorkingFile>{{"w\0"s, std::nullopt}}));
    EXPECT_FALSE(EncodeJobJournal(std::vector<JobRow>(kJournalMaxRows + 1, {"a", Pending, ""}), {}));
}

TEST(IsWorkingOutputName, OnlyTheNamesAnOutputIsWrittenUnder) {
    const struct {
        const char* path;
        bool working;
        PathStyle style = PathStyle::Posix;
    } rows[] = {
        {"/v/clip (変換中).mp4", true},
        {"/v/clip (変換中 12).mp4", true},
        {"/v/clip (変換中)", true},
        {"C:\\v\\clip (変換中 2).mp4", true, PathStyle::Windows},
        {"/home/victim/Documents/thesis.odt", false},
        {"/v/clip (変換中).mp4/x", false},
        {"/v/clip (変換中 0).mp4", false},
        {"/v/(変換中)/thesis.odt", false},
    };
    for (const auto& row : rows) EXPECT_EQ(IsWorkingOutputName(row.path, row.style), row.working) << row.path;
}

}  // namespace
}  // namespace mirvane
