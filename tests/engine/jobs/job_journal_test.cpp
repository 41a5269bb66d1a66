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
    // One working file, two, none, and an empty name that is none.
    const std::vector<std::string> workingFiles[] = {{"out\x81.mp4"}, {"a.mp4", "b\0.mp4"s}, {}, {""}};
    for (const std::vector<std::string>& files : workingFiles) {
        const std::optional<JobJournal> journal = DecodeJobJournal(*EncodeJobJournal(rows, files));
        ASSERT_TRUE(journal);
        EXPECT_EQ(journal->rows, rows);
        EXPECT_EQ(journal->workingFiles,
                  files == std::vector<std::string>{""} ? std::vector<std::string>{} : files);
    }
}

TEST(JobJournal, RefusesWhatIsNotExactlyOneJournal) {
    const std::vector<JobRow> rows = {{"ab", Failed, "x"}};
    // Little-endian lengths: magic, version, working file, row count, status, path, reason.
    const std::string good = "MRVJ\1\0\0\0\1\0\0\0w\1\0\0\0\3\2\0\0\0ab\1\0\0\0x"s;
    ASSERT_EQ(EncodeJobJournal(rows, std::vector<std::string>{"w"}), good);
    // Several running jobs: a count of working files, then each.
    const std::string several = "MRVJ\2\0\0\0\2\0\0\0\1\0\0\0v\1\0\0\0w\0\0\0\0"s;
    ASSERT_EQ(EncodeJobJournal({}, std::vector<std::string>{"v", "w"}), several);
    const std::string bad[] = {
        "MRVK" + good.substr(4),
        "MRVJ\2" + good.substr(5),
        good + "\0"s,
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\4\2\0\0\0ab\0\0\0\0"s,   // unknown status
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\0\2\0\0\0ab\1\0\0\0x"s,  // a reason on a pending row
        "MRVJ\1\0\0\0\0\0\0\0\1\0\0\0\3\xff\xff\xff\xff"s,     // a length past the end
        "MRVJ\1\0\0\0\0\0\0\0\xff\xff\xff\xff"s,               // more rows than bytes
        good + std::string(kJournalMaxSize, '\0'),
        "MRVJ\2\0\0\0\1\0\0\0\1\0\0\0w\0\0\0\0"s,          // one file as version 2
        "MRVJ\2\0\0\0\2\0\0\0\1\0\0\0v\0\0\0\0\0\0\0\0"s,  // an empty file name
        "MRVJ\2\0\0\0\xff\xff\xff\xff"s,                   // more files than bytes
        "MRVJ\3" + several.substr(5),
    };
    for (const std::string& bytes : bad)
        EXPECT_FALSE(DecodeJobJournal(bytes)) << testing::PrintToString(bytes);
    for (std::size_t size = 0; size < good.size(); ++size)
        EXPECT_FALSE(DecodeJobJournal(good.substr(0, size)));
}

}  // namespace
}  // namespace mirvane
