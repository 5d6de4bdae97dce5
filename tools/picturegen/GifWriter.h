#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>

namespace picturegen {

// Encodes frames of one size as a looping GIF89a with one shared palette of 256 colours
// (median cut over all frames; no dithering, no transparency). Every frame shows for
// delayMs, rounded to the format's hundredths of a second. When quantized is given it
// receives the frames as they will decode, for checking the file after it is read back.
QByteArray encodeGif(const QList<QImage> &frames, int delayMs, QList<QImage> *quantized = nullptr);

}  // namespace picturegen
