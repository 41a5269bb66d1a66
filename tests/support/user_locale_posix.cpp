#include <gtest/gtest.h>

#include <cstdlib>
#include <locale>
#include <stdexcept>

#include "support/user_locale.h"

namespace mirvane::test {

UserLocale::UserLocale(const std::string& name) {
    try {
        std::locale installed(name);
    } catch (const std::runtime_error&) {
        ADD_FAILURE() << "locale " << name << " is not installed (scripts/install-deps --test adds it)";
        return;
    }
    if (const char* previous = std::getenv("LC_ALL")) m_previous = previous;
    ::setenv("LC_ALL", name.c_str(), 1);
    m_active = true;
}

UserLocale::~UserLocale() {
    if (!m_active) return;
    if (m_previous) {
        ::setenv("LC_ALL", m_previous->c_str(), 1);
    } else {
        ::unsetenv("LC_ALL");
    }
}

}  // namespace mirvane::test
