// The journal and its lock are trusted only as the user's own files,
// checked through the descriptor that is then used.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/platform/journal_file.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

// Another user's uid, as root can give a file one.
constexpr uid_t kOtherUser = 4242;
constexpr fs::perms kOwn = fs::perms::owner_read | fs::perms::owner_write;

struct OwnFileCase {
    const char* name;
    fs::perms mode;  // of a file put at the name first; none for no file
    // Then puts something at (or instead of) it; false when the test cannot (not root).
    bool (*plant)(const std::string& path, const std::string& elsewhere) = nullptr;
    std::errc error = std::errc::permission_denied;  // std::errc{} for a file that is trusted
};

const OwnFileCase kOwnFiles[] = {
    {"TheUsersOwn", kOwn, nullptr, std::errc{}},
    {"TheUsersOwnOthersMayRead", kOwn | fs::perms::others_read, nullptr, std::errc{}},
    {"OthersMayWrite", fs::perms::all},
    {"TheGroupMayWrite", kOwn | fs::perms::group_write},
    {"AnotherUsers", kOwn,
     [](auto& path, auto&) {
         return ::geteuid() == 0 && ::chown(path.c_str(), kOtherUser, kOtherUser) == 0;
     }},
    {"ALinkToTheUsersOwn", fs::perms::none,
     [](auto& path, auto& elsewhere) { return fs::create_symlink(elsewhere, path), true; }},
    {"OneWithASecondName", fs::perms::none,
     [](auto& path, auto& elsewhere) { return fs::create_hard_link(elsewhere, path), true; }},
    {"AFifo", fs::perms::none, [](auto& path, auto&) { return ::mkfifo(path.c_str(), 0600) == 0; },
     std::errc::invalid_argument},
    {"AFolder", fs::perms::none, [](auto& path, auto&) { return fs::create_directory(path); },
     std::errc::is_a_directory},
    {"Nothing", fs::perms::none, nullptr, std::errc::no_such_file_or_directory},
};

class OwnFile : public testing::TestWithParam<OwnFileCase> {};

TEST_P(OwnFile, OnlyTheUsersOwnJournalAndLockAreOpened) {
    const OwnFileCase& row = GetParam();
    const TempDir dir;
    const std::string path = dir.file("Mirvane.jobs");
    const std::string elsewhere = dir.write("elsewhere", "MRVJ");
    if (row.mode != fs::perms::none) fs::permissions(dir.write("Mirvane.jobs", "MRVJ"), row.mode);
    if (row.plant && !row.plant(path, elsewhere)) GTEST_SKIP() << "needs root to give a file another owner";
    std::error_code error;
    JournalFile journal = JournalFile::openExisting(path, error);
    EXPECT_EQ(error, row.error);
    std::string content;
    EXPECT_EQ(journal.isOpen() && !journal.readAll(4, content) && content == "MRVJ",
              row.error == std::errc{});
    // The lock beside the journal is opened alike; a missing one is made.
    const bool made = row.error == std::errc::no_such_file_or_directory;
    EXPECT_EQ(HeldLock::take(path, error).isHeld(), row.error == std::errc{} || made);
    EXPECT_EQ(error, made ? std::errc{} : row.error) << error.message();
}

INSTANTIATE_TEST_SUITE_P(Planted, OwnFile, testing::ValuesIn(kOwnFiles),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace mirvane::platform
