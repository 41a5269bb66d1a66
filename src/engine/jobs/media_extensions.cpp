#include "engine/jobs/media_extensions.h"

#include <algorithm>
#include <array>
#include <string>

namespace mirvane {

namespace {

// Lower case, in the order std::string_view compares them, so that a lookup
// is a binary search.
constexpr std::array<std::string_view, 66> kMediaExtensions = {
    "3g2",  "3gp", "aac", "ac3",  "aif", "aifc", "aiff", "amr",  "amv",  "ape", "asf", "au",   "avi",  "caf",
    "divx", "dts", "dv",  "eac3", "evo", "f4a",  "f4v",  "flac", "flv",  "m1v", "m2t", "m2ts", "m2v",  "m4a",
    "m4b",  "m4v", "mka", "mkv",  "mod", "mov",  "mp2",  "mp3",  "mp4",  "mpa", "mpe", "mpeg", "mpg",  "mpv",
    "mts",  "mxf", "nsv", "nut",  "oga", "ogg",  "ogm",  "ogv",  "opus", "qt",  "ra",  "rm",   "rmvb", "spx",
    "tod",  "ts",  "tta", "vob",  "wav", "weba", "webm", "wma",  "wmv",  "wv"};
static_assert(std::is_sorted(kMediaExtensions.begin(), kMediaExtensions.end()));

// The longest in the list.
constexpr std::size_t kLongestExtension = 4;

}  // namespace

bool HasMediaExtension(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot - 1 > kLongestExtension) return false;
    // A copy to compare, short enough never to be allocated.
    std::string extension(name.substr(dot + 1));
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return std::binary_search(kMediaExtensions.begin(), kMediaExtensions.end(), std::string_view(extension));
}

}  // namespace mirvane
