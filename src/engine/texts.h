#pragma once
// The program's fixed texts. Statuses and captions are compared as whole
// texts, so every place uses these constants.

namespace mirvane::texts {

inline constexpr const char* kStatusPending = "未変換";
inline constexpr const char* kStatusConverting = "変換中";
inline constexpr const char* kStatusConverted = "変換済";
inline constexpr const char* kStatusError = "エラー";

inline constexpr const char* kCaptionStart = "開始";
inline constexpr const char* kCaptionStop = "停止";

inline constexpr const char* kAppName = "Mirvane";
inline constexpr const char* kAppCaption = "Mirvane 1.00";

}  // namespace mirvane::texts
