// The log on POSIX systems: special files in its place, a device that fails
// every write, and the run header under the locales LC_ALL names.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <locale>
#include <optional>
#include <string>

#include "engine/encoding/conversion_log.h"
#include "support/descriptor_count.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane {
namespace {

TEST(WriteLog, ADeviceThatFailsEveryWriteIsReportedAndLeftClosed) {
    const int before = test::openDescriptorCount();
    EXPECT_TRUE(WriteLog("/dev/full", "record"));
    EXPECT_EQ(test::openDescriptorCount(), before);
}

// Whatever else stands there would be written through or blocked on: it goes
// too.
TEST(DeleteLogForNewBatch, RemovesALinkOrAFifoInThePlaceOfTheLog) {
    TempDir dir;
    const std::string log = dir.file("Mirvane.log");
    std::filesystem::create_symlink(dir.file("elsewhere"), log);
    DeleteLogForNewBatch(true, log);
    EXPECT_FALSE(std::filesystem::is_symlink(log)) << "dangling link";
    test::makeFifo(log);
    DeleteLogForNewBatch(true, log);
    EXPECT_FALSE(std::filesystem::exists(log)) << "FIFO";
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

// The user's locale, as LC_ALL names it, for the life of the object.
class UserLocale {
public:
    explicit UserLocale(const char* name) {
        if (const char* previous = std::getenv("LC_ALL")) m_previous = previous;
        ::setenv("LC_ALL", name, 1);
    }
    ~UserLocale() {
        if (m_previous) {
            ::setenv("LC_ALL", m_previous->c_str(), 1);
        } else {
            ::unsetenv("LC_ALL");
        }
    }

private:
    std::optional<std::string> m_previous;
};

// The date as the user's locale writes it; the time always as hours, minutes
// and seconds with colons (the locale's own time format would read
// "10時08分18秒" in Japanese, or add AM and PM in English).
TEST(FormatRunHeader, FollowsTheLocaleAndOmitsTheTimeAtMidnight) {
    struct Case {
        const char* locale;
        std::tm time;
        const char* expected;
    };
    const Case cases[] = {
        {"C", localTime(2026, 12, 7, 20, 5, 3), "■12/07/26 20:05:03■"},
        {"en_US.UTF-8", localTime(2026, 12, 7, 20, 5, 3), "■12/07/2026 20:05:03■"},
        {"de_DE.UTF-8", localTime(2026, 12, 7, 9, 5, 3), "■07.12.2026 09:05:03■"},
        {"ja_JP.UTF-8", localTime(2026, 12, 7, 22, 8, 18), "■2026年12月07日 22:08:18■"},
        {"de_DE.UTF-8", localTime(2026, 12, 8, 0, 0, 0), "■08.12.2026■"},
        {"en_US.UTF-8", localTime(2026, 12, 8, 0, 0, 0), "■12/08/2026■"},
        {"de_DE.UTF-8", localTime(2026, 12, 8, 0, 0, 1), "■08.12.2026 00:00:01■"},
        {"de_DE.UTF-8", localTime(2026, 12, 8, 0, 1, 0), "■08.12.2026 00:01:00■"},
    };
    for (const auto& c : cases) {
        try {
            std::locale installed(c.locale);
        } catch (const std::runtime_error&) {
            FAIL() << "locale " << c.locale << " is not installed (scripts/install-deps --test adds it)";
        }
        UserLocale user(c.locale);
        EXPECT_EQ(FormatRunHeader(c.time), c.expected) << c.locale;
    }
}

}  // namespace
}  // namespace mirvane
