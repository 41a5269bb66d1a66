// The user's language from the environment, in the order setlocale reads the
// messages category, with Mirvane's own variable over all of it.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "engine/platform/user_language.h"

namespace mirvane::platform {
namespace {

TEST(UserLanguage, TheFirstVariableSetAndNotEmptyNamesIt) {
    const char* const names[] = {kLanguageVariable, "LC_ALL", "LC_MESSAGES", "LANG"};
    const struct {
        const char* values[4];  // in the order of names; null: unset
        const char* language;
    } cases[] = {
        {{nullptr, nullptr, nullptr, nullptr}, ""},
        {{nullptr, nullptr, nullptr, "ja_JP.UTF-8"}, "ja_JP.UTF-8"},
        {{nullptr, nullptr, "de_DE.UTF-8", "ja_JP.UTF-8"}, "de_DE.UTF-8"},
        {{nullptr, "C", "de_DE.UTF-8", "ja_JP.UTF-8"}, "C"},
        {{nullptr, "", "de_DE.UTF-8", "ja_JP.UTF-8"}, "de_DE.UTF-8"},
        {{"en", "ja_JP.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8"}, "en"},
        {{"", "", "", "fr_FR"}, "fr_FR"},
    };
    for (const auto& row : cases) {
        for (int i = 0; i < 4; ++i) {
            if (row.values[i]) {
                setenv(names[i], row.values[i], 1);
            } else {
                unsetenv(names[i]);
            }
        }
        EXPECT_EQ(userLanguage(), row.language) << row.language;
    }
}

}  // namespace
}  // namespace mirvane::platform
