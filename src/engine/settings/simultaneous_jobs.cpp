#include "engine/settings/simultaneous_jobs.h"

#include <algorithm>
#include <charconv>
#include <system_error>
#include <thread>

namespace mirvane {

unsigned ProcessorCores() { return std::max(1u, std::thread::hardware_concurrency()); }

int SimultaneousJobs(std::string_view text, unsigned cores) {
    const long long most = std::max(cores, 1u);
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (end != text.data() + text.size()) return 1;
    // A number too large to hold asks for every core, as any large one does.
    if (error == std::errc::result_out_of_range) return text.starts_with('-') ? 1 : static_cast<int>(most);
    if (error != std::errc() || value < 1) return 1;
    return static_cast<int>(std::min(value, most));
}

}  // namespace mirvane
