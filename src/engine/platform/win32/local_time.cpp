// The local time and how the user's locale writes it.

#include "engine/platform/local_time.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

namespace {

SYSTEMTIME toSystemTime(const std::tm& time) {
    SYSTEMTIME system{};
    system.wYear = static_cast<WORD>(time.tm_year + 1900);
    system.wMonth = static_cast<WORD>(time.tm_mon + 1);
    system.wDayOfWeek = static_cast<WORD>(time.tm_wday);
    system.wDay = static_cast<WORD>(time.tm_mday);
    system.wHour = static_cast<WORD>(time.tm_hour);
    system.wMinute = static_cast<WORD>(time.tm_min);
    system.wSecond = static_cast<WORD>(time.tm_sec);
    return system;
}

int dayOfYear(const SYSTEMTIME& time) {
    static const int kDaysBefore[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    const int year = time.wYear;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDaysBefore[time.wMonth - 1] + time.wDay - 1 + (leap && time.wMonth > 2 ? 1 : 0);
}

}  // namespace

std::tm localTimeNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::tm local{};
    local.tm_year = now.wYear - 1900;
    local.tm_mon = now.wMonth - 1;
    local.tm_mday = now.wDay;
    local.tm_hour = now.wHour;
    local.tm_min = now.wMinute;
    local.tm_sec = now.wSecond;
    local.tm_wday = now.wDayOfWeek;
    local.tm_yday = dayOfYear(now);
    local.tm_isdst = -1;
    return local;
}

std::string localeShortDate(const std::tm& time) {
    const SYSTEMTIME system = toSystemTime(time);
    wchar_t text[128];
    const int length =
        GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &system, nullptr, text, 128, nullptr);
    if (length <= 1) return {};
    return win32::toUtf8(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
}

// The user's own time format: the hour with or without its leading zero,
// in 12 or 24 hours, and the separator, all as the user's locale asks
// ("H:mm:ss" in Japanese, "h:mm:ss tt" in American English).
std::string localeTimeOfDay(const std::tm& time) {
    const SYSTEMTIME system = toSystemTime(time);
    wchar_t text[128];
    const int length = GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &system, nullptr, text, 128);
    if (length <= 1) return {};
    return win32::toUtf8(std::wstring_view(text, static_cast<std::size_t>(length - 1)));
}

}  // namespace mirvane::platform
