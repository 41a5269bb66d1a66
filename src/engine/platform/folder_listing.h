#pragma once
// A folder held open while it is listed and its subfolders are opened
// through it, for the walk of a dropped folder. A subfolder is opened
// relative to the folder that listed it and never through a link, so a name
// swapped for a link between the listing and the opening leads nowhere, and
// a folder already open stays the folder it was whatever is renamed around it.

#include <functional>
#include <memory>
#include <string>
#include <system_error>

#include "engine/platform/files.h"

namespace mirvane::platform {

class OpenFolder {
public:
    OpenFolder();
    OpenFolder(OpenFolder&& other) noexcept;
    OpenFolder& operator=(OpenFolder&& other) noexcept;
    OpenFolder(const OpenFolder&) = delete;
    OpenFolder& operator=(const OpenFolder&) = delete;
    ~OpenFolder();

    // The folder the user named, a link to one included: the user chose it.
    // std::errc::not_a_directory when the path names anything else.
    static OpenFolder open(const std::string& path, std::error_code& error);
    // The subfolder `name` of this one, refused (std::errc::too_many_symbolic_link_levels
    // or the system's own error) when that name is now a link, a reparse
    // point or anything but a folder, whatever the listing said it was.
    OpenFolder openSubfolder(const std::string& name, std::error_code& error) const;

    bool isOpen() const;
    // Hands each entry to take, in the order the system keeps them, "." and
    // ".." left out; an entry whose name the engine cannot hold exactly is
    // left out too. An error when the folder cannot be read.
    std::error_code list(const std::function<void(const FolderEntry&)>& take) const;

private:
    struct Impl;
    explicit OpenFolder(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

}  // namespace mirvane::platform
