#include "engine/encoding/encoder_job.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_verdict.h"
#include "engine/encoding/failure_reason.h"
#include "engine/encoding/output_scanner.h"
#include "engine/platform/text.h"
#include "engine/window/gauge_scale.h"
#include "engine/window/texts.h"

namespace mirvane {

namespace {

constexpr std::size_t kChunkSize = 2048;

// After the pipe's end the encoder normally exits within moments; one that
// closed its output but runs on is waited for in slices this long, so that a
// stop is still seen.
constexpr auto kEndWaitSlice = std::chrono::milliseconds(50);

}  // namespace

EncoderJob::EncoderJob(EncoderCommand command, const BatchFlags& flags, UiThread& uiThread, GaugeView& gauge,
                       const AppPaths& paths, EndHandler onEnded, LogBlock* block)
    : m_commandLine(std::move(command.run)),
      m_loggedCommandLine(std::move(command.logged)),
      m_encoder(paths.encoder),
      m_logFile(paths.logFile),
      m_logBlock(block),
      m_flags(flags),
      m_uiThread(uiThread),
      m_gauge(gauge),
      m_onEnded(std::move(onEnded)),
      m_thread(&EncoderJob::run, this) {}

EncoderJob::~EncoderJob() {
    if (m_thread.joinable()) m_thread.join();
}

void EncoderJob::run() {
    JobResult result;
    if (const std::error_code error = m_process.start(m_encoder, m_commandLine)) {
        result = {kResultStartFailed, explainFailure(texts::kReasonEncoderNotStarted, error, m_encoder)};
    } else {
        if (m_flags.logEnabled) {
            writeLog(RunHeaderNow());
            writeLog(m_loggedCommandLine);
        }
        const int32_t seen = readOutput();
        EncoderEnd end;
        if (m_flags.stopRequested) {
            m_process.kill();
        } else {
            end.stopped = !waitForEncoderEnd();
        }
        end.stopped = end.stopped || m_flags.stopRequested;
        m_process.close();
        end.exitCode = m_process.exitCode();
        m_verdict.finish();
        result = JudgeEncoderRun(m_verdict, end, seen != kResultNothingSeen, m_tail.lastLine());
    }
    // The queued call holds a copy of the handler and the result, never this
    // object, which the UI thread may free as soon as the handler has run.
    m_uiThread.post([handler = m_onEnded, result = std::move(result)] { handler(result); });
}

bool EncoderJob::waitForEncoderEnd() {
    while (!m_process.hasEnded()) {
        if (m_flags.stopRequested) {
            m_process.kill();
            return false;
        }
        m_process.waitForEnd(kEndWaitSlice);
    }
    return true;
}

int32_t EncoderJob::readOutput() {
    // Without our copy of the write end closed the pipe would never report
    // its end, even after the encoder has exited.
    if (!m_process.closeWriteEnd()) return kResultNothingSeen;

    int32_t code = kResultNothingSeen;
    std::vector<char> buffer(kChunkSize + 1, '\0');
    std::string chunk;
    OutputScanner scanner;
    while (!m_flags.stopRequested) {
        const std::ptrdiff_t count = m_process.read(buffer.data(), kChunkSize);
        if (count <= 0) break;
        // The text ends at the first NUL byte, as the encoder's console would.
        chunk.assign(buffer.data(), ::strnlen(buffer.data(), static_cast<std::size_t>(count)));
        platform::consoleToSystemText(chunk);

        m_tail.add(chunk);
        m_verdict.add(chunk);
        const ChunkMarkers markers = scanner.scan(chunk);
        if (markers.duration) {
            m_duration = *markers.duration;
            sendToGauge(GaugeUpdate::MaxValue);
            code = kResultDurationSeen;
        }
        if (markers.position) {
            m_position = *markers.position;
            sendToGauge(GaugeUpdate::Progress);
        }
        if (markers.completed) {
            m_position = m_duration;
            sendToGauge(GaugeUpdate::Progress);
            code = kResultCompleted;
        }
        if (m_flags.logEnabled) logOutput(chunk);
    }
    return code;
}

void EncoderJob::sendToGauge(GaugeUpdate update) {
    // Nothing else writes the gauge while a job runs, so a value that would
    // show the same as what this job has already sent changes nothing on
    // screen: a flood of progress lines then costs no trips to the UI thread.
    if (update == GaugeUpdate::MaxValue
            ? m_sentMax == m_duration
            : m_sentProgress && m_sentMax && GaugeShowsAlike(m_position, *m_sentProgress, *m_sentMax))
        return;
    m_update = update;
    m_uiThread.invoke([this] { applyToGauge(); });
    if (update == GaugeUpdate::MaxValue) {
        m_sentMax = m_duration;
        // A new maximum may have pulled the progress down with it.
        m_sentProgress.reset();
    } else {
        m_sentProgress = m_position;
    }
}

void EncoderJob::applyToGauge() {
    if (m_update == GaugeUpdate::MaxValue) {
        m_gauge.setMaxValue(m_duration);
    } else {
        m_gauge.setProgress(m_position);
    }
}

void EncoderJob::writeLog(std::string_view text) {
    // The log is a record for people: once it fails, this job's remaining
    // records are dropped and the conversion goes on untouched.
    if (m_logFailed) return;
    if (m_logBlock) {
        m_logBlock->add(text);
    } else if (WriteLog(m_logFile, text)) {
        m_logFailed = true;
    }
}

void EncoderJob::logOutput(std::string_view chunk) {
    if (m_outputOmitted) return;
    if (chunk.size() > kLoggedOutputPerJob - m_loggedOutput) {
        m_outputOmitted = true;
        writeLog(texts::kLogOutputOmitted);
        return;
    }
    m_loggedOutput += chunk.size();
    writeLog(chunk);
}

}  // namespace mirvane
