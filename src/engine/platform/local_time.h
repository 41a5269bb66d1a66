#pragma once
// The local time and the user's locale's texts for it.

#include <ctime>
#include <string>

namespace mirvane::platform {

// The current local time.
std::tm localTimeNow();

// The user's locale's short date form of the time's date.
std::string localeShortDate(const std::tm& time);

// Hours, minutes and seconds of the time in the user's locale's own form:
// its hour (with or without a leading zero; 12 hours and the AM/PM mark
// where the locale uses them), minutes and seconds in two digits.
std::string localeTimeOfDay(const std::tm& time);

}  // namespace mirvane::platform
