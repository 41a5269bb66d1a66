// The worker's behaviour with POSIX-only files in its way.

#include <gtest/gtest.h>

#include "engine/encoding/encoder_job.h"
#include "support/special_files.h"
#include "support/worker_harness.h"

namespace mirvane {
namespace {

using test::WorkerHarness;

// Opening a FIFO for writing would wait for a reader for ever.
TEST(EncoderJob, AFifoAtTheLogPathIsRefusedAndTheJobEndsNormally) {
    WorkerHarness h;
    test::makeFifo(h.paths.logFile);
    test::FifoRescue rescue(h.paths.logFile);
    EXPECT_EQ(h.run(h.command({"progress:2:1"})), kResultCompleted);
    EXPECT_FALSE(rescue.rescued()) << "the log blocked the job";
    EXPECT_EQ(h.gauge.progress, 2);
}

}  // namespace
}  // namespace mirvane
