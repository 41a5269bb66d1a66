#include "engine/jobs/job_journal.h"

#include <gtest/gtest.h>

namespace mirvane {
namespace {

using enum JobStatus;
using namespace std::string_literals;

TEST(JobJournal, GivesBackTheExactBytesItWasGiven) {
    // Names that are not UTF-8 (Shift-JIS, Latin-1), a NUL byte, an empty name.
    const std::vector<JobRow> rows = {{"/v/\x83\x72\x83\x66.avi", Pending, ""},
                                      {"caf\xe9.avi", Converting, ""},
                                      {"a\0b"s, Converted, ""},
                                      {"", Failed, "なぜ\xff"}};
    const std::optional<JobJournal> journal = DecodeJobJournal(*EncodeJobJournal(rows, "out\x81.mp4"));
    ASSERT_TRUE(journal);
    EXPECT_EQ(journal->rows, rows);
    EXPECT_EQ(journal->workingFile, "out\x81.mp4");
}

TEST(JobJournal, RefusesWhatIsNotExactlyOneJournal) {
    const std::vector<JobRow> rows = {{"ab", Failed, "x"}};
    // Little-endian lengths: magic, version, working file, row count, status, path, reason.
    const std::string good = "MRVJ\1\0\0\0\1\0\0\0w\1\0\0\0\3\2\0\0\0ab\1\0\0\0x"s;
    ASSERT_EQ(EncodeJobJournal(rows, "w"), good);
    const std::string bad[] = {
        "MRVK" + good.substr(4),
        "MRVJ\2" + good.substr(5),
        good + "\0"s,
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\4\2\0\0\0ab\0\0\0\0"s,   // unknown status
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\0\2\0\0\0ab\1\0\0\0x"s,  // a reason on a pending row
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\3\xff\xff\xff\xff"s,     // a length past the end
        "MRVJ\1\0\0\0\0\0\0\0\xff\xff\xff\xff"s,               // more rows than bytes
        good + std::string(kJournalMaxSize, '\0'),
    };
    for (const std::string& bytes : bad)
        EXPECT_FALSE(DecodeJobJournal(bytes)) << testing::PrintToString(bytes);
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(DecodeJobJournal(good.substr(0, size)));
}

}  // namespace
}  // namespace mirvane
