#include "win32/window_fonts.h"

#include <cwchar>
#include <initializer_list>

#include "engine/window/form_layout.h"

namespace mirvane::win32 {

namespace {

int CALLBACK familyFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool installed(const wchar_t* family) {
    LOGFONTW wanted{};
    wanted.lfCharSet = SHIFTJIS_CHARSET;
    wcsncpy(wanted.lfFaceName, family, LF_FACESIZE - 1);
    bool found = false;
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &wanted, &familyFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

// The first family installed; the first of all when none is, so that the
// system's font mapper picks the nearest it has.
HFONT create(std::initializer_list<const wchar_t*> families, UINT dpi) {
    const wchar_t* chosen = *families.begin();
    for (const wchar_t* family : families) {
        if (installed(family)) {
            chosen = family;
            break;
        }
    }
    LOGFONTW font{};
    font.lfHeight = -MulDiv(form::kFontHeight, static_cast<int>(dpi), 96);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = SHIFTJIS_CHARSET;
    font.lfQuality = DEFAULT_QUALITY;
    wcsncpy(font.lfFaceName, chosen, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

}  // namespace

WindowFonts::WindowFonts(UINT dpi)
    : m_form(create({L"ＭＳ Ｐゴシック", L"MS PGothic", L"IPAPGothic"}, dpi)),
      m_presets(create({L"ＭＳ ゴシック", L"MS Gothic", L"IPAGothic"}, dpi)) {}

WindowFonts::~WindowFonts() {
    DeleteObject(m_form);
    DeleteObject(m_presets);
}

}  // namespace mirvane::win32
