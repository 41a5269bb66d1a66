// Arbitrary encoder text in arbitrary chunks, read as a job reads it: every
// line is whole (no break inside, none empty, none beyond the bound), and
// the gauge only moves forward and is never full before the verdict.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/encoding/job_output.h"
#include "engine/desktop/gauge_scale.h"

namespace {

class CheckedGauge : public mirvane::GaugeView {
public:
    void setMaxValue(int value) override {
        if (value < 0 || m_sentMax) std::abort();  // one scale per job
        m_sentMax = true;
        m_scale.setMaxValue(value);
    }
    void setProgress(int value) override {
        const int before = m_scale.percent();
        m_scale.setProgress(value);
        if (m_scale.percent() < before || m_scale.percent() == 100) std::abort();
    }

private:
    mirvane::GaugeScale m_scale;
    bool m_sentMax = false;
};

void checkLine(std::string_view line) {
    if (line.empty() || line.size() > mirvane::ConsoleLines::kMaxLineBytes ||
        line.find_first_of("\r\n") != std::string_view::npos)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first byte of each piece says how long the chunk after it is.
    std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckedGauge gauge;
    mirvane::JobOutput output(gauge);
    while (!input.empty()) {
        std::size_t length = static_cast<unsigned char>(input[0]) % 64 + 1;
        input.remove_prefix(1);
        std::string_view chunk = input.substr(0, length);
        input.remove_prefix(chunk.size());
        output.add(chunk, checkLine);
    }
    output.finish(checkLine);
    return 0;
}
