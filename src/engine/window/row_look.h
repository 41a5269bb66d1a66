#pragma once
// How a window shows a row of the job list. Every decision about a row's
// look is made here, once: both windows draw a row from its RowLook and from
// nothing else. The engine itself deals in JobStatus values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

struct RowLook {
    // The status cell's words: a converting row's own percentage, while it
    // has one, beside its status ("変換中 42%").
    std::string words;
    // The status cell's text colour: a running job and a failed one share the same red.
    Rgb colour;
    // What the status cell says to assistive technology: its words, or a
    // failed row's status with its reason ("エラー: reason"), so that the
    // reason is read as the row is reached.
    std::string spoken;
    // The status cell's accessible description: a failed row's status with
    // its reason, whole, for a reader that reads the description apart from
    // the cell; empty for any other row. A reader that has just said the
    // cell leaves it out, as it lies within what it said.
    std::string description;
    // The status cell's tooltip: a failed row's reason.
    std::string tip;
    bool operator==(const RowLook&) const = default;
};

// percent: the percentage last reported for the row's conversion; shown only
// while the row converts, whatever a window still holds.
inline RowLook rowLook(JobStatus status, std::string_view reason, std::optional<int> percent) {
    const bool red = status == JobStatus::Converting || status == JobStatus::Failed;
    const Rgb colour = red ? Rgb{255, 0, 0} : status == JobStatus::Converted ? Rgb{0, 0, 255} : Rgb{0, 0, 0};
    RowLook look{statusText(status), colour, {}, {}, {}};
    if (status == JobStatus::Converting && percent) look.words += " " + std::to_string(*percent) + "%";
    look.spoken = look.words;
    if (status == JobStatus::Failed && !reason.empty()) {
        look.spoken = look.description = texts::errorWithReason(reason);
        look.tip = reason;
    }
    return look;
}

}  // namespace mirvane
