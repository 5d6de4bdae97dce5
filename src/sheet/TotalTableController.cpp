#include "sheet/TotalTableController.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QVariantMap>
#include <QWheelEvent>

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"
#include "sheet/SheetCsv.h"
#include "sheet/SheetPrinter.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/entry/FieldRules.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "ui_TotalTableController.h"

namespace {

const QString kBackBeforeFromTotal = QStringLiteral("BackBeforeFromTotal");

TotalTableController::PrinterSetup &printerSetup() {
    static TotalTableController::PrinterSetup setup = [](QPrinter &printer, QWidget *parent) {
        QPrintDialog dialog(&printer, parent);
        return dialog.exec() == QDialog::Accepted;
    };
    return setup;
}

// The text backups follow a new chart number. The new ones are written before the old ones
// go, so that a failure half-way leaves one whole set: when not every result could be
// written, only the old backups that have their new counterpart are removed.
void updateBackup(const QString &oldNo, const QString &newNo) {
    const bool complete = UsbUtils::csvBackup(newNo, -1);
    if (newNo == oldNo) return;
    if (complete) {
        UsbUtils::delTxtBackup(oldNo);
        return;
    }
    const QString folder = UsbUtils::resultDataFolder();
    constexpr int kStampAndHead = 1 + 14 + 1 + 8 + 4;  // "_<yyyyMMddHHmmss>_<8>.txt"
    for (const QString &entry : QDir(folder).entryList({QStringLiteral("*.txt")}, QDir::Files)) {
        if (!entry.startsWith(oldNo + QLatin1Char('_')) || entry.size() - oldNo.size() != kStampAndHead)
            continue;
        if (QFileInfo(folder + QLatin1Char('/') + newNo + entry.mid(oldNo.size())).isFile())
            QFile::remove(folder + QLatin1Char('/') + entry);
    }
}

}  // namespace

// ---- Page views -----------------------------------------------------------------------------

void SheetPageView::paintEvent(QPaintEvent *) {
    if (!page_) return;
    QPainter painter(this);
    page_->paint(painter, QRectF(rect()));
}

PrintScrollView::PrintScrollView(QWidget *parent) : QScrollArea(parent) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setAlignment(Qt::AlignCenter);
    setWidgetResizable(false);
}

void PrintScrollView::setDocumentSize(const QSizeF &size) {
    documentSize_ = size;
    if (widget()) widget()->resize(size.toSize());
}

void PrintScrollView::wheelEvent(QWheelEvent *event) {
    const int delta = event->angleDelta().y();
    if (delta > 0)
        setDocumentSize(documentSize_ * 1.05);
    else if (delta < 0 && documentSize_.width() > 302)
        setDocumentSize(documentSize_ * 0.95);
    event->accept();
}

// ---- Controller -----------------------------------------------------------------------------

void TotalTableController::setPrinterSetup(PrinterSetup setup) {
    printerSetup() = std::move(setup);
}

TotalTableController::TotalTableController(SheetInput input, QObject *parent)
    : TYWindowController(QStringLiteral("TotalTableController"), parent), input_(std::move(input)) {}

TotalTableController::~TotalTableController() = default;

void TotalTableController::setupUi(TYWindow *window) {
    ui_ = std::make_unique<Ui::TotalTableController>();
    ui_->setupUi(window);
}

void TotalTableController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    isSix_ = SheetPage::readIsSix();
    page_ = std::make_unique<SheetPage>(input_, isSix_);

    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->btime);
    shell::styleLabel(ui_->sheetNote, 14, false, QStringLiteral("#6b7b86"));
    shell::styleCard(ui_->modifyUserView);

    // Frames in the window's terms from its lower-left corner: the preview at 0.45 of the
    // page, the transparent button over it that opens the zoom, and the zoom view under the
    // title bar, clear of every button.
    const QSizeF page = SheetPage::pageSize();
    const QSizeF small = page * 0.45;
    img1_ = new SheetPageView(window());
    img1_->setGeometry(kit::fromBottomLeft(
        window(), QRectF(QPointF((732 - small.width()) * 0.45 + 50, 55), small).toRect()));
    img1_->setPage(page_.get());
    img1_->stackUnder(ui_->modifyUserView);
    btnForBig_ = new CustomButton(kit::fromBottomLeft(window(), QRect(244, 60, 302, 427)), window());
    btnForBig_->setObjectName(QStringLiteral("btnForBig"));
    btnForBig_->setCursor(Qt::PointingHandCursor);
    btnForBig_->stackUnder(ui_->modifyUserView);
    connect(btnForBig_, &CustomButton::clicked, this, &TotalTableController::forBig);

    scr_ = new PrintScrollView(window());
    scr_->setGeometry(kit::fromBottomLeft(window(), QRect(44, 60, 688, 426)));
    bigImg_ = new SheetPageView;
    bigImg_->setPage(page_.get());
    scr_->setWidget(bigImg_);
    scr_->setDocumentSize(page);
    scr_->stackUnder(ui_->modifyUserView);
    scr_->hide();

    // The CSV outcome is shown in a panel of this window, with its own OK.
    csvShowView_ = new QFrame(window());
    csvShowView_->setObjectName(QStringLiteral("csvShowView"));
    csvShowView_->setGeometry(220, 230, 520, 260);
    shell::styleCard(csvShowView_);
    csvShowImg_ = kit::addStretchedPicture(csvShowView_, QRect(22, 30, 475, 85), QString());
    CustomButton *csvOkBtn =
        kit::addMessageButton(csvShowView_, QRect(204, 132, 112, 112), QStringLiteral("ボタン_OK_"));
    connect(csvOkBtn, &CustomButton::clicked, this, &TotalTableController::csvOk);
    csvShowView_->hide();

    ui_->printBtn->setImageNamed(QStringLiteral("ボタン_印刷_"));
    ui_->printBtn->setHoverImageNamed(QStringLiteral("ボタン_印刷_ON"));
    ui_->printBtn->setAlternateImageNamed(QStringLiteral("ボタン_印刷_DOWN"));
    ui_->miniBtn->setPictureStem(QStringLiteral("ボタン_プラス_"));
    ui_->miniBtn->hide();
    ui_->miniBtn->raise();
    ui_->saveBtn->setVisible(UsbUtils::isHaveMODE() != 0);
    ui_->modifyUserView->hide();

    connect(ui_->printBtn, &CustomButton::clicked, this, &TotalTableController::prints);
    connect(ui_->saveBtn, &CustomButton::clicked, this, &TotalTableController::saveCsv);
    connect(ui_->miniBtn, &CustomButton::clicked, this, &TotalTableController::minTap);
    connect(ui_->bacBtn, &CustomButton::clicked, this, &TotalTableController::bacTap);
    connect(ui_->cencalBtn, &CustomButton::clicked, this, &TotalTableController::cencalTap);
    connect(ui_->modifyBtn, &QPushButton::clicked, this, &TotalTableController::modifyButtonClicked);
    connect(ui_->cancelBtn, &QPushButton::clicked, this, &TotalTableController::cancelModify);
    connect(ui_->confirmBtn, &QPushButton::clicked, this, &TotalTableController::confirmModify);
    for (QLineEdit *field : {static_cast<QLineEdit *>(ui_->modNoLAB), ui_->modFirLAB, ui_->modNameLAB})
        connect(field, &QLineEdit::textEdited, this, [this, field] { controlTextDidChange(field); });
    ui_->btime->zstart();
}

void TotalTableController::refreshPreview() {
    if (img1_) img1_->update();
    if (bigImg_) bigImg_->update();
}

CustomButton *TotalTableController::saveBtn() {
    window();  // the controls exist once the window has loaded
    return ui_->saveBtn;
}
IDTextField *TotalTableController::modNoLAB() {
    window();  // the controls exist once the window has loaded
    return ui_->modNoLAB;
}
QLineEdit *TotalTableController::modFirLAB() {
    window();  // the controls exist once the window has loaded
    return ui_->modFirLAB;
}
QLineEdit *TotalTableController::modNameLAB() {
    window();  // the controls exist once the window has loaded
    return ui_->modNameLAB;
}

bool TotalTableController::isZoomed() const {
    return scr_ && !scr_->isHidden();
}

QSize TotalTableController::zoomedSheetSize() const {
    return bigImg_ ? bigImg_->size() : QSize();
}

void TotalTableController::forBig() {
    ui_->miniBtn->setPictureStem(QStringLiteral("ボタン_マイナス_"));
    img1_->hide();
    scr_->setDocumentSize(QSizeF(671, 949));
    scr_->verticalScrollBar()->setValue(0);  // the top of the sheet first
    scr_->show();
    ui_->miniBtn->show();
    ui_->miniBtn->raise();
    btnForBig_->hide();
}

void TotalTableController::minTap() {
    scr_->hide();
    img1_->show();
    ui_->miniBtn->hide();
    btnForBig_->show();
}

bool TotalTableController::isCsvShown() const {
    return csvShowView_ && !csvShowView_->isHidden();
}

void TotalTableController::showCsvViewIsSuccess(bool success) {
    csvShowImg_->setPixmap(
        kit::picture(success ? QStringLiteral("csv_save_success") : QStringLiteral("W312")));
    csvShowView_->show();
    csvShowView_->raise();
}

void TotalTableController::csvOk() {
    csvShowView_->hide();
}

void TotalTableController::prints() {
    // The dialog starts on the printer's own paper.
    QPrinter printer(QPrinter::HighResolution);
    if (!printerSetup()(printer, window())) return;  // cancelled: nothing printed, nothing marked
    const SheetPrinter::Outcome outcome = SheetPrinter::print(*page_, printer);
    if (outcome != SheetPrinter::Outcome::Printed)
        TYAlertView::showErrorAlertView(SheetPrinter::pictureName(outcome));
}

void TotalTableController::saveCsv() {
    const SheetCsv::Outcome outcome = SheetCsv::saveCsv(noString(), input_.selectRow);
    if (outcome != SheetCsv::Outcome::NotLinkMode) showCsvViewIsSuccess(outcome == SheetCsv::Outcome::Saved);
}

void TotalTableController::bacTap() {
    isBacTap_ = 1;
    // The window's last window is the result screen's, set by the opener.
    ui_->btime->zstop();
    window()->close();
}

void TotalTableController::cencalTap() {
    isBacTap_ = 2;
    ui_->btime->zstop();
    window()->setLastWindow(kit::firstWindow());
    window()->close();
}

void TotalTableController::windowWillClose() {
    ui_->btime->zstop();
    auto &center = cvx::NotificationCenter::defaultCenter();
    if (isBacTap_ == 1)
        center.postNotificationName(kBackBeforeFromTotal, QVariantMap{{QStringLiteral("nos"), noString()}});
    else
        center.postNotificationName(shell::kBackMainMenuFromTotal);
    TYWindowController::windowWillClose();
}

// ---- Patient correction -------------------------------------------------------------------

void TotalTableController::modifyButtonClicked() {
    ui_->modifyUserView->show();
    ui_->modifyUserView->raise();
    const QString number = page_->text(QStringLiteral("znoLab"));
    ui_->modNoLAB->setText(number);
    ui_->modNoLAB->setLastStringValue(number);
    const QStringList name = page_->datas().nameStr();
    if (name.isEmpty()) return;
    ui_->modFirLAB->setText(name.first());
    ui_->modNameLAB->setText(name.size() >= 2 ? name.last() : QString(""));
}

void TotalTableController::cancelModify() {
    ui_->modifyUserView->hide();
}

// The typing limits bind what is typed only: the field is filled with the whole stored
// number, which the data import may have made longer than a typed one can be.
void TotalTableController::controlTextDidChange(QLineEdit *field) {
    if (field != ui_->modNoLAB) {
        const QString cut = entry::limitName(field->text());
        if (cut != field->text()) field->setText(cut);
        return;
    }
    IDTextField *number = ui_->modNoLAB;
    const entry::ChartNumberEdit edit =
        entry::checkChartNumber(number->text(), number->cursorPosition(), number->lastStringValue());
    if (edit.accepted) number->setLastStringValue(edit.text);
    if (edit.text == number->text()) return;
    number->setText(edit.text);
    number->setCursorPosition(edit.cursor);
}

int TotalTableController::isRepead(const QString &chartNo) const {
    const QString folder = UsbUtils::customerFolder();
    if (!QFileInfo(folder).isDir()) return 1;
    if (chartNo == noString()) return 1;
    QDirIterator it(folder, {QStringLiteral("*.xml")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        if (it.fileName().section(QLatin1Char('.'), 0, 0).compare(chartNo, Qt::CaseInsensitive) == 0)
            return 2;
    }
    return 1;
}

void TotalTableController::confirmModify() {
    const QString newNo = ui_->modNoLAB->text();
    const QString oldNo = page_->noString();
    const int mode = UsbUtils::isHaveMODE();
    QString fullName = QStringLiteral("%1 %2").arg(ui_->modFirLAB->text(), ui_->modNameLAB->text());
    if ((mode == 3 || mode == 4) && ui_->modNameLAB->text().isEmpty()) fullName = ui_->modFirLAB->text();

    if (newNo.isEmpty()) {
        TYAlertView::showErrorAlertView(QStringLiteral("W302"));
        return;
    }
    // A number that names no file (a path sign, "..") is refused like a taken one.
    if (!UsbUtils::isSafeChartNumber(newNo, true)) {
        TYAlertView::showErrorAlertView(QStringLiteral("W303"));
        return;
    }
    QDir().mkpath(UsbUtils::customerFolder());
    const QString oldPath = UsbUtils::getXmlPath(oldNo), newPath = UsbUtils::getXmlPath(newNo);
    if (oldPath != newPath && (QFile::exists(newPath) || isRepead(newNo) == 2)) {
        TYAlertView::showErrorAlertView(QStringLiteral("W303"));
        return;
    }
    if (oldPath != newPath && !QFile::rename(oldPath, newPath)) {
        TYAlertView::showErrorAlertView(QStringLiteral("W303"));
        return;
    }
    if (newNo != oldNo) {
        // The remark moves with the patient; a stale one under the new number is not kept.
        auto &defaults = cvx::UserDefaults::standard();
        const QVariant remark = defaults.objectForKey(oldNo + QStringLiteral("_remark"));
        if (remark.isValid())
            defaults.setObject(remark, newNo + QStringLiteral("_remark"));
        else
            defaults.removeObjectForKey(newNo + QStringLiteral("_remark"));
        defaults.removeObjectForKey(oldNo + QStringLiteral("_remark"));
        defaults.flush();
    }
    page_->setNoString(newNo);
    // The name goes into the file before the backups and the header read it back.
    const bool named = page_->datas().setDatas(newNo, page_->dateStr(), fullName);
    updateBackup(oldNo, newNo);
    page_->initTabView();
    refreshPreview();
    ui_->modifyUserView->hide();
    TYAlertView::showErrorAlertView(named ? QStringLiteral("update_success") : QStringLiteral("E403"));
}
