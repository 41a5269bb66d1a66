#include "ui/percent_gauge.h"

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <climits>

#include "engine/gauge_percent.h"

namespace mirvane {

PercentGauge::PercentGauge(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the composed image, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

int PercentGauge::percent() const { return GaugePercent(m_progress, m_maxValue); }

void PercentGauge::setMaxValue(int value) {
    if (value == m_maxValue) return;
    if (value < kMinValue) {
        throw InvalidOperation(QStringLiteral("%1 から %2 の間の値でなければなりません")
                                   .arg(kMinValue + 1)
                                   .arg(INT_MAX)
                                   .toStdString());
    }
    m_maxValue = value;
    m_progress = std::min(m_progress, m_maxValue);
    repaint();
}

void PercentGauge::setProgress(int value) {
    int clamped = std::clamp(value, kMinValue, m_maxValue);
    if (clamped == m_progress) return;
    int before = percent();
    m_progress = clamped;
    if (percent() != before) repaint();
}

void PercentGauge::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    // Composed off screen and copied in one step, so the bar never flickers.
    compose();
    QPainter(this).drawImage(0, 0, m_picture);
}

void PercentGauge::compose() {
    if (m_picture.size() != size()) m_picture = QImage(size(), QImage::Format_RGB32);
    m_picture.fill(Qt::black);
    QRect inner = rect().adjusted(1, 1, -1, -1);
    if (inner.isEmpty()) return;

    QPainter painter(&m_picture);
    painter.fillRect(inner, Qt::white);
    int percentage = percent();
    int barWidth = inner.width() * percentage / 100;
    if (barWidth > 0) painter.fillRect(inner.x(), inner.y(), barWidth, inner.height(), QColor(0, 0, 255));

    // White XOR-ed onto the picture gives black over white and yellow over
    // blue; smoothed glyph edges would mix in other colours.
    QFont textFont = font();
    textFont.setStyleStrategy(QFont::NoAntialias);
    painter.setPen(Qt::white);
    painter.setClipRect(inner);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    m_text.draw(painter, inner, textFont, percentage);
}

}  // namespace mirvane
