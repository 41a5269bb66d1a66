#pragma once
// The texts of the program without a window: its help, its usage errors and
// its report's words. The statuses are the window's own.

#include <string>
#include <string_view>

namespace mirvane::texts {

inline constexpr const char* kConsoleUsage =
    "使い方: mirvane-cli [--preset 番号|名前] [--jobs N] [--settings ファイル] [--json] ファイルまたはフォルダー...\n"
    "       mirvane-cli --list-presets [--settings ファイル]\n"
    "       mirvane-cli --help | --version\n"
    "\n"
    "ファイルを1件ずつ(--jobs で同時にN件)ffmpegで変換し、出力を入力の隣に書きます。\n"
    "既存のファイルは上書きしません。フォルダーは中の動画・音声ファイルになります。\n"
    "\n"
    "  --preset 番号|名前  使うプリセット (--list-presets の番号かタイトル; 既定は1番)\n"
    "  --jobs N            同時に変換する数 (1〜64; 既定は設定ファイルの Jobs)\n"
    "  --settings ファイル  MovieSet.ini の代わりに読む設定ファイル\n"
    "  --json              1行に1つのJSONで経過を書く (started, progress, finished, summary)\n"
    "  --list-presets      プリセットの番号とタイトルを書いて終わる\n"
    "\n"
    "終了コード: 0 すべて変換済、1 エラーあり、2 使い方・設定の誤り、130 Ctrl+C などで停止\n";

// A usage error: what was wrong, then where to look.
inline std::string consoleUsageError(std::string_view what) {
    return "mirvane-cli: " + std::string(what) + "\n詳しくは mirvane-cli --help を見てください。\n";
}
inline std::string consoleUnknownOption(std::string_view option) {
    return "不明なオプションです: " + std::string(option);
}
inline std::string consoleMissingValue(std::string_view option) {
    return std::string(option) + " には値が必要です";
}
inline std::string consoleBadJobs(std::string_view value) {
    return "--jobs は1から64までの整数です: " + std::string(value);
}
inline constexpr const char* kConsoleNoFiles = "変換するファイルまたはフォルダーを指定してください";
inline std::string consoleNoSuchPreset(std::string_view preset) {
    return "そのプリセットはありません: " + std::string(preset) + " (mirvane-cli --list-presets で一覧)";
}
inline constexpr const char* kConsoleNothingFound = "変換するファイルがありません";
inline constexpr const char* kConsoleStopped = "変換を停止しました。";

}  // namespace mirvane::texts
