#pragma once
// The progress gauge as a window of its own: a framed white strip with a
// blue bar and the whole percentage written across it, the text inverted
// where the bar lies under it. The picture is composed in a bitmap and
// copied to the screen in one step. To assistive technology it is a
// progress bar (GaugeAccessible), told of each new percentage it shows.

#include <windows.h>

#include "engine/desktop/gauge_scale.h"
#include "engine/window/main_window_view.h"

namespace mirvane::win32 {

class GaugeAccessible;

class PercentGauge : public GaugeView {
public:
    PercentGauge() = default;
    ~PercentGauge() override;
    PercentGauge(const PercentGauge&) = delete;
    PercentGauge& operator=(const PercentGauge&) = delete;

    // Creates the gauge's window as a child of parent.
    HWND create(HWND parent, int id);
    HWND handle() const { return m_window; }

    int minValue() const { return m_scale.minValue(); }
    int maxValue() const { return m_scale.maxValue(); }
    int progress() const { return m_scale.progress(); }
    int percent() const { return m_scale.percent(); }

    // Throws InvalidOperation when value lies below minValue(); then nothing changes.
    void setMaxValue(int value) override;
    // Clamps value into [minValue(), maxValue()].
    void setProgress(int value) override;
    // The frame's width follows the dpi; the text's font comes by WM_SETFONT.
    void setDpi(UINT dpi);

    // How often the gauge has been painted; repaints are what the gauge saves on.
    int paintCount() const { return m_paintCount; }
    // Composes the picture and copies it to target at 0,0.
    void paint(HDC target);

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Repaints and tells assistive technology when the shown percentage
    // has changed from before.
    void shown(bool pictureChanged, int before);
    void repaintNow();
    // The object answering WM_GETOBJECT, made at the first question and
    // kept, so that a client sees the same object each time.
    GaugeAccessible* accessible();
    void setFont(HFONT font);
    // A bitmap with its own device context, both released together.
    struct Canvas {
        HDC dc = nullptr;
        HBITMAP bitmap = nullptr;
        HGDIOBJ previous = nullptr;
        int width = 0, height = 0;
        void fit(int width, int height);
        void release();
    };

    HWND m_window = nullptr;
    GaugeScale m_scale;
    UINT m_dpi = 96;
    HFONT m_font = nullptr;
    int m_paintCount = 0;
    Canvas m_picture;
    Canvas m_text;
    GaugeAccessible* m_accessible = nullptr;
};

}  // namespace mirvane::win32
