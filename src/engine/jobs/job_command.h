#pragma once
// Building one job: the encoder command line from the preset, the unique
// output name, and the optional AviSynth wrapper script.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

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

// Candidates MakeOutputPath tries before it gives up; each is one extension
// longer, so the system's name limit refuses them long before.
inline constexpr int kMaxOutputNameCandidates = 256;

// The row path with its final extension replaced by ext, extended by ext while
// a file exists there; nothing when no free name can be made (empty ext, a
// NUL in either, kMaxOutputNameCandidates taken).
std::optional<std::string> MakeOutputPath(std::string_view rowPath, std::string_view ext,
                                          const FileExistsFn& fileExists, PathStyle style = kNativePathStyle,
                                          LeadByteTest isLeadByte = platform::isLeadByte);

// Whether one name (no folder) fits the system's limit where it is made.
using NameFitsFn = std::function<bool(std::string_view name)>;

// The name an output is written under until it is complete: the output's
// name with " (変換中)" before its extension, which the encoder picks the
// format from; attempt 2 and on add their number (" (変換中 2)") for when
// the first is taken. It is Mirvane's own name: where it would not fit, the
// name before the mark is shortened, a whole character at a time.
std::string WorkingOutputPath(std::string_view outputPath, int attempt, const NameFitsFn& fits = {},
                              PathStyle style = kNativePathStyle,
                              LeadByteTest isLeadByte = platform::isLeadByte);

// Whether the encoder writes several files for this preset: its output name
// is a pattern ("_%03d.png": an image sequence, numbered segments), or its
// muxer writes a playlist and segments ("-f hls", dash, segment, image2, or
// the extensions that choose them).
bool WritesSeveralFiles(std::string_view options, std::string_view ext);

// Whether a name holds a number pattern the encoder fills in ("%d", "%03d").
bool HasNumberPattern(std::string_view name);

// The first names a numbered output would take (numbers 0 and 1), or the
// name itself when it has no pattern.
std::vector<std::string> FirstNumberedNames(std::string_view outputPath);

// The program's part followed by the options with %INPFILE and %OUTFILE
// replaced, in one pass, by the quoted input and output paths. A relative
// path is written from the current folder ("./-clip.avi") when it begins
// with '-', which the encoder would take for an option, or holds a ':'
// before its first separator, which it would take for a protocol
// ("pipe:1.avi"); a Windows drive ("C:\x", "C:x") is no protocol there.
std::string MakeJobCommand(const JobCommandTemplate& commandTemplate, std::string_view inputPath,
                           std::string_view outputPath, PathStyle style = kNativePathStyle);

}  // namespace mirvane
