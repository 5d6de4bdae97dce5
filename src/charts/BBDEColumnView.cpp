#include "charts/BBDEColumnView.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>
#include <optional>

#include "charts/ChartGeometry.h"
#include "platform/Numbers.h"
#include "platform/Pictures.h"

using charts::ChartCanvas;

namespace {

void defaultWhenEmpty(QString &label, const char16_t *fallback) {
    if (label.isEmpty()) label = QString::fromUtf16(fallback);
}

// The title's x by name; a name outside the seven draws no title.
std::optional<double> titleX(const QString &title) {
    using namespace charts;
    if (title == itemName(ALB) || title == itemName(NH3)) return 24;
    if (title == itemName(MS)) return 38;
    if (title == itemName(PH) || title == itemName(BFC) || title == itemName(LEU)) return 42;
    if (title == itemName(BLD)) return 52;
    return std::nullopt;
}

// Segments "b1".."b6" of a bar: lower edge and complete height (the top one is never complete).
constexpr double kSegmentBottom[6] = {46, 55, 64, 73, 82, 91};
constexpr double kSegmentHeight[6] = {9, 8, 9, 8, 9, 0};

}  // namespace

void BBDEColumnView::paint(QPainter &painter, const QRectF &bounds) {
    painter.save();
    painter.setClipRect(bounds, Qt::IntersectClip);
    const ChartCanvas canvas(painter, bounds);
    if (!(wid_ > 0)) {  // unset, or not a number
        wid_ = 140;
        hei_ = 160;
    }
    const float x0 = 2 * wid_ / 7;
    const float y0 = hei_ * 45 / 160;
    const QPen axisPen = charts::chartPen(Qt::black, 0.2);
    canvas.strokeLine({x0, y0}, {x0 + wid_ / 2, y0}, axisPen);
    canvas.strokeLine({x0 + 4, y0}, {x0 + 4, y0 + 54}, axisPen);
    for (int h : {18, 36, 54}) canvas.strokeLine({x0, y0 + h}, {x0 + 4, y0 + h}, axisPen);

    const QFont small = charts::chartFont(7, true);
    defaultWhenEmpty(boLab_, u"0");
    defaultWhenEmpty(topLab_, u"100");
    canvas.drawText({24, 37}, boLab_, small, Qt::black);
    canvas.drawText({24, 102}, topLab_, small, Qt::black);

    if (aveHei_ == 0 || !std::isfinite(aveHei_)) {
        aveHei_ = 72;
        aveStr_ = QStringLiteral("2");
    }
    const double average = title_ == charts::itemName(charts::BFC) ? 100 - aveHei_ : aveHei_;
    const double level = average * 0.54 + 45;
    canvas.drawText({25, level - 10}, aveStr_, small, Qt::black);
    canvas.drawText({16, level}, QStringLiteral("平均値"), small, Qt::black);

    canvas.drawPicture(cvx::Pictures::image(QStringLiteral("zjiantou")), 8, 50, 6, 40);
    defaultWhenEmpty(moreLab_, u"少");
    defaultWhenEmpty(litLab_, u"多");
    const QFont arrowFont = charts::chartFont(9, true);
    canvas.drawText({7, 100}, litLab_, arrowFont, Qt::black);
    canvas.drawText({7, 30}, moreLab_, arrowFont, Qt::black);

    defaultWhenEmpty(title_, u"むし歯菌");
    if (const auto x = titleX(title_))
        canvas.drawText({*x, 130}, title_, charts::chartFont(15, true), Qt::black);

    if (!(x3_ < 0)) setValuez(canvas, x3_, 2);
    if (!(x2_ < 0)) setValuez(canvas, x2_, 1);
    if (!(x1_ < 0)) setValuez(canvas, x1_, 0);

    struct Slot {
        const QString &caption;
        const QString &temperature;
        float value;
        double captionX, temperatureX;
    };
    const Slot bars[3] = {{txt1_, d1_, x1_, 38, 40}, {txt2_, d2_, x2_, 65, 66}, {txt3_, d3_, x3_, 90, 92}};
    for (int i = 0; i < 3; ++i) {
        if (bars[i].caption.isEmpty()) continue;
        setStringz(canvas, bars[i].caption, {bars[i].captionX, 12});
        setNewData(canvas, bars[i].value, i + 1);
        setStringdu(canvas, bars[i].temperature, {bars[i].temperatureX, 2});
    }

    // Dashes of 4 points with gaps of 2, drawn one by one: Qt measures a dash pattern in pen
    // widths or device pixels depending on the device's scale, which would change the print.
    const QPen averagePen = charts::chartPen(Qt::black, 0.3);
    for (double from = 45; from < 115; from += 6)
        canvas.strokeLine({from, level}, {std::min(from + 4, 115.0), level}, averagePen);
    painter.restore();
}

// Every segment below the last stands complete; the last one's height follows the value's
// band (see charts::barSegmentCount for where the bounds fall).
void BBDEColumnView::setValuez(const ChartCanvas &canvas, float v, int contNo) {
    const int segments = charts::barSegmentCount(v);
    if (segments == 0) return;
    static constexpr float kLastOffset[6] = {0, 1, 2, 3, 4, 5};
    static constexpr float kLastTrim[6] = {0, 1, 0, 1, 1, 1};
    const float last = 9 * (v - kLastOffset[segments - 1]) - kLastTrim[segments - 1];
    const double left = contNo * 21 + 2 * wid_ / 7 + 11;
    for (int n = 1; n <= segments; ++n) {
        const double height = n < segments ? kSegmentHeight[n - 1] : last;
        canvas.drawPicture(cvx::Pictures::image(QStringLiteral("b%1").arg(n)), left, kSegmentBottom[n - 1],
                           12, height);
    }
}

void BBDEColumnView::setNewData(const ChartCanvas &canvas, float v, int noCount) {
    float q = v * 100 / 6;
    if (boLab_ == QLatin1String("100")) q = 100 - q;
    // Truncated toward zero, except that a q within a hair of a whole number is that number:
    // the bar height is the chart position times 0.06, so 35 comes back as 34.99998 in single
    // precision. Held to +-1e6 first, since a value far outside the scale would overflow the int.
    const double held = std::isfinite(q) ? std::clamp(double(q), -1e6, 1e6) : 0.0;
    const double whole = std::round(held);
    const int label = int(std::fabs(held - whole) < 1e-3 ? whole : std::trunc(held));
    const double y = 54.0 * v / 6 + 47;
    canvas.drawText({double(28 + 22 * noCount), std::isfinite(y) ? std::clamp(y, -1e6, 1e6) : 47},
                    QString::number(label), charts::chartFont(7, true), Qt::black);
}

void BBDEColumnView::setStringz(const ChartCanvas &canvas, const QString &text, const QPointF &point) {
    // Captions stand 25 points apart, room for a date line in the 8-point font the chart was
    // drawn for; a font with wider figures is narrowed so that neighbours stay apart.
    constexpr qreal kCaptionRoom = 22;
    QFont font = charts::chartFont(8);
    const QFontMetricsF metrics(font);
    qreal widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    if (widest > kCaptionRoom) font.setStretch(int(100 * kCaptionRoom / widest));
    canvas.drawText(point, text, font, Qt::black);
}

void BBDEColumnView::setStringdu(const ChartCanvas &canvas, const QString &text, const QPointF &point) {
    const int degrees = cvx::intValue(text.section(QStringLiteral("℃"), 0, 0));
    canvas.drawText(point, text, charts::chartFont(8), degrees > 19 ? QColor(Qt::black) : QColor(Qt::blue));
}
