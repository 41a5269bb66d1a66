#pragma once
// Building one job: the encoder command line from the preset, the unique
// output name, and the optional AviSynth wrapper script.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

#include "engine/jobs/app_paths.h"

namespace mirvane {

using FileExistsFn = std::function<bool(const std::string& path)>;

// The encoder's path (quoted when needed), " -y ", and the option text.
std::string CommandTemplate(const AppPaths& paths, std::string_view option);

// Writes the one-line DirectShowSource script beside the executable for the
// input and stores its path in scriptPath; the system's error on failure.
std::error_code MakeAvsScript(const AppPaths& paths, std::string_view inputPath, std::string_view dshowFps,
                              std::string& scriptPath);

// The row path with its final extension replaced by ext, extended by ext while
// a file exists there; nothing when no free name can be made (empty ext).
std::optional<std::string> MakeOutputPath(std::string_view rowPath, std::string_view ext,
                                          const FileExistsFn& fileExists, PathStyle style = kNativePathStyle,
                                          LeadByteTest isLeadByte = platform::isLeadByte);

// The name an output is written under until it is complete: the output's
// name with " (変換中)" before its extension, which the encoder picks the
// format from; attempt 2 and on add their number (" (変換中 2)") for when
// the first is taken.
std::string WorkingOutputPath(std::string_view outputPath, int attempt, PathStyle style = kNativePathStyle,
                              LeadByteTest isLeadByte = platform::isLeadByte);

// The template with %INPFILE and %OUTFILE replaced, in one pass, by the
// quoted input and output paths. A relative path that begins with '-' is
// written from the current folder ("./-clip.avi"), so that the encoder
// cannot take it for an option.
std::string MakeJobCommand(std::string_view commandTemplate, std::string_view inputPath,
                           std::string_view outputPath, PathStyle style = kNativePathStyle);

}  // namespace mirvane
