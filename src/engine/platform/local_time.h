#pragma once
// The local time and the user's locale's texts for it.

#include <ctime>
#include <string>

namespace mirvane::platform {

// The current local time.
std::tm localTimeNow();

// The user's locale's short date form of the time's date.
std::string localeShortDate(const std::tm& time);

// Hours, minutes and seconds of the time, joined by the locale's time
// separator.
std::string localeTimeOfDay(const std::tm& time);

}  // namespace mirvane::platform
