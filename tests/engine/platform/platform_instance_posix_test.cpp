// The single-instance lock's folder lies where every user may make entries,
// so it is used only when it is this user's own folder and closed to others.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/platform/posix/posix_internal.h"
#include "engine/platform/user_folders.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(SingleInstance, TheFirstTakesTheLockInAFolderItMakesAndTheNextSeesIt) {
    TempDir base;
    const std::string folder = base.file("mirvane-test");
    const mode_t previousMask = ::umask(0);
    const InstanceCheck first = posix::IsAlreadyRunningIn(folder, "Mirvane");
    ::umask(previousMask);
    EXPECT_EQ(first.failure, "");
    EXPECT_FALSE(first.alreadyRunning);
    EXPECT_EQ(fs::status(folder).permissions(), fs::perms::owner_all);

    const InstanceCheck second = posix::IsAlreadyRunningIn(folder, "Mirvane");
    EXPECT_EQ(second.failure, "");
    EXPECT_TRUE(second.alreadyRunning);
    EXPECT_FALSE(posix::IsAlreadyRunningIn(folder, "Another").alreadyRunning);
}

// Whatever another user made of the lock's folder or the state folder, or
// of the folder above, neither is used: the lock is not taken there, nothing
// is made through a link, and the reason names the folder. Used as the
// runtime folder, such a folder gives way to the state folder.
TEST(SingleInstance, LockAndStateFoldersUnderAnotherUser) {
    struct Row {
        const char* name;
        std::function<void(const std::string& folder, const TempDir& base)> make;
        const char* reason;  // a part of the failure's text; empty: the folder is fine
        bool runtimeUsable;  // as XDG_RUNTIME_DIR, only others' write access counts
        bool needsRoot = false;
    };
    auto folderWithMode = [](fs::perms perms) {
        return [perms](const std::string& folder, const TempDir&) {
            fs::create_directory(folder);
            fs::permissions(folder, perms);
        };
    };
    // The folder this user's, closed; the one above as given.
    auto insideFolder = [](fs::perms above, unsigned owner) {
        return [above, owner](const std::string& folder, const TempDir& base) {
            fs::create_directory(folder);
            fs::permissions(folder, fs::perms::owner_all);
            fs::permissions(base.path(), above);
            if (owner != ::geteuid()) {
                ASSERT_EQ(::chown(base.path().c_str(), owner, owner), 0);
            }
        };
    };
    const Row rows[] = {
        {"another user's folder",
         [](const std::string& folder, const TempDir&) {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms::owner_all);
             ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
         },
         "belongs to another user (uid 65534)", false, true},
        {"open to everyone", folderWithMode(fs::perms::all), "open to other users (mode 0777)", false},
        {"readable by the group", folderWithMode(fs::perms::owner_all | fs::perms::group_read),
         "open to other users (mode 0740)", true},
        {"writable by the group", folderWithMode(fs::perms::owner_all | fs::perms::group_write),
         "open to other users (mode 0720)", false},
        {"a link to a folder of this user's",
         [](const std::string& folder, const TempDir& base) {
             fs::create_directory(base.file("real"));
             fs::permissions(base.file("real"), fs::perms::owner_all);
             fs::create_directory_symlink(base.file("real"), folder);
         },
         "is not a folder but a link or a file", false},
        {"a file", [](const std::string&, const TempDir& base) { base.write("mirvane-test", "x"); },
         "is not a folder but a link or a file", false},
        {"in a folder of another user's", insideFolder(fs::perms::owner_all | fs::perms::others_exec, 65534),
         "lies in a folder of another user (uid 65534)", true, true},
        {"in a folder everyone may write", insideFolder(fs::perms::all, ::geteuid()),
         "lies in a folder other users may write in (mode 0777)", true},
        {"in a shared folder that keeps entries to their owners",
         insideFolder(fs::perms::all | fs::perms::sticky_bit, ::geteuid()), "", true},
    };
    const bool root = ::geteuid() == 0;
    for (const Row& row : rows) {
        if (row.needsRoot && !root) continue;
        SCOPED_TRACE(row.name);
        TempDir base;
        const std::string folder = base.file("mirvane-test");
        row.make(folder, base);
        const InstanceCheck check = posix::IsAlreadyRunningIn(folder, "Mirvane");
        const std::string problem = privateFolderProblem(folder);
        EXPECT_FALSE(check.alreadyRunning);
        for (const std::string& text : {check.failure, problem}) {
            EXPECT_EQ(text.empty(), row.reason[0] == '\0') << text;
            EXPECT_NE(text.find(row.reason), std::string::npos) << text;
            EXPECT_TRUE(text.empty() || text.find(folder + " ") != std::string::npos) << text;
        }
        EXPECT_FALSE(fs::exists(base.file("real/Mirvane.lock"))) << "the lock was made through the link";
        EXPECT_EQ(posix::lockFolderFrom({folder}, "/home/u/.local/state"),
                  row.runtimeUsable ? folder + "/mirvane" : "/home/u/.local/state/mirvane");
        fs::permissions(base.path(), fs::perms::owner_all);
    }
    TempDir second;
    fs::permissions(second.path(), fs::perms::owner_all);
    EXPECT_EQ(posix::lockFolderFrom({"", "relative", second.path()}, "/s"), second.path() + "/mirvane")
        << "the first usable runtime folder";
    EXPECT_EQ(posix::lockFolderFrom({}, ""), "");
    if (!root) GTEST_SKIP() << "the rows with another user's folders were left out: chown takes root";
}

TEST(SingleInstance, AFolderThatCannotBeMadeIsReportedWithTheSystemsWords) {
    TempDir base;
    base.write("file", "x");
    const std::string folder = base.file("file/mirvane-test");
    const InstanceCheck check = posix::IsAlreadyRunningIn(folder, "Mirvane");
    EXPECT_FALSE(check.alreadyRunning);
    EXPECT_NE(check.failure.find(folder), std::string::npos) << check.failure;
    EXPECT_NE(check.failure.find(std::system_category().message(ENOTDIR)), std::string::npos) << check.failure;
}

}  // namespace
}  // namespace mirvane::platform
