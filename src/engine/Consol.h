#pragma once
// The worker that runs one job: it starts the encoder, reads and scans its
// output, logs it, kills the encoder on a stop, and leaves the job's result
// in ConvertResult, with a reason for a failure. Its end is announced on the
// UI thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "engine/app_paths.h"
#include "engine/main_window_view.h"
#include "engine/output_tail.h"
#include "engine/ui_thread.h"
#include "engine/unit_state.h"

namespace mirvane {

class TConsolThread {
public:
    // Resets ThreadDone and ConvertResult, then starts the worker's thread;
    // onTerminated runs on the UI thread after the run's last write of
    // ConvertResult. Throws std::system_error when no thread can be started.
    TConsolThread(std::string cmdLine, UnitState& unit, UiThread& uiThread, GaugeView& gauge,
                  const AppPaths& paths, std::function<void()> onTerminated);
    TConsolThread(const TConsolThread&) = delete;
    TConsolThread& operator=(const TConsolThread&) = delete;
    // Joins the thread; call once the end has been announced.
    ~TConsolThread();

    // Why the job failed, should its result say so: the encoder's last line
    // worth reading, or why it could not be started. Read it on the UI
    // thread once the end has been announced.
    const std::string& failureReason() const { return m_failureReason; }

private:
    void Execute();
    void ReadOutput();
    void UpdateGauge();
    // Has the UI thread run UpdateGauge for the maximum (1) or the progress (0).
    void sendToGauge(int32_t setMax);
    bool shownAsSent(int32_t progress) const;
    void waitForEncoderEnd();
    // Writes one record unless this run's log has already failed.
    void WriteLog(std::string_view text);

    std::string FCmdLine;
    // The program that runs: always the encoder beside the executable, never
    // a path read back out of the command line.
    std::string FEncoder;
    int32_t FDuration = 0;
    int32_t FPosition = 0;
    int32_t FSetMax = 0;
    std::string FLogFile;
    bool m_logFailed = false;
    OutputTail m_tail;
    std::string m_failureReason;
    std::optional<int32_t> m_sentMax;
    std::optional<int32_t> m_sentProgress;

    UnitState& m_unit;
    UiThread& m_uiThread;
    GaugeView& m_gauge;
    std::function<void()> m_onTerminated;
    std::thread m_thread;  // last: starts once everything above is in place
};

}  // namespace mirvane
