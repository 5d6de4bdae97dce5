#pragma once

// Helpers for the tests of the patient files, the raw data line and the check file: the
// data folder with the test ranges, the current choices, and file readers.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QStringList>
#include <QVariantList>

#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/FileManager.h"
#include "platform/HidManager.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "records/CalcSettingDatas.h"
#include "records/TYTestInfo.h"
#include "records/UsbUtils.h"
#include "support/InstrumentSimulator.h"

// Readable texts in failure messages (found by argument-dependent lookup).
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace patienttest {

inline QString dataFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix");
}

inline QString fixture(const QString &name) {
    return QStringLiteral(CVX_SOURCE_DIR "/tests/link/fixtures/") + name;
}

inline QByteArray readBytes(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline void writeBytes(const QString &path, const QByteArray &bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// The test ranges (I_LEU threshold 20), with the I_LEU `use` choice replaced when given.
inline void installCalcSettings(const QString &use = QString()) {
    QString xml = QString::fromUtf8(readBytes(fixture(QStringLiteral("CalcSetting.xml"))));
    if (!use.isNull())
        xml.replace(QStringLiteral("<Datas use=\"threshold\">"),
                    QStringLiteral("<Datas use=\"%1\">").arg(use));
    writeBytes(dataFolder() + QStringLiteral("/CalcSetting.xml"), xml.toUtf8());
    CalcSettingDatas::discardSharedForTesting();
}

inline void removeCalcSettings() {
    QFile::remove(dataFolder() + QStringLiteral("/CalcSetting.xml"));
    CalcSettingDatas::discardSharedForTesting();
}

// The comment chosen for item i at level k is "所見i-k".
inline QString chosenComment(int item, int level) {
    return QStringLiteral("所見%1-%2").arg(item).arg(level);
}

inline void setChoices() {
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    defaults.setObject(QStringLiteral("さくら歯科"), QStringLiteral("zhospital"));
    defaults.setObject(QStringLiteral("山田 太郎"), QStringLiteral("zdoctor"));
    defaults.setObject(QStringLiteral("総合 <良好> & 安定"), QStringLiteral("ztotal"));
    QVariantList items;
    for (int i = 0; i < 7; ++i) {
        QVariantList texts;
        for (int k = 0; k < 3; ++k) texts << chosenComment(i, k);
        items << QVariant(texts);
    }
    defaults.setObject(items, QStringLiteral("zcontent"));
}

inline QStringList fields(const QString &line) {
    return line.split(QLatin1Char(','));
}

inline QString patientPath(const QString &chartNo) {
    return dataFolder() + QStringLiteral("/Customer/") + chartNo + QStringLiteral(".xml");
}

// Every file below the home folder with its contents; tests compare snapshots to prove
// that nothing was written where it should not be.
inline QMap<QString, QByteArray> snapshot(const QString &folder, const QStringList &skip = {}) {
    QMap<QString, QByteArray> files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = QDir(folder).relativeFilePath(path);
        if (std::any_of(skip.cbegin(), skip.cend(), [&](const QString &s) { return relative.startsWith(s); }))
            continue;
        files.insert(relative, readBytes(path));
    }
    return files;
}

// A measurement as the parser leaves it, pads in the instrument's order BFC, PH, MS,
// DUMMY, BLD, [Cal], LEU, ALB, NH3 with these reflectances (tenths of a percent) in the
// first and second pass; other readings are named after pass and pad ("p1k0s565").
inline TYTestInfo measurement(const QString &chartNo, bool older = false) {
    const char *names[] = {"BFC", "PH", "MS", "DUMMY", "BLD", "[Cal]", "I_LEU", "ALB", "I_NH3"};
    const char *reflectances[2][9] = {{"512", "623", "418", "900", "735", "950", "150", "688", "547"},
                                      {"512", "623", "441", "901", "735", "951", "150", "688", "300"}};
    TYTestInfo info;
    info.setUserID(chartNo);
    for (int pass = 0; pass < 2; ++pass) {
        TYEachTest &p = pass == 0 ? info.firstTest() : info.secondTest();
        p.setTyData(QStringLiteral("2026-03-05"));
        p.setTyTime(pass == 0 ? QStringLiteral("09:07") : QStringLiteral("09:08"));
        p.setTyTemp(pass == 0 ? QStringLiteral("251") : QStringLiteral("254"));
        p.setTyTestNO(QStringLiteral("0001"));
        p.setTyCount(QString::number(pass));
        p.setTyWhite565(QStringLiteral("w565-%1").arg(pass));
        p.setTyWhite635(QStringLiteral("w635-%1").arg(pass));
        p.setTyWhite760(QStringLiteral("w760-%1").arg(pass));
        TYTestData *pads[] = {&p.bfcTestData(),   &p.phTestData(),  &p.msTestData(),
                              &p.dummyTestData(), &p.bldTestData(), &p.calTestData(),
                              &p.leuTestData(),   &p.albTestData(), &p.nh3TestData()};
        for (int k = 0; k < 9; ++k) {
            TYTestData &d = *pads[k];
            const QString tag = QStringLiteral("p%1k%2").arg(pass).arg(k);
            QString name = QString::fromLatin1(names[k]);
            if (older && name.startsWith(QLatin1String("I_"))) name = name.mid(2);
            d.setTyName(name);
            d.setIsOldData(older && (k == 6 || k == 8));
            d.setTySample565(tag + "s565");
            d.setTyReference565(tag + "r565");
            d.setTySample635(tag + "s635");
            d.setTyReference635(tag + "r635");
            d.setTySample760(tag + "s760");
            d.setTyReference760(tag + "r760");
            for (auto set :
                 {&TYTestData::setTyRefBefor, &TYTestData::setTyRefTempBefor, &TYTestData::setTyRefnmBefor})
                (d.*set)(QString::fromLatin1(reflectances[pass][k]));
            d.setTyDark(tag + "dark");
        }
    }
    return info;
}

inline QStringList namesOf(const QList<cvx::XmlElement> &elements) {
    QStringList names;
    for (const cvx::XmlElement &e : elements) names << e.name();
    return names;
}

// The simulated instrument attached to the session, with the test ranges and the current
// choices installed, counting "testDataSaved".
class SimulatedInstrument : public testing::Test {
protected:
    SimulatedInstrument() {
        QDir().mkpath(cvx::FileManager::homeDirectory() + QStringLiteral("/CommLog"));
        installCalcSettings();
        setChoices();
        saved_ = cvx::NotificationCenter::defaultCenter().addObserver(
            usblink::kTestDataSaved, [this](const cvx::Notification &) { ++savedCount; });
        session().connectHID();
        sim.attach();
        EXPECT_TRUE(sim.run());
    }
    ~SimulatedInstrument() override {
        cvx::NotificationCenter::defaultCenter().removeObserver(saved_);
        sim.detach();
        cvx::HidManager::processPendingEvents();
        UsbManager::resetSharedForTesting();
        UsbManager::setNowProvider({});
        CalcSettingDatas::discardSharedForTesting();
    }
    static UsbManager &session() { return UsbManager::sharedUsbManager(); }
    static UsbHID &transport() { return UsbHID::sharedManager(); }

    // Built before the transport, so that its HID manager sees the virtual device.
    cvxtest::InstrumentSimulator sim;
    int savedCount = 0;

private:
    cvx::NotificationCenter::ObserverId saved_ = 0;
};

}  // namespace patienttest
