#include "engine/encoding/encoder_job.h"

#include <chrono>
#include <cstring>
#include <vector>

#include "engine/encoding/conversion_log.h"
#include "engine/encoding/encoder_verdict.h"
#include "engine/encoding/failure_reason.h"
#include "engine/platform/text.h"
#include "engine/texts/texts.h"

namespace mirvane {

namespace {

constexpr std::size_t kChunkSize = 2048;

// After the pipe's end the encoder normally exits within moments; one that
// closed its output but runs on is waited for in slices this long, so that a
// stop is still seen.
constexpr auto kEndWaitSlice = std::chrono::milliseconds(50);

}  // namespace

EncoderJob::EncoderJob(EncoderCommand command, const BatchFlags& flags, UiThread& uiThread, GaugeView& gauge,
                       const AppPaths& paths, JobLog& log, EndHandler onEnded)
    : m_commandLine(std::move(command.run)),
      m_loggedCommandLine(std::move(command.logged)),
      m_encoder(paths.encoder),
      m_log(log),
      m_gaugeOnUiThread(uiThread, gauge),
      m_output(m_gaugeOnUiThread),
      m_flags(flags),
      m_uiThread(uiThread),
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
            m_log.add(RunHeaderNow());
            m_log.add(m_loggedCommandLine);
        }
        readOutput();
        EncoderEnd end;
        if (m_flags.stopRequested) {
            m_process.kill();
        } else {
            end.stopped = !waitForEncoderEnd();
        }
        end.stopped = end.stopped || m_flags.stopRequested;
        m_process.close();
        end.exitCode = m_process.exitCode();
        result = m_output.judge(end);
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

void EncoderJob::readOutput() {
    // Without our copy of the write end closed the pipe would never report
    // its end, even after the encoder has exited.
    if (m_process.closeWriteEnd()) {
        std::vector<char> buffer(kChunkSize + 1, '\0');
        std::string chunk;
        while (!m_flags.stopRequested) {
            const std::ptrdiff_t count = m_process.read(buffer.data(), kChunkSize);
            if (count <= 0) break;
            // The text ends at the first NUL byte, as the encoder's console would.
            chunk.assign(buffer.data(), ::strnlen(buffer.data(), static_cast<std::size_t>(count)));
            platform::consoleToSystemText(chunk);
            m_output.add(chunk, [this](std::string_view line) { logLine(line); });
            logChunkRecords();
        }
    }
    m_output.finish([this](std::string_view line) { logLine(line); });
    logChunkRecords();
}

void EncoderJob::GaugeOnUiThread::setMaxValue(int value) {
    m_uiThread.invoke([this, value] { m_gauge.setMaxValue(value); });
}

void EncoderJob::GaugeOnUiThread::setProgress(int value) {
    m_uiThread.invoke([this, value] { m_gauge.setProgress(value); });
}

void EncoderJob::logLine(std::string_view line) {
    if (!m_flags.logEnabled || m_outputOmitted) return;
    const std::size_t record = line.size() + 2;  // with its CR LF
    if (record > kLoggedOutputPerJob - m_loggedOutput) {
        m_outputOmitted = true;
        line = texts::kLogOutputOmitted.c_str();
    } else {
        m_loggedOutput += record;
    }
    if (!m_chunkRecords.empty()) m_chunkRecords += "\r\n";
    m_chunkRecords += line;
}

void EncoderJob::logChunkRecords() {
    // One write for a read's lines: the file is opened once per read, as
    // when a read was a record.
    if (m_chunkRecords.empty()) return;
    m_log.add(m_chunkRecords);
    m_chunkRecords.clear();
}

}  // namespace mirvane
