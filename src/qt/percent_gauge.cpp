#include "qt/percent_gauge.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QImage>
#include <QPainter>

#include "engine/texts/texts.h"

namespace mirvane {

namespace {

// The gauge as assistive technology reads it: a progress bar whose value,
// on a scale of 0 to 100, is the whole percentage drawn on it.
class AccessibleGauge : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleGauge(PercentGauge* gauge) : QAccessibleWidget(gauge, QAccessible::ProgressBar) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) return QString::fromUtf8(texts::kGaugeName);
        if (t == QAccessible::Value) return QString::number(gauge()->percent()) + u'%';
        return QAccessibleWidget::text(t);
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return gauge()->percent(); }
    // Only the batch moves the gauge.
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const PercentGauge* gauge() const { return static_cast<const PercentGauge*>(object()); }
};

QAccessibleInterface* accessibleGauge(const QString&, QObject* object) {
    auto* gauge = qobject_cast<PercentGauge*>(object);
    return gauge ? new AccessibleGauge(gauge) : nullptr;
}

}  // namespace

PercentGauge::PercentGauge(QWidget* parent) : QWidget(parent) {
    // Every pixel comes from the composed image, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    // Before any interface of a gauge is asked for: Qt keeps the first one it makes.
    [[maybe_unused]] static const bool described = [] {
        QAccessible::installFactory(&accessibleGauge);
        return true;
    }();
}

void PercentGauge::setMaxValue(int value) {
    const int shownBefore = percent();
    if (m_scale.setMaxValue(value)) showChange(shownBefore);
}

void PercentGauge::setProgress(int value) {
    const int shownBefore = percent();
    if (m_scale.setProgress(value)) showChange(shownBefore);
}

void PercentGauge::showChange(int shownBefore) {
    repaint();
    if (percent() == shownBefore) return;
    QAccessibleValueChangeEvent event(this, percent());
    QAccessible::updateAccessibility(&event);
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
