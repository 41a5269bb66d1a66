#include "engine/Consol.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include "engine/conversion_log.h"
#include "engine/failure_reason.h"
#include "engine/gauge_percent.h"
#include "engine/output_scanner.h"
#include "engine/texts.h"

namespace mirvane {

namespace {

constexpr std::size_t kChunkSize = 2048;

// After the pipe's end the encoder normally exits within moments; one that
// closed its output but runs on is waited for in slices this long, so that a
// stop is still seen.
constexpr auto kEndWaitSlice = std::chrono::milliseconds(50);

}  // namespace

TConsolThread::TConsolThread(std::string cmdLine, UnitState& unit, UiThread& uiThread, GaugeView& gauge,
                             const AppPaths& paths, std::function<void()> onTerminated)
    : FCmdLine(std::move(cmdLine)),
      FEncoder(paths.encoder),
      FLogFile(paths.logFile),
      m_unit(unit),
      m_uiThread(uiThread),
      m_gauge(gauge),
      m_onTerminated(std::move(onTerminated)) {
    m_unit.ThreadDone = false;
    m_unit.ConvertResult = kResultNothingSeen;
    m_thread = std::thread(&TConsolThread::Execute, this);
}

TConsolThread::~TConsolThread() {
    if (m_thread.joinable()) m_thread.join();
}

void TConsolThread::Execute() {
    platform::EncoderProcess& encoder = m_unit.ProcInfo;
    if (const std::error_code error = encoder.start(FEncoder, FCmdLine)) {
        m_unit.ConvertResult = kResultStartFailed;
        m_failureReason = explainFailure(texts::kReasonEncoderNotStarted, error);
    } else {
        if (m_unit.LogEnabled) {
            WriteLog(FormatRunHeader(platform::localTimeNow()));
            WriteLog(FCmdLine);
        }
        ReadOutput();
        if (m_unit.StopRequested) {
            encoder.kill();
            m_unit.ConvertResult = kResultStopped;
        } else {
            waitForEncoderEnd();
        }
        encoder.close();
        m_failureReason = m_tail.lastLine();
        if (m_failureReason.empty()) m_failureReason = texts::kReasonNoOutput;
    }
    // The UI thread learns of the end only through this hand-over, which
    // orders the last write of ConvertResult before the driver reads it. The
    // queued call holds a copy of the handler, never this object.
    m_uiThread.post(m_onTerminated);
}

void TConsolThread::waitForEncoderEnd() {
    while (!m_unit.ProcInfo.hasEnded()) {
        if (m_unit.StopRequested) {
            m_unit.ProcInfo.kill();
            m_unit.ConvertResult = kResultStopped;
            return;
        }
        m_unit.ProcInfo.waitForEnd(kEndWaitSlice);
    }
}

void TConsolThread::ReadOutput() {
    platform::EncoderProcess& encoder = m_unit.ProcInfo;
    // Without our copy of the write end closed the pipe would never report
    // its end, even after the encoder has exited.
    if (!encoder.closeWriteEnd()) return;

    std::vector<char> buffer(kChunkSize + 1, '\0');
    std::string chunk;
    OutputScanner scanner;
    while (true) {
        if (m_unit.StopRequested) {
            m_unit.ConvertResult = kResultStopped;
            break;
        }
        std::ptrdiff_t count = encoder.read(buffer.data(), kChunkSize);
        if (count <= 0) break;
        // The text ends at the first NUL byte, as the encoder's console would.
        chunk.assign(buffer.data(), ::strnlen(buffer.data(), static_cast<std::size_t>(count)));
        platform::consoleToSystemText(chunk);

        m_tail.add(chunk);
        ChunkMarkers markers = scanner.scan(chunk);
        if (markers.duration) {
            FDuration = *markers.duration;
            sendToGauge(1);
            m_unit.ConvertResult = kResultDurationSeen;
        }
        if (markers.position) {
            FPosition = *markers.position;
            sendToGauge(0);
        }
        if (markers.completed) {
            FPosition = FDuration;
            sendToGauge(0);
            m_unit.ConvertResult = kResultCompleted;
        }
        if (m_unit.LogEnabled) WriteLog(chunk);
    }
}

void TConsolThread::sendToGauge(int32_t setMax) {
    // Nothing else writes the gauge while a job runs, so a value that would
    // show the same as what this run has already sent changes nothing on
    // screen: a flood of progress lines then costs no trips to the UI thread.
    if (setMax ? m_sentMax == FDuration : shownAsSent(FPosition)) return;
    // The UI thread applies it while FDuration, FPosition and FSetMax hold still.
    FSetMax = setMax;
    m_uiThread.invoke([this] { UpdateGauge(); });
    if (setMax) {
        m_sentMax = FDuration;
        // A new maximum may have pulled the progress down with it.
        m_sentProgress.reset();
    } else {
        m_sentProgress = FPosition;
    }
}

// Whether the gauge would show progress as it shows the progress last sent:
// the same whole percentage of the same maximum.
bool TConsolThread::shownAsSent(int32_t progress) const {
    if (!m_sentProgress || !m_sentMax) return false;
    auto shown = [max = *m_sentMax](int32_t value) { return GaugePercent(std::clamp(value, 0, max), max); };
    return shown(progress) == shown(*m_sentProgress);
}

void TConsolThread::UpdateGauge() {
    if (FSetMax == 0) {
        m_gauge.setProgress(FPosition);
    } else if (FSetMax == 1) {
        m_gauge.setMaxValue(FDuration);
    }
}

void TConsolThread::WriteLog(std::string_view text) {
    // The log is a record for people: once it fails, this job's remaining
    // records are dropped and the conversion goes on untouched.
    if (m_logFailed) return;
    if (mirvane::WriteLog(FLogFile, text)) m_logFailed = true;
}

}  // namespace mirvane
