#pragma once
// The form as a form file would hold it: each control's place and size in
// pixels at 96 dpi (the panel's children relative to the panel), the control
// ids, and the sizes the resize rules go by. Every pixel is scaled to the
// window's own dpi where it is used.

namespace mirvane::win32 {

struct Place {
    int left, top, width, height;
};

namespace form {

// The frame the layout was made for, with which the smallest window, 426 ×
// 460, has a client area of 418 × 433: the rules on the window's size count
// it instead of the real frame, which differs between systems, themes and dpi.
inline constexpr int kFrameWidth = 8;
inline constexpr int kFrameHeight = 27;
inline constexpr int kMinimumOuterWidth = 426;
inline constexpr int kMinimumOuterHeight = 460;
// The hint's place after a resize: left 5, the outer width less 15 wide.
inline constexpr int kHintLeft = 5;
inline constexpr int kHintWidthLessThanOuter = 15;

// Aligned to the client area: the full width, these heights.
inline constexpr int kPanelHeight = 85;
inline constexpr int kGaugeHeight = 15;

inline constexpr Place kTxtDrag{8, 248, 405, 16};
// Children of Panel1.
inline constexpr Place kBtnStart{4, 4, 85, 45};
inline constexpr Place kBtnAllClr{92, 4, 81, 45};
inline constexpr Place kLabel1{196, 4, 52, 12};
inline constexpr Place kLbTo{248, 4, 169, 77};
inline constexpr Place kChkDShow{8, 60, 213, 13};

inline constexpr int kFontHeight = 12;
inline constexpr int kPresetItemHeight = 12;
inline constexpr int kFileNameColumnWidth = 320;
inline constexpr int kStatusColumnWidth = 80;

// Control ids; none is IDOK or IDCANCEL, which the dialog keys (Enter,
// Escape) would send.
enum Id : int {
    kIdPanel1 = 100,
    kIdGauge1,
    kIdLvData,
    kIdTxtDrag,
    kIdBtnStart,
    kIdBtnAllClr,
    kIdLabel1,
    kIdLbTo,
    kIdChkDShow,
};

}  // namespace form
}  // namespace mirvane::win32
