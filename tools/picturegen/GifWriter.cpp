#include "GifWriter.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <unordered_map>
#include <vector>

namespace picturegen {

namespace {

struct Bin {
    int r, g, b;  // mean colour of the pixels in the bin
    qint64 count;
};

// Median cut: split the box with the widest channel at its weighted median until there are
// `wanted` boxes or no box can be split; each box gives its weighted mean colour.
QList<QRgb> medianCut(std::vector<Bin> bins, int wanted) {
    struct Box {
        std::size_t begin, end;
    };
    auto widest = [&](const Box &box, int *channel) {
        int lo[3] = {255, 255, 255}, hi[3] = {0, 0, 0};
        for (std::size_t i = box.begin; i < box.end; ++i) {
            const int c[3] = {bins[i].r, bins[i].g, bins[i].b};
            for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
        }
        int best = 0;
        for (int k = 1; k < 3; ++k)
            if (hi[k] - lo[k] > hi[best] - lo[best]) best = k;
        *channel = best;
        return hi[best] - lo[best];
    };
    std::vector<Box> boxes{{0, bins.size()}};
    while (int(boxes.size()) < wanted) {
        int pick = -1, pickChannel = 0, pickRange = 0;
        for (int i = 0; i < int(boxes.size()); ++i) {
            if (boxes[i].end - boxes[i].begin < 2) continue;
            int channel = 0;
            const int range = widest(boxes[i], &channel);
            if (range > pickRange) pick = i, pickChannel = channel, pickRange = range;
        }
        if (pick < 0) break;
        Box box = boxes[pick];
        auto key = [pickChannel](const Bin &b) {
            return pickChannel == 0 ? b.r : pickChannel == 1 ? b.g : b.b;
        };
        std::sort(bins.begin() + box.begin, bins.begin() + box.end,
                  [&](const Bin &a, const Bin &b) { return key(a) < key(b); });
        qint64 total = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) total += bins[i].count;
        qint64 run = 0;
        std::size_t split = box.begin + 1;
        for (std::size_t i = box.begin; i < box.end - 1; ++i) {
            run += bins[i].count;
            split = i + 1;
            if (2 * run >= total) break;
        }
        boxes[pick] = {box.begin, split};
        boxes.push_back({split, box.end});
    }
    QList<QRgb> palette;
    for (const Box &box : boxes) {
        qint64 n = 0, r = 0, g = 0, b = 0;
        for (std::size_t i = box.begin; i < box.end; ++i) {
            n += bins[i].count;
            r += qint64(bins[i].r) * bins[i].count;
            g += qint64(bins[i].g) * bins[i].count;
            b += qint64(bins[i].b) * bins[i].count;
        }
        palette << qRgb(int(r / n), int(g / n), int(b / n));
    }
    return palette;
}

QList<QRgb> buildPalette(const QList<QImage> &frames) {
    // Histogram over 5 bits per channel, keeping each bin's mean colour.
    std::vector<std::array<qint64, 4>> hist(1 << 15, {0, 0, 0, 0});
    for (const QImage &f : frames)
        for (int y = 0; y < f.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(f.constScanLine(y));
            for (int x = 0; x < f.width(); ++x) {
                const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
                auto &h = hist[(r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)];
                h[0] += r, h[1] += g, h[2] += b, ++h[3];
            }
        }
    std::vector<Bin> bins;
    for (const auto &h : hist)
        if (h[3] > 0) bins.push_back({int(h[0] / h[3]), int(h[1] / h[3]), int(h[2] / h[3]), h[3]});
    QList<QRgb> palette = medianCut(std::move(bins), 256);
    while (palette.size() < 256) palette << qRgb(0, 0, 0);
    return palette;
}

class BitWriter {
public:
    void put(int code, int bits) {
        acc_ |= quint32(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            bytes_.append(char(acc_ & 0xff));
            acc_ >>= 8;
            count_ -= 8;
        }
    }
    QByteArray finish() {
        if (count_ > 0) bytes_.append(char(acc_ & 0xff));
        acc_ = 0;
        count_ = 0;
        return bytes_;
    }

private:
    QByteArray bytes_;
    quint32 acc_ = 0;
    int count_ = 0;
};

// Variable-width LZW as GIF wants it: 8-bit minimum code size, codes of up to 12 bits, a
// clear code when the table is full. The width grows as soon as the newest table entry
// needs it, which is when a decoder (one entry behind) grows its own.
QByteArray lzw(const QByteArray &indices) {
    constexpr int clearCode = 256, endCode = 257, firstWidth = 9, maxWidth = 12;
    std::unordered_map<quint32, int> table;
    table.reserve(8192);
    int width = firstWidth, maxCode = endCode;
    BitWriter out;
    out.put(clearCode, width);
    int current = -1;
    for (char ch : indices) {
        const int c = uchar(ch);
        if (current < 0) {
            current = c;
            continue;
        }
        const quint32 key = quint32(current) << 8 | quint32(c);
        if (auto it = table.find(key); it != table.end()) {
            current = it->second;
            continue;
        }
        out.put(current, width);
        table.emplace(key, ++maxCode);
        if (maxCode >= (1 << width)) ++width;
        if (maxCode == (1 << maxWidth) - 1) {
            out.put(clearCode, width);
            table.clear();
            width = firstWidth;
            maxCode = endCode;
        }
        current = c;
    }
    if (current >= 0) {
        out.put(current, width);
        if (maxCode + 1 >= (1 << width) && width < maxWidth) ++width;
    }
    out.put(endCode, width);
    return out.finish();
}

void putWord(QByteArray &out, int v) {
    out.append(char(v & 0xff));
    out.append(char((v >> 8) & 0xff));
}

}  // namespace

QByteArray encodeGif(const QList<QImage> &framesIn, int delayMs, QList<QImage> *quantized) {
    if (framesIn.isEmpty()) return QByteArray();
    QList<QImage> frames;
    for (const QImage &f : framesIn) frames << f.convertToFormat(QImage::Format_RGB32);
    const int w = frames.first().width(), h = frames.first().height();
    const QList<QRgb> palette = buildPalette(frames);

    QHash<QRgb, uchar> nearest;
    auto indexOf = [&](QRgb c) {
        c |= 0xff000000u;
        auto it = nearest.constFind(c);
        if (it != nearest.constEnd()) return *it;
        int best = 0;
        qint64 bestDist = -1;
        for (int i = 0; i < palette.size(); ++i) {
            const qint64 dr = qRed(c) - qRed(palette[i]), dg = qGreen(c) - qGreen(palette[i]),
                         db = qBlue(c) - qBlue(palette[i]);
            const qint64 d = dr * dr + dg * dg + db * db;
            if (bestDist < 0 || d < bestDist) best = i, bestDist = d;
        }
        nearest.insert(c, uchar(best));
        return uchar(best);
    };

    QByteArray out("GIF89a");
    putWord(out, w);
    putWord(out, h);
    out.append(char(0xF7));  // global palette of 2^(7+1) entries, 8 bits per primary
    out.append(char(0));     // background colour index
    out.append(char(0));     // square pixels
    for (QRgb c : palette) out.append(char(qRed(c))).append(char(qGreen(c))).append(char(qBlue(c)));
    // Loop for ever.
    out.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);

    const int delay = std::max(1, (delayMs + 5) / 10);
    if (quantized) quantized->clear();
    for (const QImage &f : frames) {
        QByteArray indices;
        indices.reserve(w * h);
        QImage shown(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(f.constScanLine(y));
            QRgb *dst = reinterpret_cast<QRgb *>(shown.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const uchar i = indexOf(line[x]);
                indices.append(char(i));
                dst[x] = palette[i];
            }
        }
        if (quantized) *quantized << shown;
        // Graphic control: leave the frame in place, no transparency, the delay.
        out.append("\x21\xF9\x04\x04", 4);
        putWord(out, delay);
        out.append(char(0)).append(char(0));
        // Image descriptor: whole canvas, global palette, not interlaced.
        out.append(char(0x2C));
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, w);
        putWord(out, h);
        out.append(char(0));
        out.append(char(8));  // minimum code size
        const QByteArray data = lzw(indices);
        for (qsizetype pos = 0; pos < data.size(); pos += 255) {
            const qsizetype n = std::min<qsizetype>(255, data.size() - pos);
            out.append(char(n));
            out.append(data.mid(pos, n));
        }
        out.append(char(0));
    }
    out.append(char(0x3B));
    return out;
}

}  // namespace picturegen
