#include "Style.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QRawFont>
#include <QTextLayout>

namespace picturegen {

QFont Typesetter::font(int px, bool bold) const {
    QFont f(family_);
    f.setPixelSize(px);
    f.setBold(bold);
    f.setStyleStrategy(QFont::PreferAntialias);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

namespace {

// Wrapped text with generous leading, which Japanese text needs to stay readable. Returns
// the height used; draws only when a painter is given.
qreal paragraph(QPainter *p, const QFont &font, const QRectF &box, const QString &text, int align) {
    const qreal lineHeight = QFontMetricsF(font).height() * 1.35;
    QList<QTextLayout *> layouts;
    qreal y = 0;
    for (const QString &par : text.split(QLatin1Char('\n'))) {
        auto *layout = new QTextLayout(par, font);
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setAlignment(Qt::Alignment(align & Qt::AlignHorizontal_Mask));
        layout->setTextOption(option);
        layout->beginLayout();
        for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
            line.setLineWidth(box.width());
            line.setPosition(QPointF(0, y + (lineHeight - line.height()) / 2));
            y += lineHeight;
        }
        layout->endLayout();
        layouts << layout;
    }
    if (p) {
        const qreal top = (align & Qt::AlignVCenter) ? box.top() + (box.height() - y) / 2 : box.top();
        p->save();
        for (QTextLayout *layout : layouts) layout->draw(p, QPointF(box.left(), top));
        p->restore();
    }
    qDeleteAll(layouts);
    return y;
}

}  // namespace

int Typesetter::fit(const QString &what, const QString &text, const QSizeF &box, int maxPx, int minPx,
                    bool bold, bool wrap) const {
    for (int px = maxPx; px >= minPx; --px) {
        if (wrap) {
            if (paragraph(nullptr, font(px, bold), QRectF(QPointF(0, 0), box), text, 0) <=
                box.height() + 0.01)
                return px;
            continue;
        }
        const QRectF br = QFontMetricsF(font(px, bold)).boundingRect(QRectF(QPointF(0, 0), box), 0, text);
        if (br.width() <= box.width() + 0.01 && br.height() <= box.height() + 0.01) return px;
    }
    error(QStringLiteral("%1: \"%2\" does not fit %3x%4 even at %5 px")
              .arg(what, text)
              .arg(box.width())
              .arg(box.height())
              .arg(minPx));
    return minPx;
}

void Typesetter::draw(QPainter &p, const QRectF &box, const QString &text, int px, bool bold,
                      const QColor &color, int align, bool wrap) const {
    p.save();
    p.setFont(font(px, bold));
    p.setPen(color);
    if (wrap)
        paragraph(&p, font(px, bold), box, text, align);
    else
        p.drawText(box, align, text);
    p.restore();
}

void Typesetter::drawFitted(QPainter &p, const QString &what, const QRectF &box, const QString &text,
                            int maxPx, int minPx, bool bold, const QColor &color, int align,
                            bool wrap) const {
    draw(p, box, text, fit(what, text, box.size(), maxPx, minPx, bold, wrap), bold, color, align, wrap);
}

void Typesetter::checkGlyphs(const QString &what, const QString &text) const {
    const QRawFont raw(fontFile_, 16);
    if (!raw.isValid()) {
        error(QStringLiteral("cannot read font %1").arg(fontFile_));
        return;
    }
    for (char32_t c : text.toUcs4()) {
        if (c == U'\n' || c == U' ') continue;
        if (!raw.supportsCharacter(c))
            error(QStringLiteral("%1: the font has no glyph for U+%2")
                      .arg(what)
                      .arg(uint(c), 4, 16, QLatin1Char('0')));
    }
}

QPainterPath roundedRect(const QRectF &r, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

void drawShadow(QPainter &p, const QPainterPath &shape, qreal dy, int spread, int alpha) {
    p.save();
    p.setBrush(Qt::NoBrush);
    const QPainterPath moved = shape.translated(0, dy);
    for (int i = spread; i >= 1; --i) {
        QColor c = colors::ink;
        c.setAlpha(alpha * (spread - i + 1) / (spread * spread));
        p.setPen(QPen(c, 2.0 * i, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(moved);
    }
    QColor fill = colors::ink;
    fill.setAlpha(alpha / 2);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawPath(moved);
    p.restore();
}

QColor mix(const QColor &a, const QColor &b, qreal t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t,
                            a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

}  // namespace picturegen
