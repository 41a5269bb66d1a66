// The log on POSIX systems: special files in its place, a device that fails
// every write.

#include <gtest/gtest.h>

#include <filesystem>

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

}  // namespace
}  // namespace mirvane
