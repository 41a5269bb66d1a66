#pragma once
// What one job makes of its encoder's console text, fed as the reads of its
// pipe return it: whole lines for the log, the gauge's course, and at the
// end the verdict. The gauge only moves forward within a job, and it is
// full only for a job the verdict calls complete: until the encoder has
// ended, nothing it prints (a last progress line, a closing summary, which
// is printed after a failed write too) can say that.

#include <cstdint>
#include <optional>
#include <string_view>

#include "engine/encoding/console_lines.h"
#include "engine/encoding/encoder_verdict.h"
#include "engine/encoding/job_result.h"
#include "engine/encoding/output_scanner.h"
#include "engine/encoding/output_tail.h"
#include "engine/desktop/gauge_view.h"

namespace mirvane {

class JobOutput {
public:
    // The gauge is told only what would change on screen, on the thread
    // that feeds the text.
    explicit JobOutput(GaugeView& gauge) : m_gauge(gauge) {}

    // Reads one chunk as a read returned it; onLine(std::string_view) gets
    // each whole line it completes, without its line break.
    template <typename OnLine>
    void add(std::string_view chunk, OnLine&& onLine) {
        m_lines.add(chunk, [&](std::string_view line) {
            readLine(line);
            onLine(line);
        });
        updateGauge();
    }

    // The text has ended: its unfinished last line is read too.
    template <typename OnLine>
    void finish(OnLine&& onLine) {
        m_lines.finish([&](std::string_view line) {
            readLine(line);
            onLine(line);
        });
        updateGauge();
    }

    // The job's result, once the text has ended; a complete job's gauge is
    // filled now.
    JobResult judge(const EncoderEnd& end);

private:
    void readLine(std::string_view line);
    void updateGauge();

    GaugeView& m_gauge;
    ConsoleLines m_lines;
    OutputScanner m_scanner;
    VerdictReader m_verdict;
    OutputTail m_tail;
    std::optional<int32_t> m_sentMax;
    std::optional<int32_t> m_sentProgress;
};

}  // namespace mirvane
