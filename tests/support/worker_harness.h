#pragma once
// Runs jobs the way the batch driver does, on the test's thread as the UI
// thread, against the fake encoder placed beside a fake executable.

#include <initializer_list>
#include <string>
#include <string_view>

#include "engine/encoding/batch_flags.h"
#include "engine/encoding/encoder_job.h"
#include "engine/jobs/app_paths.h"
#include "support/fake_main_window_view.h"
#include "support/queue_ui_thread.h"
#include "support/temp_dir.h"

namespace mirvane::test {

class WorkerHarness {
public:
    // The fake encoder stands where the program's encoder belongs.
    WorkerHarness();

    // A command line that starts the encoder with the given steps, each
    // quoted so that blanks and quotes survive the split.
    std::string command(std::initializer_list<std::string_view> steps) const;
    // Takes the encoder away, or puts it back.
    void setEncoderPresent(bool present);

    // Runs one job to its end and returns its result code.
    int32_t run(const std::string& commandLine);
    // Kills the running job's encoder, as the stop watchdog would.
    void kill() { m_job->kill(); }
    std::string log() const;

    TempDir dir;
    AppPaths paths;
    BatchFlags flags;
    QueueUiThread uiThread;
    RecordingGauge gauge;
    // The last job's reason for a failure, should its result say so.
    std::string lastFailureReason;

private:
    EncoderJob* m_job = nullptr;
};

}  // namespace mirvane::test
