#pragma once
// The user's locale of a test's row, named as POSIX systems name it
// ("ja_JP.UTF-8").

#include <optional>
#include <string>

namespace mirvane::test {

// On POSIX systems LC_ALL names the locale for the life of the object (a
// locale that is not installed fails the test). On Windows the user's locale
// is the one the Wine prefix was made under, which a test cannot change:
// active() says whether it is the one named.
class UserLocale {
public:
    explicit UserLocale(const std::string& name);
    UserLocale(const UserLocale&) = delete;
    UserLocale& operator=(const UserLocale&) = delete;
    ~UserLocale();
    bool active() const { return m_active; }

private:
    bool m_active = false;
    std::optional<std::string> m_previous;
};

}  // namespace mirvane::test
