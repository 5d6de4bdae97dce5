#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

#include "records/OCMCustInfo.h"
#include "shell/entry/BirthDateLists.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class IDTextField;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
namespace Ui {
class OpretionController;
}
namespace kit {
class PictureView;
}

// The patient-entry window: the user types a chart number or finds a stored patient by chart
// number or name, completes name, birth date, sex and remark, and presses OK. OK writes the
// patient's root record into the patient file, sends the chart number to the instrument
// (KARTE) and opens the measuring window, hiding this one until that window closes. OK is
// usable only while the instrument stands by (state 1 or 6) and its firmware agrees with the
// program's (AppDelegate::isTest).
//
// Opened by the main menu: `con = new OpretionController; con->window()->setLastWindow(menu);
// con->showWindow(); menu->orderOut();`. Closing posts "BackSetMenuObjectFromOperation".
class OpretionController : public TYWindowController {
    Q_OBJECT
public:
    // Makes the measuring window for the patient just sent to the instrument and returns its
    // controller, which the patient-entry controller then owns; it sets the opener's own
    // links (root window = opener.mWindow(), the patient-entry window and controller). The
    // opener sets the new window's lastWindow to its window and shows it.
    using MeasuringWindowFactory = std::function<TYWindowController *(OpretionController &opener)>;
    // The factory every new controller starts with; an empty one restores the stand-in window
    // (MeasuringWindowStandIn).
    static void setDefaultMeasuringWindowFactory(MeasuringWindowFactory factory);

    explicit OpretionController(QObject *parent = nullptr);
    ~OpretionController() override;

    // This controller's factory (see above); empty restores the default.
    void setMeasuringWindowFactory(MeasuringWindowFactory factory);

    // The root window handed on to the measuring window; may stay null.
    TYWindow *mWindow() const { return mWindow_; }
    void setMWindow(TYWindow *window) { mWindow_ = window; }
    // The measuring window's controller while this controller holds one.
    TYWindowController *testViewController() const { return testViewController_; }
    // The matches of the last name search.
    const QList<OCMCustInfo> &userArray() const { return userArray_; }
    const entry::BirthDateLists &birthDateLists() const { return dates_; }

    // ---- Actions of the window.
    // OK: refuses an empty chart number ("W302") and one that names no patient file, such as
    // "Check_Measure_Result" in any case ("W301"); otherwise fills the link's currentCustInfo,
    // writes the patient's root record, sends KARTE and opens the measuring window.
    void clickOkButton();
    // Search by chart number, or by first and last name when no chart number is typed.
    void searchButtonClicked();
    // Radio choice of the sex buttons; null chooses neither.
    void choiceSex(CustomButton *sender);
    // Opens the list named by the sender's "tag": 100 matches, 101 year, 102 month, 103 day.
    void clickButton(QObject *sender);
    // Stops the clock and closes the window.
    void backTap();
    // Hides the window's message panel.
    void hiddenAlertInfoView();

    // ---- Internal operations, public for the measuring window and tests.
    // Enabled exactly in instrument state 1 or 6 while AppDelegate::isTest().
    void changeOkButtonStatus(qint64 deviceStatus);
    // Shows the message picture on the window's panel and clears everything but the chart
    // number; no field keeps the keyboard focus.
    void showAlertView(const QString &code);
    void showUserInfo(const OCMCustInfo &record);

    // ---- Controls of the window (made with it).
    IDTextField *userIDTextField();
    QLineEdit *firstNameTextField();
    QLineEdit *lastNameTextField();
    QComboBox *yearComboBox();
    QComboBox *monthComboBox();
    QComboBox *dayComboBox();
    QComboBox *listIDCombobox();
    QLabel *yearLabel();
    QLabel *monthLabel();
    QLabel *dayLabel();
    QLabel *ageLabel();
    CustomButton *maleCheckbox();
    CustomButton *femaleCheckbox();
    QPlainTextEdit *remarkTestView();
    CustomButton *okButton();
    CustomButton *searchButton();
    CustomButton *backButton();
    // The arrow buttons beside the lists, by tag 100 to 103.
    CustomButton *listButton(int tag);
    BBTime *btime();
    QWidget *alertInfoView();
    kit::PictureView *alertInfoImageView();
    // Why OK is not usable now; empty while it is.
    QLabel *okStatusLabel();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    void windowWillClose() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The layout's controls, the window made first.
    Ui::OpretionController &loadedUi();
    void applyLook();
    void buildAlertInfoView();
    void connectControls();
    void observeNotifications();
    void autoWriteBaseInfo();

    // Field limits of the text fields and the remark.
    void controlTextDidChange(QLineEdit *field);
    void textViewDidChangeSelection();
    void cutRemark();

    // The choice lists.
    void comboBoxWillDismiss(QComboBox *comboBox, int index);
    void updateComboBoxDataSource(QComboBox *comboBox);
    void showDateLabels();
    void setRemark(const QString &remark);
    void setSexChoice(const QString &sex);
    void closeMeasuringWindow();

    std::unique_ptr<Ui::OpretionController> ui_;
    kit::PictureView *alertInfoImageView_ = nullptr;
    entry::BirthDateLists dates_;
    QList<OCMCustInfo> userArray_;
    QPointer<TYWindowController> testViewController_;
    QPointer<TYWindow> mWindow_;
    MeasuringWindowFactory measuringWindowFactory_;
};
