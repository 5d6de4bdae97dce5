#include "maintenance/OutputPWController.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QtDebug>

#include <optional>
#include <utility>

#include "link/MaintenanceMode.h"
#include "link/UsbHID.h"
#include "link/UsbManager.h"
#include "maintenance/MaintenanceNotifications.h"
#include "maintenance/RomWriter.h"
#include "platform/NotificationCenter.h"
#include "platform/Version.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "ui_OutputPWController.h"

namespace {

OutputPWController::ErrorAlertPresenter &alertPresenter() {
    static OutputPWController::ErrorAlertPresenter presenter;
    return presenter;
}

OutputPWController::SavePanel &savePanel() {
    static OutputPWController::SavePanel panel;
    return panel;
}

OutputPWController::FolderPanel &folderPanel() {
    static OutputPWController::FolderPanel panel;
    return panel;
}

QString systemSavePanel(QWidget *parent, const QString &proposedName) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setLabelText(QFileDialog::FileName, QStringLiteral("fileName"));
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

QString systemFolderPanel(QWidget *parent) {
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::Directory);
    // Folders only, and none made from here.
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

void showPicture(kit::PictureView *view, const QString &name) {
    view->setPixmap(kit::picture(name));
}

void setOkPictures(CustomButton *button, bool enabled) {
    if (enabled) {
        button->setPictureStem(QStringLiteral("ボタン_OK_"));
    } else {
        for (auto set : {&CustomButton::setImageNamed, &CustomButton::setHoverImageNamed,
                         &CustomButton::setAlternateImageNamed})
            (button->*set)(QStringLiteral("ボタン_OK_OFF"));
    }
    button->setEnabled(enabled);
}

void setShown(std::initializer_list<QWidget *> views, bool shown) {
    for (QWidget *view : views) view->setVisible(shown);
}

const QString kConfirming = QStringLiteral("接続確認中");

}  // namespace

OutputPWController::OutputPWController(QObject *parent)
    : TYWindowController(QStringLiteral("OutputPWController"), parent) {}

OutputPWController::~OutputPWController() {
    delete romWriter_;
}

// ---- Carried firmware

bool OutputPWController::fileExitChk_USB() {
    const FirmwareFiles::Fault fault = files_.fileExitChk_USB();
    return fault == FirmwareFiles::Fault::None || fail(fault);
}

bool OutputPWController::getDataRomInf() {
    const FirmwareFiles::Fault fault = files_.getDataRomInf();
    if (fault != FirmwareFiles::Fault::None) return fail(fault);
    UsbManager &manager = UsbManager::sharedUsbManager();
    manager.setPcMainVersion(files_.mainVersion());
    manager.setPcDispVersion(files_.dispVersion());
    return true;
}

void OutputPWController::burnRomOkButtonClicked() {
    files_.reset();
    // The engine's own reset ends in its own (windowless) controller, not here again.
    if (romWriter_) romWriter_->burnRomOkButtonClicked();
}

bool OutputPWController::fail(FirmwareFiles::Fault fault) {
    burnRomOkButtonClicked();
    showErrorAlertView(FirmwareFiles::messageCode(fault));
    return false;
}

void OutputPWController::setErrorAlertPresenter(ErrorAlertPresenter presenter) {
    alertPresenter() = std::move(presenter);
}

void OutputPWController::showErrorAlertView(const QString &code) {
    if (alertPresenter())
        alertPresenter()(code);
    else
        qWarning().noquote() << "firmware files:" << code;
}

void OutputPWController::installFirmwareVersionReader() {
    UsbManager::setFirmwareVersionReader([]() -> std::optional<UsbManager::FirmwareVersions> {
        OutputPWController controller;
        if (!controller.fileExitChk_USB() || !controller.getDataRomInf()) return std::nullopt;
        const FirmwareFiles &files = controller.firmwareFiles();
        return UsbManager::FirmwareVersions{files.mainVersion(), files.dispVersion()};
    });
}

void OutputPWController::setSavePanel(SavePanel panel) {
    savePanel() = std::move(panel);
}

void OutputPWController::setFolderPanel(FolderPanel panel) {
    folderPanel() = std::move(panel);
}

// ---- Window

void OutputPWController::setupUi(TYWindow *window) {
    ui_ = std::make_unique<Ui::OutputPWController>();
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->timez);
    shell::styleLabel(ui_->versionLabel, 20, false, QStringLiteral("#4a5a66"));
    shell::styleLabel(ui_->messLab, 24, true, QStringLiteral("#2c3e50"));
    shell::styleLabel(ui_->signLab, 20, false, QStringLiteral("#2c3e50"));
    shell::styleLabel(ui_->noteLab, 16, false, QStringLiteral("#a04a00"));
    shell::styleLabel(ui_->confirmConnectLabel, 44, true, QStringLiteral("#2c3e50"));
    shell::styleLabel(ui_->msgLabel, 18, false, QStringLiteral("#2c3e50"));
    ui_->messTxtFid->setFont(kit::appFont(26));
    ui_->pathTextField->setFont(kit::appFont(18));
    // Only the folder panel puts a path here: a typed path could name any place.
    ui_->pathTextField->setReadOnly(true);

    for (auto [view, name] : {std::pair{ui_->backImg, "box"}, std::pair{ui_->csvVeil, "box"},
                              std::pair{ui_->csvShowImg, "画面_メッセージ"},
                              std::pair{ui_->leftImageView, "表示_装置状態_機器未接続"}})
        showPicture(view, QString::fromUtf8(name));
    for (kit::PictureView *view : {ui_->backImg, ui_->csvVeil, ui_->csvShowImg, ui_->messImg, ui_->bgShowImg})
        view->setScaling(kit::ImageScaling::AxesIndependently);

    connect(ui_->msgBtn, &QAbstractButton::clicked, this, &OutputPWController::sendMessTap);
    connect(ui_->sysBtn, &QAbstractButton::clicked, this, &OutputPWController::instrucmenTap);
    connect(ui_->OKBtn, &QAbstractButton::clicked, this, &OutputPWController::OKOutputTap);
    connect(ui_->cancelBtn, &QAbstractButton::clicked, this, &OutputPWController::CancelOutputTap);
    connect(ui_->rightBacButton, &QAbstractButton::clicked, this, &OutputPWController::rightBacTap);
    connect(ui_->backButton, &QAbstractButton::clicked, this, &OutputPWController::backTap);
    connect(ui_->burnRomOkButton, &QAbstractButton::clicked, this,
            &OutputPWController::burnRomOkButtonClicked);
    connect(ui_->userBtn, &QAbstractButton::clicked, this, &OutputPWController::userTap);
    connect(ui_->csvBtn, &QAbstractButton::clicked, this, &OutputPWController::csvTap);
    connect(ui_->pathBtn, &QAbstractButton::clicked, this, &OutputPWController::choosePath);
    connect(ui_->csvOkBtn, &QAbstractButton::clicked, this, &OutputPWController::csvOk);
    connect(ui_->csvCancelBtn, &QAbstractButton::clicked, this, &OutputPWController::csvCancel);
    connect(ui_->clearBtn, &QAbstractButton::clicked, this, &OutputPWController::csvClear);
    connect(ui_->csvSureBtn, &QAbstractButton::clicked, this, &OutputPWController::csvSure);
    connect(ui_->messTxtFid, &QLineEdit::returnPressed, this, [this] {
        if (ui_->OKBtn->isVisible() && ui_->OKBtn->isEnabled()) OKOutputTap();
    });
}

void OutputPWController::windowDidLoad() {
    TYWindowController::windowDidLoad();

    romWriter_ = new RomWriter;
    romWriter_->setScreen({[this](const QString &text) { setConnectLabel(text); },
                           [this] { ui_->burnRomOkButton->show(); }, [this] { hideScreenWidgets(); },
                           [this] { return kit::keyWindow() == window(); }, [this] { ui_->timez->zstop(); }});
    initDataz();
    romWriter_->observeLink();

    const bool dataLink = UsbUtils::isHaveMODE() != 0;
    setShown({ui_->userBtn, ui_->csvBtn}, dataLink);
    const int functionY = dataLink ? 340 : 228;
    for (CustomButton *button : {ui_->msgBtn, ui_->sysBtn}) button->move(button->x(), functionY);

    hideCsvView();

    ui_->timez->zstop();
    MaintenanceMode::sharedMode().setMode(1);
}

void OutputPWController::initDataz() {
    setShown({ui_->backImg, ui_->messImg, ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn,
              ui_->signImg, ui_->confirmConnectLabel, ui_->leftImageView, ui_->burnRomOkButton},
             false);
    setIsCou(1);
    romWriter_->arm();

    // Any setting but all seven items ("0") is told by the letter B; no setting means seven.
    const QString deleteBLD = UsbUtils::deleteBLDValue();
    ui_->versionLabel->setText(QStringLiteral("Quimbarel\nVersion V%1%2")
                                   .arg(QString::fromLatin1(cvx::kAppShortVersion),
                                        deleteBLD.isNull() || deleteBLD == QLatin1String("0")
                                            ? QStringLiteral("K")
                                            : QStringLiteral("KB")));
    setShown({ui_->signLab, ui_->noteLab}, false);
}

std::int32_t OutputPWController::isCou() const {
    return romWriter_ ? romWriter_->isCou() : 0;
}

void OutputPWController::setIsCou(std::int32_t value) {
    if (romWriter_) romWriter_->setIsCou(value);
}

void OutputPWController::setOkEnabled(bool enabled) {
    setOkPictures(ui_->OKBtn, enabled);
}

// The engine's reset.
void OutputPWController::hideScreenWidgets() {
    setShown({ui_->backImg, ui_->messImg, ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn,
              ui_->signImg, ui_->leftImageView, ui_->burnRomOkButton, ui_->confirmConnectLabel},
             false);
}

void OutputPWController::setConnectLabel(const QString &text) {
    const bool progress = text.startsWith(QStringLiteral("転送中 ["));
    QFont font = ui_->confirmConnectLabel->font();
    font.setPixelSize(progress ? 57 : 44);
    ui_->confirmConnectLabel->setFont(font);
    ui_->confirmConnectLabel->setText(text);
}

// ---- Code entry

void OutputPWController::sendMessTap() {
    setOkEnabled(true);
    showPicture(ui_->messImg, QStringLiteral("画面_メッセージ"));
    setShown({ui_->backImg, ui_->messImg, ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn}, true);
    ui_->messTxtFid->setFocus();
    isUpgrade_ = false;
}

void OutputPWController::instrucmenTap() {
    sendMessTap();
    isUpgrade_ = true;
}

void OutputPWController::OKOutputTap() {
    const QString code = ui_->messTxtFid->text();
    const std::int32_t stage = isCou();
    if (stage == 1) {
        if (code == (isUpgrade_ ? kRomAccessCode : kSendDataAccessCode)) {
            setShown({ui_->messLab, ui_->messTxtFid}, false);
            setIsCou(2);
            if (isUpgrade_) {
                showPicture(ui_->signImg, QStringLiteral("rom_update"));
                ui_->signImg->show();
                // The instrument may be taken up again: it is the one to be written.
                MaintenanceMode::sharedMode().setMode(0);
                ui_->timez->zstart();
            } else {
                showPicture(ui_->messImg, QStringLiteral("画面_送信データ作成"));
            }
        } else {
            ui_->messTxtFid->clearFocus();
            window()->setFocus();
            TYAlertView::showErrorAlertView(QStringLiteral("W307"));
        }
    } else if (stage == 3) {
        setShown({ui_->backImg, ui_->messImg, ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn,
                  ui_->signImg, ui_->noteLab, ui_->confirmConnectLabel, ui_->leftImageView},
                 false);
        setIsCou(1);
    } else if (stage == 2 && isUpgrade_ && RomWriter::writingEngine() &&
               RomWriter::writingEngine() != romWriter_) {
        // The automatic update is writing: this write may start once that one has ended.
        showErrorAlertView(QStringLiteral("rom_busy"));
    } else if (stage == 2 && isUpgrade_) {
        setShown({ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn, ui_->signImg}, false);
        // An instrument attached since the code was accepted is being written already: arming
        // again would stop that write halfway, with its flash erased.
        const bool writing = romWriter_->isWriting();
        if (!writing) setConnectLabel(kConfirming);
        setShown({ui_->confirmConnectLabel, ui_->leftImageView}, true);
        if (!writing) {
            romWriter_->startConnectionWait();
            romWriter_->arm();
        }
    } else if (stage == 2) {
        startSendData();
    }
    ui_->messTxtFid->clear();
}

void OutputPWController::showAlert() {
    if (romWriter_) romWriter_->showAlert();
}

void OutputPWController::CancelOutputTap() {
    // The instrument's flash may be erased already: the write is seen through, in sight.
    if (isUpgrade_ && romWriter_ && romWriter_->isWriting()) return;
    // A write already putting its file in place cannot be stopped: its outcome follows.
    if (writer_.isRunning() && !writer_.cancel()) return;
    isCancel_ = true;
    // The armed engine would otherwise write the firmware into the next instrument attached,
    // behind a screen that no longer says so.
    if (isUpgrade_ && isCou() == 2) {
        MaintenanceMode::sharedMode().setMode(1);
        ui_->timez->zstop();
    }
    const bool wasWriting = !ui_->OKBtn->isEnabled();
    setShown({ui_->backImg, ui_->messImg, ui_->messLab, ui_->messTxtFid, ui_->OKBtn, ui_->cancelBtn,
              ui_->signImg, ui_->signLab, ui_->noteLab},
             false);
    setOkEnabled(true);
    setIsCou(1);
    if (wasWriting) TYAlertView::showErrorAlertView(QStringLiteral("made_data_stop"));
}

// ---- Send-data CSV

void OutputPWController::startSendData() {
    const SavePanel &panel = savePanel();
    const QString path = panel ? panel(window(), SendDataCsv::proposedFileName())
                               : systemSavePanel(window(), SendDataCsv::proposedFileName());
    if (path.isEmpty()) return;

    ui_->signLab->setText(QStringLiteral("送信データを作成しています…"));
    ui_->signLab->show();
    isCancel_ = false;
    setOkEnabled(false);
    SendDataCsv::saveSendCsvFolder(QFileInfo(path).absolutePath());
    const bool started = writer_.start(
        path, [this](const SendDataCsv::Report &report) { sendDataFinished(report); },
        [this](const SendDataCsv::Progress &p) {
            ui_->signLab->setText(QStringLiteral("送信データを作成しています… %1 / %2 件の患者ファイル")
                                      .arg(p.filesDone)
                                      .arg(p.filesTotal));
        });
    if (!started) showSendDataResult(QStringLiteral("E403"));
}

void OutputPWController::sendDataFinished(const SendDataCsv::Report &report) {
    switch (report.outcome) {
        case SendDataCsv::Outcome::Written: {
            isSucc2_ = 200;
            QStringList notes;
            if (!report.unreadableFiles.isEmpty())
                notes << QStringLiteral("読めなかった患者ファイル %1 件: %2")
                             .arg(report.unreadableFiles.size())
                             .arg(report.unreadableFiles.join(QStringLiteral(", ")));
            if (report.substitutedCharacters > 0)
                notes << QStringLiteral("Shift-JIS にない %1 文字を「?」で書きました")
                             .arg(report.substitutedCharacters);
            ui_->noteLab->setText(notes.join(QLatin1Char('\n')));
            showSendDataResult(QStringLiteral("made_data_success"));
            ui_->noteLab->setVisible(!notes.isEmpty());
            break;
        }
        case SendDataCsv::Outcome::WriteFailed:
            if (!isCancel_) showSendDataResult(QStringLiteral("E403"));
            break;
        case SendDataCsv::Outcome::NoPatientFile:
            setOkEnabled(true);
            CancelOutputTap();
            TYAlertView::showErrorAlertView(QStringLiteral("W311"));
            break;
        case SendDataCsv::Outcome::Cancelled:
            break;
    }
}

void OutputPWController::showSendDataResult(const QString &picture) {
    ui_->cancelBtn->hide();
    ui_->signImg->show();
    showPicture(ui_->messImg, QStringLiteral("画面_メッセージ"));
    setIsCou(3);
    showPicture(ui_->signImg, picture);
    ui_->signLab->hide();
    setOkEnabled(true);
}

// ---- Leaving

void OutputPWController::rightBacTap() {
    window()->setLastWindow(lastWindow_);
    closeWindow();
}

void OutputPWController::backTap() {
    closeWindow();
}

void OutputPWController::closeWindow() {
    window()->close();
}

void OutputPWController::windowWillClose() {
    // An outcome nobody would see is not written.
    writer_.cancel();
    // A closed screen's engine must not start a write on the next instrument attached.
    if (romWriter_) {
        delete romWriter_;
        romWriter_ = nullptr;
    }
    // An automatic update writing meanwhile keeps the link.
    if (!RomWriter::writingEngine()) UsbManager::sharedUsbManager().setIsBurnRom(false);
    // Left at 1, the link would ignore every instrument attached from now on; one attached
    // while the screen was open is taken up now.
    MaintenanceMode::sharedMode().setMode(0);
    UsbHID::takeUpIgnoredDevice();
    ui_->timez->zstop();
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    center.postNotificationName(shell::kBackMainMenuObjectFromSet);
    center.postNotificationName(maintenance::kBackSetMenuObjectFromPutPutPW);
    TYWindowController::windowWillClose();
}

// ---- Data-link folders

void OutputPWController::userTap() {
    folders_.showCsvView(DataLinkFolders::Folder::Input);
    showCsvView();
}

void OutputPWController::csvTap() {
    folders_.showCsvView(DataLinkFolders::Folder::Output);
    showCsvView();
}

void OutputPWController::showCsvView() {
    const DataLinkFolders::Panel panel = folders_.showCsvView(folders_.btnTag());
    ui_->csvShowResultImg->setGeometry(ui_->csvShowResultImg->x(), 280, ui_->csvShowResultImg->width(), 85);
    ui_->clearBtn->setVisible(panel.showsClear);
    showPicture(ui_->bgShowImg, panel.background);
    QLineEdit *field = ui_->pathTextField;
    field->move(panel.textFieldX, field->y());
    field->setText(panel.path);
    ui_->csvShowView->show();
    ui_->csvShowView->raise();
}

void OutputPWController::hideCsvView() {
    ui_->csvShowView->hide();
    setShown({ui_->bgShowImg, ui_->pathTextField, ui_->pathBtn, ui_->csvOkBtn, ui_->csvCancelBtn}, true);
    setShown({ui_->csvShowImg, ui_->csvShowResultImg, ui_->msgLabel, ui_->csvSureBtn}, false);
    ui_->pathTextField->clear();
    ui_->csvShowResultImg->setGeometry(ui_->csvShowResultImg->x(), 280, ui_->csvShowResultImg->width(), 85);
}

void OutputPWController::choosePath() {
    const FolderPanel &panel = folderPanel();
    const QString path = panel ? panel(window()) : systemFolderPanel(window());
    if (!path.isEmpty()) ui_->pathTextField->setText(path);
}

void OutputPWController::csvOk() {
    const DataLinkFolders::Result result =
        folders_.csvOk(ui_->pathTextField->text(), [this](const DataLinkFolders::Result &finished) {
            // Only the INPUT panel still open waits for it: the OUTPUT panel opened since
            // would be closed, or covered by the picture, with the user's choice unsaved.
            if (!ui_->csvShowView->isVisible() || folders_.btnTag() != DataLinkFolders::Folder::Input) return;
            ui_->msgLabel->hide();
            showCsvResult(finished);
        });
    if (result.kind == DataLinkFolders::Result::Kind::Importing) {
        ui_->msgLabel->setText(QStringLiteral("患者情報を読み込んでいます…"));
        ui_->msgLabel->show();
    }
    showCsvResult(result);
}

void OutputPWController::showCsvResult(const DataLinkFolders::Result &result) {
    using Kind = DataLinkFolders::Result::Kind;
    if (result.kind == Kind::Close) {
        hideCsvView();
    } else if (result.kind == Kind::Picture) {
        setShown({ui_->bgShowImg, ui_->pathTextField, ui_->pathBtn, ui_->csvOkBtn, ui_->csvCancelBtn,
                  ui_->msgLabel, ui_->clearBtn},
                 false);
        setShown({ui_->csvShowImg, ui_->csvShowResultImg, ui_->csvSureBtn}, true);
        ui_->csvShowResultImg->setGeometry(ui_->csvShowResultImg->x(), result.resultY,
                                           ui_->csvShowResultImg->width(), result.resultH);
        showPicture(ui_->csvShowResultImg, result.picture);
    }
}

void OutputPWController::csvCancel() {
    hideCsvView();
}

void OutputPWController::csvClear() {
    showCsvResult(folders_.csvClear());
}

void OutputPWController::csvSure() {
    hideCsvView();
}

// ---- Controls

BBTime *OutputPWController::timez() const {
    return ui_ ? ui_->timez : nullptr;
}
QLabel *OutputPWController::versionLabel() const {
    return ui_ ? ui_->versionLabel : nullptr;
}
CustomButton *OutputPWController::msgBtn() const {
    return ui_ ? ui_->msgBtn : nullptr;
}
CustomButton *OutputPWController::sysBtn() const {
    return ui_ ? ui_->sysBtn : nullptr;
}
CustomButton *OutputPWController::userBtn() const {
    return ui_ ? ui_->userBtn : nullptr;
}
CustomButton *OutputPWController::csvBtn() const {
    return ui_ ? ui_->csvBtn : nullptr;
}
kit::PictureView *OutputPWController::backImg() const {
    return ui_ ? ui_->backImg : nullptr;
}
kit::PictureView *OutputPWController::messImg() const {
    return ui_ ? ui_->messImg : nullptr;
}
QLabel *OutputPWController::messLab() const {
    return ui_ ? ui_->messLab : nullptr;
}
QLineEdit *OutputPWController::messTxtFid() const {
    return ui_ ? ui_->messTxtFid : nullptr;
}
CustomButton *OutputPWController::OKBtn() const {
    return ui_ ? ui_->OKBtn : nullptr;
}
CustomButton *OutputPWController::cancelBtn() const {
    return ui_ ? ui_->cancelBtn : nullptr;
}
kit::PictureView *OutputPWController::signImg() const {
    return ui_ ? ui_->signImg : nullptr;
}
QLabel *OutputPWController::signLab() const {
    return ui_ ? ui_->signLab : nullptr;
}
QLabel *OutputPWController::noteLab() const {
    return ui_ ? ui_->noteLab : nullptr;
}
QLabel *OutputPWController::confirmConnectLabel() const {
    return ui_ ? ui_->confirmConnectLabel : nullptr;
}
kit::PictureView *OutputPWController::leftImageView() const {
    return ui_ ? ui_->leftImageView : nullptr;
}
CustomButton *OutputPWController::burnRomOkButton() const {
    return ui_ ? ui_->burnRomOkButton : nullptr;
}
CustomButton *OutputPWController::rightBacButton() const {
    return ui_ ? ui_->rightBacButton : nullptr;
}
CustomButton *OutputPWController::backButton() const {
    return ui_ ? ui_->backButton : nullptr;
}
QWidget *OutputPWController::csvShowView() const {
    return ui_ ? ui_->csvShowView : nullptr;
}
kit::PictureView *OutputPWController::bgShowImg() const {
    return ui_ ? ui_->bgShowImg : nullptr;
}
QLineEdit *OutputPWController::pathTextField() const {
    return ui_ ? ui_->pathTextField : nullptr;
}
CustomButton *OutputPWController::pathBtn() const {
    return ui_ ? ui_->pathBtn : nullptr;
}
CustomButton *OutputPWController::csvOkBtn() const {
    return ui_ ? ui_->csvOkBtn : nullptr;
}
CustomButton *OutputPWController::csvCancelBtn() const {
    return ui_ ? ui_->csvCancelBtn : nullptr;
}
CustomButton *OutputPWController::clearBtn() const {
    return ui_ ? ui_->clearBtn : nullptr;
}
kit::PictureView *OutputPWController::csvShowResultImg() const {
    return ui_ ? ui_->csvShowResultImg : nullptr;
}
QLabel *OutputPWController::msgLabel() const {
    return ui_ ? ui_->msgLabel : nullptr;
}
CustomButton *OutputPWController::csvSureBtn() const {
    return ui_ ? ui_->csvSureBtn : nullptr;
}
