#pragma once
// The language the user reads, as the user or the system says it.

#include <string>

namespace mirvane::platform {

// The variable that names Mirvane's language over the system's ("ja", "en").
inline constexpr const char* kLanguageVariable = "MIRVANE_LANGUAGE";

// The user's language as a tag ("ja", "en_US.UTF-8", "de-DE"): the variable
// above when it is set and not empty, else the system's choice: on POSIX
// systems the locale's messages category (LC_ALL, else LC_MESSAGES, else
// LANG, the first set and not empty, as setlocale reads them), on Windows
// the user's display language. Empty when neither says anything; "C" and
// "POSIX" name no language and are given as they are.
std::string userLanguage();

}  // namespace mirvane::platform
