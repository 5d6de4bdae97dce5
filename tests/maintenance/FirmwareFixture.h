#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "link/UsbManager.h"
#include "maintenance/FirmwareFiles.h"
#include "maintenance/OutputPWController.h"

#include <functional>
#include <ostream>

inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace firmwaretest {

// The carried firmware: the description and its data files.
inline const QStringList kBundledFiles = {"USB/FileInf.txt", "USB/Data/WRTPRG.DAT", "USB/Data/MAIN.DAT",
                                          "USB/Data/DISP.DAT"};

inline QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lines of a data file without their CR LF.
inline QList<QByteArray> lines(const QByteArray &bytes) {
    QList<QByteArray> result = bytes.split('\n');
    for (QByteArray &line : result) line = line.trimmed();
    result.removeAll(QByteArray());
    return result;
}

// The 32-bit sum of the data bytes of the data lines between a header line and the next
// end line, as the instrument forms it.
inline QString dataSum(const QList<QByteArray> &image) {
    quint32 sum = 0;
    for (qsizetype i = 1; i < image.size() && !image[i].startsWith("FFFFFFFF"); ++i)
        for (quint8 byte : QByteArray::fromHex(image[i].mid(8))) sum += byte;
    return QStringLiteral("%1").arg(sum, 8, 16, QLatin1Char('0')).toUpper();
}

// Lines strictly between two marker lines.
inline QList<QByteArray> section(const QList<QByteArray> &all, const QByteArray &start,
                                 const QByteArray &end) {
    const qsizetype from = all.indexOf(start);
    const qsizetype to = all.indexOf(end);
    return from >= 0 && to > from ? all.mid(from + 1, to - from - 1) : QList<QByteArray>();
}

// A copy of the carried firmware in a temporary folder that the lookup is pointed at, a
// record of the message codes shown, and the carried versions preset to "old".
class FirmwareTest : public testing::Test {
protected:
    FirmwareTest() {
        for (const QString &name : kBundledFiles) put(name, readAll(":/" + name));
        FirmwareFiles::setResourceRootForTesting(dir.path());
        OutputPWController::setErrorAlertPresenter([this](const QString &code) { alerts << code; });
        UsbManager::sharedUsbManager().setPcMainVersion("old main");
        UsbManager::sharedUsbManager().setPcDispVersion("old disp");
    }
    ~FirmwareTest() override {
        FirmwareFiles::setResourceRootForTesting(QString());
        OutputPWController::setErrorAlertPresenter({});
        UsbManager::setFirmwareVersionReader({});
        UsbManager::resetSharedForTesting();
    }

    void put(const QString &relative, const QByteArray &bytes) {
        QDir().mkpath(QFileInfo(dir.filePath(relative)).path());
        QFile file(dir.filePath(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    void remove(const QString &relative) { QFile::remove(dir.filePath(relative)); }
    QByteArray get(const QString &relative) const { return readAll(dir.filePath(relative)); }
    // Replaces the first occurrence of a text in a fixture file.
    void edit(const QString &relative, const QByteArray &from, const QByteArray &to) {
        QByteArray bytes = get(relative);
        ASSERT_TRUE(bytes.contains(from)) << from.constData();
        put(relative, bytes.replace(bytes.indexOf(from), from.size(), to));
    }

    // Changes line `index` (counted from 0, CR LF kept) of a fixture file; false removes it.
    void editLine(const QString &relative, qsizetype index, const std::function<bool(QByteArray &)> &change) {
        QList<QByteArray> all = get(relative).split('\n');
        ASSERT_LT(index, all.size());
        all[index].chop(1);  // its CR
        if (change(all[index]))
            all[index].append('\r');
        else
            all.removeAt(index);
        put(relative, all.join('\n'));
    }
    // A change that turns the hex digit at `at` (from the end when negative) into another.
    static std::function<bool(QByteArray &)> flipDigit(qsizetype at) {
        return [at](QByteArray &line) {
            char &c = line[at < 0 ? line.size() + at : at];
            c = c == '0' ? '1' : '0';
            return true;
        };
    }

    QTemporaryDir dir;
    QStringList alerts;
};

}  // namespace firmwaretest
