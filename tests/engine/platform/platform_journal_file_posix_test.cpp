// The journal and its lock are trusted only as the user's own files,
// checked through the descriptor that is then used.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/platform/journal_file.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

// Another user's uid, as root can give a file one.
constexpr uid_t kOtherUser = 4242;

struct OwnFileCase {
    const char* name;
    // Puts something at the path; false when the test cannot (not root).
    std::function<bool(const TempDir& dir, const std::string& path)> plant;
    std::errc error;  // std::errc{} for a file that is trusted
};

bool ownWithMode(const TempDir& dir, const std::string& path, fs::perms mode) {
    dir.write("Mirvane.jobs", "MRVJ");
    fs::permissions(path, mode);
    return true;
}

const OwnFileCase kOwnFiles[] = {
    {"TheUsersOwn",
     [](auto& d, auto& p) { return ownWithMode(d, p, fs::perms::owner_read | fs::perms::owner_write); },
     std::errc{}},
    {"TheUsersOwnOthersMayRead",
     [](auto& d, auto& p) {
         return ownWithMode(d, p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read);
     },
     std::errc{}},
    {"OthersMayWrite", [](auto& d, auto& p) { return ownWithMode(d, p, fs::perms::all); },
     std::errc::permission_denied},
    {"TheGroupMayWrite",
     [](auto& d, auto& p) {
         return ownWithMode(d, p, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_write);
     },
     std::errc::permission_denied},
    {"AnotherUsers",
     [](auto& d, auto& p) {
         ownWithMode(d, p, fs::perms::owner_read | fs::perms::owner_write);
         return ::geteuid() == 0 && ::chown(p.c_str(), kOtherUser, kOtherUser) == 0;
     },
     std::errc::permission_denied},
    {"ALinkToTheUsersOwn",
     [](auto& d, auto& p) {
         fs::create_symlink(d.write("elsewhere", "MRVJ"), p);
         return true;
     },
     std::errc::permission_denied},
    {"OneWithASecondName",
     [](auto& d, auto& p) {
         fs::create_hard_link(d.write("elsewhere", "MRVJ"), p);
         return true;
     },
     std::errc::permission_denied},
    {"AFifo", [](auto&, auto& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, std::errc::invalid_argument},
    {"AFolder", [](auto&, auto& p) { return fs::create_directory(p); }, std::errc::is_a_directory},
    {"Nothing", [](auto&, auto&) { return true; }, std::errc::no_such_file_or_directory},
};

class OwnFile : public testing::TestWithParam<OwnFileCase> {};

TEST_P(OwnFile, OnlyTheUsersOwnJournalIsOpened) {
    const TempDir dir;
    const std::string path = dir.file("Mirvane.jobs");
    if (!GetParam().plant(dir, path)) GTEST_SKIP() << "needs root to give a file another owner";
    std::error_code error;
    JournalFile journal = JournalFile::openExisting(path, error);
    EXPECT_EQ(error, GetParam().error);
    EXPECT_EQ(journal.isOpen(), GetParam().error == std::errc{});
    std::string content;
    if (journal.isOpen()) {
        EXPECT_FALSE(journal.readAll(4, content));
        EXPECT_EQ(content, "MRVJ");
    }
}

TEST_P(OwnFile, OnlyTheUsersOwnLockIsTaken) {
    const TempDir dir;
    const std::string path = dir.file("Mirvane.jobs");
    if (!GetParam().plant(dir, path)) GTEST_SKIP() << "needs root to give a file another owner";
    std::error_code error;
    const HeldLock lock = HeldLock::take(path, error);
    // A missing lock file is made.
    const bool trusted =
        GetParam().error == std::errc{} || GetParam().error == std::errc::no_such_file_or_directory;
    EXPECT_EQ(lock.isHeld(), trusted) << error.message();
    if (!trusted) {
        EXPECT_EQ(error, GetParam().error);
    }
}

INSTANTIATE_TEST_SUITE_P(Planted, OwnFile, testing::ValuesIn(kOwnFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::platform
