#include "engine/jobs/job_command.h"

#include "engine/jobs/command_line.h"
#include "engine/platform/files.h"
#include "engine/platform/text.h"

namespace mirvane {

JobCommandTemplate CommandTemplate(const AppPaths& paths, std::string_view option) {
    return {QuoteProgram(paths.encoder) + " -y ", std::string(option)};
}

std::optional<std::string> AvsScriptPath(std::string_view inputPath) {
    if (std::optional<std::string> text = platform::utf8ToSystemCodePage(inputPath)) return text;
    const std::optional<std::string> shortForm = platform::shortPath(std::string(inputPath));
    if (!shortForm) return std::nullopt;
    return platform::utf8ToSystemCodePage(*shortForm);
}

std::error_code MakeAvsScript(const AppPaths& paths, std::string_view inputPath, std::string_view dshowFps,
                              std::string& scriptPath) {
    // The path goes between the quotes as it is: AviSynth strings know no
    // escapes, and a Windows file name cannot hold a quote.
    std::string line = "DirectShowSource(\"";
    line += inputPath;
    line += '"';
    if (!dshowFps.empty()) {
        line += ",fps=";
        line += dshowFps;
        line += ",convertfps=true";
    }
    line += ")\r\n";

    std::error_code error;
    platform::File file = platform::File::createAlways(paths.scriptFile, error);
    if (error) {
        return error;
    }
    error = file.write(line);
    // A failed close can still lose the line (a full disk reports late).
    const std::error_code closeError = file.close();
    if (!error) {
        error = closeError;
    }
    if (!error) {
        scriptPath = paths.scriptFile;
    }
    return error;
}

std::optional<std::string> MakeOutputPath(std::string_view rowPath, std::string_view ext,
                                          const FileExistsFn& fileExists, PathStyle style,
                                          LeadByteTest isLeadByte) {
    std::string candidate = ChangeExtension(rowPath, ext, style, isLeadByte);
    while (fileExists(candidate)) {
        // Appending nothing would test the same name for ever.
        if (ext.empty()) {
            return std::nullopt;
        }
        candidate += ext;
    }
    return candidate;
}

std::string WorkingOutputPath(std::string_view outputPath, int attempt, PathStyle style,
                              LeadByteTest isLeadByte) {
    const std::string extension = ExtractExtension(outputPath, style, isLeadByte);
    std::string working(outputPath.substr(0, outputPath.size() - extension.size()));
    working += attempt > 1 ? " (変換中 " + std::to_string(attempt) + ")" : std::string(" (変換中)");
    return working + extension;
}

namespace {

// True for a relative path the encoder would not read as a file's name: an
// option ("-clip.avi") or a protocol ("pipe:1.avi", "data:,x.avi").
bool readAsOtherThanAFile(std::string_view path, PathStyle style) {
    if (path.starts_with('-')) return true;
    const std::size_t colon = path.find(':');
    if (colon == std::string_view::npos) return false;
    if (path.find_first_of(style == PathStyle::Windows ? "\\/" : "/") < colon) return false;
    const char first = path.front();
    const bool drive = style == PathStyle::Windows && colon == 1 &&
                       ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z'));
    return !drive;
}

std::string asFileName(std::string_view path, PathStyle style) {
    std::string safe;
    if (readAsOtherThanAFile(path, style)) safe = style == PathStyle::Windows ? ".\\" : "./";
    safe += path;
    return safe;
}

}  // namespace

std::string MakeJobCommand(const JobCommandTemplate& commandTemplate, std::string_view inputPath,
                           std::string_view outputPath, PathStyle style) {
    static constexpr std::string_view kInputPlaceholder = "%INPFILE";
    static constexpr std::string_view kOutputPlaceholder = "%OUTFILE";

    // One pass, so a path that itself reads "%OUTFILE" is never taken for a
    // placeholder. '%' cannot be the trail byte of a double-byte character in
    // any system text, so the scan may go byte by byte.
    const std::string quotedInput = QuoteArgument(asFileName(inputPath, style));
    const std::string quotedOutput = QuoteArgument(asFileName(outputPath, style));
    const std::string_view options = commandTemplate.options;
    std::string command = commandTemplate.program;
    std::size_t i = 0;
    while (i < options.size()) {
        const std::string_view rest = options.substr(i);
        if (rest.starts_with(kInputPlaceholder)) {
            command += quotedInput;
            i += kInputPlaceholder.size();
        } else if (rest.starts_with(kOutputPlaceholder)) {
            command += quotedOutput;
            i += kOutputPlaceholder.size();
        } else {
            command += options[i++];
        }
    }
    return command;
}

}  // namespace mirvane
