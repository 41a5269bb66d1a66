// The user's language on Windows: Mirvane's own variable, else the user's
// display language (under Wine, the one its locale variables give).

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "engine/platform/user_language.h"

namespace mirvane::platform {
namespace {

TEST(UserLanguage, OwnVariableFirstThenTheDisplayLanguage) {
    ASSERT_TRUE(SetEnvironmentVariableW(L"MIRVANE_LANGUAGE", L"en"));
    EXPECT_EQ(userLanguage(), "en");
    ASSERT_TRUE(SetEnvironmentVariableW(L"MIRVANE_LANGUAGE", nullptr));
    // The system's own name for the user's display language: "ja-JP" in a
    // Japanese prefix, from the locale its test is started under.
    const std::string display = userLanguage();
    const char* locale = std::getenv("LC_ALL");
    if (!locale) GTEST_SKIP() << "no locale given to compare with: " << display;
    ASSERT_GE(display.size(), 5u);
    EXPECT_EQ(display.substr(0, 2), std::string(locale).substr(0, 2));
    EXPECT_EQ(display[2], '-');
}

}  // namespace
}  // namespace mirvane::platform
