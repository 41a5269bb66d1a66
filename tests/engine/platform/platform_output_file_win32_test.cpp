// The encoder's output file on Windows: its name pinned while Mirvane holds
// it, yet open to the encoder, which opens files as the C runtime does
// (_wopen shares reading and writing, never deleting).

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>

#include "engine/platform/files.h"
#include "engine/platform/output_file.h"
#include "engine/platform/win32/wide_text.h"
#include "support/temp_dir.h"

namespace mirvane::platform {
namespace {

using win32::toWide;

TEST(WorkingFile, TheNameIsPinnedButTheEncoderMayWrite) {
    TempDir dir;
    std::error_code error;
    WorkingFile file = WorkingFile::create(dir.file("映画 clip.mp4"), error);
    ASSERT_FALSE(error) << error.message();
    const std::wstring path = toWide(file.path());
    const std::wstring other = toWide(dir.file("elsewhere.mp4"));
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    EXPECT_FALSE(MoveFileW(path.c_str(), other.c_str()));

    // An encoder that has not let go keeps the file from its final name; once
    // it has, the name is still pinned, the encoder may open it again, and
    // the commit succeeds.
    FILE* encoder = _wfopen(toWide(file.encoderPath()).c_str(), L"wb");
    ASSERT_NE(encoder, nullptr);
    EXPECT_TRUE(file.commit(dir.file("final.mp4")));
    std::fclose(encoder);
    EXPECT_FALSE(DeleteFileW(path.c_str()));
    encoder = _wfopen(toWide(file.encoderPath()).c_str(), L"wb");
    ASSERT_NE(encoder, nullptr);
    std::fputs("encoded", encoder);
    std::fclose(encoder);
    EXPECT_FALSE(file.commit(dir.file("final.mp4")));
    EXPECT_TRUE(entryExists(dir.file("final.mp4")));
    EXPECT_FALSE(entryExists(dir.file("elsewhere.mp4")));
}

TEST(WorkingFile, CreateRefusesADevice) {
    std::error_code error;
    EXPECT_FALSE(WorkingFile::create("NUL", error).isOpen());
    EXPECT_EQ(error, std::errc::file_exists) << error.message();
}

// A device or a pipe would keep the encoder reading for ever.
TEST(InputKind, DevicesPipesAndFoldersAreNoInputs) {
    TempDir dir;
    const struct {
        std::string path;
        InputKind kind;
    } cases[] = {{dir.write("clip.mkv", "x"), InputKind::File},
                 {dir.path(), InputKind::Other},
                 {dir.file("NUL"), InputKind::Other},
                 {"\\\\.\\pipe\\mirvane-none", InputKind::Other},
                 {dir.file("missing.mkv"), InputKind::Missing}};
    for (const auto& c : cases) EXPECT_EQ(inputKind(c.path), c.kind) << c.path;
}

}  // namespace
}  // namespace mirvane::platform
