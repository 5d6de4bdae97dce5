#include "shell/OpretionController.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStyledItemDelegate>
#include <QTextCursor>

#include "link/LinkNotifications.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "platform/Dispatch.h"
#include "platform/NotificationCenter.h"
#include "platform/Numbers.h"
#include "records/AppDelegate.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/ShellNotifications.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/entry/FieldRules.h"
#include "shell/entry/MeasuringWindowStandIn.h"
#include "shell/entry/PatientRecords.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "ui_OpretionController.h"

namespace {

enum ListTag { kMatchList = 100, kYearList = 101, kMonthList = 102, kDayList = 103 };

const QString kRadioOn = QStringLiteral("ボタン_ラジオボタン_ON_");
const QString kRadioOff = QStringLiteral("ボタン_ラジオボタン_OFF_");

OpretionController::MeasuringWindowFactory standInFactory() {
    return [](OpretionController &) -> TYWindowController * {
        return new MeasuringWindowStandIn(UsbManager::sharedUsbManager().currentCustInfo().customerNo());
    };
}

OpretionController::MeasuringWindowFactory &defaultFactory() {
    static OpretionController::MeasuringWindowFactory factory = standInFactory();
    return factory;
}

void setRadio(CustomButton *button, bool chosen) {
    const QString stem = chosen ? kRadioOn : kRadioOff;
    button->setChecked(chosen);
    button->setImageNamed(stem);
    button->setHoverImageNamed(stem + QStringLiteral("ON"));
}

// What the user is told while OK cannot be pressed.
QString okStatusText(qint64 deviceStatus, bool firmwareAgrees) {
    if (!firmwareAgrees) return QStringLiteral("機器のファームウェアを更新すると測定できます");
    switch (deviceStatus) {
        case 1:
        case 6:
            return QString();
        case -1:
            return QStringLiteral("機器が接続されていません");
        case 0:
            return QStringLiteral("機器を準備しています");
        case 2:
            return QStringLiteral("機器が測定中です");
        case 3:
            return QStringLiteral("機器にエラーが発生しています");
        case 4:
            return QStringLiteral("機器の電源が切れています");
        default:
            return QStringLiteral("機器が待機中になるとOKを押せます");
    }
}

}  // namespace

void OpretionController::setDefaultMeasuringWindowFactory(MeasuringWindowFactory factory) {
    defaultFactory() = factory ? std::move(factory) : standInFactory();
}

OpretionController::OpretionController(QObject *parent)
    : TYWindowController(QStringLiteral("OpretionController"), parent),
      ui_(std::make_unique<Ui::OpretionController>()),
      measuringWindowFactory_(defaultFactory()) {}

OpretionController::~OpretionController() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
    delete testViewController_.data();
}

void OpretionController::setMeasuringWindowFactory(MeasuringWindowFactory factory) {
    measuringWindowFactory_ = factory ? std::move(factory) : defaultFactory();
}

// ---- Opening ---------------------------------------------------------------------------------

void OpretionController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    auto *background = new kit::PictureView(window);
    background->setGeometry(window->rect());
    background->setAttribute(Qt::WA_TransparentForMouseEvents);
    background->lower();
    shell::dressScreen(background, ui_->titleLabel, ui_->btime);
    buildAlertInfoView();
    applyLook();
    connectControls();
}

void OpretionController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    changeOkButtonStatus(UsbHID::sharedManager().deviceStatus());
    dates_.reloadYearArray();
    updateComboBoxDataSource(ui_->yearComboBox);
    observeNotifications();
    ui_->remarkTestView->setFont(kit::appFont(20));
    ui_->userIDTextField->setFocus();
    autoWriteBaseInfo();
    auto &center = cvx::NotificationCenter::defaultCenter();
    center.removeObserver(this, entry::kBackOprationFromTest);
    center.addObserver(this, entry::kBackOprationFromTest, [this](const cvx::Notification &) {
        if (isWindowLoaded()) ui_->btime->zstart();
    });
}

void OpretionController::observeNotifications() {
    auto &center = cvx::NotificationCenter::defaultCenter();
    center.removeObserver(this, usblink::kDeviceStatusChangeNotification);
    center.addObserver(this, usblink::kDeviceStatusChangeNotification,
                       [this](const cvx::Notification &n) { changeOkButtonStatus(n.object.toLongLong()); });
    center.removeObserver(this, shell::kChangeOkButtonStatus);
    center.addObserver(this, shell::kChangeOkButtonStatus, [this](const cvx::Notification &) {
        changeOkButtonStatus(UsbHID::sharedManager().deviceStatus());
    });
}

void OpretionController::autoWriteBaseInfo() {
    UsbManager &session = UsbManager::sharedUsbManager();
    if (!session.hasCurrentCustInfo()) return;
    const OCMCustInfo &info = session.currentCustInfo();
    if (info.customerNo().isEmpty()) return;
    ui_->userIDTextField->setText(info.customerNo());
    // A number put back into the field counts as accepted, so a refused keystroke keeps it.
    ui_->userIDTextField->setLastStringValue(info.customerNo());
    ui_->firstNameTextField->setText(info.firstname());
    ui_->lastNameTextField->setText(info.lastname());
    const QStringList parts = info.birthday().split(u'-');
    if (parts.size() == 3) {
        dates_.setLabels(parts.at(0), parts.at(1), parts.at(2), info.age());
        showDateLabels();
    }
    setSexChoice(info.sex());
    setRemark(info.remark());
}

void OpretionController::buildAlertInfoView() {
    QWidget *panel = ui_->alertInfoView;
    kit::addStretchedPicture(panel, panel->rect(), QStringLiteral("box"));
    kit::addStretchedPicture(panel, QRect(0, 200, 960, 320), QStringLiteral("画面_メッセージ"));
    alertInfoImageView_ = kit::addStretchedPicture(panel, QRect(243, 260, 475, 85), QString());
    CustomButton *ok = kit::addMessageButton(panel, QRect(494, 360, 112, 112), QStringLiteral("ボタン_OK_"));
    connect(ok, &CustomButton::clicked, this, &OpretionController::hiddenAlertInfoView);
    panel->raise();
    panel->hide();
}

void OpretionController::applyLook() {
    Ui::OpretionController &ui = *ui_;
    shell::styleCard(ui.formCard);
    for (QLabel *caption :
         {ui.userIDCaption, ui.nameCaption, ui.birthdayCaption, ui.sexCaption, ui.remarkCaption})
        shell::styleLabel(caption, 20, true, QStringLiteral("#24414f"));
    for (QLabel *word : {ui.firstNameCaption, ui.lastNameCaption, ui.yearUnit, ui.monthUnit, ui.dayUnit,
                         ui.ageCaption, ui.ageUnit, ui.maleCaption, ui.femaleCaption})
        shell::styleLabel(word, 20, false, QStringLiteral("#2b3a42"));
    for (QLabel *hint : {ui.userIDHint, ui.nameHint, ui.remarkHint, ui.okStatusLabel})
        shell::styleLabel(hint, hint == ui.okStatusLabel ? 16 : 14, false, QStringLiteral("#6b7c86"));

    const QString field = QStringLiteral(
        "background: white; color: #1f2d35; border: 1px solid #b8c7cf; border-radius: 6px; padding: 0 10px;");
    for (QLineEdit *edit :
         {static_cast<QLineEdit *>(ui.userIDTextField), ui.firstNameTextField, ui.lastNameTextField}) {
        edit->setFont(kit::appFont(22));
        edit->setStyleSheet(
            QStringLiteral("QLineEdit { %1 } QLineEdit:focus { border: 2px solid #2a9d8f; }").arg(field));
    }
    for (QLabel *box : {ui.yearLabel, ui.monthLabel, ui.dayLabel, ui.ageLabel}) {
        box->setFont(kit::appFont(22));
        box->setStyleSheet(QStringLiteral("QLabel { %1 }").arg(field));
    }
    ui.ageLabel->setStyleSheet(QStringLiteral(
        "QLabel { background: #f2f6f8; color: #1f2d35; border: 1px solid #d3dee4; border-radius: 6px; }"));
    ui.remarkTestView->setStyleSheet(
        QStringLiteral(
            "QPlainTextEdit { %1 padding: 4px 6px; } QPlainTextEdit:focus { border: 2px solid #2a9d8f; }")
            .arg(field));

    // A short scrolling list under its box, not a menu over the whole screen.
    const QString popup = QStringLiteral(
        "QComboBox { combobox-popup: 0; }"
        "QComboBox QAbstractItemView { background: white; color: #1f2d35; border: 1px solid #b8c7cf; "
        "selection-background-color: #2a9d8f; selection-color: white; outline: 0; }"
        "QComboBox QAbstractItemView::item { min-height: 38px; padding: 0 12px; }");
    for (QComboBox *list : {ui.yearComboBox, ui.monthComboBox, ui.dayComboBox, ui.listIDCombobox}) {
        list->setItemDelegate(new QStyledItemDelegate(list));
        list->setFont(kit::appFont(20));
        list->setStyleSheet(popup);
        list->setMaxVisibleItems(8);
        list->setFocusPolicy(Qt::NoFocus);
    }
    ui.listIDCombobox->view()->setMinimumWidth(ui.listIDCombobox->width());
}

void OpretionController::connectControls() {
    Ui::OpretionController &ui = *ui_;
    connect(ui.userIDTextField, &QLineEdit::textEdited, this,
            [this] { controlTextDidChange(ui_->userIDTextField); });
    connect(ui.firstNameTextField, &QLineEdit::textEdited, this,
            [this] { controlTextDidChange(ui_->firstNameTextField); });
    connect(ui.lastNameTextField, &QLineEdit::textEdited, this,
            [this] { controlTextDidChange(ui_->lastNameTextField); });
    connect(ui.remarkTestView, &QPlainTextEdit::cursorPositionChanged, this,
            &OpretionController::textViewDidChangeSelection);

    for (QComboBox *list : {ui.yearComboBox, ui.monthComboBox, ui.dayComboBox, ui.listIDCombobox})
        connect(list, &QComboBox::activated, this,
                [this, list](int index) { comboBoxWillDismiss(list, index); });
    for (CustomButton *arrow : {ui.listIDButton, ui.yearButton, ui.monthButton, ui.dayButton})
        connect(arrow, &CustomButton::clicked, this, [this, arrow] { clickButton(arrow); });
    // The boxes that show the chosen date parts open their lists too.
    ui.yearLabel->setProperty("tag", kYearList);
    ui.monthLabel->setProperty("tag", kMonthList);
    ui.dayLabel->setProperty("tag", kDayList);
    for (QLabel *box : {ui.yearLabel, ui.monthLabel, ui.dayLabel}) {
        box->installEventFilter(this);
        box->setCursor(Qt::PointingHandCursor);
    }

    for (CustomButton *radio : {ui.maleCheckbox, ui.femaleCheckbox}) {
        radio->setCheckable(true);
        setRadio(radio, false);
        connect(radio, &CustomButton::clicked, this, [this, radio] { choiceSex(radio); });
    }
    for (QLabel *caption : {ui.maleCaption, ui.femaleCaption}) {
        caption->setAttribute(Qt::WA_TransparentForMouseEvents, false);
        caption->installEventFilter(this);
        caption->setCursor(Qt::PointingHandCursor);
    }

    connect(ui.okButton, &CustomButton::clicked, this, &OpretionController::clickOkButton);
    connect(ui.searchButton, &CustomButton::clicked, this, &OpretionController::searchButtonClicked);
    connect(ui.backButton, &CustomButton::clicked, this, &OpretionController::backTap);
}

bool OpretionController::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::MouseButtonPress && isWindowLoaded()) {
        if (watched == ui_->maleCaption) {
            choiceSex(ui_->maleCheckbox);
            return true;
        }
        if (watched == ui_->femaleCaption) {
            choiceSex(ui_->femaleCheckbox);
            return true;
        }
        if (watched == ui_->yearLabel || watched == ui_->monthLabel || watched == ui_->dayLabel) {
            clickButton(watched);
            return true;
        }
    }
    return TYWindowController::eventFilter(watched, event);
}

// ---- Closing ---------------------------------------------------------------------------------

void OpretionController::backTap() {
    ui_->btime->zstop();
    window()->close();
}

void OpretionController::windowWillClose() {
    auto &center = cvx::NotificationCenter::defaultCenter();
    center.postNotificationName(shell::kBackSetMenuObjectFromOperation);
    ui_->btime->zstop();
    TYWindowController::windowWillClose();
    if (testViewController_) testViewController_->deleteLater();
    testViewController_ = nullptr;
    center.removeObserver(this, usblink::kDeviceStatusChangeNotification);
}

// ---- Field limits ----------------------------------------------------------------------------

void OpretionController::controlTextDidChange(QLineEdit *field) {
    if (field == ui_->userIDTextField) {
        IDTextField *chartNo = ui_->userIDTextField;
        const entry::ChartNumberEdit edit =
            entry::checkChartNumber(chartNo->text(), chartNo->cursorPosition(), chartNo->lastStringValue());
        if (edit.text != chartNo->text()) {
            chartNo->setText(edit.text);
            chartNo->setCursorPosition(edit.cursor);
        }
        if (edit.accepted) chartNo->setLastStringValue(edit.text);
        return;
    }
    const QString limited = entry::limitName(field->text());
    if (limited != field->text()) {
        const int cursor = qMin(field->cursorPosition(), static_cast<int>(limited.size()));
        field->setText(limited);
        field->setCursorPosition(cursor);
    }
}

void OpretionController::textViewDidChangeSelection() {
    if (ui_->remarkTestView->toPlainText().size() <= entry::kRemarkLimit) return;
    // After the edit in progress.
    cvx::Dispatch::mainAsync(this, [this] { cutRemark(); });
}

void OpretionController::cutRemark() {
    QPlainTextEdit *remark = ui_->remarkTestView;
    const QString text = remark->toPlainText();
    const int keep = static_cast<int>(entry::limitRemark(text).size());
    if (keep >= text.size()) return;
    QTextCursor cut(remark->document());
    cut.setPosition(keep);
    cut.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

void OpretionController::setRemark(const QString &remark) {
    // Shown as stored; only the user's own edits are cut.
    const QSignalBlocker blocker(ui_->remarkTestView);
    ui_->remarkTestView->setPlainText(remark);
}

// ---- Choice lists ----------------------------------------------------------------------------

void OpretionController::clickButton(QObject *sender) {
    if (!sender) return;
    switch (sender->property("tag").toInt()) {
        case kMatchList:
            ui_->listIDCombobox->showPopup();
            break;
        case kYearList:
            ui_->yearComboBox->showPopup();
            break;
        case kMonthList:
            dates_.refreshLists();
            updateComboBoxDataSource(ui_->monthComboBox);
            updateComboBoxDataSource(ui_->dayComboBox);
            ui_->monthComboBox->showPopup();
            break;
        case kDayList:
            dates_.refreshLists();
            updateComboBoxDataSource(ui_->dayComboBox);
            ui_->dayComboBox->showPopup();
            break;
        default:
            break;
    }
}

void OpretionController::comboBoxWillDismiss(QComboBox *comboBox, int index) {
    Ui::OpretionController &ui = *ui_;
    if (comboBox == ui.listIDCombobox) {
        if (index < 0 || index >= userArray_.size()) return;
        showUserInfo(userArray_.at(index));
        dates_.calculateAge();
    } else if (comboBox == ui.yearComboBox) {
        if (!dates_.chooseYear(index)) return;
    } else if (comboBox == ui.monthComboBox) {
        if (!dates_.chooseMonth(index)) return;
    } else if (comboBox == ui.dayComboBox) {
        if (!dates_.chooseDay(index)) return;
    } else {
        return;
    }
    updateComboBoxDataSource(ui.monthComboBox);
    updateComboBoxDataSource(ui.dayComboBox);
    showDateLabels();
}

void OpretionController::updateComboBoxDataSource(QComboBox *comboBox) {
    QStringList items;
    if (comboBox == ui_->yearComboBox) {
        items = dates_.yearArray();
    } else if (comboBox == ui_->monthComboBox) {
        items = dates_.monthArray();
    } else if (comboBox == ui_->dayComboBox) {
        items = dates_.dayArray();
    } else if (comboBox == ui_->listIDCombobox) {
        for (const OCMCustInfo &record : userArray_) items.append(record.customerNo());
    }
    QStringList shown;
    for (int i = 0; i < comboBox->count(); ++i) shown.append(comboBox->itemText(i));
    if (shown == items) return;
    const QSignalBlocker blocker(comboBox);
    comboBox->clear();
    comboBox->addItems(items);
    // The year list opens on its last entries, the most recent years.
    comboBox->setCurrentIndex(comboBox == ui_->yearComboBox ? comboBox->count() - 1 : -1);
}

void OpretionController::showDateLabels() {
    ui_->yearLabel->setText(dates_.yearLabel());
    ui_->monthLabel->setText(dates_.monthLabel());
    ui_->dayLabel->setText(dates_.dayLabel());
    ui_->ageLabel->setText(dates_.ageLabel());
}

// ---- Sex ---------------------------------------------------------------------------------------

void OpretionController::choiceSex(CustomButton *sender) {
    setRadio(ui_->maleCheckbox, false);
    setRadio(ui_->femaleCheckbox, false);
    if (sender == ui_->maleCheckbox || sender == ui_->femaleCheckbox) setRadio(sender, true);
}

void OpretionController::setSexChoice(const QString &sex) {
    if (sex.isEmpty()) return choiceSex(nullptr);
    switch (cvx::intValue(sex)) {
        case 0:
            return choiceSex(ui_->maleCheckbox);
        case 1:
            return choiceSex(ui_->femaleCheckbox);
        default:
            return choiceSex(nullptr);
    }
}

// ---- Search ----------------------------------------------------------------------------------

void OpretionController::searchButtonClicked() {
    userArray_.clear();
    const entry::SearchResult result =
        entry::searchPatients(ui_->userIDTextField->text(), ui_->firstNameTextField->text(),
                              ui_->lastNameTextField->text(), UsbUtils::isHaveMODE());
    userArray_ = result.userArray;
    if (result.shown) showUserInfo(*result.shown);
    if (!result.message.isNull()) showAlertView(result.message);
    updateComboBoxDataSource(ui_->listIDCombobox);
}

void OpretionController::showUserInfo(const OCMCustInfo &record) {
    ui_->userIDTextField->setText(record.customerNo());
    // A number put into the field counts as accepted, so a refused keystroke keeps it.
    ui_->userIDTextField->setLastStringValue(record.customerNo());
    ui_->firstNameTextField->setText(record.firstname());
    ui_->lastNameTextField->setText(record.lastname());
    const QStringList parts = record.birthday().split(u'-');
    if (parts.size() < 3)
        dates_.setLabels(QStringLiteral(""), QStringLiteral(""), QStringLiteral(""), record.age());
    else
        dates_.setLabels(parts.at(0), parts.at(1), parts.at(2), record.age());
    showDateLabels();
    setRemark(record.remark());
    setSexChoice(record.sex());
}

// ---- OK ----------------------------------------------------------------------------------------

void OpretionController::clickOkButton() {
    const QString chartNo = ui_->userIDTextField->text();
    if (NSStringExt::trim(chartNo).isEmpty()) return showAlertView(QStringLiteral("W302"));
    // Only numbers that name a patient file of their own are registered.
    if (!entry::isRegistrableChartNumber(chartNo)) return showAlertView(QStringLiteral("W301"));

    UsbManager &session = UsbManager::sharedUsbManager();
    OCMCustInfo &info = session.currentCustInfo();
    info.setCustomerNo(chartNo);
    info.setFirstname(ui_->firstNameTextField->text());
    info.setLastname(ui_->lastNameTextField->text());
    info.setBirthday(dates_.birthday());
    info.setAge(NSStringExt::trim(ui_->ageLabel->text()));
    info.setSex(ui_->maleCheckbox->isChecked()     ? QStringLiteral("0")
                : ui_->femaleCheckbox->isChecked() ? QStringLiteral("1")
                                                   : QStringLiteral("2"));
    info.setRemark(ui_->remarkTestView->toPlainText());

    // A patient file that cannot be read is left as it is and the measurement goes on; a write
    // that failed (a full disk) stops here, the fields kept for another try.
    bool writeFailed = false;
    entry::saveCustInfo(info, &writeFailed);
    if (writeFailed) {
        TYAlertView::showErrorAlertView(QStringLiteral("E403"));
        return;
    }
    session.sendMessageToDevice(UsbManager::SendChartNo);

    // The old measuring window goes first: its closing would start this window's clock again.
    closeMeasuringWindow();
    ui_->btime->zstop();
    testViewController_ = measuringWindowFactory_ ? measuringWindowFactory_(*this) : nullptr;
    if (testViewController_) {
        testViewController_->window()->setLastWindow(window());
        testViewController_->showWindow();
    }
    ui_->okButton->mouseExited();
    window()->orderOut();
}

void OpretionController::closeMeasuringWindow() {
    if (!testViewController_) return;
    TYWindowController *old = testViewController_;
    testViewController_ = nullptr;
    if (old->isWindowLoaded() && old->window()->isVisible()) old->window()->close();
    old->deleteLater();
}

void OpretionController::changeOkButtonStatus(qint64 deviceStatus) {
    if (!isWindowLoaded()) return;
    const bool firmwareAgrees = AppDelegate::shared().isTest();
    const bool enabled = (deviceStatus == 1 || deviceStatus == 6) && firmwareAgrees;
    CustomButton *ok = ui_->okButton;
    ok->setEnabled(enabled);
    if (enabled) {
        ok->setImageNamed(QStringLiteral("ボタン_OK_"));
        ok->setHoverImageNamed(QStringLiteral("ボタン_OK_ON"));
        ok->setAlternateImageNamed(QStringLiteral("ボタン_OK_DOWN"));
    } else {
        for (auto set : {&CustomButton::setImageNamed, &CustomButton::setHoverImageNamed,
                         &CustomButton::setAlternateImageNamed})
            (ok->*set)(QStringLiteral("ボタン_OK_OFF"));
    }
    ui_->okStatusLabel->setText(okStatusText(deviceStatus, firmwareAgrees));
}

// ---- Message panel -----------------------------------------------------------------------------

void OpretionController::showAlertView(const QString &code) {
    alertInfoImageView_->setPixmap(kit::picture(code));
    ui_->alertInfoView->raise();
    ui_->alertInfoView->show();
    ui_->firstNameTextField->clear();
    ui_->lastNameTextField->clear();
    dates_.clearLabels();
    showDateLabels();
    setRemark(QStringLiteral(""));
    choiceSex(nullptr);
    if (QWidget *focused = window()->focusWidget()) focused->clearFocus();
}

void OpretionController::hiddenAlertInfoView() {
    ui_->alertInfoView->hide();
}

// ---- Controls ----------------------------------------------------------------------------------

Ui::OpretionController &OpretionController::loadedUi() {
    window();
    return *ui_;
}

IDTextField *OpretionController::userIDTextField() {
    return loadedUi().userIDTextField;
}
QLineEdit *OpretionController::firstNameTextField() {
    return loadedUi().firstNameTextField;
}
QLineEdit *OpretionController::lastNameTextField() {
    return loadedUi().lastNameTextField;
}
QComboBox *OpretionController::yearComboBox() {
    return loadedUi().yearComboBox;
}
QComboBox *OpretionController::monthComboBox() {
    return loadedUi().monthComboBox;
}
QComboBox *OpretionController::dayComboBox() {
    return loadedUi().dayComboBox;
}
QComboBox *OpretionController::listIDCombobox() {
    return loadedUi().listIDCombobox;
}
QLabel *OpretionController::yearLabel() {
    return loadedUi().yearLabel;
}
QLabel *OpretionController::monthLabel() {
    return loadedUi().monthLabel;
}
QLabel *OpretionController::dayLabel() {
    return loadedUi().dayLabel;
}
QLabel *OpretionController::ageLabel() {
    return loadedUi().ageLabel;
}
CustomButton *OpretionController::maleCheckbox() {
    return loadedUi().maleCheckbox;
}
CustomButton *OpretionController::femaleCheckbox() {
    return loadedUi().femaleCheckbox;
}
QPlainTextEdit *OpretionController::remarkTestView() {
    return loadedUi().remarkTestView;
}
CustomButton *OpretionController::okButton() {
    return loadedUi().okButton;
}
CustomButton *OpretionController::searchButton() {
    return loadedUi().searchButton;
}
CustomButton *OpretionController::backButton() {
    return loadedUi().backButton;
}
BBTime *OpretionController::btime() {
    return loadedUi().btime;
}
QWidget *OpretionController::alertInfoView() {
    return loadedUi().alertInfoView;
}
kit::PictureView *OpretionController::alertInfoImageView() {
    window();
    return alertInfoImageView_;
}
QLabel *OpretionController::okStatusLabel() {
    return loadedUi().okStatusLabel;
}

CustomButton *OpretionController::listButton(int tag) {
    Ui::OpretionController &ui = loadedUi();
    switch (tag) {
        case kMatchList:
            return ui.listIDButton;
        case kYearList:
            return ui.yearButton;
        case kMonthList:
            return ui.monthButton;
        case kDayList:
            return ui.dayButton;
        default:
            return nullptr;
    }
}
