#include "engine/encoding/conversion_log.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
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
    EXPECT_EQ(readFile(log),
              test::createdLogStart() +
                  "■header■\r\nframe=1 time=00:00:01.00\rframe=2\r\n time=00:00:02.00\n\r\n\r\n");
}

TEST(WriteLog, AppendsToAnExistingFile) {
    TempDir dir;
    const std::string log = dir.write("Mirvane.log", "earlier\r\n");
    ASSERT_FALSE(WriteLog(log, "later"));
    EXPECT_EQ(readFile(log), "earlier\r\nlater\r\n");
}

// Only a log made for Windows, and only when it is made, gets the mark.
TEST(WriteLog, ALogCreatedForWindowsBeginsWithTheUtf8Mark) {
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

std::tm localTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    std::mktime(&time);  // fills the week day some locales print
    return time;
}

// The date as the user's short date, the hour in the locale's own form, as
// each system's locale data has them; the time is left out in the first
// second after midnight. Whether day and month get a leading zero is the
// Windows locale data's own choice (Windows and Wine differ there), so on
// Windows either is accepted. Under Wine the rows of locales other than the
// prefix's are passed over; on Linux a locale that is not installed fails.
TEST(FormatRunHeader, TheHourFormPerLocaleAndTheDateAloneAtMidnight) {
    struct Case {
        const char* locale;
        std::tm time;
        const char* posix;
        const char* windows;  // a regular expression
    };
    const Case cases[] = {
        {"C", localTime(2026, 12, 7, 20, 5, 3), "■12/07/26 20:05:03■", nullptr},
        {"en_US.UTF-8", localTime(2026, 12, 7, 20, 5, 3), "■12/07/2026 08:05:03 PM■", "■12/0?7/2026 8:05:03 PM■"},
        {"en_US.UTF-8", localTime(2026, 12, 8, 0, 0, 1), "■12/08/2026 12:00:01 AM■", "■12/0?8/2026 12:00:01 AM■"},
        {"de_DE.UTF-8", localTime(2026, 12, 7, 9, 5, 3), "■07.12.2026 09:05:03■", "■0?7\\.12\\.2026 09:05:03■"},
        {"de_DE.UTF-8", localTime(2026, 12, 8, 0, 1, 0), "■08.12.2026 00:01:00■", "■0?8\\.12\\.2026 00:01:00■"},
        {"ja_JP.UTF-8", localTime(2026, 12, 8, 2, 36, 28), "■2026年12月08日 02:36:28■", "■2026/12/0?8 2:36:28■"},
        {"ja_JP.UTF-8", localTime(2026, 12, 7, 22, 8, 18), "■2026年12月07日 22:08:18■", "■2026/12/0?7 22:08:18■"},
        {"de_DE.UTF-8", localTime(2026, 12, 8, 0, 0, 0), "■08.12.2026■", "■0?8\\.12\\.2026■"},
        {"en_US.UTF-8", localTime(2026, 12, 8, 0, 0, 0), "■12/08/2026■", "■12/0?8/2026■"},
        {"ja_JP.UTF-8", localTime(2026, 12, 8, 0, 0, 0), "■2026年12月08日■", "■2026/12/0?8■"},
    };
    const bool windows = kNativePathStyle == PathStyle::Windows;
    int checked = 0;
    for (const auto& c : cases) {
        const char* expected = windows ? c.windows : c.posix;
        if (!expected) continue;
        if (!test::makeUserLocale(c.locale)) {
            EXPECT_TRUE(windows) << c.locale << " is not installed (scripts/install-deps --test adds it)";
            continue;
        }
        const std::string header = FormatRunHeader(c.time);
        EXPECT_TRUE(windows ? std::regex_match(header, std::regex(expected)) : header == expected)
            << c.locale << ": " << header;
        ++checked;
    }
    EXPECT_GT(checked, 0) << "no row for the user's locale";
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
