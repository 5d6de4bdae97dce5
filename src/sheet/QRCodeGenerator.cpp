#include "sheet/QRCodeGenerator.h"

#include <QPainter>
#include <QPainterPath>

#include <memory>

#include <qrencode.h>

namespace {

constexpr int kVersion = 6;

struct QrFree {
    void operator()(QRcode *code) const { QRcode_free(code); }
};

}  // namespace

std::optional<QRCodeGenerator::Symbol> QRCodeGenerator::encode(const QString &text) {
    if (text.isEmpty()) return std::nullopt;
    const QByteArray bytes = text.toUtf8();
    // The encoder takes a C string: an embedded NUL would cut the text short unnoticed.
    if (bytes.contains('\0')) return std::nullopt;
    // Case-sensitive: otherwise the encoder upper-cases letters to fit the alphanumeric mode.
    const std::unique_ptr<QRcode, QrFree> code(
        QRcode_encodeString(bytes.constData(), kVersion, QR_ECLEVEL_M, QR_MODE_8, 1));
    if (!code || code->width < 1) return std::nullopt;
    Symbol symbol;
    symbol.version = code->version;
    symbol.width = code->width;
    const qsizetype count = qsizetype(code->width) * code->width;
    symbol.dark.reserve(count);
    for (qsizetype i = 0; i < count; ++i) symbol.dark.append((code->data[i] & 1) != 0);
    return symbol;
}

void QRCodeGenerator::drawQRCode(const Symbol &symbol, QPainter &painter, const QRectF &rect) {
    if (symbol.width < 1) return;
    const qreal side = qMin(rect.width(), rect.height());
    const qreal module = side / (symbol.width + 2 * kQuietModules);
    // One path of row runs, filled once: abutting rectangles filled one by one leave
    // hairline seams in anti-aliased renderers.
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    for (int row = 0; row < symbol.width; ++row) {
        int column = 0;
        while (column < symbol.width) {
            if (!symbol.isDark(row, column)) {
                ++column;
                continue;
            }
            const int start = column;
            while (column < symbol.width && symbol.isDark(row, column)) ++column;
            path.addRect(rect.left() + (start + kQuietModules) * module,
                         rect.top() + (row + kQuietModules) * module, (column - start) * module, module);
        }
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawPath(path);
    painter.restore();
}

bool QRCodeGenerator::paint(QPainter &painter, const QRectF &rect, const QString &text) {
    const std::optional<Symbol> symbol = encode(text);
    if (!symbol) return false;
    drawQRCode(*symbol, painter, rect);
    return true;
}

QImage QRCodeGenerator::qrImageForString(const QString &text, qreal width) {
    const int pixels = int(width);
    if (pixels < 1) return QImage();
    const std::optional<Symbol> symbol = encode(text);
    if (!symbol) return QImage();
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawQRCode(*symbol, painter, QRectF(0, 0, width, width));
    painter.end();
    return image;
}
