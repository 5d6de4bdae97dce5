#include "review/OutputController.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>
#include <QTableView>

#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "records/BBInitZBases.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"
#include "review/ResultTableController.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/entry/FieldRules.h"
#include "shell/entry/PatientRecords.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/IDTextField.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/MessageParts.h"
#include "shell/kit/PictureView.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "ui_OutputController.h"

namespace {

const QString kCheckColumn = QStringLiteral("chekCell");
const QString kTimeColumn = QStringLiteral("timeCell");
const QString kSheetColumn = QStringLiteral("sheetCell");
const QString kRemarkColumn = QStringLiteral("remarkCell");
const QString kCheckFileName = QStringLiteral("Check_Measure_Result");
const QString kNoValue = QStringLiteral("-");

constexpr int kRowHeight = 53;
constexpr int kMaxListHeight = 383;

// The text of the result's first child of that name; "-" when it has none.
QString childText(const cvx::XmlElement &result, const QString &name) {
    const cvx::XmlElement child = result.firstElement(name);
    return child.isNull() ? kNoValue : child.stringValue();
}

// Whether a stored name holds the typed parts. One part typed compares with the name's parts
// as the mode splits them; both typed always split the name at blanks.
bool isNameHit(const QString &storedName, const QString &first, const QString &last, int mode) {
    OCMCustInfo parts;
    if (!first.isEmpty() && !last.isEmpty()) {
        entry::splitName(storedName, 0, parts);
        return !parts.firstname().isEmpty() && !parts.lastname().isEmpty() &&
               parts.firstname().contains(first, Qt::CaseSensitive) &&
               parts.lastname().contains(last, Qt::CaseSensitive);
    }
    entry::splitName(storedName, mode, parts);
    if (!first.isEmpty()) return parts.firstname().contains(first, Qt::CaseSensitive);
    return !last.isEmpty() && !parts.lastname().isEmpty() &&
           parts.lastname().contains(last, Qt::CaseSensitive);
}

// The tick column: a check box of finger size in the middle of the cell; a click on the cell
// ticks the row (a tick is moved, never taken away).
class TickDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
        QStyle *style = option.widget ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, option.widget);

        QStyleOptionButton box;
        box.rect = QRect(0, 0, kBoxSize, kBoxSize);
        box.rect.moveCenter(option.rect.center());
        box.state =
            QStyle::State_Enabled |
            (index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off);
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, option.widget);
    }
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &,
                     const QModelIndex &index) override {
        if (event->type() != QEvent::MouseButtonRelease) return false;
        return model->setData(index, Qt::Checked, Qt::CheckStateRole);
    }

private:
    static constexpr int kBoxSize = 26;
};

}  // namespace

// The measurement table's data source: the controller's row arrays, the tick as a check box.
class OutputController::TableModel : public QAbstractTableModel {
public:
    explicit TableModel(OutputController *owner) : QAbstractTableModel(owner), owner_(owner) {}

    int rowCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(owner_->numberOfRowsInTableView());
    }
    int columnCount(const QModelIndex &parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columnIdentifiers().size());
    }
    QVariant data(const QModelIndex &index, int role) const override {
        if (!index.isValid()) return {};
        const QString id = columnIdentifiers().value(index.column());
        const QString value = owner_->objectValue(id, index.row());
        if (id == kCheckColumn) {
            if (role == Qt::CheckStateRole) return value == QStringLiteral("1") ? Qt::Checked : Qt::Unchecked;
            return {};
        }
        if (role == Qt::DisplayRole) return value;
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(id == kRemarkColumn ? Qt::AlignLeft | Qt::AlignVCenter
                                                           : Qt::AlignCenter);
        return {};
    }
    bool setData(const QModelIndex &index, const QVariant &, int role) override {
        if (!index.isValid() || role != Qt::CheckStateRole) return false;
        owner_->tableViewSetObjectValue(columnIdentifiers().value(index.column()), index.row());
        return true;
    }
    Qt::ItemFlags flags(const QModelIndex &index) const override {
        Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (index.column() == 0) flags |= Qt::ItemIsUserCheckable;
        return flags;
    }
    void reload() {
        beginResetModel();
        endResetModel();
    }
    // Only the ticks changed: a reset in the middle of a click would lose the click.
    void reloadTicks() {
        if (rowCount() > 0) emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::CheckStateRole});
    }

private:
    OutputController *owner_;
};

const QStringList &OutputController::columnIdentifiers() {
    static const QStringList ids{kCheckColumn, kTimeColumn, kSheetColumn, kRemarkColumn};
    return ids;
}

OutputController::OutputController(QObject *parent)
    : TYWindowController(QStringLiteral("OutputController"), parent),
      ui_(std::make_unique<Ui::OutputController>()) {}

OutputController::~OutputController() = default;

// ---- Opening ---------------------------------------------------------------------------------

void OutputController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    model_ = new TableModel(this);
    ui_->tabView->setModel(model_);
    applyLook();
    buildMessagePanel(window);
    connectControls();
}

void OutputController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    initBase();
    ui_->noTxtFid->setFocus();
    couComb_ = 0;
    reloadComboBox();
    emptyList();
}

void OutputController::initBase() {
    setPanelVisible(false);
    resultInfo_ = OCMResultInfo();
    ui_->firstName->setProperty("tag", 101);
    ui_->lastName->setProperty("tag", 102);
}

void OutputController::applyLook() {
    Ui::OutputController &ui = *ui_;
    shell::dressScreen(ui.background, ui.titleLabel, ui.zbbtime);
    shell::styleCard(ui.searchCard);
    for (QLabel *caption : {ui.noCaption, ui.nameCaption})
        shell::styleLabel(caption, 20, true, QStringLiteral("#24414f"));
    for (QLabel *word : {ui.firstNameCaption, ui.lastNameCaption})
        shell::styleLabel(word, 20, false, QStringLiteral("#2b3a42"));
    shell::styleLabel(ui.listHint, 17, false, QStringLiteral("#4a5a66"));
    ui.listHint->setAlignment(Qt::AlignCenter);
    ui.listHeader->setStyleSheet(
        QStringLiteral("QFrame#listHeader { background: #2a7f8a; border-radius: 6px; }"));
    for (QLabel *heading : {ui.checkHeader, ui.timeHeader, ui.sheetHeader, ui.remarkHeader}) {
        shell::styleLabel(heading, 17, true, QStringLiteral("white"));
        heading->setAlignment(heading == ui.remarkHeader ? Qt::AlignLeft | Qt::AlignVCenter
                                                         : Qt::AlignCenter);
    }
    ui.remarkHeader->setIndent(8);

    const QString field = QStringLiteral(
        "QLineEdit { background: white; color: #1f2d35; border: 1px solid #b8c7cf; border-radius: 6px; "
        "padding: 0 10px; } QLineEdit:focus { border: 2px solid #2a9d8f; }");
    for (QLineEdit *edit : {static_cast<QLineEdit *>(ui.noTxtFid), ui.firstName, ui.lastName}) {
        edit->setFont(kit::appFont(22));
        edit->setStyleSheet(field);
    }
    // A short scrolling list under the chart-number field, not a menu over the whole screen.
    ui.comBox->setItemDelegate(new QStyledItemDelegate(ui.comBox));
    ui.comBox->setFont(kit::appFont(20));
    ui.comBox->setStyleSheet(QStringLiteral(
        "QComboBox { combobox-popup: 0; }"
        "QComboBox QAbstractItemView { background: white; color: #1f2d35; border: 1px solid #b8c7cf; "
        "selection-background-color: #2a9d8f; selection-color: white; outline: 0; }"
        "QComboBox QAbstractItemView::item { min-height: 38px; padding: 0 12px; }"));
    ui.comBox->setMaxVisibleItems(8);

    QTableView *table = ui.tabView;
    table->setFont(kit::appFont(20));
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->setStyleSheet(QStringLiteral(
        "QTableView { background: white; color: #1f2d35; border: 1px solid #b8c7cf; gridline-color: #dbe5ea; "
        "selection-background-color: #d8efec; selection-color: #1f2d35; outline: 0; }"));
    table->setColumnWidth(0, ui.checkHeader->width());
    table->setColumnWidth(1, ui.timeHeader->width());
    table->setColumnWidth(2, ui.sheetHeader->width());
    table->horizontalHeader()->setStretchLastSection(true);
    table->setItemDelegateForColumn(0, new TickDelegate(table));
}

void OutputController::buildMessagePanel(TYWindow *window) {
    bacImg_ = kit::addStretchedPicture(window, window->rect(), QStringLiteral("box"));
    infoImg_ = kit::addStretchedPicture(window, QRect(0, 200, 960, 320), QStringLiteral("画面_メッセージ"));
    infomationImg_ = kit::addStretchedPicture(window, QRect(243, 260, 475, 85), QString());
    okBtn_ = kit::addMessageButton(window, QRect(424, 360, 112, 112), QStringLiteral("ボタン_OK_"));
    // The backdrop takes the clicks meant for the controls below.
    bacImg_->setAttribute(Qt::WA_TransparentForMouseEvents, false);
    connect(okBtn_, &CustomButton::clicked, this, &OutputController::okTap);
}

void OutputController::connectControls() {
    Ui::OutputController &ui = *ui_;
    for (QLineEdit *edit : {static_cast<QLineEdit *>(ui.noTxtFid), ui.firstName, ui.lastName})
        connect(edit, &QLineEdit::textEdited, this, [this, edit] { controlTextDidChange(edit); });
    connect(ui.searchButton, &CustomButton::clicked, this, &OutputController::outPutTap);
    connect(ui.downBtn, &CustomButton::clicked, this, &OutputController::downTap);
    connect(ui.comBox, &QComboBox::activated, this, &OutputController::comboBoxWillDismiss);
    connect(ui.editButton, &CustomButton::clicked, this, &OutputController::editTap);
    connect(ui.backButton, &CustomButton::clicked, this, &OutputController::backTap);
    connect(ui.backTwoButton, &CustomButton::clicked, this, &OutputController::backTwoTap);
    connect(ui.tabView, &QTableView::pressed, this,
            [this](const QModelIndex &index) { tableViewShouldSelectRow(index.row()); });
    connect(ui.tabView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!reloading_ && current.isValid() && current.row() != selectRow_)
                    tableViewShouldSelectRow(current.row());
            });
}

// ---- Input rules -------------------------------------------------------------------------------

void OutputController::controlTextDidChange(QLineEdit *field) {
    if (field == ui_->noTxtFid) {
        IDTextField *chartNo = ui_->noTxtFid;
        const entry::ChartNumberEdit edit =
            entry::checkChartNumber(chartNo->text(), chartNo->cursorPosition(), chartNo->lastStringValue());
        if (edit.text != chartNo->text()) {
            chartNo->setText(edit.text);
            chartNo->setCursorPosition(edit.cursor);
        }
        if (edit.accepted) chartNo->setLastStringValue(edit.text);
        return;
    }
    if (field != ui_->firstName && field != ui_->lastName) return;
    const QString limited = entry::limitName(field->text());
    if (limited != field->text()) {
        const int cursor = qMin(field->cursorPosition(), static_cast<int>(limited.size()));
        field->setText(limited);
        field->setCursorPosition(cursor);
    }
}

// ---- Search --------------------------------------------------------------------------------------

void OutputController::outPutTap() {
    Ui::OutputController &ui = loadedUi();
    comboxAry_.clear();
    // The list never offers hits of an earlier search.
    reloadComboBox();
    const QString chartNo = ui.noTxtFid->text();
    if (chartNo.isEmpty() && (!ui.firstName->text().isEmpty() || !ui.lastName->text().isEmpty())) {
        directOutput();
        return;
    }
    if (chartNo.isEmpty()) {
        showPanelMessage(QStringLiteral("W302"));
        emptyList();
        return;
    }
    if (NSStringExt::trim(chartNo) == kCheckFileName) {
        showPanelMessage(QStringLiteral("W304"));
        clearNameFields();
        emptyList();
        return;
    }
    loadPatient(LoadKind::NumberSearch);
}

QStringList OutputController::nameHits(const QString &first, const QString &last, int mode) {
    QStringList hits;
    const QString folder = UsbUtils::customerFolder();
    for (const QString &entry : cvx::FileManager::sortedSubpaths(folder)) {
        if (cvx::FileManager::pathExtension(entry) != QStringLiteral("xml") ||
            entry == kCheckFileName + QStringLiteral(".xml"))
            continue;
        // Only a chart number that names its own file can be loaded afterwards (no sub-folders).
        const QString chartNo = cvx::FileManager::deletingPathExtension(entry);
        if (!UsbUtils::isSafeChartNumber(chartNo, true)) continue;
        const QString path = cvx::FileManager::appendingPathComponent(folder, entry);
        // Most files are no hit, which the start of the file already tells.
        if (const auto head = cvx::XmlDocument::rootAttributesOfFile(path)) {
            const QString name = cvx::attributeValue(*head, QStringLiteral("name"));
            if (name.isEmpty() || !isNameHit(name, first, last, mode)) continue;
        }
        const std::optional<cvx::XmlDocument> doc =
            cvx::XmlDocument::fromFile(path, cvx::XmlDocument::Option::Tidy);
        if (!doc) continue;
        const QString name = doc->rootElement().attribute(QStringLiteral("name"));
        if (name.isEmpty()) continue;
        if (isNameHit(name, first, last, mode)) hits.append(chartNo);
    }
    return hits;
}

void OutputController::directOutput() {
    Ui::OutputController &ui = loadedUi();
    comboxAry_.clear();
    couComb_ = 0;
    const QString first = ui.firstName->text();
    const QString last = ui.lastName->text();
    if (first.isEmpty() && last.isEmpty()) return;

    comboxAry_ = nameHits(first, last, UsbUtils::isHaveMODE());
    reloadComboBox();

    if (comboxAry_.isEmpty()) {
        showAlert304ImageView();
        return;
    }
    putChartNumber(comboxAry_.first());
    outPutNoIsEmpty();
}

void OutputController::downTap() {
    loadedUi().comBox->showPopup();
}

void OutputController::comboBoxWillDismiss(int index) {
    if (index < 0 || index >= comboxAry_.size()) return;
    const QString chartNo = comboxAry_.at(index);
    putChartNumber(chartNo);
    saveData(chartNo);
}

void OutputController::showAlert304ImageView() {
    Ui::OutputController &ui = loadedUi();
    ui.firstName->clearFocus();
    ui.lastName->clearFocus();
    if (QWidget *focused = window()->focusWidget()) focused->clearFocus();
    emptyList();
    TYAlertView::showErrorAlertView(QStringLiteral("W304"));
}

// ---- Loading a patient's list ------------------------------------------------------------------

void OutputController::outPutNoIsEmpty() {
    loadPatient(LoadKind::FirstHit);
}

void OutputController::saveData(const QString &chartNo) {
    putChartNumber(chartNo);
    loadPatient(LoadKind::PulldownChoice);
}

void OutputController::loadPatient(LoadKind kind) {
    Ui::OutputController &ui = loadedUi();
    timeMuAry_.clear();
    sheetMuAry_.clear();
    remarkMuAry_.clear();
    checkTableAry_.clear();
    resultIndexAry_.clear();
    if (kind != LoadKind::FirstHit) clearNameFields();

    // A number typed in another letter case opens the file found, under the file's own name.
    if (kind == LoadKind::NumberSearch) {
        const QString stored = entry::storedChartNumber(ui.noTxtFid->text());
        if (stored != ui.noTxtFid->text()) putChartNumber(stored);
    }
    const QString chartNo = ui.noTxtFid->text();
    resultInfo_.custInfo().setCustomerNo(chartNo);
    noStr_ = chartNo;

    const QString folder = UsbUtils::customerFolder();
    cvx::FileManager::createDirectory(folder);
    // A chart number that names no file of its own in the folder is looked for nowhere.
    savePath_ = UsbUtils::getXmlPath(chartNo);
    if (savePath_.isNull() || !cvx::FileManager::fileExists(savePath_) ||
        cvx::FileManager::isDirectory(savePath_)) {
        dataXML_.reset();
        showPanelMessage(QStringLiteral("W304"));
        clearNameFields();
        emptyList();
        resultInfo_.custInfo().setFirstname(QStringLiteral(""));
        resultInfo_.custInfo().setLastname(QStringLiteral(""));
        return;
    }

    dataXML_ = cvx::XmlDocument::fromFile(savePath_, cvx::XmlDocument::Option::Tidy);
    const QList<cvx::XmlElement> results =
        dataXML_ ? dataXML_->rootElement().elements() : QList<cvx::XmlElement>();
    if (results.isEmpty()) {
        if (kind == LoadKind::FirstHit && comboxAry_.size() >= 2) {
            couComb_ = 1;
            putChartNumber(comboxAry_.at(1));
            outPutTap();
            return;
        }
        showPanelMessage(QStringLiteral("W304"));
        clearNameFields();
        emptyList();
        return;
    }

    const QString name = dataXML_->rootElement().attribute(QStringLiteral("name"));
    if (!name.isEmpty()) {
        OCMCustInfo parts;
        entry::splitName(name, UsbUtils::isHaveMODE(), parts);
        resultInfo_.custInfo().setFirstname(parts.firstname());
        resultInfo_.custInfo().setLastname(parts.lastname());
        ui.firstName->setText(parts.firstname());
        ui.lastName->setText(parts.lastname());
    }

    for (qsizetype i = 0; i < results.size(); ++i) {
        const cvx::XmlElement &result = results.at(i);
        const QString when =
            result.attribute(QStringLiteral("date")) + u' ' + result.attribute(QStringLiteral("time"));
        if (kind != LoadKind::FirstHit && !BBInitZBases::isOKfromDate(when)) continue;
        timeMuAry_.append(when);
        sheetMuAry_.append(childText(result, QStringLiteral("SheetFlg")));
        remarkMuAry_.append(childText(result, QStringLiteral("Remark")));
        resultIndexAry_.append(i);
    }
    for (qsizetype i = 0; i < timeMuAry_.size(); ++i)
        checkTableAry_.append(i == 0 ? QStringLiteral("1") : QStringLiteral("0"));
    selectRow_ = 0;

    // Newest first; equal times never trade places directly. The ticks stay where they are.
    QList<QDateTime> dates;
    for (const QString &when : timeMuAry_) dates.append(BBInitZBases::createDateFromDateString(when));
    for (qsizetype i = 0; i + 1 < timeMuAry_.size(); ++i) {
        for (qsizetype j = i + 1; j < timeMuAry_.size(); ++j) {
            if (!(dates.at(j) > dates.at(i))) continue;
            dates.swapItemsAt(i, j);
            timeMuAry_.swapItemsAt(i, j);
            sheetMuAry_.swapItemsAt(i, j);
            remarkMuAry_.swapItemsAt(i, j);
            resultIndexAry_.swapItemsAt(i, j);
        }
    }
    showList();
}

// ---- The list ------------------------------------------------------------------------------------

int OutputController::listHeight() const {
    return static_cast<int>(qMin<qsizetype>(timeMuAry_.size() * kRowHeight + 2, kMaxListHeight));
}

void OutputController::emptyList() {
    timeMuAry_.clear();
    sheetMuAry_.clear();
    remarkMuAry_.clear();
    checkTableAry_.clear();
    resultIndexAry_.clear();
    selectRow_ = 0;
    showList();
}

void OutputController::showList() {
    Ui::OutputController &ui = loadedUi();
    const bool rows = !timeMuAry_.isEmpty();
    ui.tabView->setFixedHeight(listHeight());
    ui.tabView->setVisible(rows);
    ui.listHeader->setVisible(rows);
    ui.listHint->setVisible(!rows);
    reloadTable(false);
}

void OutputController::reloadTable(bool ticksOnly) {
    if (!model_) return;
    reloading_ = true;
    if (ticksOnly)
        model_->reloadTicks();
    else
        model_->reload();
    if (selectRow_ >= 0 && selectRow_ < numberOfRowsInTableView())
        ui_->tabView->selectRow(static_cast<int>(selectRow_));
    reloading_ = false;
}

QString OutputController::objectValue(const QString &columnIdentifier, qint64 row) const {
    if (row < 0 || row >= timeMuAry_.size()) return QString();
    if (columnIdentifier == kCheckColumn) return checkTableAry_.value(row);
    if (columnIdentifier == kTimeColumn) return timeMuAry_.at(row);
    if (columnIdentifier == kSheetColumn) return sheetMuAry_.value(row, kNoValue);
    return remarkMuAry_.value(row, kNoValue);
}

void OutputController::tickRow(qint64 row) {
    if (row < 0 || row >= checkTableAry_.size()) return;
    for (qsizetype i = 0; i < checkTableAry_.size(); ++i)
        checkTableAry_[i] = i == row ? QStringLiteral("1") : QStringLiteral("0");
    selectRow_ = row;
    reloadTable(true);
}

bool OutputController::tableViewShouldSelectRow(qint64 row) {
    tickRow(row);
    return true;
}

void OutputController::tableViewSetObjectValue(const QString &columnIdentifier, qint64 row) {
    if (!columnIdentifiers().contains(columnIdentifier)) return;
    tickRow(row);
}

// ---- Opening the result screen -----------------------------------------------------------------

void OutputController::editTap() {
    Ui::OutputController &ui = loadedUi();
    if (checkTableAry_.isEmpty() || selectRow_ < 0 || selectRow_ >= timeMuAry_.size()) {
        showPanelMessage(QStringLiteral("W308"));
        return;
    }
    ui.zbbtime->zstop();
    if (resultTableCon_) resultTableCon_->deleteLater();
    auto *con = new ResultTableController(this);
    resultTableCon_ = con;
    // Every property is set before the screen's window is first touched: loading it reads them.
    con->setDataXML(dataXML_ ? std::optional<cvx::XmlDocument>(dataXML_->clone()) : std::nullopt);
    con->setMWindow(mWindow_);
    con->setSavePath(savePath_);
    con->setNoString(noStr_);
    con->setDateStr(timeMuAry_.at(selectRow_));
    // The screen and the text backup count results in the file's order, which the sorted
    // list need not keep.
    con->setSelectRow(resultIndexAry_.at(selectRow_));
    con->window()->setLastWindow(window());
    con->showWindow();
    ui.editButton->mouseExited();
    window()->orderOut();
}

// ---- Leaving -------------------------------------------------------------------------------------

void OutputController::backTap() {
    loadedUi().zbbtime->zstop();
    window()->close();
}

void OutputController::backTwoTap() {
    backTap();
}

void OutputController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromOutput);
    // Back to the main menu, whoever opened this window.
    window()->setLastWindow(kit::firstWindow());
    TYWindowController::windowWillClose();
}

// ---- Fields and the message panel ----------------------------------------------------------------

void OutputController::reloadComboBox() {
    QComboBox *list = loadedUi().comBox;
    const QSignalBlocker blocker(list);
    list->clear();
    list->addItems(comboxAry_);
    list->setCurrentIndex(-1);
}

void OutputController::clearNameFields() {
    ui_->firstName->setText(QStringLiteral(""));
    ui_->lastName->setText(QStringLiteral(""));
}

void OutputController::putChartNumber(const QString &chartNo) {
    IDTextField *field = loadedUi().noTxtFid;
    field->setText(chartNo);
    // A number put into the field counts as accepted, so a refused keystroke keeps it.
    field->setLastStringValue(chartNo);
    noStr_ = chartNo;
}

void OutputController::showPanelMessage(const QString &code) {
    if (QWidget *focused = window()->focusWidget()) focused->clearFocus();
    infomationImg_->setPixmap(kit::picture(code));
    panelMessage_ = code;
    setPanelVisible(true);
}

void OutputController::okTap() {
    setPanelVisible(false);
}

void OutputController::setPanelVisible(bool visible) {
    for (QWidget *view : std::initializer_list<QWidget *>{bacImg_, infoImg_, infomationImg_, okBtn_}) {
        view->setVisible(visible);
        if (visible) view->raise();
    }
    if (!visible) panelMessage_ = QString();
}

// ---- Controls --------------------------------------------------------------------------------------

Ui::OutputController &OutputController::loadedUi() {
    window();
    return *ui_;
}

BBTime *OutputController::zbbtime() const {
    return ui_->zbbtime;
}
CustomButton *OutputController::backButton() const {
    return ui_->backButton;
}
CustomButton *OutputController::backTwoButton() {
    return loadedUi().backTwoButton;
}
CustomButton *OutputController::searchButton() {
    return loadedUi().searchButton;
}
CustomButton *OutputController::editButton() {
    return loadedUi().editButton;
}
CustomButton *OutputController::downBtn() {
    return loadedUi().downBtn;
}
IDTextField *OutputController::noTxtFid() {
    return loadedUi().noTxtFid;
}
QLineEdit *OutputController::firstName() {
    return loadedUi().firstName;
}
QLineEdit *OutputController::lastName() {
    return loadedUi().lastName;
}
QComboBox *OutputController::comBox() {
    return loadedUi().comBox;
}
QTableView *OutputController::tabView() {
    return loadedUi().tabView;
}
kit::PictureView *OutputController::infomationImg() {
    window();
    return infomationImg_;
}
CustomButton *OutputController::okBtn() {
    window();
    return okBtn_;
}
