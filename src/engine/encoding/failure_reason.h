#pragma once
// A failed job's reason when the encoder had no say: our sentence, then the
// system's own words for what went wrong.

#include <string>
#include <string_view>
#include <system_error>

#include "engine/platform/text.h"

namespace mirvane {

// subject: the file the failure concerns, which the system's words may name.
inline std::string explainFailure(const char* sentence, const std::error_code& error,
                                  std::string_view subject = {}) {
    std::string reason = sentence;
    if (error) reason += ": " + platform::errorText(error, subject);
    return reason;
}

}  // namespace mirvane
