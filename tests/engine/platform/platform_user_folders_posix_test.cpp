// The user's folders as the environment names them, and the folder tests and
// calls an installed copy relies on.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "engine/platform/posix/posix_internal.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(UserFolders, TheEnvironmentOrTheDefaultsUnderHome) {
    const struct {
        const char* name;
        const char* config;
        const char* state;
        const char* home;
        UserFolders expected;
    } rows[] = {
        {"both set", "/cfg", "/st", "/home/u", {"/cfg", "/st"}},
        {"neither set", nullptr, nullptr, "/home/u", {"/home/u/.config", "/home/u/.local/state"}},
        {"set but empty", "", "", "/home/u", {"/home/u/.config", "/home/u/.local/state"}},
        {"relative ones are ignored", "cfg", "./st", "/home/u", {"/home/u/.config", "/home/u/.local/state"}},
        {"trailing separators dropped", "/cfg//", "/st/", "/home/u/", {"/cfg", "/st"}},
        {"one set, one by default", nullptr, "/st", "/home/u", {"/home/u/.config", "/st"}},
        {"no home: only what is set", "/cfg", nullptr, nullptr, {"/cfg", ""}},
        {"a relative home counts as none", nullptr, nullptr, "home/u", {"", ""}},
        {"the root as home", nullptr, nullptr, "/", {"//.config", "//.local/state"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const UserFolders folders = posix::userFoldersFrom(row.config, row.state, row.home);
        EXPECT_EQ(folders.configHome, row.expected.configHome);
        EXPECT_EQ(folders.stateHome, row.expected.stateHome);
    }
}

// Every folder it makes is the user's alone; one that exists is left as it
// is; what stands in the way is reported with the system's words.
TEST(MakePrivateFolder, MakesEveryMissingFolderClosedToOthers) {
    TempDir base;
    fs::create_directory(base.file("existing"));
    const fs::perms existing = fs::status(base.file("existing")).permissions();
    const mode_t previousMask = ::umask(0);
    const std::error_code error = makePrivateFolder(base.file("existing/state/mirvane"));
    ::umask(previousMask);
    ASSERT_FALSE(error) << error.message();
    EXPECT_EQ(fs::status(base.file("existing/state")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(base.file("existing/state/mirvane")).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(base.file("existing")).permissions(), existing);
    EXPECT_FALSE(makePrivateFolder(base.file("existing/state/mirvane"))) << "a second call finds it made";

    fs::create_symlink(base.write("file", "x"), base.file("link"));
    for (const char* inTheWay : {"file", "file/mirvane", "link/mirvane"}) {
        const std::error_code refused = makePrivateFolder(base.file(inTheWay));
        EXPECT_TRUE(refused == std::errc::not_a_directory) << inTheWay << ": " << refused.message();
        EXPECT_EQ(refused.category(), std::system_category());
    }
}

// Runs the test as another user in a child process: the program's folder as
// a user who is not root sees it. Nothing, when the test cannot change user.
std::optional<bool> asAnotherUser(const std::function<bool()>& test) {
    if (::geteuid() != 0) return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
        ::_exit(test() ? 1 : 0);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) > 1)
        return std::nullopt;
    return WEXITSTATUS(status) == 1;
}

TEST(IsWritableFolder, OnlyAFolderThisUserMayWriteIn) {
    TempDir dir;
    dir.write("file", "x");
    fs::create_directory_symlink(dir.path(), dir.file("link to folder"));
    EXPECT_TRUE(isWritableFolder(dir.path()));
    EXPECT_TRUE(isWritableFolder(dir.path() + "/")) << "with its trailing separator";
    EXPECT_TRUE(isWritableFolder(dir.file("link to folder")));
    EXPECT_FALSE(isWritableFolder(dir.file("file")));
    EXPECT_FALSE(isWritableFolder(dir.file("missing")));

    // As installed: the system's, readable and searchable by everyone.
    fs::create_directory(dir.file("installed"));
    fs::permissions(dir.file("installed"), fs::perms::owner_all | fs::perms::group_read |
                                               fs::perms::group_exec | fs::perms::others_read |
                                               fs::perms::others_exec);
    fs::permissions(dir.path(), fs::perms::others_exec, fs::perm_options::add);
    const std::string installed = dir.file("installed");
    const std::optional<bool> writable = asAnotherUser([&] { return isWritableFolder(installed); });
    if (!writable) GTEST_SKIP() << "needs root to look as another user";
    EXPECT_FALSE(*writable);
    EXPECT_EQ(asAnotherUser([] { return isWritableFolder("/tmp"); }), true);
}

// A portable copy's folder may be read by others (its files are the
// program's) but never written: another user's journal or log there would
// be taken for the user's.
TEST(OwnFolderProblem, AFolderOthersMayReadButNotWrite) {
    const struct {
        fs::perms mode;
        const char* reason;  // empty for a folder that is trusted
    } rows[] = {{fs::perms(0755), ""},
                {fs::perms(0770), "is open to other users (mode 0770)"},
                {fs::perms(01777), "is open to other users (mode 1777)"}};
    for (const auto& row : rows) {
        const TempDir base;
        const std::string folder = base.file("portable");
        fs::create_directory(folder);
        fs::permissions(folder, row.mode);
        const std::string problem = ownFolderProblem(folder);
        EXPECT_EQ(problem.empty(), row.reason[0] == '\0') << problem;
        EXPECT_NE(problem.find(row.reason), std::string::npos) << problem;
    }
    const TempDir base;
    fs::create_directory_symlink(base.path(), base.file("link"));
    EXPECT_NE(ownFolderProblem(base.file("link")).find("is not a folder but a link"), std::string::npos);
}

}  // namespace
}  // namespace mirvane::platform
