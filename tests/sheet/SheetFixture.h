#pragma once

// A patient file of either pad generation (I_LEU/I_NH3 or LEU/NH3) and the data-link
// settings, in the test's own home.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include "link/UsbManager.h"
#include "platform/FileManager.h"

namespace sheettest {

inline QString home(const QString &relative) {
    return cvx::FileManager::homeDirectory() + QLatin1Char('/') + relative;
}

inline QByteArray readBytes(const QString &path) {
    return cvx::FileManager::readFile(path).value_or(QByteArray());
}

inline void writeText(const QString &path, const QString &text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(cvx::FileManager::writeAtomically(path, text.toUtf8()));
}

inline void setLink(int mode, bool deleteBld, const QString &output = home("out")) {
    writeText(home(".Corvadenix/ModeSetting.xml"),
              QStringLiteral("<DATA><MODE>%1</MODE><DeleteBLD>%2</DeleteBLD></DATA>")
                  .arg(mode)
                  .arg(int(deleteBld)));
    writeText(home(".Corvadenix/DataTransfer.xml"), "<DATA><OUTPUT>" + output + "</OUTPUT></DATA>");
    UsbManager::sharedUsbManager().setMode(-1);
}

inline QString patientXml(bool older, const QList<std::pair<QString, QString>> &edits = {}) {
    QString xml =
        QString::fromUtf8(readBytes(QStringLiteral(CVX_SOURCE_DIR "/tests/link/fixtures/PatientFile_%1.xml")
                                        .arg(older ? "older" : "current")));
    xml.replace("@SAVEDATE@", "2026-03-05 09:08:30").replace("name=\"\"", "name=\"山田 花子\"");
    for (const auto &[from, to] : edits) xml.replace(from, to);
    return xml;
}

inline void storePatient(const QString &chart, bool older,
                         const QList<std::pair<QString, QString>> &edits = {}) {
    writeText(home(".Corvadenix/Customer/") + chart + ".xml", patientXml(older, edits));
}

inline QString run(const QString &program, const QStringList &args) {
    QProcess process;
    process.start(program, args);
    EXPECT_TRUE(process.waitForFinished(60000)) << program.toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

// What a phone reads off the printed page: the PDF rendered at 150 dpi, its QR code decoded
// as raw bytes.
inline QString decodePrintedQr(const QString &pdf) {
    const QString png = pdf + QStringLiteral("-page");
    run("pdftoppm", {"-r", "150", "-png", "-singlefile", pdf, png});
    return run("zbarimg", {"-q", "--raw", "-Sqrcode.binary", png + ".png"}).trimmed();
}

}  // namespace sheettest
