#include "engine/batch/desktop_reporter.h"

#include "engine/texts/texts.h"

namespace mirvane {

DesktopReporter::DesktopReporter(DesktopServices& desktop) : m_desktop(desktop) {}

void DesktopReporter::batchStarted(int rows) {
    if (rows <= 0) return;
    m_running = true;
    m_left = rows;
    m_converted = 0;
    m_failed = 0;
    m_desktop.keepSystemAwake(true);
    showBatch();
}

void DesktopReporter::showPercent(int percent) {
    m_percent = percent;
    if (m_running) showBatch();
}

void DesktopReporter::rowFinished(JobStatus status) {
    if (!m_running) return;
    if (status == JobStatus::Converted) {
        ++m_converted;
    } else if (status == JobStatus::Failed) {
        ++m_failed;
    } else {
        return;
    }
    --m_left;
    showBatch();
}

void DesktopReporter::batchEnded(bool stopped) {
    if (!m_running) return;
    m_running = false;
    show({});
    m_desktop.keepSystemAwake(false);
    if (!stopped && !m_desktop.windowIsActive())
        m_desktop.announceBatchEnd(texts::kBatchEndTitle, texts::batchEndCounts(m_converted, m_failed));
}

void DesktopReporter::showBatch() {
    using State = TaskbarProgress::State;
    show({m_failed > 0 ? State::Error : State::Normal, m_percent, m_left});
}

void DesktopReporter::show(const TaskbarProgress& progress) {
    if (progress.state == m_shown.state && progress.percent == m_shown.percent &&
        progress.filesLeft == m_shown.filesLeft)
        return;
    m_shown = progress;
    m_desktop.showTaskbarProgress(progress);
}

}  // namespace mirvane
