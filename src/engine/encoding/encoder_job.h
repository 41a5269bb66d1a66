#pragma once
// One job on a thread of its own: it starts the encoder, reads and scans its
// output, logs it, kills the encoder on a stop, and hands its result to its
// end handler on the UI thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine/desktop/gauge_view.h"
#include "engine/desktop/ui_thread.h"
#include "engine/encoding/batch_flags.h"
#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_verdict.h"
#include "engine/encoding/job_output.h"
#include "engine/encoding/job_result.h"
#include "engine/jobs/app_paths.h"
#include "engine/platform/process.h"

namespace mirvane {

// The command line the encoder runs with, and the one the log shows: the
// same but for the output, named there as the user will find it.
struct EncoderCommand {
    std::string run;
    std::string logged;
};

class EncoderJob {
public:
    using EndHandler = std::function<void(JobResult result)>;

    // Starts the job's thread; onEnded runs on the UI thread once the job is
    // over, with its result. The job's records go to its log, which must
    // outlive it. Throws std::system_error when no thread can be started.
    EncoderJob(EncoderCommand command, const BatchFlags& flags, UiThread& uiThread, GaugeView& gauge,
               const AppPaths& paths, JobLog& log, EndHandler onEnded);
    EncoderJob(const EncoderJob&) = delete;
    EncoderJob& operator=(const EncoderJob&) = delete;
    // Joins the thread; call once the end has been announced.
    ~EncoderJob();

    // Kills the encoder and everything it started; from any thread, at any
    // moment (the stop watchdog's last resort).
    void kill() { m_process.kill(); }

private:
    // The job's gauge as its thread sees it: each change is applied on the
    // UI thread while this thread waits.
    class GaugeOnUiThread : public GaugeView {
    public:
        GaugeOnUiThread(UiThread& uiThread, GaugeView& gauge) : m_uiThread(uiThread), m_gauge(gauge) {}
        void setMaxValue(int value) override;
        void setProgress(int value) override;

    private:
        UiThread& m_uiThread;
        GaugeView& m_gauge;
    };

    void run();
    // Reads the output until its end or a stop.
    void readOutput();
    // False when a stop ended the wait (the encoder is then killed).
    bool waitForEncoderEnd();
    // Adds one line of the encoder's output to the records of the chunk
    // being read, while this job's share of the log lasts; the line that
    // would pass it is replaced by one record saying the rest was left out,
    // and nothing follows it.
    void logLine(std::string_view line);
    // Writes the records of the chunk just read.
    void logChunkRecords();

    const std::string m_commandLine;
    const std::string m_loggedCommandLine;
    // The program that runs: always the encoder beside the executable, never
    // a path read back out of the command line.
    const std::string m_encoder;
    JobLog& m_log;
    std::size_t m_loggedOutput = 0;
    bool m_outputOmitted = false;
    // The records of the chunk being read, written as one: the lines it
    // completed, CR LF between them.
    std::string m_chunkRecords;
    GaugeOnUiThread m_gaugeOnUiThread;
    JobOutput m_output;

    const BatchFlags& m_flags;
    UiThread& m_uiThread;
    const EndHandler m_onEnded;
    platform::EncoderProcess m_process;
    std::thread m_thread;  // last: starts once everything above is in place
};

}  // namespace mirvane
