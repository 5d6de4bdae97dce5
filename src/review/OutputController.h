#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

#include "platform/XmlDocument.h"
#include "records/OCMResultInfo.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class IDTextField;
class QComboBox;
class QLineEdit;
class QTableView;
class ResultTableController;
namespace Ui {
class OutputController;
}
namespace kit {
class PictureView;
}

// The result finder: the user finds a patient by chart number or by part of the name, the
// patient's stored measurements are listed newest first with their sheet flag and remark, and
// the ticked one opens on the result screen. It reads patient files and writes none (it only
// makes the Customer folder when missing).
//
// Opened by the main menu: `con = new OutputController; con->setMWindow(main);` before the
// window loads, then `con->window()->setLastWindow(main); con->showWindow();`. Closing posts
// "BackMainMenuObjectFromOutput" and brings the first window back.
class OutputController : public TYWindowController {
    Q_OBJECT
public:
    // The table's columns by identifier, in order.
    static const QStringList &columnIdentifiers();

    explicit OutputController(QObject *parent = nullptr);
    ~OutputController() override;

    // The main window; set by the main menu before the window is loaded.
    TYWindow *mWindow() const { return mWindow_; }
    void setMWindow(TYWindow *window) { mWindow_ = window; }

    // ---- Actions of the window.
    // Search: by the chart number typed, else by the name parts typed ("W302" with nothing
    // typed, "W304" for the check file's name).
    void outPutTap();
    // Every patient file whose stored name holds the typed parts is a hit; the first is loaded.
    void directOutput();
    // The chart numbers of the patient files whose stored name holds the typed parts, in
    // chart-number order.
    static QStringList nameHits(const QString &first, const QString &last, int mode);
    // Opens the list of the last name search's hits.
    void downTap();
    // The list closed on the hit at `index` (-1 for none): that patient is loaded.
    void comboBoxWillDismiss(int index);
    // Loads the first hit of a name search (in the chart-number field); a file without any
    // measurement moves on to the second hit.
    void outPutNoIsEmpty();
    // Loads a hit chosen in the list.
    void saveData(const QString &chartNo);
    // No patient found: the list is emptied and "W304" shown over the window.
    void showAlert304ImageView();
    // Hides the window's message panel.
    void okTap();
    // Ticks and selects the row; always allowed.
    bool tableViewShouldSelectRow(qint64 row);
    // A value set in a cell of one of the four columns ticks its row, whatever the value.
    void tableViewSetObjectValue(const QString &columnIdentifier, qint64 row);
    // Opens the result screen on the ticked measurement ("W308" with no list).
    void editTap();
    // Leave the finder (two buttons, the same behaviour).
    void backTap();
    void backTwoTap();

    // ---- The list.
    qsizetype numberOfRowsInTableView() const { return timeMuAry_.size(); }
    // The cell's text: "1"/"0" for "chekCell", else the row's date-time, sheet flag or remark;
    // null for a row outside the list.
    QString objectValue(const QString &columnIdentifier, qint64 row) const;
    const QStringList &timeMuAry() const { return timeMuAry_; }
    const QStringList &sheetMuAry() const { return sheetMuAry_; }
    const QStringList &remarkMuAry() const { return remarkMuAry_; }
    const QStringList &checkTableAry() const { return checkTableAry_; }
    qint64 selectRow() const { return selectRow_; }
    // The list area's height: 53 per row and 2, at most 383.
    int listHeight() const;

    // ---- The patient in view.
    const QStringList &comboxAry() const { return comboxAry_; }
    int couComb() const { return couComb_; }
    QString noStr() const { return noStr_; }
    const OCMResultInfo &resultInfo() const { return resultInfo_; }
    const std::optional<cvx::XmlDocument> &dataXML() const { return dataXML_; }
    QString savePath() const { return savePath_; }
    // The result screen last opened from here.
    ResultTableController *resultTableCon() const { return resultTableCon_; }
    // The message code on the window's panel; null while the panel is hidden.
    QString panelMessage() const { return panelMessage_; }

    // ---- Controls of the window (made with it).
    BBTime *zbbtime() const;
    CustomButton *backButton() const;
    CustomButton *backTwoButton();
    CustomButton *searchButton();
    CustomButton *editButton();
    CustomButton *downBtn();
    IDTextField *noTxtFid();
    QLineEdit *firstName();
    QLineEdit *lastName();
    QComboBox *comBox();
    QTableView *tabView();
    kit::PictureView *infomationImg();
    CustomButton *okBtn();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromOutput" and returns to the first window.
    void windowWillClose() override;

private:
    enum class LoadKind { NumberSearch, FirstHit, PulldownChoice };
    class TableModel;

    Ui::OutputController &loadedUi();
    void initBase();
    void applyLook();
    void buildMessagePanel(TYWindow *window);
    void connectControls();
    void controlTextDidChange(QLineEdit *field);

    void loadPatient(LoadKind kind);
    void emptyList();
    void showList();
    void tickRow(qint64 row);
    void reloadTable(bool ticksOnly);
    void reloadComboBox();
    void clearNameFields();
    void putChartNumber(const QString &chartNo);
    void showPanelMessage(const QString &code);
    void setPanelVisible(bool visible);

    std::unique_ptr<Ui::OutputController> ui_;
    TableModel *model_ = nullptr;
    kit::PictureView *bacImg_ = nullptr;
    kit::PictureView *infoImg_ = nullptr;
    kit::PictureView *infomationImg_ = nullptr;
    CustomButton *okBtn_ = nullptr;
    QString panelMessage_;
    bool reloading_ = false;

    QPointer<TYWindow> mWindow_;
    QStringList comboxAry_;
    int couComb_ = 0;
    QString noStr_;
    OCMResultInfo resultInfo_;

    QStringList timeMuAry_;
    QStringList sheetMuAry_;
    QStringList remarkMuAry_;
    QStringList checkTableAry_;
    // Per row, the measurement's position among the file's results (the file's order), which
    // the result screen and the text backup count by.
    QList<qint64> resultIndexAry_;
    qint64 selectRow_ = 0;
    std::optional<cvx::XmlDocument> dataXML_;
    QString savePath_;
    QPointer<ResultTableController> resultTableCon_;
};
