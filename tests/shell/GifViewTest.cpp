#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "shell/kit/GifView.h"

namespace {

void putShort(QByteArray &out, int value) {
    out.append(char(value & 0xff));
    out.append(char((value >> 8) & 0xff));
}

// A GIF of `frames` frames, `width` x 4 pixels each, frame i red in column i % width and white
// elsewhere. Every pixel is coded after a clear code, so all codes stay 3 bits wide.
QByteArray makeGif(int frames, int width, const QList<int> &delays) {
    QByteArray out("GIF89a");
    putShort(out, width);
    putShort(out, 4);
    out.append(char(0x91)).append(char(0)).append(char(0));
    const unsigned char palette[] = {255, 255, 255, 255, 0, 0, 0, 0, 0, 0, 0, 0};
    out.append(reinterpret_cast<const char *>(palette), sizeof palette);
    out.append("\x21\xff\x0bNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    for (int f = 0; f < frames; ++f) {
        out.append("\x21\xf9\x04\x00", 4);
        putShort(out, delays.value(f, delays.last()));
        out.append("\x00\x00", 2);
        out.append(char(0x2c));
        putShort(out, 0);
        putShort(out, 0);
        putShort(out, width);
        putShort(out, 4);
        out.append(char(0)).append(char(2));
        QByteArray codes;
        quint32 bits = 0;
        int count = 0;
        auto put = [&](int code) {
            bits |= quint32(code) << count;
            count += 3;
            while (count >= 8) {
                codes.append(char(bits & 0xff));
                bits >>= 8;
                count -= 8;
            }
        };
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < width; ++x) {
                put(4);
                put(x == f % width ? 1 : 0);
            }
        put(5);
        if (count > 0) codes.append(char(bits & 0xff));
        for (int i = 0; i < codes.size(); i += 255) {
            QByteArray block = codes.mid(i, 255);
            out.append(char(block.size())).append(block);
        }
        out.append(char(0));
    }
    out.append(char(0x3b));
    return out;
}

struct GifFile {
    GifFile(int frames, int width, const QList<int> &delays) {
        path = dir.filePath(QStringLiteral("anim.gif"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(makeGif(frames, width, delays));
    }
    QTemporaryDir dir;
    QString path;
};

// Draws the view once and answers which column of the centred frame is red.
int drawnRedColumn(GifView &view, int frameWidth) {
    QImage image = view.grab().toImage();
    int left = (view.width() - frameWidth) / 2;
    for (int x = 0; x < frameWidth; ++x)
        if (image.pixelColor(left + x, view.height() / 2) == QColor(Qt::red)) return x;
    return -1;
}

TEST(GifView, EveryDrawingShowsTheNextFrameAndWrapsAfterTheLast) {
    GifFile gif(12, 12, {7, 20});
    GifView view;
    view.resize(100, 100);
    view.setIsGif(true);
    view.setImage(gif.path);
    ASSERT_EQ(view.frameCount(), 12);
    EXPECT_EQ(view.frameInterval(), 70);  // the first frame's delay paces them all

    QList<int> shown;
    for (int i = 0; i < 14; ++i) shown << drawnRedColumn(view, 12);
    EXPECT_EQ(shown, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0, 1}));
}

TEST(GifView, TheTimerAdvancesTheAnimation) {
    GifFile gif(4, 4, {2});
    GifView view;
    view.resize(40, 40);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.setIsGif(true);
    view.setImage(gif.path);
    // Frames 0 to 3 shown in turn: the index runs up to 4 and wraps.
    QList<qint64> seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (seen.isEmpty() || seen.last() != view.currentFrameIdx()) seen << view.currentFrameIdx();
            return seen.size() >= 6;
        },
        3000));
    EXPECT_TRUE(seen.contains(4) && seen.contains(1)) << seen.size();
}

TEST(GifView, ANewAnimationStartsAtFrameZeroAndAnEmptyPictureChangesNothing) {
    GifFile first(5, 5, {10}), second(3, 3, {30});
    GifView view;
    view.resize(51, 50);
    view.setIsGif(true);
    view.setImage(first.path);
    drawnRedColumn(view, 5);
    drawnRedColumn(view, 5);
    view.setImage(second.path);
    EXPECT_EQ(view.frameInterval(), 300);
    EXPECT_EQ(drawnRedColumn(view, 3), 0);

    view.setImage(QString());
    view.setImage(QStringLiteral("/nonexistent/picture.gif"));
    EXPECT_EQ(view.imagePath(), second.path);
    EXPECT_EQ(view.frameInterval(), 300);
    EXPECT_EQ(drawnRedColumn(view, 3), 1);
}

TEST(GifView, LargeFramesShrinkEvenlyAndStillPicturesStopTheAnimation) {
    GifFile gif(2, 40, {10});
    GifView view;
    view.resize(20, 40);
    view.setIsGif(true);
    view.setImage(gif.path);
    QImage drawn = view.grab().toImage();
    // 40 x 4 halved to 20 x 2 and centred in height: rows 19 and 20.
    for (int y : {17, 18, 19, 20, 21, 22})
        EXPECT_EQ(drawn.pixelColor(10, y) == QColor(Qt::white), y == 19 || y == 20) << y;

    view.setIsGif(false);
    view.setImage(gif.path);
    EXPECT_EQ(view.frameInterval(), 0);
    EXPECT_EQ(view.grab().toImage(), view.grab().toImage());
}

TEST(GifView, TheBundlesMeasuringPictureAnimates) {
    GifView view;
    view.resize(320, 240);
    view.setIsGif(true);
    view.setImageNamed(QStringLiteral("表示_装置状態_測定中.gif"));
    EXPECT_GT(view.frameCount(), 1);
    EXPECT_GT(view.frameInterval(), 0);
}

}  // namespace
