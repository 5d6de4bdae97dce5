#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPrinter>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "SheetFixture.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "records/UsbUtils.h"
#include "sheet/TotalTableController.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"

namespace {

using namespace sheettest;

SheetInput input(const QString &chart = "0001") {
    SheetInput in;
    in.isNO = 1;
    in.noString = chart;
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

// The message shown over the sheet, then dismissed; "" when none.
QString message(TotalTableController &sheet) {
    TYAlertView *view = sheet.window()->findChild<TYAlertView *>();
    if (!view) return "";
    QString shown = "?";
    for (const char *name : {"update_success", "W302", "W303", "E403"})
        if (view->errorImageView()->pixmap().toImage() == kit::picture(name).toImage()) shown = name;
    view->okButtonClicked();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return shown;
}

// Opens the correction panel, sets the number and presses OK; answers the message shown.
QString correct(TotalTableController &sheet, const QString &number) {
    sheet.modifyButtonClicked();
    sheet.modNoLAB()->setText(number);
    sheet.confirmModify();
    return message(sheet);
}

QStringList files(const QString &folder) {
    return QDir(home(folder)).entryList(QDir::Files, QDir::Name);
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

// The CSV outcome is shown in the sheet's own panel, not as a message over the window.
TEST(TotalTableController, CsvButtonFollowsTheModeAndShowsTheOutcomeInItsPanel) {
    storePatient("0001", false);
    QDir().mkpath(home("out"));
    const struct {
        int mode;
        QString output;
        const char *picture;  // nullptr: nothing shown
    } cases[] = {{0, home("out"), nullptr}, {3, home("out"), "csv_save_success"}, {4, home("none"), "W312"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.mode);
        setLink(c.mode, false, c.output);
        TotalTableController sheet(input());
        sheet.window()->makeKeyAndOrderFront();
        EXPECT_EQ(sheet.saveBtn()->isHidden(), c.mode == 0);
        EXPECT_EQ(sheet.isSix(), 0);
        sheet.saveCsv();
        EXPECT_FALSE(sheet.window()->findChild<TYAlertView *>());
        EXPECT_EQ(sheet.isCsvShown(), c.picture != nullptr);
        if (!c.picture) continue;
        EXPECT_EQ(sheet.csvShowImg()->pixmap().toImage(), kit::picture(c.picture).toImage());
        sheet.csvOk();
        EXPECT_FALSE(sheet.isCsvShown());
    }
}

TEST(TotalTableController, PrintingMarksOnlyAFinishedPrintAndTheZoomStaysClearOfTheButtons) {
    setLink(0, false);
    storePatient("0001", false);
    TotalTableController sheet(input());
    sheet.window();
    // Preview at 0.45 of the 671 by 949 sheet and the zoom view, placed from the window's
    // lower-left corner.
    EXPECT_EQ(sheet.previewView()->geometry(), QRect(244, 238, 302, 427));
    EXPECT_EQ(sheet.zoomView()->geometry(), QRect(44, 234, 688, 426));
    for (QAbstractButton *button : sheet.window()->findChildren<QAbstractButton *>()) {
        if (button->objectName() == "btnForBig" || button->parentWidget() != sheet.window()) continue;
        EXPECT_FALSE(button->geometry().intersects(sheet.zoomView()->geometry()))
            << button->objectName().toStdString();
    }
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
    EXPECT_TRUE(sheet.previewView()->isHidden());
    EXPECT_EQ(sheet.zoomedSheetSize(), QSize(671, 949));
    for (int step = 0; step < 20; ++step) wheel(sheet, -120);
    EXPECT_EQ(sheet.zoomedSheetSize().width(), 295);  // stops below 302, sixteen steps down
    wheel(sheet, 120);
    EXPECT_EQ(sheet.zoomedSheetSize().width(), 310);
    sheet.minTap();
    EXPECT_FALSE(sheet.isZoomed());
    EXPECT_FALSE(sheet.previewView()->isHidden());
    sheet.forBig();
    EXPECT_EQ(sheet.zoomedSheetSize(), QSize(671, 949));
}

TEST(TotalTableController, CorrectionMovesThePatientAndBackReportsTheNewNumber) {
    setLink(0, false);
    storePatient("0001", false);
    storePatient("0003", false);
    ASSERT_TRUE(UsbUtils::csvBackup("0001", -1));
    cvx::UserDefaults::standard().setObject(QString("memo"), "0001_remark");
    QTemporaryDir dir;
    TotalTableController::setPrinterSetup([&](QPrinter &printer, QWidget *) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("sheet.pdf"));
        return true;
    });
    Posted posted;
    {
        TotalTableController sheet(input());
        sheet.window()->makeKeyAndOrderFront();
        sheet.modifyButtonClicked();
        EXPECT_EQ(sheet.modNoLAB()->text(), "0001");
        EXPECT_EQ(sheet.modFirLAB()->text(), "山田");
        EXPECT_EQ(sheet.modNameLAB()->text(), "花子");

        sheet.modNoLAB()->setText("0002");
        sheet.modNameLAB()->setText("花");
        sheet.confirmModify();
        EXPECT_EQ(message(sheet), "update_success");
        EXPECT_FALSE(QFile::exists(home(".Corvadenix/Customer/0001.xml")));
        EXPECT_TRUE(
            QString::fromUtf8(readBytes(home(".Corvadenix/Customer/0002.xml"))).contains("name=\"山田 花\""));
        EXPECT_EQ(cvx::UserDefaults::standard().objectForKey("0002_remark").toString(), "memo");
        EXPECT_FALSE(cvx::UserDefaults::standard().objectForKey("0001_remark").isValid());
        EXPECT_EQ(files("ResultData"), QStringList{"0002_20260305090830_12345678.txt"});
        EXPECT_EQ(sheet.page()->text("zfirstLab"), "山田 花 様");
        EXPECT_EQ(sheet.page()->text("numberLabA"), "カルテ番号:0002");

        // The printed code says what the printed page says.
        sheet.prints();
        TotalTableController::setPrinterSetup([](QPrinter &, QWidget *) { return false; });
        EXPECT_EQ(decodePrintedQr(dir.filePath("sheet.pdf")),
                  "2026-03-05,09:08,0002,35,1,57,2,89,0,3,0,81,2,53,1,65,2");
        sheet.bacTap();
    }
    EXPECT_EQ(posted.names, QStringList{"BackBeforeFromTotal"});
    EXPECT_EQ(posted.nos, "0002");

    TotalTableController other(input());
    other.window()->close();
    EXPECT_EQ(posted.names.last(), "BackMainMenuFromTotal");
}

// When a new backup cannot be written, the old one stays: one whole set is always left.
TEST(TotalTableController, CorrectionKeepsTheOldBackupsUntilTheNewOnesAreWritten) {
    setLink(0, false);
    storePatient("0001", false);
    ASSERT_TRUE(UsbUtils::csvBackup("0001", -1));
    QDir().mkpath(home("ResultData/0002_20260305090830_12345678.txt"));  // no file can go there
    TotalTableController sheet(input());
    sheet.window()->makeKeyAndOrderFront();
    EXPECT_EQ(correct(sheet, "0002"), "update_success");
    EXPECT_EQ(files("ResultData"), QStringList{"0001_20260305090830_12345678.txt"});
}

// Refused numbers change nothing: the file, the remark and the number the sheet reports.
TEST(TotalTableController, CorrectionRefusesEmptyTakenAndReservedNumbers) {
    setLink(0, false);
    storePatient("A100", false);
    storePatient("0003", false);
    writeText(home(".Corvadenix/Customer/Check_Measure_Result.xml"), "<DATA/>");
    const struct {
        const char *number, *message;
    } cases[] = {{"", "W302"},
                 {"a100", "W303"},
                 {"0003", "W303"},
                 {"Check_Measure_Result", "W303"},
                 {"check_measure_result", "W303"}};
    TotalTableController sheet(input("A100"));
    sheet.window()->makeKeyAndOrderFront();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.number);
        EXPECT_EQ(correct(sheet, c.number), c.message);
        EXPECT_EQ(sheet.noString(), "A100");
        EXPECT_EQ(files(".Corvadenix/Customer"),
                  (QStringList{"0003.xml", "A100.xml", "Check_Measure_Result.xml"}));
    }
}

// A number longer than one can type (the data import takes any safe file name) is shown whole,
// and OK without an edit moves nothing.
TEST(TotalTableController, CorrectionKeepsALongImportedNumberWhole) {
    setLink(0, false);
    const QString chart = "IMPORTED-" + QString(27, QLatin1Char('7'));
    storePatient(chart, false);
    cvx::UserDefaults::standard().setObject(QString("memo"), chart + "_remark");
    TotalTableController sheet(input(chart));
    sheet.window()->makeKeyAndOrderFront();
    sheet.modifyButtonClicked();
    EXPECT_EQ(sheet.modNoLAB()->text(), chart);
    sheet.confirmModify();
    EXPECT_EQ(message(sheet), "update_success");
    EXPECT_EQ(files(".Corvadenix/Customer"), QStringList{chart + ".xml"});
    EXPECT_EQ(sheet.noString(), chart);
    EXPECT_EQ(cvx::UserDefaults::standard().objectForKey(chart + "_remark").toString(), "memo");
}

// The remark under the new number is the one moved with the patient, never a stale one.
TEST(TotalTableController, CorrectionReplacesAStaleRemarkOfTheNewNumber) {
    setLink(0, false);
    const struct { QVariant moved; } cases[] = {{QString("memo")}, {QVariant()}};
    for (const auto &c : cases) {
        storePatient("A200", false);
        QFile::remove(home(".Corvadenix/Customer/C300.xml"));
        auto &defaults = cvx::UserDefaults::standard();
        defaults.setObject(QString("stale"), "C300_remark");
        if (c.moved.isValid())
            defaults.setObject(c.moved, "A200_remark");
        else
            defaults.removeObjectForKey("A200_remark");
        TotalTableController sheet(input("A200"));
        sheet.window()->makeKeyAndOrderFront();
        EXPECT_EQ(correct(sheet, "C300"), "update_success");
        EXPECT_EQ(defaults.objectForKey("C300_remark"), c.moved);
        EXPECT_FALSE(defaults.objectForKey("A200_remark").isValid());
    }
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
    // A character of two code units at the limit goes whole, never half of it.
    sheet.modFirLAB()->setText(QString(14, u'山'));
    type(sheet.modFirLAB(), QStringLiteral("\U0001F600"));
    EXPECT_EQ(sheet.modFirLAB()->text(), QString(14, u'山'));
}

}  // namespace
