#pragma once
// The progress gauge: a framed white strip with a blue bar and the whole
// percentage written across it, the text inverted where the bar lies under it.
// Assistive technology sees it as a progress bar named "進捗" whose value is
// that percentage, told of each change of it.

#include <QImage>
#include <QWidget>

#include "engine/desktop/gauge_scale.h"
#include "engine/window/main_window_view.h"
#include "qt/percent_glyphs.h"

namespace mirvane {

class PercentGauge : public QWidget, public GaugeView {
    Q_OBJECT
    Q_PROPERTY(int MinValue READ minValue)
    Q_PROPERTY(int MaxValue READ maxValue WRITE setMaxValue)
    Q_PROPERTY(int Progress READ progress WRITE setProgress)

public:
    explicit PercentGauge(QWidget* parent = nullptr);

    int minValue() const { return m_scale.minValue(); }
    int maxValue() const { return m_scale.maxValue(); }
    int progress() const { return m_scale.progress(); }
    // The whole percentage shown, truncated toward zero.
    int percent() const { return m_scale.percent(); }

    // Throws InvalidOperation when value lies below minValue(); then nothing changes.
    void setMaxValue(int value) override;
    // Clamps value into [minValue(), maxValue()].
    void setProgress(int value) override;

    // How often the gauge has been painted; repaints are what the gauge saves on.
    int paintCount() const { return m_paintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Draws the gauge at once and tells assistive technology when the shown
    // percentage is not shownBefore.
    void showChange(int shownBefore);
    // Draws the gauge's picture into m_picture.
    void compose();

    GaugeScale m_scale;
    int m_paintCount = 0;
    QImage m_picture;
    PercentGlyphs m_text;
};

}  // namespace mirvane
