#pragma once

#include <QColor>
#include <QFont>
#include <QPainterPath>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace picturegen {

// The look of every picture: soft teal and blue on white, dark text, amber for warnings,
// red for errors.
namespace colors {
inline const QColor teal{0x2A, 0x9D, 0x8F};
inline const QColor tealDark{0x1D, 0x73, 0x69};
inline const QColor tealLight{0xE4, 0xF4, 0xF1};
inline const QColor tealBorder{0xB6, 0xDD, 0xD7};
inline const QColor blue{0x3A, 0x7C, 0xA5};
inline const QColor blueLight{0xE8, 0xF1, 0xF8};
inline const QColor ink{0x1F, 0x2D, 0x3A};
inline const QColor inkSoft{0x4D, 0x5C, 0x69};
inline const QColor grey{0x8A, 0x97, 0xA3};
inline const QColor greyLight{0xDD, 0xE3, 0xE7};
inline const QColor offFill{0xCF, 0xD7, 0xDC};
inline const QColor offInk{0x8C, 0x98, 0xA2};
inline const QColor amber{0xE0, 0x95, 0x1F};
inline const QColor amberLight{0xFF, 0xF5, 0xE2};
inline const QColor red{0xD1, 0x43, 0x43};
inline const QColor redLight{0xFD, 0xEC, 0xEC};
inline const QColor green{0x2E, 0x9E, 0x6A};
inline const QColor greenLight{0xE6, 0xF6, 0xEE};
inline const QColor white{0xFF, 0xFF, 0xFF};
}  // namespace colors

// Fonts and text fitting. Every text is drawn in the one loaded font; a text that does not
// fit its box even at the smallest allowed size is recorded as an error, so a wording
// that is too long stops the build instead of being cut off on screen.
class Typesetter {
public:
    Typesetter(QString family, QString fontFile, QStringList *errors)
        : family_(std::move(family)), fontFile_(std::move(fontFile)), errors_(errors) {}

    QFont font(int px, bool bold) const;
    // Largest size from maxPx down to minPx at which text fits box (wrapped when wrap).
    int fit(const QString &what, const QString &text, const QSizeF &box, int maxPx, int minPx, bool bold,
            bool wrap) const;
    void draw(QPainter &p, const QRectF &box, const QString &text, int px, bool bold, const QColor &color,
              int align, bool wrap = false) const;
    // Fits and draws in one step.
    void drawFitted(QPainter &p, const QString &what, const QRectF &box, const QString &text, int maxPx,
                    int minPx, bool bold, const QColor &color, int align, bool wrap = false) const;
    // Records every character of text that the font has no glyph for.
    void checkGlyphs(const QString &what, const QString &text) const;
    void error(const QString &message) const { errors_->append(message); }

private:
    QString family_;
    QString fontFile_;
    QStringList *errors_;
};

QPainterPath roundedRect(const QRectF &r, qreal radius);
// A soft shadow under a shape, drawn as widening translucent outlines.
void drawShadow(QPainter &p, const QPainterPath &shape, qreal dy, int spread, int alpha);
QColor mix(const QColor &a, const QColor &b, qreal t);

// Line icons in one colour, fitted into box. Names: home, next, back, print, save, search,
// folder, plus, minus, pulldown, minimize, quit, measure, results, data, settings, hospital,
// comment, total, maintenance, import, export, patients, list, senddata, rom, check, cross,
// exclaim, info, hourglass, plug.
bool drawIcon(QPainter &p, const QString &name, const QRectF &box, const QColor &color);

}  // namespace picturegen
