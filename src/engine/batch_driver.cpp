#include "engine/batch_driver.h"

#include <memory>
#include <system_error>

#include "engine/Consol.h"
#include "engine/conversion_log.h"
#include "engine/job_command.h"
#include "engine/texts.h"

namespace mirvane {

namespace {

// How long a stopped encoder may take to end by itself before it is killed.
constexpr auto kStopGraceTime = std::chrono::milliseconds(2500);
// Once the grace time is over the kill is repeated at this pace until the
// worker has ended.
constexpr auto kKillRepeat = std::chrono::milliseconds(100);

const char* statusForResult(int32_t result) {
    if (result == kResultCompleted) return texts::kStatusConverted;
    if (result == kResultStopped) return texts::kStatusPending;
    return texts::kStatusError;
}

}  // namespace

BatchDriver::BatchDriver(UnitState& unit, UiThread& uiThread, BatchView& view, const AppPaths& paths,
                         const PresetTable& presets)
    : m_unit(unit), m_uiThread(uiThread), m_view(view), m_paths(paths), m_presets(presets) {}

void BatchDriver::btnStartClick() {
    if (m_view.startCaption() != texts::kCaptionStart) {
        requestStop();
        return;
    }
    m_unit.StopRequested = false;
    DeleteLogForNewBatch(m_unit.LogEnabled, m_paths.logFile);

    const int preset = m_view.selectedPreset();
    if (preset < 0 || preset >= static_cast<int>(m_presets.Presets.size())) return;
    const std::string commandTemplate = CommandTemplate(m_paths, m_presets.Presets[preset].Option);
    const std::string extension = m_presets.Presets[preset].Ext;

    // Rows cannot be added or removed while a job runs, so the count taken
    // now holds for the whole batch.
    const int rowCount = m_view.rowCount();
    m_running = true;
    for (int row = 0; row < rowCount && !m_unit.StopRequested; ++row) {
        if (m_view.rowStatus(row) == texts::kStatusPending) convertRow(row, commandTemplate, extension);
        SetIdleControls(true);
    }
    m_running = false;
}

void BatchDriver::convertRow(int row, const std::string& commandTemplate, const std::string& extension) {
    SetIdleControls(false);

    // A job that cannot be prepared fails like any other job; the batch goes on.
    const std::string rowPath = m_view.rowCaption(row);
    std::string input = rowPath;
    if (m_view.directShowTicked() && MakeAvsScript(m_paths, rowPath, m_presets.DShowFps, input)) {
        m_view.setRowStatus(row, texts::kStatusError);
        return;
    }
    std::optional<std::string> output = MakeOutputPath(rowPath, extension, platform::entryExists);
    if (!output) {
        m_view.setRowStatus(row, texts::kStatusError);
        return;
    }
    std::string commandLine = MakeJobCommand(commandTemplate, input, *output);

    m_view.setRowStatus(row, texts::kStatusConverting);
    m_unit.CancelTick.reset();
    std::unique_ptr<TConsolThread> worker;
    try {
        worker = std::make_unique<TConsolThread>(std::move(commandLine), m_unit, m_uiThread, m_view.gauge(),
                                                 m_paths, [this] { ThreadTerminated(); });
    } catch (const std::system_error&) {
        m_view.setRowStatus(row, texts::kStatusError);
        return;
    }
    waitForWorker();
    worker.reset();

    m_view.setRowStatus(row, statusForResult(m_unit.ConvertResult));
    m_view.gauge().setProgress(0);
}

void BatchDriver::waitForWorker() {
    using Clock = std::chrono::steady_clock;
    std::optional<std::chrono::milliseconds> wait;
    while (!m_unit.ThreadDone) {
        // Sleeps until an event arrives (a gauge update, the end handler, user
        // input) or the watchdog is due; the encoder keeps the processor.
        m_uiThread.processEvents(wait);
        if (m_unit.ThreadDone || !m_unit.StopRequested) continue;

        const Clock::time_point now = Clock::now();
        if (!m_unit.CancelTick) m_unit.CancelTick = now;
        const auto elapsed = now - *m_unit.CancelTick;
        if (elapsed >= kStopGraceTime) {
            m_unit.ProcInfo.kill();
            wait = kKillRepeat;
        } else {
            wait = std::chrono::ceil<std::chrono::milliseconds>(kStopGraceTime - elapsed);
        }
    }
}

void BatchDriver::SetIdleControls(bool idle) {
    m_view.setStartCaption(idle ? texts::kCaptionStart : texts::kCaptionStop);
    if (idle) m_view.setStartEnabled(true);
    m_view.setOptionControlsEnabled(idle);
}

void BatchDriver::ThreadTerminated() { m_unit.ThreadDone = true; }

void BatchDriver::requestStop() {
    m_unit.StopRequested = true;
    m_view.setStartEnabled(false);
}

}  // namespace mirvane
