#pragma once
// A fresh directory under the system's temporary folder for one test, removed
// with everything in it when the object goes away.

#include <filesystem>
#include <string>
#include <string_view>

namespace mirvane {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path() const;
    // The path of `name` inside the directory; the file need not exist.
    std::string file(std::string_view name) const;
    // Writes `bytes` exactly as given to `name` (creating any folders in it)
    // and returns the file's path.
    std::string write(std::string_view name, std::string_view bytes) const;

private:
    std::filesystem::path m_path;
};

// The whole content of the file at a UTF-8 path, byte for byte; empty when
// it cannot be read.
std::string readBytes(std::string_view path);

}  // namespace mirvane
