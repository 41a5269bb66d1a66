#include "support/temp_dir.h"

#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace mirvane {

TempDir::TempDir() {
    // A random name rather than a counter: test executables run in parallel
    // under CTest and share the temporary folder.
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / ("mirvane-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(candidate)) {
            m_path = std::move(candidate);
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory under " + base.string());
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

namespace {

// The engine's text is UTF-8 on every system; a narrow path on Windows would
// be read in the ANSI code page instead.
std::string utf8(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path fromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

}  // namespace

std::string TempDir::path() const { return utf8(m_path); }

std::string TempDir::file(std::string_view name) const { return utf8(m_path / fromUtf8(name)); }

std::string TempDir::write(std::string_view name, std::string_view bytes) const {
    const std::filesystem::path target = m_path / fromUtf8(name);
    std::filesystem::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write " + target.string());
    return target.string();
}

std::string readBytes(std::string_view path) {
    std::ifstream in(fromUtf8(path), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace mirvane
