#include "engine/encoding/conversion_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/descriptor_count.h"
#include "support/system_facts.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(WriteLog, EachRecordEndsInCrLfWhateverItHolds) {
    TempDir dir;
    const std::string log = dir.file("Mirvane.log");
    ASSERT_FALSE(WriteLog(log, "■header■"));
    ASSERT_FALSE(WriteLog(log, "frame=1 time=00:00:01.00\rframe=2"));
    ASSERT_FALSE(WriteLog(log, " time=00:00:02.00\n"));
    ASSERT_FALSE(WriteLog(log, ""));
    EXPECT_EQ(readFile(log), test::createdLogStart() + "■header■\r\nframe=1 time=00:00:01.00\rframe=2\r\n time=00:00:02.00\n\r\n\r\n");
}

TEST(WriteLog, AppendsToAnExistingFile) {
    TempDir dir;
    const std::string log = dir.write("Mirvane.log", "earlier\r\n");
    ASSERT_FALSE(WriteLog(log, "later"));
    EXPECT_EQ(readFile(log), "earlier\r\nlater\r\n");
}

// Only a log made for Windows, and only when it is made, gets the mark.
TEST(WriteLog, ALogCreatedForWindowsBeginsWithTheUtf8Mark) {
    using platform::PathStyle;
    struct Case {
        PathStyle style;
        const char* before;  // nullptr: no log yet
        const char* expected;
    };
    const Case cases[] = {
        {PathStyle::Windows, nullptr, "\xEF\xBB\xBFone\r\ntwo\r\n"},
        {PathStyle::Windows, "earlier\r\n", "earlier\r\none\r\ntwo\r\n"},
        {PathStyle::Posix, nullptr, "one\r\ntwo\r\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const std::string log = c.before ? dir.write("Mirvane.log", c.before) : dir.file("Mirvane.log");
        ASSERT_FALSE(WriteLog(log, "one", c.style));
        ASSERT_FALSE(WriteLog(log, "two", c.style));
        EXPECT_EQ(readFile(log), c.expected);
    }
}

TEST(WriteLog, FailuresAreReportedAndLeaveNothingOpen) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder.log"));
    const std::string notAFolder = dir.write("plain", "x");
    struct Case {
        const char* name;
        std::string path;
    };
    const Case cases[] = {
        {"the log path is a folder", dir.file("folder.log")},
        {"the folder does not exist", dir.file("missing/Mirvane.log")},
        {"a file stands where the folder should", notAFolder + "/Mirvane.log"},
    };
    for (const auto& c : cases) {
        const int before = test::openDescriptorCount();
        EXPECT_TRUE(WriteLog(c.path, "record")) << c.name;
        EXPECT_EQ(test::openDescriptorCount(), before) << c.name;
    }
}

TEST(DeleteLogForNewBatch, OnlyWhileLoggingIsOn) {
    TempDir dir;
    const std::string log = dir.write("Mirvane.log", "old batch\r\n");
    DeleteLogForNewBatch(false, log);
    EXPECT_TRUE(std::filesystem::exists(log));
    DeleteLogForNewBatch(true, log);
    EXPECT_FALSE(std::filesystem::exists(log));
    DeleteLogForNewBatch(true, log);  // nothing there: nothing happens
    EXPECT_FALSE(std::filesystem::exists(log));

    // A folder of that name is no log file and stays.
    std::filesystem::create_directory(log);
    DeleteLogForNewBatch(true, log);
    EXPECT_TRUE(std::filesystem::is_directory(log));
}

}  // namespace
}  // namespace mirvane
