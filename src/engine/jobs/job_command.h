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

// The encoder's command before a job's paths are put in. The program's part
// is kept apart: the encoder's folder may read "%INPFILE" too.
struct JobCommandTemplate {
    std::string program;  // the encoder's path (quoted when needed) and " -y "
    std::string options;  // the preset's option text, placeholders and all
};

JobCommandTemplate CommandTemplate(const AppPaths& paths, std::string_view option);

// The input's path as AviSynth reads it from a script: in the system's own
// code page (the ANSI one on Windows); the path's short form where the path
// itself cannot be written there; nothing where neither can.
std::optional<std::string> AvsScriptPath(std::string_view inputPath);

// Writes the one-line DirectShowSource script beside the executable for the
// input (its bytes as given, from AvsScriptPath) and stores the script's own
// path in scriptPath; the system's error on failure.
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

// The program's part followed by the options with %INPFILE and %OUTFILE
// replaced, in one pass, by the quoted input and output paths. A relative
// path is written from the current folder ("./-clip.avi") when it begins
// with '-', which the encoder would take for an option, or holds a ':'
// before its first separator, which it would take for a protocol
// ("pipe:1.avi"); a Windows drive ("C:\x", "C:x") is no protocol there.
std::string MakeJobCommand(const JobCommandTemplate& commandTemplate, std::string_view inputPath,
                           std::string_view outputPath, PathStyle style = kNativePathStyle);

}  // namespace mirvane
