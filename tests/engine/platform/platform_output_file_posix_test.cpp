// The encoder's output file on POSIX systems: links at the working name, also
// one planted after the file was made, and the encoder as a child process.

#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "engine/platform/files.h"
#include "engine/platform/output_file.h"
#include "support/descriptor_count.h"
#include "support/special_files.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

namespace fs = std::filesystem;

TEST(WorkingFile, CreateTouchesNothingThatIsThere) {
    TempDir dir;
    const std::string victim = dir.write("victim", "precious");
    fs::create_symlink(victim, dir.file("link"));
    fs::create_symlink(dir.file("missing"), dir.file("dangling"));
    fs::create_directory_symlink(dir.path(), dir.file("folder link"));
    test::makeFifo(dir.file("fifo"));
    test::FifoRescue rescue(dir.file("fifo"));
    for (const char* name : {"link", "dangling", "folder link", "fifo"}) {
        std::error_code error;
        EXPECT_FALSE(WorkingFile::create(dir.file(name), error).isOpen()) << name;
        EXPECT_EQ(error, std::errc::file_exists) << name << ": " << error.message();
        EXPECT_TRUE(entryExists(dir.file(name))) << name;
    }
    EXPECT_FALSE(rescue.rescued());
    EXPECT_EQ(readBytes(victim), "precious");
}

// Another user swaps the working name for a link to the victim's file once it
// is made: the encoder, a child writing by the name it was handed, still
// reaches Mirvane's file, and nothing follows or removes the link.
TEST(WorkingFile, ALinkPlantedAtTheNameRedirectsNothing) {
    TempDir dir;
    const std::string victim = dir.write("victim", "precious");
    const int descriptors = test::openDescriptorCount();
    std::error_code error;
    WorkingFile file = WorkingFile::create(dir.file("clip.mp4"), error);
    ASSERT_FALSE(error) << error.message();
    const fs::path privateFolder = fs::path(file.encoderPath()).parent_path();
    ASSERT_EQ(::unlink(file.path().c_str()), 0);
    fs::create_symlink(victim, file.path());

    const std::string command = "/bin/sh -c 'printf encoded > \"$1\"' sh '" + file.encoderPath() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::uint64_t bytes = 0;
    EXPECT_FALSE(file.size(bytes));
    EXPECT_EQ(bytes, 7u);
    EXPECT_EQ(file.commit(dir.file("final.mp4")), std::errc::no_such_file_or_directory);
    EXPECT_FALSE(entryExists(dir.file("final.mp4")));
    file.discard();
    EXPECT_EQ(fs::read_symlink(dir.file("clip.mp4")), victim);
    EXPECT_EQ(readBytes(victim), "precious");
    EXPECT_FALSE(fs::exists(privateFolder));
    EXPECT_EQ(test::openDescriptorCount(), descriptors);
}

}  // namespace
}  // namespace mirvane::platform
