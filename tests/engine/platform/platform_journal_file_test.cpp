// The lock two copies of the program meet at, and the journal's own
// writing, on every system.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "engine/platform/files.h"
#include "engine/platform/journal_file.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

// Two copies never hold it at once, whichever folders they were told of.
TEST(HeldLock, IsHeldByOneAtATime) {
    const TempDir dir;
    std::error_code error;
    std::optional<HeldLock> first = HeldLock::take(dir.file("Mirvane.lock"), error);
    ASSERT_TRUE(first->isHeld()) << error.message();
    EXPECT_FALSE(HeldLock::take(dir.file("Mirvane.lock"), error).isHeld());
    EXPECT_EQ(error, std::errc::resource_unavailable_try_again);
    first.reset();
    EXPECT_TRUE(HeldLock::take(dir.file("Mirvane.lock"), error).isHeld());
}

// Replaced whole, the journal is the new content; what is appended goes
// after it, in the file that now bears the name.
TEST(JournalFile, AppendsAfterWhatReplacedIt) {
    const TempDir dir;
    const std::string path = dir.write("Mirvane.jobs", "old");
    std::error_code error;
    JournalFile journal = JournalFile::openExisting(path, error);
    ASSERT_TRUE(journal.isOpen()) << error.message();
    const std::error_code replaced = journal.replace(path, "whole");
    ASSERT_FALSE(replaced) << replaced.message();
    ASSERT_FALSE(journal.append("+change"));
    std::string content;
    EXPECT_FALSE(readFile(path, 100, content));
    EXPECT_EQ(content, "whole+change");
    EXPECT_FALSE(std::filesystem::exists(path + ".new"));
    EXPECT_EQ(journal.syncs(), 3u) << "the new file, its name, the change";
    journal.remove(path);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace mirvane::platform
