#include "engine/jobs/job_command.h"

#include <algorithm>

#include "engine/formats/command_line.h"
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
    // No system name holds a NUL: the tests would all ask about a shorter one.
    if (rowPath.find('\0') != std::string_view::npos || ext.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    std::string candidate = ChangeExtension(rowPath, ext, style, isLeadByte);
    for (int tried = 1; fileExists(candidate); ++tried) {
        // Appending nothing would test the same name for ever.
        if (ext.empty() || tried >= kMaxOutputNameCandidates) {
            return std::nullopt;
        }
        candidate += ext;
    }
    return candidate;
}

namespace {

// The text without its last character: the engine's texts are UTF-8, whose
// continuation bytes are 10xxxxxx.
void dropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty()) text.pop_back();
}

}  // namespace

std::string WorkingOutputPath(std::string_view outputPath, int attempt, const NameFitsFn& fits,
                              PathStyle style, LeadByteTest isLeadByte) {
    const std::string extension = ExtractExtension(outputPath, style, isLeadByte);
    const std::string folder = ExtractFolder(outputPath, style, isLeadByte);
    std::string stem(outputPath.substr(folder.size(), outputPath.size() - folder.size() - extension.size()));
    const std::string mark =
        attempt > 1 ? " (変換中 " + std::to_string(attempt) + ")" : std::string(" (変換中)");
    while (fits && !stem.empty() && !fits(stem + mark + extension)) dropLastCharacter(stem);
    return folder + stem + mark + extension;
}

namespace {

// Where a number pattern begins and ends: '%', digits, 'd'.
bool findNumberPattern(std::string_view name, std::size_t& begin, std::size_t& end, int& width) {
    for (std::size_t percent = name.find('%'); percent != std::string_view::npos;
         percent = name.find('%', percent + 1)) {
        std::size_t i = percent + 1;
        width = 0;
        while (i < name.size() && name[i] >= '0' && name[i] <= '9') width = width * 10 + (name[i++] - '0');
        if (i < name.size() && name[i] == 'd') {
            begin = percent;
            end = i + 1;
            return true;
        }
    }
    return false;
}

bool endsWithIgnoringCase(std::string_view text, std::string_view tail) {
    if (text.size() < tail.size()) return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char c = text[text.size() - tail.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != tail[i]) return false;
    }
    return true;
}

}  // namespace

bool HasNumberPattern(std::string_view name) {
    std::size_t begin = 0;
    std::size_t end = 0;
    int width = 0;
    return findNumberPattern(name, begin, end, width);
}

std::vector<std::string> FirstNumberedNames(std::string_view outputPath) {
    std::size_t begin = 0;
    std::size_t end = 0;
    int width = 0;
    if (!findNumberPattern(outputPath, begin, end, width)) return {std::string(outputPath)};
    std::vector<std::string> names;
    for (int number : {0, 1}) {
        std::string digits = std::to_string(number);
        if (static_cast<int>(digits.size()) < width)
            digits.insert(0, std::min(width, 64) - digits.size(), '0');
        names.push_back(std::string(outputPath.substr(0, begin)) + digits +
                        std::string(outputPath.substr(end)));
    }
    return names;
}

bool WritesSeveralFiles(std::string_view options, std::string_view ext) {
    if (HasNumberPattern(ext) || endsWithIgnoringCase(ext, ".m3u8") || endsWithIgnoringCase(ext, ".mpd")) {
        return true;
    }
    static constexpr std::string_view kSeveralFileMuxers[] = {
        "hls", "dash", "segment", "ssegment", "stream_segment", "image2", "webm_chunk"};
    std::vector<std::string_view> words;
    for (std::size_t i = 0; i < options.size();) {
        while (i < options.size() && (options[i] == ' ' || options[i] == '\t')) ++i;
        const std::size_t start = i;
        while (i < options.size() && options[i] != ' ' && options[i] != '\t') ++i;
        if (i > start) words.push_back(options.substr(start, i - start));
    }
    for (std::size_t i = 0; i + 1 < words.size(); ++i) {
        if (words[i] != "-f") continue;
        for (std::string_view muxer : kSeveralFileMuxers) {
            if (words[i + 1] == muxer) return true;
        }
    }
    return false;
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
