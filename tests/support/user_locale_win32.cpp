#include <windows.h>

#include <algorithm>
#include <filesystem>

#include "support/user_locale.h"

namespace mirvane::test {

UserLocale::UserLocale(const std::string& name) {
    wchar_t user[LOCALE_NAME_MAX_LENGTH];
    if (GetUserDefaultLocaleName(user, LOCALE_NAME_MAX_LENGTH) == 0) return;
    std::string wanted = name.substr(0, name.find('.'));
    std::replace(wanted.begin(), wanted.end(), '_', '-');
    m_active = std::filesystem::path(user).string() == wanted;
}

UserLocale::~UserLocale() = default;

}  // namespace mirvane::test
