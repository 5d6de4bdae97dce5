#pragma once

#include <QColor>
#include <QImage>
#include <QList>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPointF>
#include <QString>
#include <QtMath>

#include <memory>

// A paint device that keeps the texts drawn on it, where their baselines start and in which
// colour, and discards everything else.
class ChartTextLog : public QPaintDevice {
public:
    struct Entry {
        QString text;
        QPointF baseline;
        QColor color;
        int pixelSize;
    };

    ChartTextLog() : engine_(std::make_unique<Engine>(this)) {}
    QPaintEngine *paintEngine() const override { return engine_.get(); }

    QList<Entry> entries;

protected:
    int metric(PaintDeviceMetric metric) const override {
        if (metric == PdmWidth || metric == PdmHeight) return 400;
        if (metric == PdmDepth) return 32;
        if (metric == PdmDevicePixelRatio) return 1;
        if (metric == PdmDevicePixelRatioScaled) return int(devicePixelRatioFScale());
        return 96;  // resolutions
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(ChartTextLog *log) : QPaintEngine(AllFeatures), log_(log) {}
        bool begin(QPaintDevice *) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState &) override {}
        void drawPath(const QPainterPath &) override {}
        void drawPolygon(const QPointF *, int, PolygonDrawMode) override {}
        void drawImage(const QRectF &, const QImage &, const QRectF &, Qt::ImageConversionFlags) override {}
        void drawPixmap(const QRectF &, const QPixmap &, const QRectF &) override {}
        // Qt hands over a line in runs of one script each ("むし" then "歯菌"); runs that
        // continue a line join its entry.
        void drawTextItem(const QPointF &p, const QTextItem &item) override {
            const Entry run{item.text(), state->transform().map(p), state->pen().color(),
                            item.font().pixelSize()};
            if (!log_->entries.isEmpty()) {
                Entry &last = log_->entries.last();
                if (qFuzzyCompare(last.baseline.y(), run.baseline.y()) && last.color == run.color &&
                    run.baseline.x() > last.baseline.x()) {
                    last.text += run.text;
                    return;
                }
            }
            log_->entries.append(run);
        }
        Type type() const override { return User; }

    private:
        ChartTextLog *log_;
    };
    std::unique_ptr<Engine> engine_;
};

// Pixel of an image at a chart point (origin lower left, y upward).
inline QColor chartPixel(const QImage &image, QPointF point) {
    const int column = qBound(0, qFloor(point.x()), image.width() - 1);
    const int row = qBound(0, qFloor(image.height() - point.y()), image.height() - 1);
    return image.pixelColor(column, row);
}

inline bool near(const QColor &a, const QColor &b, int tolerance = 40) {
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) <= tolerance;
}

// Whether a pixel is the colour laid over white at some strength, as an antialiased line's
// edge is.
inline bool tintOf(const QColor &pixel, const QColor &colour) {
    const int p[3] = {pixel.red(), pixel.green(), pixel.blue()};
    const int c[3] = {colour.red(), colour.green(), colour.blue()};
    int deepest = 0;
    for (int i = 1; i < 3; ++i)
        if (c[i] < c[deepest]) deepest = i;
    const double strength = double(255 - p[deepest]) / (255 - c[deepest]);
    if (strength < 0.25 || strength > 1.1) return false;
    for (int i = 0; i < 3; ++i)
        if (qAbs(p[i] - (strength * c[i] + (1 - strength) * 255)) > 14) return false;
    return true;
}

// Whether any pixel within `radius` of the chart point shows the colour.
inline bool colourNear(const QImage &image, QPointF point, const QColor &colour, int radius = 1) {
    for (int dx = -radius; dx <= radius; ++dx)
        for (int dy = -radius; dy <= radius; ++dy)
            if (tintOf(chartPixel(image, point + QPointF(dx, dy)), colour)) return true;
    return false;
}
