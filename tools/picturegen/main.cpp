// picturegen: draws every picture of the catalogue into PNG files (and the animated GIF)
// for the application's bundle.
//
//   picturegen <catalogue.tsv> <font file> <output folder>
//
// Exits non-zero, drawing nothing further, when the catalogue has errors, the font cannot
// be loaded, a text does not fit its picture or a written picture does not read back.
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QImageReader>
#include <QSaveFile>
#include <QTextStream>

#include "Draw.h"
#include "GifWriter.h"
#include "platform/PictureCatalog.h"

namespace {

bool writeFile(const QString &path, const QByteArray &bytes) {
    QSaveFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.commit();
}

QByteArray pngBytes(const QImage &img) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes;
}

// Reads the GIF back as the program will and compares every frame and its delay.
void checkGif(const QString &path, const QList<QImage> &expected, int delayMs, QStringList *errors) {
    QImageReader reader(path, "gif");
    if (reader.imageCount() != expected.size())
        errors->append(QStringLiteral("%1: reads back %2 frames, wrote %3")
                           .arg(path)
                           .arg(reader.imageCount())
                           .arg(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const int delay = reader.nextImageDelay();
        const QImage frame = reader.read().convertToFormat(QImage::Format_RGB32);
        if (frame != expected[i]) {
            errors->append(QStringLiteral("%1: frame %2 does not read back as written").arg(path).arg(i));
            return;
        }
        if (qAbs(delay - delayMs) > 5)
            errors->append(QStringLiteral("%1: frame %2 delay %3 ms, wanted %4")
                               .arg(path)
                               .arg(i)
                               .arg(delay)
                               .arg(delayMs));
    }
}

// The build runs this without a desktop session; Qt's note about the missing runtime
// folder is noise there.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg) {
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR"))) return;
    if (previousHandler) previousHandler(type, context, msg);
}

}  // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    previousHandler = qInstallMessageHandler(quietHandler);
    QGuiApplication app(argc, argv);
    QTextStream err(stderr);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        err << "usage: picturegen <catalogue.tsv> <font file> <output folder>\n";
        return 2;
    }
    const QString cataloguePath = args[1], fontPath = args[2], outDir = args[3];

    QFile catalogueFile(cataloguePath);
    if (!catalogueFile.open(QIODevice::ReadOnly)) {
        err << "picturegen: cannot read " << cataloguePath << "\n";
        return 1;
    }
    const cvx::PictureCatalogue catalogue = cvx::parsePictureCatalogue(catalogueFile.readAll());
    if (!catalogue.errors.isEmpty()) {
        for (const QString &e : catalogue.errors) err << cataloguePath << ": " << e << "\n";
        return 1;
    }
    const int fontId = QFontDatabase::addApplicationFont(fontPath);
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (fontId < 0 || families.isEmpty()) {
        err << "picturegen: cannot load the font " << fontPath << "\n";
        return 1;
    }
    if (!QDir().mkpath(outDir)) {
        err << "picturegen: cannot create " << outDir << "\n";
        return 1;
    }

    QStringList errors;
    const picturegen::Typesetter ts(families.first(), fontPath, &errors);
    for (const cvx::PictureEntry &e : catalogue.entries) {
        ts.checkGlyphs(e.name, e.text);
        const QString path = QDir(outDir).filePath(e.file);
        const bool animated = e.kind == QLatin1String("animation");
        if (!e.file.endsWith(animated ? QLatin1String(".gif") : QLatin1String(".png"))) {
            errors << QStringLiteral("%1: file %2 has the wrong extension for its kind").arg(e.name, e.file);
            continue;
        }
        if (animated) {
            const QList<QImage> frames = picturegen::drawFrames(e, ts);
            const QString delayHint = e.styleValue(QStringLiteral("delay"));
            const int delayMs = delayHint.isNull() ? 100 : delayHint.toInt();
            QList<QImage> quantized;
            if (frames.size() < 2 || frames.first().size() != e.size) {
                errors << QStringLiteral("%1: an animation needs two or more frames of its size").arg(e.name);
                continue;
            }
            if (!writeFile(path, picturegen::encodeGif(frames, delayMs, &quantized))) {
                errors << QStringLiteral("cannot write %1").arg(path);
                continue;
            }
            checkGif(path, quantized, delayMs, &errors);
        } else {
            const QImage img = picturegen::drawPicture(e, ts);
            if (img.size() != e.size) {
                errors << QStringLiteral("%1: drawn %2x%3, declared %4x%5")
                              .arg(e.name)
                              .arg(img.width())
                              .arg(img.height())
                              .arg(e.size.width())
                              .arg(e.size.height());
                continue;
            }
            if (!writeFile(path, pngBytes(img))) errors << QStringLiteral("cannot write %1").arg(path);
        }
    }
    for (const QString &e : errors) err << "picturegen: " << e << "\n";
    return errors.isEmpty() ? 0 : 1;
}
