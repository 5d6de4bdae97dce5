#include "datamanage/ManagerMainController.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>

#include "datamanage/DataExport.h"
#include "datamanage/DataImport.h"
#include "datamanage/PatientListImport.h"
#include "datamanage/ResultListFile.h"
#include "datamanage/SetUser.h"
#include "platform/NotificationCenter.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "ui_ManagerMainController.h"

namespace {

const QString kStartStem = QStringLiteral("ボタン_開始_");
const QString kOkStem = QStringLiteral("ボタン_OK_");

bool isLinkMode(std::int32_t mode) {
    return mode == 3 || mode == 4 || mode == 5;
}

QString fileDialog(ManagerMainController::ChooserKind kind, QWidget *parent) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (kind == ManagerMainController::ChooserKind::CsvFile) {
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QStringLiteral("CSV (*.csv)"));
    } else {
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        dialog.setOption(QFileDialog::ReadOnly,
                         kind == ManagerMainController::ChooserKind::FolderNoNewFolder);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
}

}  // namespace

struct ManagerMainController::Mode {
    int sign;
    QString picture;
};

ManagerMainController::ManagerMainController(QObject *parent)
    : TYWindowController(QStringLiteral("ManagerMainController"), parent), chooser_(fileDialog) {}

ManagerMainController::~ManagerMainController() {
    // A job outliving its window has nobody to report to; let it stop at its next check.
    if (running_) running_->store(true);
}

BBTime *ManagerMainController::zbbtime() const {
    return ui_ ? ui_->zbbtime : nullptr;
}
CustomButton *ManagerMainController::backButton() const {
    return ui_ ? ui_->backButton : nullptr;
}
CustomButton *ManagerMainController::inputButton() const {
    return ui_ ? ui_->inputBtn : nullptr;
}
CustomButton *ManagerMainController::outputButton() const {
    return ui_ ? ui_->outputBtn : nullptr;
}
CustomButton *ManagerMainController::userInfoButton() const {
    return ui_ ? ui_->userInfoBtn : nullptr;
}
CustomButton *ManagerMainController::tableButton() const {
    return ui_ ? ui_->tableBtn : nullptr;
}
CustomButton *ManagerMainController::inputFileButton() const {
    return ui_ ? ui_->inputFileBtn : nullptr;
}
CustomButton *ManagerMainController::okButton() const {
    return ui_ ? ui_->okBtn : nullptr;
}
CustomButton *ManagerMainController::cancelButton() const {
    return ui_ ? ui_->cancelBtn : nullptr;
}
CustomButton *ManagerMainController::sureButton() const {
    return ui_ ? ui_->sureBtn : nullptr;
}
QLineEdit *ManagerMainController::filePathLab() const {
    return ui_ ? ui_->filePathLab : nullptr;
}
QLabel *ManagerMainController::tiSLab() const {
    return ui_ ? ui_->tiSLab : nullptr;
}
QCheckBox *ManagerMainController::checkBoxBtn() const {
    return ui_ ? ui_->checkBoxBtn : nullptr;
}
kit::PictureView *ManagerMainController::backImg() const {
    return ui_ ? ui_->backImg : nullptr;
}
kit::PictureView *ManagerMainController::sureImg() const {
    return ui_ ? ui_->sureImg : nullptr;
}

void ManagerMainController::setupUi(TYWindow *window) {
    ui_ = std::make_unique<Ui::ManagerMainController>();
    ui_->setupUi(window);
    Ui::ManagerMainController &ui = *ui_;
    shell::dressScreen(ui.background, ui.titleLabel, ui.zbbtime);
    for (kit::PictureView *panel : {ui.backImg, ui.sureImg}) {
        panel->setScaling(kit::ImageScaling::AxesIndependently);
        panel->setPixmap(kit::picture(QStringLiteral("画面_メッセージ")));
    }
    ui.inputImg->setScaling(kit::ImageScaling::AxesIndependently);
    ui.signImg->setScaling(kit::ImageScaling::AxesIndependently);
    shell::styleLabel(ui.tiSLab, 20, true, QStringLiteral("#1f6f8b"));
    ui.filePathLab->setStyleSheet(QStringLiteral(
        "QLineEdit { background: white; color: #1f2d35; border: 1px solid #b8c7cf; border-radius: 6px; "
        "padding: 0 10px; font-size: 17px; }"));
    ui.checkBoxBtn->setStyleSheet(QStringLiteral("QCheckBox { color: #1f2d35; font-size: 17px; }"));

    connect(ui.inputBtn, &QAbstractButton::clicked, this, &ManagerMainController::inputTap);
    connect(ui.outputBtn, &QAbstractButton::clicked, this, &ManagerMainController::outputTap);
    connect(ui.userInfoBtn, &QAbstractButton::clicked, this, &ManagerMainController::userInfoTap);
    connect(ui.tableBtn, &QAbstractButton::clicked, this, &ManagerMainController::tableTap);
    connect(ui.inputFileBtn, &QAbstractButton::clicked, this, &ManagerMainController::inputFileTap);
    connect(ui.okBtn, &QAbstractButton::clicked, this, &ManagerMainController::okTap);
    connect(ui.cancelBtn, &QAbstractButton::clicked, this, &ManagerMainController::cancelTap);
    connect(ui.sureBtn, &QAbstractButton::clicked, this, &ManagerMainController::sureTap);
    connect(ui.backButton, &QAbstractButton::clicked, this, &ManagerMainController::backTap);
}

void ManagerMainController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    ui_->checkBoxBtn->setChecked(false);
    ui_->checkBoxBtn->hide();
    initBase();
    ui_->tiSLab->hide();

    linkMode_ = UsbUtils::isHaveMODE() != 0;
    // The data link brings its patients itself; three buttons then stand centred.
    ui_->userInfoBtn->setVisible(!linkMode_);
    QList<CustomButton *> buttons{ui_->inputBtn, ui_->outputBtn, ui_->tableBtn};
    if (!linkMode_) buttons.insert(2, ui_->userInfoBtn);
    constexpr int kWidth = 220, kGap = 12;
    int x = (960 - int(buttons.size()) * kWidth - int(buttons.size() - 1) * kGap) / 2;
    for (CustomButton *button : buttons) {
        button->move(x, button->y());
        x += kWidth + kGap;
    }
}

void ManagerMainController::initBase() {
    setModePanelVisible(false);
    setResultPanelVisible(false);
    signResult_ = 0;
}

void ManagerMainController::setModePanelVisible(bool visible) {
    for (QWidget *view : std::initializer_list<QWidget *>{ui_->backImg, ui_->inputImg, ui_->filePathLab,
                                                          ui_->inputFileBtn, ui_->okBtn, ui_->cancelBtn})
        view->setVisible(visible);
}

void ManagerMainController::setResultPanelVisible(bool visible) {
    for (QWidget *view : std::initializer_list<QWidget *>{ui_->sureImg, ui_->sureBtn, ui_->signImg})
        view->setVisible(visible);
    // The result panel lies over the mode panel.
    if (visible)
        for (QWidget *view : std::initializer_list<QWidget *>{ui_->sureImg, ui_->signImg, ui_->sureBtn})
            view->raise();
}

void ManagerMainController::setOkPictures(const QString &stem) {
    ui_->okBtn->setImageNamed(stem);
    ui_->okBtn->setHoverImageNamed(stem + QStringLiteral("ON"));
    ui_->okBtn->setAlternateImageNamed(stem + QStringLiteral("DOWN"));
}

void ManagerMainController::setOkOff() {
    const QString off = kStartStem + QStringLiteral("OFF");
    ui_->okBtn->setImageNamed(off);
    ui_->okBtn->setHoverImageNamed(off);
    ui_->okBtn->setAlternateImageNamed(off);
}

// ---- Modes ---------------------------------------------------------------------------------

void ManagerMainController::chooseMode(const Mode &mode) {
    if (running_) return;
    ui_->okBtn->setEnabled(true);
    ui_->inputFileBtn->setEnabled(true);
    setOkPictures(mode.sign == 3 && linkMode_ ? kOkStem : kStartStem);
    sign_ = mode.sign;
    ui_->filePathLab->clear();
    setResultPanelVisible(false);
    setModePanelVisible(true);
    inputPicture_ = mode.picture;
    ui_->inputImg->setPixmap(kit::picture(mode.picture));
    if (mode.sign != 4) zfilePath_ = QStringLiteral("");
    ui_->checkBoxBtn->setChecked(false);
    ui_->checkBoxBtn->setVisible(mode.sign == 4 && linkMode_);
}

void ManagerMainController::inputTap() {
    if (running_) return;
    isSucc2_ = 0;
    chooseMode({1, QStringLiteral("画面_読込み")});
}

void ManagerMainController::outputTap() {
    if (running_) return;
    isSucc_ = 0;
    chooseMode({2, QStringLiteral("画面_取出し")});
}

void ManagerMainController::userInfoTap() {
    if (running_) return;
    isSucc2_ = 0;
    chooseMode(
        {3, linkMode_ ? QStringLiteral("画面_連携患者情報読込み") : QStringLiteral("画面_患者情報読込み")});
    if (!linkMode_) return;
    const QString input = UsbUtils::inputValue();
    if (!input.trimmed().isEmpty()) {
        zfilePath_ = input;
        ui_->filePathLab->setText(input);
    }
}

void ManagerMainController::tableTap() {
    chooseMode(
        {4, linkMode_ ? QStringLiteral("画面_一覧表作成_データ連携") : QStringLiteral("画面_一覧表作成")});
}

// ---- Chooser -------------------------------------------------------------------------------

QString ManagerMainController::choose(ChooserKind kind) {
    return chooser_ ? chooser_(kind, window()) : QString();
}

void ManagerMainController::inputFileTap() {
    if (running_) return;
    switch (sign_) {
        case 1: {
            fileList_.clear();
            const QString path = choose(ChooserKind::Folder);
            if (!path.isNull()) zfilePath_ = path;
            ui_->filePathLab->setText(zfilePath_);
            break;
        }
        case 2: {
            const QString path = choose(ChooserKind::Folder);
            if (path.isNull()) break;
            zfilePath_ = path;
            ui_->filePathLab->setText(path);
            break;
        }
        case 3: {
            fileList_.clear();
            const QString path = choose(linkMode_ ? ChooserKind::FolderNoNewFolder : ChooserKind::CsvFile);
            if (!path.isNull()) zfilePath_ = path;
            ui_->filePathLab->setText(zfilePath_);
            break;
        }
        case 4: {
            const QString path = choose(ChooserKind::Folder);
            if (path.isNull()) break;
            ui_->filePathLab->setText(path);
            isSucc4_ = DataJobs::kSuccess;
            break;
        }
        default:
            break;
    }
}

// ---- Jobs ----------------------------------------------------------------------------------

void ManagerMainController::setJobControlsEnabled(bool enabled) {
    for (QWidget *button : std::initializer_list<QWidget *>{ui_->inputBtn, ui_->outputBtn, ui_->userInfoBtn,
                                                            ui_->tableBtn, ui_->backButton})
        button->setEnabled(enabled);
}

std::shared_ptr<DataJobs::CancelFlag> ManagerMainController::enterRunningState(const QString &progress) {
    ui_->okBtn->setEnabled(false);
    setOkOff();
    ui_->okBtn->mouseExited();
    ui_->inputFileBtn->setEnabled(false);
    ui_->tiSLab->setText(progress);
    ui_->tiSLab->show();
    running_ = std::make_shared<DataJobs::CancelFlag>(false);
    setJobControlsEnabled(false);
    return running_;
}

void ManagerMainController::jobEnded() {
    running_.reset();
    setJobControlsEnabled(true);
}

void ManagerMainController::showOutcome(const QString &picture) {
    signPicture_ = picture;
    ui_->signImg->setPixmap(kit::picture(picture));
    setResultPanelVisible(true);
}

void ManagerMainController::showJobOutcome(std::int32_t code, const QString &success,
                                           const QString &failure) {
    ui_->tiSLab->hide();
    showOutcome(code == DataJobs::kSuccess ? success : failure);
}

void ManagerMainController::showAlert(const QString &code) {
    lastAlert_ = code;
    TYAlertView::showErrorAlertView(code);
}

void ManagerMainController::noPathOutcome() {
    signResult_ = DataJobs::kNoPath;
    ui_->tiSLab->hide();
    showOutcome(QStringLiteral("W306"));
    SetUser::setUD();
}

void ManagerMainController::okTap() {
    if (running_ || !ui_->okBtn->isEnabled()) return;
    const QString label = ui_->filePathLab->text();
    QPointer<ManagerMainController> self(this);
    switch (sign_) {
        case 1: {
            if (label.isEmpty()) return noPathOutcome();
            auto flag = enterRunningState(QStringLiteral("読込み中．．．"));
            DataImport::start(label, flag, [self, flag](const DataImport::Outcome &outcome) {
                if (!self) return;
                self->jobEnded();
                self->fileList_ = outcome.fileList;
                self->alertStr_ = outcome.alertStr;
                if (flag->load() || outcome.cancelled) return self->cancelTap();
                self->signResult_ = outcome.signResult;
                self->showJobOutcome(outcome.signResult, QStringLiteral("import_success"),
                                     QStringLiteral("E404"));
            });
            break;
        }
        case 2: {
            isSucc_ = DataJobs::kSuccess;
            if (zfilePath_.isEmpty()) return showAlert(QStringLiteral("W305"));
            auto flag = enterRunningState(QStringLiteral("取出し中．．．"));
            DataExport::start(zfilePath_, flag, [self, flag](const DataExport::Outcome &outcome) {
                if (!self) return;
                self->jobEnded();
                if (flag->load() || outcome.cancelled) return self->cancelTap();
                self->isSucc_ = outcome.isSucc;
                self->ui_->tiSLab->clear();
                self->showJobOutcome(outcome.isSucc, QStringLiteral("export_success"),
                                     QStringLiteral("E403"));
            });
            break;
        }
        case 3: {
            if (label.isEmpty()) return noPathOutcome();
            if (linkMode_ && !label.trimmed().isEmpty()) return startDataLinkImport(label);
            auto flag = enterRunningState(QStringLiteral("読込み中．．．"));
            PatientListImport::start(
                label, [flag] { return flag->load(); },
                [self, flag](const PatientListImport::Outcome &outcome) {
                    if (!self) return;
                    self->jobEnded();
                    if (flag->load() || outcome.cancelled) return self->cancelTap();
                    self->signResult_ = outcome.signResult;
                    self->alertStr_ = outcome.alertStr;
                    self->showJobOutcome(outcome.signResult, QStringLiteral("import_success"),
                                         QStringLiteral("E404"));
                    SetUser::setUD();
                });
            break;
        }
        case 4: {
            if (label.isEmpty()) return showAlert(QStringLiteral("W305"));
            const bool withBlankRows = linkMode_ && ui_->checkBoxBtn->isChecked();
            auto flag = enterRunningState(QStringLiteral("一覧表作成中．．．"));
            ResultListFile::start(
                label, withBlankRows, listHoldsRows_, [flag] { return flag->load(); },
                [self, flag](const ResultListFile::Outcome &outcome) {
                    if (!self) return;
                    self->jobEnded();
                    self->listHoldsRows_ = outcome.status != ResultListFile::Status::Empty;
                    Ui::ManagerMainController &ui = *self->ui_;
                    switch (outcome.status) {
                        case ResultListFile::Status::Empty:
                            ui.okBtn->setEnabled(true);
                            self->cancelTap();
                            self->showAlert(QStringLiteral("W311"));
                            return;
                        case ResultListFile::Status::Cancelled:
                            return self->cancelTap();
                        case ResultListFile::Status::Written:
                        case ResultListFile::Status::Failed:
                            break;
                    }
                    if (flag->load()) return self->cancelTap();
                    self->isSucc4_ = outcome.isSucc4;
                    if (outcome.isSucc4 == DataJobs::kSuccess) {
                        ui.checkBoxBtn->setChecked(false);
                        ui.checkBoxBtn->hide();
                    }
                    self->showJobOutcome(outcome.isSucc4, QStringLiteral("made_list"),
                                         QStringLiteral("E405"));
                });
            break;
        }
        default:
            break;
    }
}

void ManagerMainController::startDataLinkImport(const QString &folder) {
    // A folder that may not serve the data link is named as the maintenance panel names it.
    // The import reads the stored folder: one that could not be stored would be read under
    // the shown folder's name.
    const bool refused = UsbUtils::isRefusedLinkFolder(folder);
    if (refused || (isLinkMode(UsbUtils::isHaveMODE()) && !UsbUtils::saveInput(folder))) {
        ui_->backImg->show();
        return showOutcome(refused ? QStringLiteral("folder_refused") : QStringLiteral("E404"));
    }
    setModePanelVisible(false);
    setResultPanelVisible(false);
    QPointer<ManagerMainController> self(this);
    UsbUtils::readCsvOrTxt([self](bool ok) {
        if (!self || ok) return;
        self->ui_->backImg->show();
        self->showOutcome(QStringLiteral("E404"));
    });
}

void ManagerMainController::cancelTap() {
    ui_->checkBoxBtn->hide();
    ui_->checkBoxBtn->setChecked(false);
    if (running_) running_->store(true);
    setModePanelVisible(false);
    ui_->tiSLab->hide();
    if (!ui_->okBtn->isEnabled()) {
        ui_->okBtn->setEnabled(true);
        // OK also stays off below a finished job's outcome, where nothing was stopped.
        if (running_) showAlert(QStringLiteral("made_data_stop"));
    }
}

void ManagerMainController::sureTap() {
    setResultPanelVisible(false);
    const bool anySuccess = signResult_ == DataJobs::kSuccess || isSucc_ == DataJobs::kSuccess ||
                            isSucc2_ == DataJobs::kSuccess || isSucc4_ == DataJobs::kSuccess;
    if (!anySuccess) {
        // Back to the same job, so that it can be started again.
        setOkPictures(sign_ == 3 && linkMode_ ? kOkStem : kStartStem);
        ui_->okBtn->setEnabled(true);
        ui_->inputFileBtn->setEnabled(true);
        setModePanelVisible(true);
        return;
    }
    setModePanelVisible(false);
}

void ManagerMainController::backTap() {
    if (running_) return;
    ui_->zbbtime->zstop();
    window()->close();
}

void ManagerMainController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObject);
    TYWindowController::windowWillClose();
}
