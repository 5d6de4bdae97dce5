#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

#include "platform/XmlDocument.h"
#include "records/OCMCustomerComment.h"
#include "review/TableViewDatas.h"
#include "shell/kit/TYWindowController.h"

class BBColumnView;
class BBNetView;
class BBTime;
class CustomButton;
class QLabel;
class QLineEdit;
class QTableWidget;
namespace Ui {
class ResultTableController;
}

// What the result screen hands the result sheet when the dentist goes on ("Next").
struct ResultSheetRequest {
    QStringList digiAry;                    // the shown measurement's seven chart positions, item order
    int isNO = 1;                           // layout 1 A, 2 B, 3 C
    std::optional<OCMCustomerComment> C22;  // first ticked earlier result
    std::optional<OCMCustomerComment> C23;  // second ticked earlier result
    std::optional<OCMCustomerComment> t1;   // bar slot 1
    std::optional<OCMCustomerComment> t2;   // bar slot 2
    int isDraw2 = 0;                        // 1: layout A compares with coNCus
    std::optional<OCMCustomerComment> coNCus;
    OCMCustomerComment zdata;  // the shown measurement
    QString dateStr;           // its "yyyy-MM-dd HH:mm"
    QString strDU;             // its whole degrees
    QStringList aryDU;         // whole degrees per history row
    QStringList DUDU;          // "<dateT>|<degrees>" per history row
    qint64 selectRow = 0;
    QString noString;
    TYWindow *lastWindow = nullptr;  // where the sheet returns to the main menu
};

// The result screen of one stored measurement: the items with value, coloured level word,
// average and stock comment; the radar and bar charts; the patient's other measurements to
// compare with; the total comment, hospital and dentist; the sheet layout. Choices are
// written into the patient file at once, hospital and dentist also when the screen is left.
//
// The opener sets the patient file and the measurement before it first asks for the window
// (which runs the whole set-up), sets the window's lastWindow and shows it. Main thread.
class ResultTableController : public TYWindowController {
    Q_OBJECT
public:
    // Makes the sheet's controller (without parent) for a request; it is shown by this screen.
    using TotalTableFactory = std::function<TYWindowController *(const ResultSheetRequest &request)>;
    // Installed by the application once the sheet exists. Unset, "Next" says so.
    static void setTotalTableFactory(TotalTableFactory factory);

    explicit ResultTableController(QObject *parent = nullptr);
    ~ResultTableController() override;

    // ---- Set by the opener before the window loads --------------------------------------
    // The patient's file, parsed (UsbUtils::getCustomerXml).
    const std::optional<cvx::XmlDocument> &dataXML() const { return dataXML_; }
    void setDataXML(std::optional<cvx::XmlDocument> document) { dataXML_ = std::move(document); }
    // Kept for openers that name another file; the screen reads dataXML and writes savePath.
    QString xmlPath() const { return xmlPath_; }
    void setXmlPath(const QString &path) { xmlPath_ = path; }
    // The patient file every write goes to (UsbUtils::getXmlPath).
    QString savePath() const { return savePath_; }
    void setSavePath(const QString &path) { savePath_ = path; }
    // The chart number; noStr is the same number as some openers name it.
    QString noString() const { return noString_; }
    void setNoString(const QString &chartNo) { noString_ = chartNo; }
    QString noStr() const { return noString_; }
    void setNoStr(const QString &chartNo) {
        if (noString_.isEmpty()) noString_ = chartNo;
    }
    // "yyyy-MM-dd HH:mm" of the measurement to show. When the file has no such measurement
    // the newest is shown and this becomes its date, so that writes reach what is shown.
    QString dateStr() const { return dateStr_; }
    void setDateStr(const QString &dateTime) { dateStr_ = dateTime; }
    // The shown measurement's row among the patient's results, newest first.
    qint64 selectRow() const { return selectRow_; }
    void setSelectRow(qint64 row) { selectRow_ = row; }
    // The main window, ordered out when the sheet opens.
    TYWindow *mWindow() const { return mWindow_; }
    void setMWindow(TYWindow *window) { mWindow_ = window; }

    // ---- State -----------------------------------------------------------------------------
    BBTime *zbbtime() const;
    int isSix() const { return isSix_; }
    int isNO() const { return isNO_; }
    int isDraw2() const { return isDraw2_; }
    const std::optional<OCMCustomerComment> &tabData() const { return tabData_; }
    const QStringList &tabTimeAry() const { return tabTimeAry_; }
    const QStringList &tabTimeCkAry() const { return tabTimeCkAry_; }
    const QStringList &aryDU() const { return aryDU_; }
    const QStringList &digiAry() const { return digiAry_; }
    QString strDU() const { return strDU_; }
    // The average labels of the level cells, group 1 and group 2 (BLD left out in six-item mode).
    const QStringList &tabAtyAvr1() const { return tabAtyAvr1_; }
    const QStringList &tabAtyAvr2() const { return tabAtyAvr2_; }
    const TableViewDatas &TVD() const { return TVD_; }

    // The rich text of an item's level cell and the colour of its word (item 1..7).
    static QString levelText(int item, const QString &word, const QString &average);
    static QString levelColor(int item, const QString &word);

    // ---- Actions (the screen's buttons; public so the sheet and tests can drive them) -------
    void checkTap();
    void checkTap2();
    void checkTap3();
    void timeTap(int row);
    // Opens (or closes) the comment pull-down of a row of item group 1, 2 or 3.
    void seleTap(int group, int row);
    void seleConOneTap(int row);
    void addTap();
    void detailTap();
    void seleHospitalTap();
    void seleYSTap();
    void bgButtonClicked();
    void backTap();
    void modifyTap();
    // Writes hospital and dentist into the shown result and their lists.
    // False when writing the patient file failed.
    bool saveHosAndDo();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromResult" and brings lastWindow back.
    void windowWillClose() override;

private:
    class CommentTable;

    void twoInit();
    void initBase();
    void styleScreen();
    void connectActions();
    void mytest(const QString &chartNo);
    void getXMLZ();
    void checkPrintButtonState();

    // Reading (the measurement, the history, the charts).
    void getList();
    void getTabData();
    void getDU();
    void setData(const OCMCustomerComment &record);
    void setCol(const OCMCustomerComment &record, int cou);
    void clearBarSlots();
    QString rsvDataOfShown() const;
    std::optional<int> leuAverage() const;
    std::optional<int> nh3Average() const;

    // Tables.
    void setupTables();
    void reloadItemTables();
    void reloadHistory();
    void reloadNameList(QTableWidget *table, const QStringList &names);
    void reloadComments();
    void setTVData();
    void applyLayout(int layout);
    void showLayout(int layout);
    void layoutMainContent();
    void makeAxisNames();
    void placeAxisNames();
    void fitPullDown();
    void showComparedRadars();
    void placePullDown(int group, int row);
    void closeItemPullDown();
    void closeNameLists();
    void pickName(bool hospital, int row);
    void showSheetUnavailable();
    TYWindow *mainWindow();

    QList<BBColumnView *> columns() const;

    std::unique_ptr<Ui::ResultTableController> ui_;
    std::unique_ptr<CommentTable> commentTable_;
    TableViewDatas TVD_;

    std::optional<cvx::XmlDocument> dataXML_;
    QString xmlPath_;
    QString savePath_;
    QString noString_;
    QString dateStr_;
    qint64 selectRow_ = 0;
    QPointer<TYWindow> mWindow_;

    int isSix_ = 0;
    int isNO_ = 1;
    int tempz_ = 0;
    int tempz2_ = 0;
    int isDraw2_ = 0;
    int seleCount_ = 0;
    int isShowUp_ = 0;
    int clickTypeNum_ = 0;

    QList<OCMCustomerComment> customerComments_;
    std::optional<OCMCustomerComment> tabData_;
    std::optional<OCMCustomerComment> coNCus_;
    std::optional<OCMCustomerComment> t1_;
    std::optional<OCMCustomerComment> t2_;
    QStringList tabTimeAry_, tabTimeCkAry_, aryDU_, DUDU_;
    QString strDU_;
    QStringList tab12_, tab14_, tab22_, tab24_, tab32_, tab34_;
    QStringList tab22Full_, tab24Full_;
    QStringList digiAry_;
    QStringList tabAty1_, tabAty2_, tabAtyAvr1_, tabAtyAvr2_;
    QStringList hospitalAry_, YSAry_;
    QPointer<TYWindowController> TotalTableCon_;

    struct AxisName {
        BBNetView *view;
        int item;
        QLabel *name;
    };
    QList<AxisName> axisNames_;
    // Where the open comment pull-down hangs: its top, or its bottom when it opens upward.
    int pullDownEdge_ = 0;
    bool pullDownUpward_ = false;
};
