// The single-instance lock's folder lies where every user may make entries,
// so it is used only when it is this user's own folder and closed to others.

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "engine/platform/posix/posix_internal.h"
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

TEST(SingleInstance, AFolderOthersCouldTamperWithIsNotUsed) {
    struct Row {
        const char* name;
        std::function<void(const std::string& folder, const TempDir& base)> make;
        const char* reason;  // a part of the failure's text
    };
    auto folderWithMode = [](fs::perms perms) {
        return [perms](const std::string& folder, const TempDir&) {
            fs::create_directory(folder);
            fs::permissions(folder, perms);
        };
    };
    const Row rows[] = {
        {"another user's folder",
         [](const std::string& folder, const TempDir&) {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms::owner_all);
             ASSERT_EQ(::chown(folder.c_str(), 65534, 65534), 0);
         },
         "belongs to another user (uid 65534)"},
        {"open to everyone", folderWithMode(fs::perms::all), "open to other users (mode 0777)"},
        {"readable by the group", folderWithMode(fs::perms::owner_all | fs::perms::group_read),
         "open to other users (mode 0740)"},
        {"a link to a folder of this user's",
         [](const std::string& folder, const TempDir& base) {
             fs::create_directory(base.file("real"));
             fs::permissions(base.file("real"), fs::perms::owner_all);
             fs::create_directory_symlink(base.file("real"), folder);
         },
         "is not a folder but a link or a file"},
        {"a file", [](const std::string&, const TempDir& base) { base.write("mirvane-test", "x"); },
         "is not a folder but a link or a file"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir base;
        const std::string folder = base.file("mirvane-test");
        row.make(folder, base);
        const InstanceCheck check = posix::IsAlreadyRunningIn(folder, "Mirvane");
        EXPECT_FALSE(check.alreadyRunning);
        EXPECT_NE(check.failure.find(folder), std::string::npos) << check.failure;
        EXPECT_NE(check.failure.find(row.reason), std::string::npos) << check.failure;
        EXPECT_FALSE(fs::exists(base.file("real/Mirvane.lock"))) << "the lock was made through the link";
    }
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
