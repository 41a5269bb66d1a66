// The user's language from the environment, as setlocale reads the messages category.

#include <cstdlib>

#include "engine/platform/user_language.h"

namespace mirvane::platform {

std::string userLanguage() {
    for (const char* name : {kLanguageVariable, "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

}  // namespace mirvane::platform
