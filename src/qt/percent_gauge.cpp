#include "qt/percent_gauge.h"

#include <QImage>
#include <QPainter>

namespace mirvane {

PercentGauge::PercentGauge(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the composed image, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
}

void PercentGauge::setMaxValue(int value) {
    if (m_scale.setMaxValue(value)) repaint();
}

void PercentGauge::setProgress(int value) {
    if (m_scale.setProgress(value)) repaint();
}

void PercentGauge::paintEvent(QPaintEvent*) {
    ++m_paintCount;
    // Composed off screen and copied in one step, so the bar never flickers.
    compose();
    QPainter(this).drawImage(0, 0, m_picture);
}

// At the screen's own pixels: a picture made at 1× and enlarged would show
// a scaled screen's text blocky while every other control draws it sharp.
void PercentGauge::compose() {
    const qreal ratio = devicePixelRatio();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    if (m_picture.size() != pixels || m_picture.devicePixelRatio() != ratio) {
        m_picture = QImage(pixels, QImage::Format_RGB32);
        m_picture.setDevicePixelRatio(ratio);
    }
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
