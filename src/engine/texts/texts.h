#pragma once
// The program's fixed texts, in one place for both windows and the engine.
//
// Each text is written here in English, the source language; po/ holds a
// catalogue per other language (gettext's PO files, built into the program),
// and each text reads as the chosen language's catalogue translates it. A
// program chooses its language once at start (useLanguage), before any
// thread; until then the texts are Japanese, the program's first language.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "engine/formats/path_style.h"

namespace mirvane::texts {

// Chooses the catalogue for a language tag as systems write them ("ja",
// "ja_JP.UTF-8", "pt-BR", "en_GB@euro"): the one named for language and
// country, else for the language alone; English, the texts as written here,
// for any other tag, an empty one, "C" and "POSIX".
void useLanguage(std::string_view tag);
// The chosen catalogue's name ("ja", "pt_BR"), or "en" for the source texts.
std::string_view language();
// The catalogues built into the program, by name.
struct BuiltInCatalogue {
    const char* name;
    const char* text;  // the PO file as it stands in po/
};
std::span<const BuiltInCatalogue> builtInCatalogues();

// The chosen language's translation of a source text, or the source text.
const char* translate(const char* context, const char* source);
// The chosen language's form of a text with a number, by its plural rule.
const char* translatePlural(const char* context, const char* singular, const char* plural, std::uint64_t n);
// The pattern with each "{name}" replaced by its value.
std::string fill(std::string_view pattern,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values);

// A text the user reads, in the chosen language wherever it is used as one.
class Text {
public:
    constexpr explicit Text(const char* source) : m_context(""), m_source(source) {}
    // A context tells apart texts that read the same in English.
    constexpr Text(const char* context, const char* source) : m_context(context), m_source(source) {}

    const char* c_str() const { return translate(m_context, m_source); }
    operator const char*() const { return c_str(); }
    operator std::string() const { return c_str(); }
    operator std::string_view() const { return c_str(); }
    // As a range of bytes, for the views that take one (Qt's QByteArrayView).
    const char* data() const { return c_str(); }
    std::size_t size() const { return std::string_view(c_str()).size(); }
    const char* begin() const { return c_str(); }
    const char* end() const { return c_str() + size(); }

    const char* context() const { return m_context; }
    const char* source() const { return m_source; }

    friend bool operator==(const Text& text, std::string_view other) {
        return std::string_view(text) == other;
    }
    friend std::string operator+(std::string left, const Text& right) { return left.append(right.c_str()); }
    friend std::string operator+(const Text& left, std::string_view right) {
        return std::string(left.c_str()).append(right);
    }

private:
    const char* m_context;
    const char* m_source;
};

// A text with a number, in the form the chosen language's plural rule picks.
class PluralText {
public:
    constexpr PluralText(const char* singular, const char* plural) : m_singular(singular), m_plural(plural) {}
    const char* operator()(std::uint64_t n) const { return translatePlural("", m_singular, m_plural, n); }
    const char* singular() const { return m_singular; }
    const char* plural() const { return m_plural; }

private:
    const char* m_singular;
    const char* m_plural;
};

// A row's status, as the list shows it.
inline constexpr Text kStatusPending{"status", "Pending"};
inline constexpr Text kStatusConverting{"status", "Converting"};
inline constexpr Text kStatusConverted{"status", "Converted"};
inline constexpr Text kStatusError{"status", "Error"};

inline constexpr Text kCaptionStart{"Start"};
inline constexpr Text kCaptionStop{"Stop"};

// The other controls' texts.
inline constexpr Text kCaptionClearAll{"Clear all"};
inline constexpr Text kCaptionPresets{"Preset"};
inline constexpr Text kCaptionDirectShow{"Use DirectShow (needs AviSynth)"};
inline constexpr Text kDropHint{"Drag and drop video files here"};
inline constexpr Text kColumnFileName{"File name"};
inline constexpr Text kColumnStatus{"column", "Status"};
// Names assistive technology reads for controls that show no caption.
inline constexpr Text kJobListName{"File list"};
inline constexpr Text kGaugeName{"Progress"};
inline constexpr Text kFileDialogTitle{"Add files"};

// The program's name and the window's title, the same in every language.
inline constexpr const char* kAppName = "Mirvane";
inline constexpr const char* kAppCaption = "Mirvane 1.00";

inline constexpr Text kSettingsMissing{"The video settings INI file (MovieSet.ini) is missing."};
inline constexpr Text kEncoderMissing{"{file} is missing."};
// Names the file the program looks for: "ffmpeg.exe is missing." on Windows.
inline std::string encoderMissing(PathStyle style) {
    const std::string_view encoder = encoderInProgramFolder(style);
    return fill(kEncoderMissing, {{"file", encoder.substr(encoder.rfind(pathSeparator(style)) + 1)}});
}
inline constexpr Text kSettingsUnreadable{"The video settings INI file could not be read."};
inline constexpr Text kForcedQuitQuestion{"Files are being converted. Quit anyway?"};
inline constexpr Text kListRestored{"The file list of the last session has been restored."};

// A count as the user reads it, its thousands apart: "100,000".
inline std::string groupedCount(std::size_t count) {
    std::string text = std::to_string(count);
    for (std::size_t digits = text.size(); digits > 3; digits -= 3) text.insert(digits - 3, ",");
    return text;
}
// Said when the folders of one drop held more files than it adds.
inline constexpr PluralText kFolderFilesCut{
    "The folders hold too many files: only the first {count} file was added.",
    "The folders hold too many files: only the first {count} files were added."};
inline std::string folderFilesCut(std::size_t limit) {
    return fill(kFolderFilesCut(limit), {{"count", groupedCount(limit)}});
}
// Said when the folders of one drop held more folders than it opens, or deeper ones.
inline constexpr PluralText kFolderFoldersCut{
    "The folders hold too many folders: only the first {count} folder (down to {depth} levels) was looked "
    "into.",
    "The folders hold too many folders: only the first {count} folders (down to {depth} levels) were looked "
    "into."};
inline std::string folderFoldersCut(std::size_t limit, std::size_t depth) {
    return fill(kFolderFoldersCut(limit), {{"count", groupedCount(limit)}, {"depth", std::to_string(depth)}});
}

// Why a job failed before or without the encoder's own words.
inline constexpr Text kReasonNoOutputName{"No output file name can be made"};
inline constexpr Text kReasonScriptNotWritten{"The AviSynth script cannot be written"};
inline constexpr Text kReasonScriptPathNotWritable{
    "The file's path cannot be written in a code page AviSynth reads, and it has no short (8.3) name"};
inline constexpr Text kReasonAviSynthMissing{"AviSynth is missing or cannot be loaded (DirectShow needs it)"};
inline constexpr Text kReasonEncoderNotStarted{"ffmpeg cannot be started"};
inline constexpr Text kReasonWorkerNotStarted{"The conversion thread cannot be started"};
inline constexpr Text kReasonNoOutput{"ffmpeg ended without printing anything"};
inline constexpr Text kReasonOutputNotCreated{"The output file cannot be created"};
inline constexpr Text kReasonOutputEmpty{"The output file is empty"};
inline constexpr Text kReasonOutputNotRenamed{"The output file cannot be finished"};
inline constexpr Text kReasonInputNotAFile{
    "The input is not a regular file (a folder, a FIFO, a device, ...)"};
inline constexpr Text kReasonPercentInName{
    "A file with % in its name cannot be converted with a preset that writes numbered or split files"};
inline constexpr Text kReasonOutputNameTaken{"The output file name is already taken"};
inline constexpr Text kReasonKeptUnderWorkingName{
    "Every output file name is taken, so the converted output was left under its working name"};
inline constexpr Text kReasonKeptAtWorkingName{"The converted output is still under its working name"};
inline constexpr Text kReasonKeptInWorkingFolder{
    "The output file name is taken, so the converted output was left in the working folder"};
inline constexpr Text kReasonEncoderCrashed{"ffmpeg crashed"};
// Followed by the exit code.
inline constexpr Text kReasonEncoderExitCode{"ffmpeg ended with an error: exit code "};
// An output that several files make up, as the log names it: "out.m3u8 (12 files)".
inline constexpr PluralText kFilesWritten{"{count} file", "{count} files"};
inline std::string filesWritten(std::size_t count) {
    return fill(kFilesWritten(count), {{"count", std::to_string(count)}});
}

// The desktop's word at the end of a batch that ended while the user was elsewhere.
inline constexpr Text kBatchEndTitle{"Conversion finished"};
inline constexpr PluralText kBatchEndConverted{"{count} file converted", "{count} files converted"};
inline constexpr PluralText kBatchEndFailed{"{count} error", "{count} errors"};
inline constexpr Text kListSeparator{"between two parts of a list", ", "};
inline std::string batchEndCounts(int converted, int failed) {
    const auto count = [](int n) { return static_cast<std::uint64_t>(n < 0 ? 0 : n); };
    return fill(kBatchEndConverted(count(converted)), {{"count", std::to_string(converted)}}) +
           kListSeparator.c_str() + fill(kBatchEndFailed(count(failed)), {{"count", std::to_string(failed)}});
}
// The notification's button that brings the window forward.
inline constexpr Text kShowWindow{"Show Mirvane"};
// Why the computer is kept awake, where the desktop lists it.
inline constexpr Text kSleepInhibitReason{"Converting videos"};

// What a screen reader is told when something changes where the user is
// not looking, or when a key did something (or nothing) that no control shows.
inline constexpr Text kSayStarted{"Conversion started"};
inline constexpr Text kSayStopping{"Stopping the conversion"};
inline constexpr Text kSayNothingToConvert{"No file is waiting to be converted"};
inline constexpr Text kSayCleared{"The list has been cleared"};
inline constexpr Text kSayBusyNoRemove{"Files cannot be removed during a conversion"};
inline constexpr Text kSayBusyNoAdd{"Files cannot be added during a conversion"};
inline constexpr Text kSayNotFailed{"The selected row is not an error"};
inline constexpr Text kSayNothingSelected{"No file is selected"};
// Between utterances said at once.
inline constexpr Text kSayingsJoint{"between two sentences said at once", ". "};
// A row's end, said once: "clip.avi Converted", "clip.avi Error: reason".
inline constexpr Text kRowEnd{"a row's end, said", "{name} {status}"};
inline constexpr Text kRowEndWithReason{"a row's end, said", "{name} {status}: {reason}"};
inline std::string rowEndSaying(std::string_view fileName, const char* status, std::string_view reason) {
    if (reason.empty()) return fill(kRowEnd, {{"name", fileName}, {"status", status}});
    return fill(kRowEndWithReason, {{"name", fileName}, {"status", status}, {"reason", reason}});
}
// A failed row's reason, as its status cell reads to assistive technology.
inline constexpr Text kErrorWithReason{"status", "Error: {reason}"};
inline std::string errorWithReason(std::string_view reason) {
    return fill(kErrorWithReason, {{"reason", reason}});
}
inline constexpr Text kBatchStoppedSaying{"Conversion stopped. {counts}"};
inline constexpr Text kBatchFinishedSaying{"Conversion finished. {counts}"};
inline std::string batchEndSaying(bool stopped, int converted, int failed) {
    return fill(stopped ? kBatchStoppedSaying : kBatchFinishedSaying,
                {{"counts", batchEndCounts(converted, failed)}});
}
inline constexpr PluralText kFilesAdded{"{count} file added", "{count} files added"};
inline std::string filesAddedSaying(std::size_t count) {
    return fill(kFilesAdded(count), {{"count", std::to_string(count)}});
}
inline constexpr PluralText kRowsRemoved{"{count} row removed from the list",
                                         "{count} rows removed from the list"};
inline std::string rowsRemovedSaying(int count) {
    return fill(kRowsRemoved(static_cast<std::uint64_t>(count < 0 ? 0 : count)),
                {{"count", std::to_string(count)}});
}

// The log's record in place of a job's output past its share of the log.
inline constexpr Text kLogOutputOmitted{"ffmpeg's output passed 16 MiB; the rest is left out"};

// mirvane-cli's help, and what it says of a command line it cannot use.
inline constexpr Text kConsoleUsage{
    "Usage: mirvane-cli [--preset NUMBER|TITLE] [--jobs N] [--settings FILE] [--json] FILES-OR-FOLDERS...\n"
    "       mirvane-cli --list-presets [--settings FILE]\n"
    "       mirvane-cli --help | --version\n"
    "\n"
    "Converts the files one after another (N at once with --jobs) with ffmpeg and writes\n"
    "each output beside its input, never over an existing file. A folder stands for\n"
    "the video and audio files in it.\n"
    "\n"
    "  --preset NUMBER|TITLE  the preset to use (a number or title from --list-presets; the first by default)\n"
    "  --jobs N               how many files to convert at once (1 to 64; the settings' Jobs by default)\n"
    "  --settings FILE        the settings file to read instead of MovieSet.ini\n"
    "  --json                 one JSON object per line for each event (started, progress, finished, summary)\n"
    "  --list-presets         lists the presets' numbers and titles\n"
    "\n"
    "Exit status: 0 all converted, 1 some failed, 2 bad usage or settings, 130 stopped by Ctrl+C or a signal\n"};
inline constexpr Text kConsoleSeeHelp{"See mirvane-cli --help."};
inline constexpr Text kConsoleUnknownOption{"Unknown option: {option}"};
inline constexpr Text kConsoleMissingValue{"{option} needs a value"};
inline constexpr Text kConsoleBadJobs{"--jobs takes a whole number from 1 to 64: {value}"};
inline constexpr Text kConsoleNoFiles{"Name the files or folders to convert"};
inline constexpr Text kConsoleNoSuchPreset{"There is no preset {preset} (mirvane-cli --list-presets lists them)"};
inline constexpr Text kConsoleNothingFound{"There are no files to convert"};

// Every text above, for the tests that hold the catalogues to them.
std::span<const Text* const> allTexts();
std::span<const PluralText* const> allPluralTexts();

}  // namespace mirvane::texts
