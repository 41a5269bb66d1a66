// Whatever another user made of the lock's place or the state folder, the
// program starts: without the hand-over or without its log, saying why, and
// writing nothing where that user could redirect it.

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/launch.h"
#include "support/temp_dir.h"

namespace mirvane::app {
namespace {

namespace fs = std::filesystem;

TEST(Launch, StartsWhateverAnotherUserMadeOfItsFolders) {
    struct Row {
        const char* name;
        // Makes <state>/mirvane; victim is a folder of this user's elsewhere.
        std::function<void(const std::string& folder, const std::string& victim)> make;
    };
    const Row rows[] = {
        {"a link to the user's own folder",
         [](const std::string& folder, const std::string& victim) { fs::create_directory_symlink(victim, folder); }},
        {"a file",
         [](const std::string& folder, const std::string&) {
             std::FILE* file = std::fopen(folder.c_str(), "w");
             ASSERT_NE(file, nullptr);
             std::fclose(file);
         }},
        {"a folder open to everyone",
         [](const std::string& folder, const std::string&) {
             fs::create_directory(folder);
             fs::permissions(folder, fs::perms::all);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir base;
        const std::string state = base.file("state");
        const std::string victim = base.file("victim");
        fs::create_directory(state);
        fs::create_directory(victim);
        fs::permissions(victim, fs::perms::owner_all);
        row.make(state + "/mirvane", victim);
        // A runtime folder open to everyone is passed over for the state folder.
        fs::create_directory(base.file("run"));
        fs::permissions(base.file("run"), fs::perms::all);
        ::setenv("XDG_RUNTIME_DIR", base.file("run").c_str(), 1);
        ::setenv("XDG_STATE_HOME", state.c_str(), 1);

        std::vector<std::pair<Problem, std::string>> reports;
        const Launch launched = launch({"a.avi"}, [&](Problem problem, const std::string& text) {
            reports.emplace_back(problem, text);
        });
        EXPECT_FALSE(launched.exitCode) << "the program did not start";
        EXPECT_FALSE(launched.holdsLock);
        EXPECT_FALSE(listenForOtherCopies(launched, [](std::vector<std::string>) {}, [](Problem, const std::string&) {}));
        ASSERT_FALSE(reports.empty());
        for (const auto& [problem, text] : reports) {
            EXPECT_EQ(problem, Problem::Degraded) << text;
            EXPECT_NE(text.find(state + "/mirvane"), std::string::npos) << text;
        }
        EXPECT_TRUE(fs::is_empty(victim)) << "something was made through the link";
    }
    ::unsetenv("XDG_RUNTIME_DIR");
    ::unsetenv("XDG_STATE_HOME");
}

}  // namespace
}  // namespace mirvane::app
