#pragma once
// The gauge's percentage as text ("0%" to "100%"), drawn from glyphs laid
// out once per font. (The percentage itself is engine/desktop/gauge_percent.h's;
// the gauge that shows it, percent_gauge.h.)
// Laying out a text anew costs more than the rest of the gauge's picture, and
// the gauge redraws at every whole percent; the glyphs are placed exactly as
// a centred QPainter::drawText would place them.

#include <QFont>
#include <QGlyphRun>
#include <QRect>
#include <optional>

class QPainter;

namespace mirvane {

class PercentGlyphs {
public:
    // Draws "<percent>%" centred in rect with the painter's current pen and
    // composition mode, in font.
    void draw(QPainter& painter, const QRect& rect, const QFont& font, int percent);

private:
    // The glyphs of "0123456789%" and where each starts, for m_font.
    struct Glyphs {
        QGlyphRun run;
        QList<qreal> advances;
        qreal height = 0;
        qreal ascent = 0;
    };
    static std::optional<Glyphs> layOut(const QFont& font);

    QFont m_font;
    std::optional<Glyphs> m_glyphs;
    bool m_laidOut = false;
};

}  // namespace mirvane
