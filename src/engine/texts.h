#pragma once
// The program's fixed texts, in one place for both windows.

namespace mirvane::texts {

inline constexpr const char* kStatusPending = "未変換";
inline constexpr const char* kStatusConverting = "変換中";
inline constexpr const char* kStatusConverted = "変換済";
inline constexpr const char* kStatusError = "エラー";

inline constexpr const char* kCaptionStart = "開始";
inline constexpr const char* kCaptionStop = "停止";

inline constexpr const char* kAppName = "Mirvane";
inline constexpr const char* kAppCaption = "Mirvane 1.00";

inline constexpr const char* kSettingsMissing = "動画設定INIファイル(MovieSet.ini)がありません。";
inline constexpr const char* kEncoderMissing = "ffmpeg.exeがありません。";
inline constexpr const char* kSettingsUnreadable = "動画設定INIファイルの読込みに失敗しました。";
inline constexpr const char* kForcedQuitQuestion = "変換中ですが強制終了しますか？";

// Why a job failed before or without the encoder's own words.
inline constexpr const char* kReasonNoOutputName = "出力ファイル名を決められません";
inline constexpr const char* kReasonScriptNotWritten = "AviSynthスクリプトを書き込めません";
inline constexpr const char* kReasonEncoderNotStarted = "ffmpegを起動できません";
inline constexpr const char* kReasonWorkerNotStarted = "変換スレッドを開始できません";
inline constexpr const char* kReasonNoOutput = "ffmpegは何も出力せずに終了しました";

}  // namespace mirvane::texts
