#pragma once

#include <QDir>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include "ChartTextLog.h"
#include "charts/ChartGeometry.h"
#include "records/OCMCustomerComment.h"

// A stored result with the given chart positions ("1.0|<position>"; null leaves the field out).
inline OCMCustomerComment storedResult(const QStringList &positions) {
    OCMCustomerComment result;
    void (OCMCustomerComment::*setters[])(const QString &) = {
        &OCMCustomerComment::setDatavalue1, &OCMCustomerComment::setDatavalue2,
        &OCMCustomerComment::setDatavalue3, &OCMCustomerComment::setDatavalue4,
        &OCMCustomerComment::setDatavalue5, &OCMCustomerComment::setDatavalue6,
        &OCMCustomerComment::setDatavalue7};
    for (int i = 0; i < 7; ++i)
        if (!positions.value(i).isNull()) (result.*setters[i])(QStringLiteral("1.0|") + positions.value(i));
    return result;
}

// The chart drawn on white; kept as CVX_SCREENSHOT_DIR/<name>.png when that is set.
template <class Chart>
QImage renderChart(Chart &chart, QSize size, const QString &name = {}) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    chart.paint(painter, QRectF(QPointF(0, 0), size));
    painter.end();
    const QString dir = qEnvironmentVariable("CVX_SCREENSHOT_DIR");
    if (!dir.isEmpty() && !name.isEmpty()) image.save(QDir(dir).filePath(name + QStringLiteral(".png")));
    return image;
}

template <class Chart>
QList<ChartTextLog::Entry> chartTexts(Chart &chart, QSize size) {
    ChartTextLog log;
    QPainter painter(&log);
    chart.paint(painter, QRectF(QPointF(0, 0), size));
    return log.entries;
}

// Whether a text was drawn with its lower left corner at the chart point (baseline above it
// by the descent).
inline bool drawnAt(const ChartTextLog::Entry &e, QPointF lowerLeft, int height, bool bold = true) {
    const double descent = QFontMetricsF(charts::chartFont(e.pixelSize, bold)).descent();
    return (e.baseline - QPointF(lowerLeft.x(), height - lowerLeft.y() - descent)).manhattanLength() < 0.1;
}

inline int pixelsOf(const QImage &image, const QColor &colour) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) count += tintOf(image.pixelColor(x, y), colour);
    return count;
}
