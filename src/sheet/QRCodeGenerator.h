#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

#include <optional>

class QPainter;

// The sheet's QR code: the text's UTF-8 bytes encoded at error-correction level M, starting
// at version 6 (41 modules) and growing to the smallest version that holds the text, painted
// with a quiet zone of three modules on every side.
class QRCodeGenerator {
public:
    QRCodeGenerator() = delete;

    static constexpr int kQuietModules = 3;

    // The symbol's modules, row after row, true for a dark one.
    struct Symbol {
        int version = 0;
        int width = 0;  // modules on a side
        QList<bool> dark;
        bool isDark(int row, int column) const { return dark.at(row * width + column); }
    };

    // Nothing for an empty text, and when the encoder fails (a text beyond version 40).
    static std::optional<Symbol> encode(const QString &text);
    // Paints the dark modules as one vector path, black, into the square of the rect's
    // shorter side at its top-left corner (width + 6 modules across); the light modules and
    // the quiet zone are left as they are, so the caller's background shows. A printer or
    // PDF painter gets sharp modules at any resolution.
    static void drawQRCode(const Symbol &symbol, QPainter &painter, const QRectF &rect);
    // encode() then drawQRCode(); false, and nothing painted, when nothing could be encoded.
    static bool paint(QPainter &painter, const QRectF &rect, const QString &text);
    // The code as a transparent ARGB image of the whole part of the width, square; a null
    // image when nothing could be encoded. For the screen: printing should use paint().
    static QImage qrImageForString(const QString &text, qreal width);
};
