#include "engine/batch/batch_on_desktop.h"

#include "engine/texts/texts.h"

namespace mirvane {

BatchOnDesktop::BatchOnDesktop(BatchView& window, DesktopServices& desktop)
    : m_window(window), m_desktop(desktop) {}

void BatchOnDesktop::batchStarted(int rows) {
    if (rows <= 0) return;
    m_running = true;
    m_left = rows;
    m_converted = 0;
    m_failed = 0;
    m_desktop.keepSystemAwake(true);
    showBatch();
}

void BatchOnDesktop::rowFinished(JobStatus status) {
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

void BatchOnDesktop::batchEnded(bool stopped) {
    if (!m_running) return;
    m_running = false;
    show({});
    m_desktop.keepSystemAwake(false);
    if (!stopped && !m_desktop.windowIsActive())
        m_desktop.announceBatchEnd(texts::kBatchEndTitle, texts::batchEndCounts(m_converted, m_failed));
}

// The window's gauge first: a value it refuses changes nothing here either.
void BatchOnDesktop::setMaxValue(int value) {
    m_window.gauge().setMaxValue(value);
    m_scale.setMaxValue(value);
    if (m_running) showBatch();
}

void BatchOnDesktop::setProgress(int value) {
    m_window.gauge().setProgress(value);
    if (m_scale.setProgress(value) && m_running) showBatch();
}

void BatchOnDesktop::showBatch() {
    using State = TaskbarProgress::State;
    show({m_failed > 0 ? State::Error : State::Normal, m_scale.percent(), m_left});
}

void BatchOnDesktop::show(const TaskbarProgress& progress) {
    if (progress.state == m_shown.state && progress.percent == m_shown.percent &&
        progress.filesLeft == m_shown.filesLeft)
        return;
    m_shown = progress;
    m_desktop.showTaskbarProgress(progress);
}

}  // namespace mirvane
