#pragma once
// The program's fixed texts, in one place for both windows.

#include <cstddef>
#include <string>
#include <string_view>

#include "engine/formats/path_style.h"

namespace mirvane::texts {

inline constexpr const char* kStatusPending = "未変換";
inline constexpr const char* kStatusConverting = "変換中";
inline constexpr const char* kStatusConverted = "変換済";
inline constexpr const char* kStatusError = "エラー";

inline constexpr const char* kCaptionStart = "開始";
inline constexpr const char* kCaptionStop = "停止";

// The other controls' texts.
inline constexpr const char* kCaptionClearAll = "すべてクリア";
inline constexpr const char* kCaptionPresets = "コンバート";
inline constexpr const char* kCaptionDirectShow = "DirectShowを使用(Avisynthが必要)";
inline constexpr const char* kDropHint = "ここに動画ファイルをドラッグ＆ドロップしてください";
inline constexpr const char* kColumnFileName = "ファイル名";
inline constexpr const char* kColumnStatus = "ステータス";
// Names assistive technology reads for controls that show no caption.
inline constexpr const char* kJobListName = "ファイル一覧";
inline constexpr const char* kGaugeName = "進捗";
inline constexpr const char* kFileDialogTitle = "ファイルを追加";

inline constexpr const char* kAppName = "Mirvane";
inline constexpr const char* kAppCaption = "Mirvane 1.00";

inline constexpr const char* kSettingsMissing = "動画設定INIファイル(MovieSet.ini)がありません。";
// Names the file the program looks for: "ffmpeg.exeがありません。" on Windows.
inline std::string encoderMissing(PathStyle style) {
    const std::string_view encoder = encoderInProgramFolder(style);
    return std::string(encoder.substr(encoder.rfind(pathSeparator(style)) + 1)) + "がありません。";
}
inline constexpr const char* kSettingsUnreadable = "動画設定INIファイルの読込みに失敗しました。";
inline constexpr const char* kForcedQuitQuestion = "変換中ですが強制終了しますか？";
inline constexpr const char* kListRestored = "前回終了時のファイル一覧を復元しました。";
// Said when the folders of one drop held more files than it adds: "最初の100,000件".
inline std::string folderFilesCut(std::size_t limit) {
    std::string count = std::to_string(limit);
    for (std::size_t digits = count.size(); digits > 3; digits -= 3) count.insert(digits - 3, ",");
    return "フォルダー内のファイルが多すぎるため、最初の" + count + "件だけを追加しました。";
}
// Said when the folders of one drop held more folders than it opens, or
// deeper ones: "最初の10,000個(100階層まで)".
inline std::string folderFoldersCut(std::size_t limit, std::size_t depth) {
    std::string count = std::to_string(limit);
    for (std::size_t digits = count.size(); digits > 3; digits -= 3) count.insert(digits - 3, ",");
    return "フォルダー内のフォルダーが多すぎるため、最初の" + count + "個(" + std::to_string(depth) +
           "階層まで)だけを調べました。";
}

// Why a job failed before or without the encoder's own words.
inline constexpr const char* kReasonNoOutputName = "出力ファイル名を決められません";
inline constexpr const char* kReasonScriptNotWritten = "AviSynthスクリプトを書き込めません";
inline constexpr const char* kReasonScriptPathNotWritable =
    "ファイルのパスをAviSynthが読める文字コードで表せず、短い名前(8.3形式)もありません";
inline constexpr const char* kReasonAviSynthMissing =
    "AviSynthが見つからないか読み込めません (DirectShowの使用に必要です)";
inline constexpr const char* kReasonEncoderNotStarted = "ffmpegを起動できません";
inline constexpr const char* kReasonWorkerNotStarted = "変換スレッドを開始できません";
inline constexpr const char* kReasonNoOutput = "ffmpegは何も出力せずに終了しました";
inline constexpr const char* kReasonOutputNotCreated = "出力ファイルを作成できません";
inline constexpr const char* kReasonOutputEmpty = "出力ファイルが空です";
inline constexpr const char* kReasonOutputNotRenamed = "出力ファイルを仕上げられません";
inline constexpr const char* kReasonInputNotAFile =
    "入力が通常のファイルではありません (フォルダー、FIFO、デバイスなど)";
inline constexpr const char* kReasonPercentInName =
    "名前に % を含むファイルは、連番や分割で書き出すプリセットでは変換できません";
inline constexpr const char* kReasonOutputNameTaken = "出力ファイル名がすでに使われています";
inline constexpr const char* kReasonKeptUnderWorkingName =
    "出力ファイル名がすべて使われているため、変換した出力を作業中の名前のまま残しました";
inline constexpr const char* kReasonKeptAtWorkingName = "変換した出力は作業中の名前のまま残っています";
inline constexpr const char* kReasonKeptInWorkingFolder =
    "出力ファイル名が使われているため、変換した出力を作業フォルダーに残しました";
inline constexpr const char* kReasonEncoderCrashed = "ffmpegが異常終了しました";
inline constexpr const char* kReasonEncoderExitCode = "ffmpegがエラーで終了しました: 終了コード ";

// The desktop's word at the end of a batch that ended while the user was elsewhere.
inline constexpr const char* kBatchEndTitle = "変換が終わりました";
inline std::string batchEndCounts(int converted, int failed) {
    return std::string(kStatusConverted) + " " + std::to_string(converted) + "件、" + kStatusError + " " +
           std::to_string(failed) + "件";
}
// The notification's button that brings the window forward.
inline constexpr const char* kShowWindow = "Mirvaneを表示";
// Why the computer is kept awake, where the desktop lists it.
inline constexpr const char* kSleepInhibitReason = "動画を変換しています";

// What a screen reader is told when something changes where the user is
// not looking, or when a key did something (or nothing) that no control shows.
inline constexpr const char* kSayStarted = "変換を開始しました";
inline constexpr const char* kSayStopping = "変換を停止しています";
inline constexpr const char* kSayNothingToConvert = "未変換のファイルがありません";
inline constexpr const char* kSayCleared = "一覧をすべてクリアしました";
inline constexpr const char* kSayBusyNoRemove = "変換中は削除できません";
inline constexpr const char* kSayBusyNoAdd = "変換中はファイルを追加できません";
inline constexpr const char* kSayNotFailed = "選択した行はエラーではありません";
inline constexpr const char* kSayNothingSelected = "ファイルが選択されていません";
// Between sayings heard together.
inline constexpr const char* kSayingsJoint = "。";
// A row's end, said once: "clip.avi 変換済", "clip.avi エラー: reason".
inline std::string rowEndSaying(std::string_view fileName, const char* status, std::string_view reason) {
    std::string text = std::string(fileName) + " " + status;
    if (!reason.empty()) text += ": " + std::string(reason);
    return text;
}
// A failed row's reason, as its status cell reads to assistive technology.
inline std::string errorWithReason(std::string_view reason) {
    return std::string(kStatusError) + ": " + std::string(reason);
}
inline std::string batchEndSaying(bool stopped, int converted, int failed) {
    return std::string(stopped ? "変換を停止しました。" : "変換が終わりました。") +
           batchEndCounts(converted, failed);
}
inline std::string filesAddedSaying(std::size_t count) {
    return std::to_string(count) + "件のファイルを追加しました";
}
inline std::string rowsRemovedSaying(int count) { return std::to_string(count) + "件を一覧から削除しました"; }

// The log's record in place of a job's output past its share of the log.
inline constexpr const char* kLogOutputOmitted = "ffmpegの出力が16MiBを超えたため、以降は省略しました";

}  // namespace mirvane::texts
