// The local time and how the user's locale writes it.

#include <cstdio>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>

#include "engine/platform/local_time.h"

namespace mirvane::platform {

namespace {

// Asked for each time, so that the locale the user has when the text is made
// is the one used.
std::locale userLocale() {
    try {
        return std::locale("");
    } catch (const std::runtime_error&) {
        return std::locale::classic();  // a LANG naming a missing locale
    }
}

}  // namespace

std::tm localTimeNow() {
    const std::time_t now = std::time(nullptr);
    // localtime_r need not look at TZ again; a zone changed while the program
    // runs would otherwise be missed.
    ::tzset();
    std::tm local{};
    ::localtime_r(&now, &local);
    return local;
}

std::string localeShortDate(const std::tm& time) {
    std::ostringstream text;
    text.imbue(userLocale());
    text << std::put_time(&time, "%x");
    return text.str();
}

// POSIX locales name no time separator, only whole formats, and those are no
// substitute: %X under ja_JP reads "22時08分18秒", under en_US it adds AM or PM.
// Every locale here joins the numbers with ':'.
std::string localeTimeOfDay(const std::tm& time) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", time.tm_hour % 100, time.tm_min % 100,
                  time.tm_sec % 100);
    return text;
}

}  // namespace mirvane::platform
