#include "win32/percent_gauge.h"

#include <algorithm>
#include <cwchar>
#include <stdexcept>
#include <system_error>

#include "engine/platform/win32/wide_text.h"
#include "win32/gauge_accessible.h"

namespace mirvane::win32 {

namespace {

constexpr wchar_t kClassName[] = L"Mirvane.PercentGauge";
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBarBlue = RGB(0, 0, 255);

void fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
    const RECT area{left, top, right, bottom};
    // ExtTextOut with ETO_OPAQUE fills with the background colour without a brush.
    SetBkColor(dc, colour);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &area, nullptr, 0, nullptr);
}

void registerClass() {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassExW(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw std::system_error(platform::win32::lastError(), "RegisterClassExW");
}

}  // namespace

PercentGauge::~PercentGauge() {
    if (m_window) SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
    m_picture.release();
    m_text.release();
    if (m_font) DeleteObject(m_font);
    if (m_accessible) {
        m_accessible->disconnect();
        m_accessible->Release();
    }
}

HWND PercentGauge::create(HWND parent, int id) {
    registerClass();
    m_window = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr),
                               nullptr);
    if (!m_window) throw std::system_error(platform::win32::lastError(), "CreateWindowExW");
    SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PercentGauge::windowProc));
    return m_window;
}

LRESULT CALLBACK PercentGauge::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PercentGauge*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_ERASEBKGND:
            return 1;  // every pixel comes from the composed picture
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            self->paint(dc);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_PRINTCLIENT:
            self->paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_SETFONT:
            self->setFont(reinterpret_cast<HFONT>(wParam));
            if (LOWORD(lParam)) InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_SIZE:
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        // Compared as a DWORD: 64-bit systems may pass the object id zero-extended.
        case WM_GETOBJECT:
            if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT))
                if (GaugeAccessible* object = self->accessible())
                    return LresultFromObject(__uuidof(IAccessible), wParam, object);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void PercentGauge::setMaxValue(int value) {
    const int before = percent();
    shown(m_scale.setMaxValue(value), before);
}

void PercentGauge::setProgress(int value) {
    const int before = percent();
    shown(m_scale.setProgress(value), before);
}

void PercentGauge::shown(bool pictureChanged, int before) {
    if (pictureChanged) repaintNow();
    if (m_window && percent() != before)
        NotifyWinEvent(EVENT_OBJECT_VALUECHANGE, m_window, OBJID_CLIENT, CHILDID_SELF);
}

GaugeAccessible* PercentGauge::accessible() {
    if (!m_accessible) m_accessible = GaugeAccessible::create(m_window, [this] { return percent(); });
    return m_accessible;
}

void PercentGauge::setDpi(UINT dpi) {
    m_dpi = dpi;
    if (m_window) InvalidateRect(m_window, nullptr, FALSE);
}

// At once, as the value changes, and only the gauge's own pixels.
void PercentGauge::repaintNow() {
    if (!m_window || !IsWindowVisible(m_window)) return;
    // Drawn straight into the window: the picture covers every pixel, so the
    // round of invalidating and painting would only add the system's work.
    HDC dc = GetDC(m_window);
    paint(dc);
    ReleaseDC(m_window, dc);
}

// The gauge's text without smoothed edges: XOR-ing a smoothed edge would mix
// colours that are neither black nor yellow into the picture.
void PercentGauge::setFont(HFONT font) {
    LOGFONTW description{};
    if (!font || !GetObjectW(font, sizeof description, &description)) return;
    description.lfQuality = NONANTIALIASED_QUALITY;
    HFONT own = CreateFontIndirectW(&description);
    if (!own) return;
    if (m_font) DeleteObject(m_font);
    m_font = own;
}

// A 32-bit bitmap whatever the target is: a memory context handed over by
// WM_PRINTCLIENT may hold a one-bit bitmap, which has no blue.
void PercentGauge::Canvas::fit(int newWidth, int newHeight) {
    if (dc && width == newWidth && height == newHeight) return;
    release();
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = newWidth;
    format.bmiHeader.biHeight = -newHeight;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc = CreateCompatibleDC(nullptr);
    bitmap = CreateDIBSection(dc, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
    width = newWidth;
    height = newHeight;
}

void PercentGauge::Canvas::release() {
    if (!dc) return;
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    dc = nullptr;
}

void PercentGauge::paint(HDC target) {
    ++m_paintCount;
    RECT client;
    GetClientRect(m_window, &client);
    const int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return;
    m_picture.fit(width, height);
    HDC picture = m_picture.dc;

    // The frame is one pixel at 96 dpi and grows with the dpi in whole pixels.
    const int frame = std::max(1, static_cast<int>(m_dpi) / 96);
    fill(picture, 0, 0, width, height, kBlack);
    const RECT inner{frame, frame, width - frame, height - frame};
    const int innerWidth = inner.right - inner.left, innerHeight = inner.bottom - inner.top;
    if (innerWidth > 0 && innerHeight > 0) {
        const int percentage = percent();
        fill(picture, inner.left, inner.top, inner.right, inner.bottom, kWhite);
        const int bar = innerWidth * percentage / 100;
        if (bar > 0) fill(picture, inner.left, inner.top, inner.left + bar, inner.bottom, kBarBlue);

        // White glyphs on black, XOR-ed onto the picture: black over white,
        // yellow over blue, and a glyph cut by the bar's end shows both.
        m_text.fit(innerWidth, innerHeight);
        HDC text = m_text.dc;
        fill(text, 0, 0, innerWidth, innerHeight, kBlack);
        HGDIOBJ previousFont = m_font ? SelectObject(text, m_font) : nullptr;
        SetTextColor(text, kWhite);
        SetBkMode(text, TRANSPARENT);
        wchar_t label[8];
        const int length = std::swprintf(label, 8, L"%d%%", percentage);
        RECT area{0, 0, innerWidth, innerHeight};
        DrawTextW(text, label, length, &area, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        if (previousFont) SelectObject(text, previousFont);
        BitBlt(picture, inner.left, inner.top, innerWidth, innerHeight, text, 0, 0, SRCINVERT);
    }
    BitBlt(target, 0, 0, width, height, picture, 0, 0, SRCCOPY);
}

}  // namespace mirvane::win32
