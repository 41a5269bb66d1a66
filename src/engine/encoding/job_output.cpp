#include "engine/encoding/job_output.h"

#include <algorithm>

#include "engine/desktop/gauge_scale.h"

namespace mirvane {

void JobOutput::readLine(std::string_view line) {
    m_scanner.readLine(line);
    m_verdict.readLine(line);
    m_tail.readLine(line);
}

void JobOutput::updateGauge() {
    // Without the input's length there is no scale to show progress on.
    const std::optional<int32_t> duration = m_scanner.duration();
    if (!duration) return;
    if (m_sentMax != duration) {
        m_gauge.setMaxValue(*duration);
        m_sentMax = duration;
        m_sentProgress.reset();
    }
    const std::optional<int32_t> position = m_scanner.position();
    if (!position) return;
    // Short of full until the verdict: the last progress line reaches the
    // input's length before the encoder has finished (or failed) writing.
    const int32_t progress = std::min(*position, std::max(*duration - 1, 0));
    // A progress the gauge would show as it shows the last one changes
    // nothing on screen: a flood of progress lines costs no trips to it.
    if (m_sentProgress && GaugeShowsAlike(progress, *m_sentProgress, *duration)) return;
    m_gauge.setProgress(progress);
    m_sentProgress = progress;
}

JobResult JobOutput::judge(const EncoderEnd& end) {
    JobResult result = JudgeEncoderRun(m_verdict, end, m_tail.lastLine());
    if (result.code == kResultCompleted && m_sentMax && m_sentProgress != m_sentMax) {
        m_gauge.setProgress(*m_sentMax);
        m_sentProgress = m_sentMax;
    }
    return result;
}

}  // namespace mirvane
