#pragma once
// The form's two fonts at a given dpi: "ＭＳ Ｐゴシック" for the window and its
// controls, "ＭＳ ゴシック" for the preset list, each 12 pixels high at 96 dpi.
// Where a family is missing (Windows without its Japanese fonts, Wine), the
// IPA fonts of the same shape stand in before the system's own choice.

#include <windows.h>

namespace mirvane::win32 {

class WindowFonts {
public:
    explicit WindowFonts(UINT dpi);
    ~WindowFonts();
    WindowFonts(const WindowFonts&) = delete;
    WindowFonts& operator=(const WindowFonts&) = delete;

    HFONT form() const { return m_form; }
    HFONT presets() const { return m_presets; }

private:
    HFONT m_form;
    HFONT m_presets;
};

}  // namespace mirvane::win32
