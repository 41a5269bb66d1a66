// The chosen language and the texts' lookup in its catalogue.

#include "engine/texts/texts.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>

#include "engine/texts/catalogue.h"

namespace mirvane::texts {

namespace {

// The built-in catalogues, each read once, at the first text asked for.
// One that does not read is left out (a test reads each and says why).
const std::map<std::string, Catalogue, std::less<>>& catalogues() {
    static const std::map<std::string, Catalogue, std::less<>> read = [] {
        std::map<std::string, Catalogue, std::less<>> all;
        for (const BuiltInCatalogue& builtIn : builtInCatalogues()) {
            std::string error;
            if (std::optional<Catalogue> catalogue = Catalogue::parse(builtIn.text, error))
                all.emplace(builtIn.name, std::move(*catalogue));
        }
        return all;
    }();
    return read;
}

struct Chosen {
    std::string name;
    const Catalogue* catalogue;  // null for the source texts
};

Chosen choose(std::string_view tag) {
    // "ja_JP.UTF-8@variant" names language ja, country JP.
    tag = tag.substr(0, tag.find_first_of(".@"));
    std::string name(tag);
    for (char& c : name)
        if (c == '-') c = '_';
    const auto& all = catalogues();
    for (const std::string& candidate : {name, name.substr(0, name.find('_'))}) {
        if (const auto found = all.find(candidate); found != all.end() && !candidate.empty())
            return {candidate, &found->second};
    }
    return {"en", nullptr};
}

const Chosen& japanese() {
    static const Chosen chosen = choose("ja");
    return chosen;
}

// Written once at start, before any thread but the first; read by any.
std::atomic<const Chosen*> g_chosen{nullptr};

const Chosen& chosen() {
    const Chosen* current = g_chosen.load(std::memory_order_acquire);
    return current ? *current : japanese();
}

}  // namespace

void useLanguage(std::string_view tag) {
    // Kept for the program's life: a text already handed out points into it.
    static std::map<std::string, Chosen, std::less<>> kept;
    Chosen wanted = choose(tag);
    const auto [place, added] = kept.try_emplace(wanted.name, std::move(wanted));
    g_chosen.store(&place->second, std::memory_order_release);
}

std::string_view language() { return chosen().name; }

const char* translate(const char* context, const char* source) {
    const Catalogue* catalogue = chosen().catalogue;
    const std::string* found = catalogue ? catalogue->find(context, source) : nullptr;
    return found ? found->c_str() : source;
}

const char* translatePlural(const char* context, const char* singular, const char* plural, std::uint64_t n) {
    const Catalogue* catalogue = chosen().catalogue;
    const std::string* found = catalogue ? catalogue->findPlural(context, singular, n) : nullptr;
    if (found) return found->c_str();
    return n == 1 ? singular : plural;
}

std::string fill(std::string_view pattern,
                 std::initializer_list<std::pair<std::string_view, std::string_view>> values) {
    std::string text;
    std::size_t done = 0;
    for (std::size_t open = pattern.find('{'); open != std::string_view::npos;
         open = pattern.find('{', done)) {
        const std::size_t close = pattern.find('}', open);
        if (close == std::string_view::npos) break;
        const std::string_view name = pattern.substr(open + 1, close - open - 1);
        const auto value =
            std::find_if(values.begin(), values.end(), [&](const auto& v) { return v.first == name; });
        text.append(pattern.substr(done, open - done));
        if (value != values.end()) {
            text.append(value->second);
        } else {
            text.append(pattern.substr(open, close + 1 - open));
        }
        done = close + 1;
    }
    return text.append(pattern.substr(done));
}

std::span<const Text* const> allTexts() {
    static const Text* const all[] = {&kStatusPending,
                                      &kStatusConverting,
                                      &kStatusConverted,
                                      &kStatusError,
                                      &kCaptionStart,
                                      &kCaptionStop,
                                      &kCaptionClearAll,
                                      &kCaptionPresets,
                                      &kCaptionDirectShow,
                                      &kDropHint,
                                      &kColumnFileName,
                                      &kColumnStatus,
                                      &kJobListName,
                                      &kGaugeName,
                                      &kFileDialogTitle,
                                      &kSettingsMissing,
                                      &kEncoderMissing,
                                      &kSettingsUnreadable,
                                      &kForcedQuitQuestion,
                                      &kListRestored,
                                      &kReasonNoOutputName,
                                      &kReasonScriptNotWritten,
                                      &kReasonScriptPathNotWritable,
                                      &kReasonAviSynthMissing,
                                      &kReasonEncoderNotStarted,
                                      &kReasonWorkerNotStarted,
                                      &kReasonNoOutput,
                                      &kReasonOutputNotCreated,
                                      &kReasonOutputEmpty,
                                      &kReasonOutputNotRenamed,
                                      &kReasonInputNotAFile,
                                      &kReasonPercentInName,
                                      &kReasonOutputNameTaken,
                                      &kReasonKeptUnderWorkingName,
                                      &kReasonKeptAtWorkingName,
                                      &kReasonKeptInWorkingFolder,
                                      &kReasonEncoderCrashed,
                                      &kReasonEncoderExitCode,
                                      &kBatchEndTitle,
                                      &kListSeparator,
                                      &kShowWindow,
                                      &kSleepInhibitReason,
                                      &kSayStarted,
                                      &kSayStopping,
                                      &kSayNothingToConvert,
                                      &kSayCleared,
                                      &kSayBusyNoRemove,
                                      &kSayBusyNoAdd,
                                      &kSayNotFailed,
                                      &kSayNothingSelected,
                                      &kSayingsJoint,
                                      &kRowEnd,
                                      &kRowEndWithReason,
                                      &kErrorWithReason,
                                      &kBatchStoppedSaying,
                                      &kBatchFinishedSaying,
                                      &kLogOutputOmitted,
                                      &kConsoleUsage,
                                      &kConsoleSeeHelp,
                                      &kConsoleUnknownOption,
                                      &kConsoleMissingValue,
                                      &kConsoleBadJobs,
                                      &kConsoleNoFiles,
                                      &kConsoleNoSuchPreset,
                                      &kConsoleNothingFound};
    return all;
}

std::span<const PluralText* const> allPluralTexts() {
    static const PluralText* const all[] = {&kFolderFilesCut,    &kFolderFoldersCut, &kFilesWritten,
                                            &kBatchEndConverted, &kBatchEndFailed,   &kFilesAdded,
                                            &kRowsRemoved};
    return all;
}

}  // namespace mirvane::texts
