// The user's language: Mirvane's own variable, else the user's display language.

#include "engine/platform/user_language.h"
#include "engine/platform/win32/wide_text.h"
#include "engine/platform/win32/win32_internal.h"

namespace mirvane::platform {

std::string userLanguage() {
    wchar_t chosen[LOCALE_NAME_MAX_LENGTH]{};
    const DWORD length =
        GetEnvironmentVariableW(win32::toWide(kLanguageVariable).c_str(), chosen, LOCALE_NAME_MAX_LENGTH);
    if (length > 0 && length < LOCALE_NAME_MAX_LENGTH) return win32::toUtf8(chosen);
    // The language the user reads the system in, which a Japanese Windows
    // set to English display keeps apart from its regional format.
    const LANGID language = GetUserDefaultUILanguage();
    wchar_t name[LOCALE_NAME_MAX_LENGTH]{};
    if (LCIDToLocaleName(MAKELCID(language, SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) <= 0) return {};
    return win32::toUtf8(name);
}

}  // namespace mirvane::platform
