#pragma once
// The form, the same for every window, which makes its controls from it: each
// control's place and size in pixels at 96 dpi (the panel's children
// relative to the panel), the sizes the resize rules go by, and the rules
// themselves. A window scales every pixel to its own dpi where it uses it.

#include <vector>

namespace mirvane::form {

struct Place {
    int left, top, width, height;
};

struct Size {
    int width, height;
    bool operator==(const Size&) const = default;
};

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

inline constexpr Place kDropHint{8, 248, 405, 16};
// The children of the panel.
inline constexpr Place kStartButton{4, 4, 85, 45};
inline constexpr Place kClearButton{92, 4, 81, 45};
inline constexpr Place kPresetLabel{196, 4, 52, 12};
inline constexpr Place kPresetList{248, 4, 169, 77};
inline constexpr Place kDirectShowBox{8, 60, 213, 13};

inline constexpr int kFontHeight = 12;
inline constexpr int kPresetItemHeight = 12;
inline constexpr int kFileNameColumnWidth = 320;
inline constexpr int kStatusColumnWidth = 80;

// Pixels at 96 dpi in pixels at dpi, rounded to the nearest as the system
// rounds them (MulDiv).
constexpr int scaled(int pixels, int dpi) {
    const long long product = static_cast<long long>(pixels) * dpi;
    return static_cast<int>(product >= 0 ? (product + 48) / 96 : -((-product + 48) / 96));
}

// The smallest client area the window may have at dpi.
constexpr Size minimumClientSize(int dpi) {
    return {scaled(kMinimumOuterWidth, dpi) - scaled(kFrameWidth, dpi),
            scaled(kMinimumOuterHeight, dpi) - scaled(kFrameHeight, dpi)};
}

// The client area a resize to `client` must end in: the same when it is
// allowed, otherwise grown to the minimum in the dimension that fell short.
constexpr Size allowedClientSize(Size client, int dpi) {
    const Size minimum = minimumClientSize(dpi);
    return {client.width < minimum.width ? minimum.width : client.width,
            client.height < minimum.height ? minimum.height : client.height};
}

// Where the hint goes after a resize of the client area to clientWidth: its
// left edge and width (its top and height stay).
struct Span {
    int left, width;
};
constexpr Span hintSpan(int clientWidth, int dpi) {
    return {scaled(kHintLeft, dpi),
            clientWidth + scaled(kFrameWidth, dpi) - scaled(kHintWidthLessThanOuter, dpi)};
}

// Where a row of a list from which the rows `removed` (ascending) were taken
// out is now: rows keep their places relative to one another, and a removed
// row hands its place to the next row kept (or the last, at the end). -1 for
// no row, or when none is left.
int rowAfterRemoval(int row, const std::vector<int>& removed, int rowsLeft);

}  // namespace mirvane::form
