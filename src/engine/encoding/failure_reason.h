#pragma once
// A failed job's reason when the encoder had no say: our sentence, then the
// system's own words for what went wrong.

#include <string>
#include <system_error>

namespace mirvane {

inline std::string explainFailure(const char* sentence, const std::error_code& error) {
    std::string reason = sentence;
    if (error) reason += ": " + error.message();
    return reason;
}

}  // namespace mirvane
