// The local time and how the user's locale writes it.

#include <langinfo.h>
#include <locale.h>
#include <time.h>

#include <algorithm>
#include <iomanip>
#include <locale>
#include <sstream>
#include <stdexcept>
#include <string_view>

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

// The user's locale for LC_TIME, for the life of the object.
class TimeLocale {
public:
    TimeLocale() : m_locale(::newlocale(LC_TIME_MASK, "", nullptr)) {
        if (!m_locale) m_locale = ::newlocale(LC_TIME_MASK, "C", nullptr);  // a LANG naming a missing locale
    }
    TimeLocale(const TimeLocale&) = delete;
    TimeLocale& operator=(const TimeLocale&) = delete;
    ~TimeLocale() { ::freelocale(m_locale); }
    locale_t get() const { return m_locale; }

private:
    locale_t m_locale;
};

// The locale's time format, with the conversions that stand for others
// spelt out.
std::string timeFormat(locale_t locale) {
    const std::string format = ::nl_langinfo_l(T_FMT, locale);
    std::string spelt;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] != '%' || std::string_view("TRr").find(next) == std::string_view::npos) {
            spelt += format[i];
            if (format[i] == '%' && next == '%') spelt += format[++i];
            continue;
        }
        spelt += next == 'T' ? "%H:%M:%S" : next == 'R' ? "%H:%M" : ::nl_langinfo_l(T_FMT_AMPM, locale);
        ++i;
    }
    return spelt.empty() ? "%H:%M:%S" : spelt;
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

// The hour and the AM/PM mark as the locale's time format writes them, the
// minutes and seconds in two digits. POSIX locales name no time separator,
// and their formats are no substitute for one (ja_JP's reads "22時08分18秒"):
// the numbers are joined by ':', and the locale's own text stays only
// between a number and the AM/PM mark ("08:05:03 PM", "午後08:05:03").
std::string localeTimeOfDay(const std::tm& time) {
    const TimeLocale locale;
    const std::string format = timeFormat(locale.get());
    std::string text;
    std::string between;
    bool lastWasNumber = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            between += format[i];
            continue;
        }
        // Flags and modifiers, then the conversion's letter.
        const std::size_t letter = format.find_first_not_of("_-0^#EO", i + 1);
        if (letter == std::string::npos) break;
        const std::string conversion = format.substr(i, letter - i + 1);
        const char kind = format[letter];
        i = letter;
        const bool number = std::string_view("HkIlMS").find(kind) != std::string_view::npos;
        if (kind == '%') between += '%';
        // A zone's name, or anything else, is no part of the time of day.
        if (!number && kind != 'p' && kind != 'P') continue;
        char piece[64];
        const std::size_t length = ::strftime_l(piece, sizeof piece, conversion.c_str(), &time, locale.get());
        const std::string_view written(piece, length);
        if (written.empty()) continue;  // a locale whose AM/PM marks are empty
        if (!text.empty()) text += number && lastWasNumber ? ":" : between;
        // A blank-padded hour (%k, %l) is one without its leading zero.
        text += written.substr(std::min(written.find_first_not_of(' '), written.size()));
        lastWasNumber = number;
        between.clear();
    }
    return text;
}

}  // namespace mirvane::platform
