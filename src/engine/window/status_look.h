#pragma once
// How a window shows a job's status: its text and the text's colour. Only
// the windows call these, when they draw a row; the engine itself deals in
// JobStatus values.

#include <cstdint>
#include <optional>
#include <string>

#include "engine/jobs/job_list.h"
#include "engine/texts/texts.h"

namespace mirvane {

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    bool operator==(const Rgb&) const = default;
};

inline const char* statusText(JobStatus status) {
    switch (status) {
        case JobStatus::Pending:
            return texts::kStatusPending;
        case JobStatus::Converting:
            return texts::kStatusConverting;
        case JobStatus::Converted:
            return texts::kStatusConverted;
        case JobStatus::Failed:
            return texts::kStatusError;
    }
    return "";
}

// The status cell's words: a converting row's own percentage, while it has
// one, beside its status ("変換中 42%").
inline std::string statusCellText(JobStatus status, std::optional<int> percent) {
    std::string text = statusText(status);
    if (status == JobStatus::Converting && percent) text += " " + std::to_string(*percent) + "%";
    return text;
}

// A running job and a failed one share the same red.
constexpr Rgb statusColour(JobStatus status) {
    switch (status) {
        case JobStatus::Pending:
            return {0, 0, 0};
        case JobStatus::Converting:
            return {255, 0, 0};
        case JobStatus::Converted:
            return {0, 0, 255};
        case JobStatus::Failed:
            return {255, 0, 0};
    }
    return {0, 0, 0};
}

}  // namespace mirvane
