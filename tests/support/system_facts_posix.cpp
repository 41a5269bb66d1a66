#include <locale.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "support/system_facts.h"

namespace mirvane::test {

std::string systemText(SystemFailure failure, const std::string&) {
    switch (failure) {
        case SystemFailure::NoSuchFile:
            return std::strerror(ENOENT);
        case SystemFailure::OpenAFolder:
            return std::strerror(EISDIR);
        case SystemFailure::NotAProgram:
            return std::strerror(EACCES);
    }
    return {};
}

// A script without execute permission.
void makeNonProgram(const std::string& path) { std::ofstream(path, std::ios::trunc) << "#!/bin/sh\n"; }

std::vector<std::string> namesToKeepExactly() { return {"caf\xe9.avi", "\x83\x72\x83\x66\x83\x49.avi"}; }

void hide(const std::string& path) {
    const std::size_t name = path.rfind('/') + 1;
    std::filesystem::rename(path, path.substr(0, name) + "." + path.substr(name));
}

bool makeUnreadable(const std::string& folder) {
    std::filesystem::permissions(folder, std::filesystem::perms::none);
    std::error_code refused;
    std::filesystem::directory_iterator(folder, refused);
    return bool(refused);
}

std::string createdLogStart() { return {}; }

bool makeUserLocale(const std::string& name) {
    const locale_t installed = ::newlocale(LC_ALL_MASK, name.c_str(), nullptr);
    if (!installed) return false;
    ::freelocale(installed);
    return ::setenv("LC_ALL", name.c_str(), 1) == 0;
}

bool outputOutlivesItsClose() { return false; }

}  // namespace mirvane::test
