#pragma once

// The windows around a measuring window: the main menu's window first, the patient-entry
// window as its opener, a result screen made by the installed factory, and a hand-moved
// countdown clock.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QPointer>

#include "KitSampleController.h"
#include "ManualCountdownClock.h"
#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/Bundle.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "records/CalcSettingDatas.h"
#include "records/TYTestInfo.h"
#include "shell/BackNotifications.h"
#include "shell/TestViewController.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/kit/TYAlertView.h"

// Readable texts in failure messages.
inline void PrintTo(const QString &text, std::ostream *os) {
    *os << '"' << text.toStdString() << '"';
}

namespace shelltest {

inline QString dataFolder() {
    return cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix");
}

inline void writeSetting(const QString &file, const QString &element, const QString &text) {
    QDir().mkpath(dataFolder());
    QFile out(dataFolder() + QLatin1Char('/') + file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATA>\n    <%1>%2</%1>\n</DATA>\n")
                  .arg(element, text)
                  .toUtf8());
}

// A measurement as the link leaves it in the session once both passes arrived.
inline TYTestInfo completeMeasurement(const QString &chartNo, const QString &time = QStringLiteral("09:08")) {
    TYTestInfo info;
    info.setUserID(chartNo);
    for (int pass = 0; pass < 2; ++pass) {
        TYEachTest &p = pass == 0 ? info.firstTest() : info.secondTest();
        p.setTyData(QStringLiteral("2026-03-05"));
        p.setTyTime(pass == 0 ? QStringLiteral("09:07") : time);
        p.setTyCount(pass == 0 ? QStringLiteral("0") : QStringLiteral("1"));
        p.setTyTemp(QStringLiteral("251"));
        p.setTyTestNO(QStringLiteral("0001"));
        const std::pair<TYTestData *, const char *> pads[] = {
            {&p.bfcTestData(), "BFC"},     {&p.phTestData(), "PH"},   {&p.msTestData(), "MS"},
            {&p.dummyTestData(), "DUMMY"}, {&p.bldTestData(), "BLD"}, {&p.calTestData(), "[Cal]"},
            {&p.leuTestData(), "I_LEU"},   {&p.albTestData(), "ALB"}, {&p.nh3TestData(), "I_NH3"}};
        for (const auto &[pad, name] : pads) {
            pad->setTyName(QString::fromLatin1(name));
            pad->setTyRefBefor(QStringLiteral("300"));
            pad->setTyRefTempBefor(QStringLiteral("300"));
            pad->setTyRefnmBefor(QStringLiteral("300"));
        }
    }
    return info;
}

// The shipped calculation ranges in the data folder, so that measurements can be stored.
inline void installCalcSettings() {
    QDir().mkpath(dataFolder());
    EXPECT_TRUE(cvx::Bundle::copyResource(QStringLiteral("CalcSetting.xml"),
                                          dataFolder() + QStringLiteral("/CalcSetting.xml")));
    CalcSettingDatas::discardSharedForTesting();
}

// The result screen as the factory makes it, keeping what it was given.
class ResultScreenStandIn : public TYWindowController {
    Q_OBJECT
public:
    explicit ResultScreenStandIn(ResultScreenRequest r)
        : TYWindowController(QStringLiteral("ResultTableController")), request(std::move(r)) {}
    ResultScreenRequest request;
};

// What the measuring window hands on above the shell, recorded: the result screen it opens
// and the result CSV and backup calls ("<chart number>#<row>").
class ResultServices {
public:
    ResultServices() {
        TestViewController::setResultScreenFactory([this](ResultScreenRequest request) {
            auto *screen = new ResultScreenStandIn(std::move(request));
            result = screen;
            return screen;
        });
        TestViewController::setCsvSave([this](const QString &chartNo, qint64 row) {
            csvSaves.append(chartNo + QLatin1Char('#') + QString::number(row));
        });
        TestViewController::setCsvBackup([this](const QString &chartNo, qint64 row) {
            csvBackups.append(chartNo + QLatin1Char('#') + QString::number(row));
        });
    }
    ~ResultServices() {
        TestViewController::setResultScreenFactory(nullptr);
        TestViewController::setCsvSave(nullptr);
        TestViewController::setCsvBackup(nullptr);
        delete result;
    }
    ResultServices(const ResultServices &) = delete;
    ResultServices &operator=(const ResultServices &) = delete;

    QPointer<ResultScreenStandIn> result;
    QStringList csvSaves, csvBackups;
};

class MeasuringWindowFixture : public testing::Test {
protected:
    MeasuringWindowFixture() {
        QDir().mkpath(dataFolder());
        EXPECT_TRUE(cvx::Bundle::copyResource(QStringLiteral("CalcSetting.xml"),
                                              dataFolder() + QStringLiteral("/CalcSetting.xml")));
        CalcSettingDatas::discardSharedForTesting();
        // Made before any window: its start reports "no instrument" to whoever listens.
        UsbHID::sharedManager();

        menu = new TYWindow;
        remakeEntry();

        cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
        for (const QString &name : {shell::kBackSetMenuObjectFromOptDetail, entry::kBackOprationFromTest})
            observers.append(
                center.addObserver(name, [this](const cvx::Notification &n) { posted.append(n.name); }));
    }

    ~MeasuringWindowFixture() override {
        for (auto id : observers) cvx::NotificationCenter::defaultCenter().removeObserver(id);
        delete con;
        delete entry;
        delete menu;
        UsbManager::resetSharedForTesting();
        UsbHID::resetSharedForTesting();
        CalcSettingDatas::discardSharedForTesting();
    }

    // A patient-entry window as the main menu opens it.
    void remakeEntry() {
        delete entry;
        entry = new KitSampleController;
        menu->makeKeyAndOrderFront();
        entry->window()->setLastWindow(menu);
        entry->showWindow();
        menu->orderOut();
    }

    static UsbManager &session() { return UsbManager::sharedUsbManager(); }

    // Opens the measuring window as the patient-entry window's OK does.
    void open(const QString &chartNo = QStringLiteral("P-1")) {
        session().currentCustInfo().setCustomerNo(chartNo);
        con = new TestViewController;
        con->setRootWindow(menu);
        con->setOprationWindow(entry->window());
        con->setOpretionController(entry);
        con->window()->setLastWindow(entry->window());
        con->showWindow();
        entry->window()->orderOut();
    }

    static void state(qint64 s) {
        cvx::NotificationCenter::defaultCenter().postNotificationName(
            usblink::kDeviceStatusChangeNotification, QVariant::fromValue(s));
    }
    static void announceData() {
        cvx::NotificationCenter::defaultCenter().postNotificationName(usblink::kTestDataSaved);
    }
    void states(std::initializer_list<qint64> list) {
        for (qint64 s : list) state(s);
    }

    // Message views laid over the measuring window, by picture.
    int messages() const { return int(con->window()->findChildren<TYAlertView *>().size()); }
    bool measuringOpen() const { return con->window()->isVisible(); }
    QString countdownText() const { return con->countdownText(); }

    ManualCountdownClock clock;
    QPointer<TYWindow> menu;
    QPointer<KitSampleController> entry;
    QPointer<TestViewController> con;
    ResultServices services;
    QPointer<ResultScreenStandIn> &result = services.result;
    QStringList &csvSaves = services.csvSaves;
    QStringList &csvBackups = services.csvBackups;
    QStringList posted;
    QList<cvx::NotificationCenter::ObserverId> observers;
};

}  // namespace shelltest
