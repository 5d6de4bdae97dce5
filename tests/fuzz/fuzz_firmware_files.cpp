// The firmware files the program carries, as the file check and the writer read them. The
// first byte chooses which file the rest replaces (the description, the write program or ROM
// file 0 or 1); the others are the bundled ones.
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

#include "FuzzSetUp.h"
#include "maintenance/FirmwareFiles.h"

namespace {

const char *const kFiles[] = {"USB/FileInf.txt", "USB/Data/WRTPRG.DAT", "USB/Data/MAIN.DAT",
                              "USB/Data/DISP.DAT"};
QString root;
QByteArray bundled[4];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv) {
    root = QDir(cvxfuzz::setUp(argc, argv)).filePath(QStringLiteral("firmware"));
    for (int i = 0; i < 4; ++i) {
        QFile file(QStringLiteral(":/") + QLatin1String(kFiles[i]));
        if (!file.open(QIODevice::ReadOnly)) qFatal("bundled firmware file %s missing", kFiles[i]);
        bundled[i] = file.readAll();
        cvxfuzz::writeFile(QDir(root).filePath(QLatin1String(kFiles[i])), bundled[i].constData(),
                           bundled[i].size());
    }
    FirmwareFiles::setResourceRootForTesting(root);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0) return 0;
    const int chosen = data[0] % 4;
    const QString path = QDir(root).filePath(QLatin1String(kFiles[chosen]));
    if (!cvxfuzz::writeFile(path, reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1)) return 0;

    FirmwareFiles files;
    if (chosen == 0)
        files.vReadFileSetting_USB(
            QString::fromLatin1(reinterpret_cast<const char *>(data) + 1, qsizetype(size) - 1)
                .split(QLatin1Char('\n')));
    if (files.fileExitChk_USB() == FirmwareFiles::Fault::None) files.getDataRomInf();
    FirmwareFiles::sendLines(path);

    cvxfuzz::writeFile(path, bundled[chosen].constData(), bundled[chosen].size());
    return 0;
}
