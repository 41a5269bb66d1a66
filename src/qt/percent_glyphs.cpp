#include "qt/percent_glyphs.h"

#include <QPainter>
#include <QTextLayout>

namespace mirvane {

namespace {

const QString kCharacters = QStringLiteral("0123456789%");

}  // namespace

std::optional<PercentGlyphs::Glyphs> PercentGlyphs::layOut(const QFont& font) {
    QTextLayout layout(kCharacters, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    // A font without one of the characters falls back to another for it;
    // then the glyphs do not come as one run, and the text is laid out as usual.
    if (runs.size() != 1 || runs.front().glyphIndexes().size() != kCharacters.size()) return std::nullopt;
    Glyphs glyphs;
    glyphs.run = runs.front();
    const QList<QPointF> positions = glyphs.run.positions();
    for (qsizetype i = 0; i < positions.size(); ++i) {
        const qreal next = i + 1 < positions.size() ? positions[i + 1].x() : line.naturalTextWidth();
        glyphs.advances << next - positions[i].x();
    }
    glyphs.height = line.height();
    glyphs.ascent = line.ascent();
    return glyphs;
}

void PercentGlyphs::draw(QPainter& painter, const QRect& rect, const QFont& font, int percent) {
    if (!m_laidOut || font != m_font) {
        m_font = font;
        m_glyphs = layOut(font);
        m_laidOut = true;
    }
    const QString text = QString::number(percent) + u'%';
    if (!m_glyphs) {
        painter.setFont(font);
        painter.drawText(rect, Qt::AlignCenter, text);
        return;
    }
    QList<quint32> indexes;
    QList<qreal> advances;
    qreal width = 0;
    for (QChar c : text) {
        const qsizetype at = kCharacters.indexOf(c);
        indexes << m_glyphs->run.glyphIndexes()[at];
        advances << m_glyphs->advances[at];
        width += advances.back();
    }
    // Where a centred drawText puts the line: the rest of the rect shared
    // equally on both sides, the baseline one ascent below the line's top.
    QPointF pen(rect.x() + (rect.width() - width) / 2,
                rect.y() + (rect.height() - m_glyphs->height) / 2 + m_glyphs->ascent);
    QList<QPointF> positions;
    for (qreal advance : advances) {
        positions << pen;
        pen.rx() += advance;
    }
    QGlyphRun run = m_glyphs->run;
    run.setGlyphIndexes(indexes);
    run.setPositions(positions);
    painter.drawGlyphRun(QPointF(0, 0), run);
}

}  // namespace mirvane
