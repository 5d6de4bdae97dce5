#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "SheetFixture.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "sheet/TotalTableController.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"

namespace {

using namespace sheettest;

SheetInput input() {
    SheetInput in;
    in.isNO = 1;
    in.noString = "0001";
    in.dateStr = "2026-03-05 09:08";
    in.strDU = "25";
    in.digiAry = {"35", "57", "89", "3", "81", "53", "65"};
    return in;
}

// Types as a keyboard would, also characters without a key of their own.
void type(QWidget *field, const QString &text) {
    for (QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(field, &press);
    }
}

void wheel(TotalTableController &sheet, int delta) {
    QWidget *view = sheet.window()->findChild<PrintScrollView *>()->viewport();
    QWheelEvent event(QPointF(10, 10), QPointF(10, 10), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
}

QString sheetFlg(const QString &chart) {
    return QString::fromUtf8(readBytes(home(".Corvadenix/Customer/" + chart + ".xml")))
        .section("<SheetFlg>", 1, 1)
        .section("</SheetFlg>", 0, 0);
}

// Records the notifications the sheet posts as it closes.
struct Posted {
    QStringList names;
    QString nos;
    Posted() {
        for (const QString name : {"BackBeforeFromTotal", "BackMainMenuFromTotal"})
            ids.append(cvx::NotificationCenter::defaultCenter().addObserver(
                name, [this, name](const cvx::Notification &n) {
                    names.append(name);
                    nos = n.object.toMap().value("nos").toString();
                }));
    }
    ~Posted() {
        for (auto id : ids) cvx::NotificationCenter::defaultCenter().removeObserver(id);
    }
    QList<cvx::NotificationCenter::ObserverId> ids;
};

TEST(TotalTableController, CsvButtonFollowsTheModeAndPrintingMarksOnlyAFinishedPrint) {
    storePatient("0001", false);
    for (int mode : {0, 3}) {
        setLink(mode, false);
        TotalTableController sheet(input());
        EXPECT_EQ(sheet.saveBtn()->isHidden(), mode == 0) << mode;
        EXPECT_EQ(sheet.isSix(), 0);
    }
    TotalTableController sheet(input());
    sheet.window();
    QTemporaryDir dir;
    TotalTableController::setPrinterSetup([](QPrinter &, QWidget *) { return false; });
    sheet.prints();
    EXPECT_EQ(sheetFlg("0001"), "-");
    TotalTableController::setPrinterSetup([&](QPrinter &printer, QWidget *) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("sheet.pdf"));
        return true;
    });
    sheet.prints();
    EXPECT_EQ(sheetFlg("0001"), "済");
    EXPECT_TRUE(QFile::exists(dir.filePath("sheet.pdf")));

    sheet.forBig();
    EXPECT_TRUE(sheet.isZoomed());
    EXPECT_EQ(sheet.zoomedSheetSize(), QSize(671, 949));
    for (int step = 0; step < 20; ++step) wheel(sheet, -120);
    EXPECT_EQ(sheet.zoomedSheetSize().width(), 295);  // stops below 302, sixteen steps down
    wheel(sheet, 120);
    EXPECT_EQ(sheet.zoomedSheetSize().width(), 310);
    sheet.minTap();
    EXPECT_FALSE(sheet.isZoomed());
    sheet.forBig();
    EXPECT_EQ(sheet.zoomedSheetSize(), QSize(671, 949));
}

TEST(TotalTableController, CorrectionMovesThePatientAndBackReportsTheNewNumber) {
    setLink(0, false);
    storePatient("0001", false);
    storePatient("0003", false);
    cvx::UserDefaults::standard().setObject(QString("memo"), "0001_remark");
    Posted posted;
    {
        TotalTableController sheet(input());
        sheet.window();
        sheet.modifyButtonClicked();
        EXPECT_EQ(sheet.modNoLAB()->text(), "0001");
        EXPECT_EQ(sheet.modFirLAB()->text(), "山田");
        EXPECT_EQ(sheet.modNameLAB()->text(), "花子");

        sheet.modNoLAB()->setText("0003");  // another patient's number
        sheet.confirmModify();
        EXPECT_TRUE(QFile::exists(home(".Corvadenix/Customer/0001.xml")));
        EXPECT_EQ(sheet.noString(), "0001");

        sheet.modNoLAB()->setText("0002");
        sheet.modNameLAB()->setText("花");
        sheet.confirmModify();
        EXPECT_FALSE(QFile::exists(home(".Corvadenix/Customer/0001.xml")));
        EXPECT_TRUE(
            QString::fromUtf8(readBytes(home(".Corvadenix/Customer/0002.xml"))).contains("name=\"山田 花\""));
        EXPECT_EQ(cvx::UserDefaults::standard().objectForKey("0002_remark").toString(), "memo");
        EXPECT_FALSE(cvx::UserDefaults::standard().objectForKey("0001_remark").isValid());
        EXPECT_EQ(sheet.page()->text("zfirstLab"), "山田 花 様");
        EXPECT_EQ(sheet.page()->text("numberLabA"), "カルテ番号:0002");
        sheet.bacTap();
    }
    EXPECT_EQ(posted.names, QStringList{"BackBeforeFromTotal"});
    EXPECT_EQ(posted.nos, "0002");

    TotalTableController other(input());
    other.window()->close();
    EXPECT_EQ(posted.names.last(), "BackMainMenuFromTotal");
}

TEST(TotalTableController, CorrectionFieldsKeepTheirLimits) {
    setLink(0, false);
    storePatient("0001", false);
    TotalTableController sheet(input());
    sheet.window();
    sheet.modifyButtonClicked();
    const struct {
        const char *typed;
        const char *number;
    } cases[] = {{"A", "0001A"}, {"/", "0001"}, {"あ", "0001"}, {":", "0001"}};
    for (const auto &c : cases) {
        sheet.modNoLAB()->setText("0001");
        sheet.modNoLAB()->setLastStringValue("0001");
        sheet.modNoLAB()->setCursorPosition(4);
        type(sheet.modNoLAB(), QString::fromUtf8(c.typed));
        EXPECT_EQ(sheet.modNoLAB()->text(), QString::fromUtf8(c.number)) << c.typed;
    }
    sheet.modNoLAB()->setText(QString(30, 'a'));
    sheet.modNoLAB()->setLastStringValue(QString(30, 'a'));
    type(sheet.modNoLAB(), "b");
    EXPECT_EQ(sheet.modNoLAB()->text(), QString(30, 'a'));
    sheet.modFirLAB()->setText(QString(15, u'山'));
    type(sheet.modFirLAB(), "x");
    EXPECT_EQ(sheet.modFirLAB()->text(), QString(15, u'山'));
}

}  // namespace
