#include "review/ResultTableController.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QTimer>

#include <cmath>

#include "charts/BBColumnView.h"
#include "charts/BBNetView.h"
#include "charts/ChartGeometry.h"
#include "platform/FileManager.h"
#include "platform/NotificationCenter.h"
#include "platform/Numbers.h"
#include "platform/UserDefaults.h"
#include "platform/XmlDocument.h"
#include "records/BBInitDatas.h"
#include "records/BBInitZBases.h"
#include "records/CalcSettingDatas.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/entry/FieldRules.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "ui_ResultTableController.h"

namespace {

const QString kBackBeforeFromTotal = QStringLiteral("BackBeforeFromTotal");
const QString kResultChoiceNum = QStringLiteral("resultChoiceNum");
const QString kTicked = QStringLiteral("1");
const QString kUnticked = QStringLiteral("0");
constexpr int kBfc = 3;  // item numbers run 1 MS .. 7 NH3
constexpr int kMaxNameLength = 30;

// Same reading as the result sheet's, so that screen and sheet never differ on one file: only "0"
// keeps BLD; any other text, no node or no readable file leaves it out.
bool leavesOutBld() {
    const auto doc = cvx::XmlDocument::fromFile(
        cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/ModeSetting.xml"),
        cvx::XmlDocument::Option::Tidy);
    if (!doc) return true;
    const cvx::XmlElement node = doc->firstNodeForXPath(QStringLiteral("/DATA/DeleteBLD"));
    return node.isNull() || node.stringValue() != QLatin1String("0");
}
constexpr int kMaxStoredNames = 10;

// Item tables: name, value, level, comment, pull-down button; rows at least 60 high and as
// high as their texts need.
constexpr int kItemColumnWidths[5] = {80, 56, 140, 282, 60};
constexpr int kCommentColumn = 3;
constexpr int kMinRowHeight = 60;
constexpr int kPanelFrame = 2;
// The comment pull-down: never taller than this, and its add strip.
constexpr int kMaxPullDownHeight = 420;
constexpr int kAddStripHeight = 60;

// Height of a row whose cells are these labels, each as wide as its column.
int rowHeightFor(const QList<QLabel *> &cells) {
    int height = kMinRowHeight;
    for (QLabel *cell : cells) height = qMax(height, cell->heightForWidth(cell->width()) + 8);
    return height;
}

ResultTableController::TotalTableFactory &totalTableFactory() {
    static ResultTableController::TotalTableFactory factory;
    return factory;
}

QString dataValue(const OCMCustomerComment &record, int item) {
    switch (item) {
        case 1:
            return record.Datavalue1();
        case 2:
            return record.Datavalue2();
        case 3:
            return record.Datavalue3();
        case 4:
            return record.Datavalue4();
        case 5:
            return record.Datavalue5();
        case 6:
            return record.Datavalue6();
        default:
            return record.Datavalue7();
    }
}

QString levelWord(const OCMCustomerComment &record, int item) {
    switch (item) {
        case 1:
            return record.ms();
        case 2:
            return record.ph();
        case 3:
            return record.bfc();
        case 4:
            return record.bld();
        case 5:
            return record.leu();
        case 6:
            return record.alb();
        default:
            return record.nh3();
    }
}

QString content(const OCMCustomerComment &record, int item) {
    QString text;
    switch (item) {
        case 1:
            text = record.contentMs();
            break;
        case 2:
            text = record.contentPh();
            break;
        case 3:
            text = record.contentBfc();
            break;
        case 4:
            text = record.contentBld();
            break;
        case 5:
            text = record.contentLeu();
            break;
        case 6:
            text = record.contentAlb();
            break;
        default:
            text = record.contentNh3();
            break;
    }
    return text.isNull() ? QStringLiteral("") : text;
}

// The chart position after the "|"; "" keeps the item's place when there is none.
QString axisOf(const QString &value) {
    const qsizetype bar = value.indexOf(u'|');
    return bar < 0 ? QStringLiteral("") : value.mid(bar + 1);
}

// Bar height 0..6; BFC runs the other way. A missing value counts as position 0, so no bar,
// except for BFC, whose 0 is the full bar.
float barHeight(int item, const QString &axis) {
    const int position = cvx::boundedIntValue(axis);
    return float((item == kBfc ? 100 - position : position) * 0.06);
}

// Bar columns 1..7 show the items MS, pH, BFC, ALB, LEU, BLD, NH3.
constexpr int kColumnItem[7] = {1, 2, 3, 6, 5, 4, 7};

QString wholeDegrees(const QString &rsvData) {
    const QStringList fields = rsvData.split(u',');
    if (fields.size() < 5) return QStringLiteral("");
    QString field = fields.at(4);
    field.replace(QStringLiteral("℃"), QStringLiteral(" "));
    return field.section(u' ', 0, 0).section(u'.', 0, 0);
}

QString dateLabel(const QString &dateT) {
    return BBInitZBases::setTStrFromTstr(dateT, QStringLiteral("yyyy-MM-dd HH:mm"),
                                         QStringLiteral("yyyy/MM/dd HH:mm"));
}

QString barCaption(const QString &dateT) {
    const QDateTime moment = BBInitZBases::createDateFromDateString(dateT);
    return QStringLiteral("%1\n%2\n%3")
        .arg(moment.toString(QStringLiteral("yyyy")), moment.toString(QStringLiteral("MM/dd")),
             moment.toString(QStringLiteral("HH:mm")));
}

const CalcSettingDatas *calcSettings() {
    try {
        return &CalcSettingDatas::getInst();
    } catch (const std::exception &) {
        return nullptr;  // logged by the exception hook; the averages stay blank
    }
}

int average(const CalcValue &range) {
    return cvx::boundedWholeValue(range.ChgData().AvgData());
}

QString averageLabel(std::optional<int> value) {
    return value ? QStringLiteral("平均値:%1").arg(*value) : QStringLiteral("平均値:-");
}

QLabel *cellLabel(QTableWidget *table, int row, int column, int pixelSize, Qt::Alignment alignment) {
    auto *label = qobject_cast<QLabel *>(table->cellWidget(row, column));
    if (!label) {
        label = new QLabel;
        label->setFont(kit::appFont(pixelSize));
        label->setAlignment(alignment);
        label->setWordWrap(true);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        label->setStyleSheet(QStringLiteral("color: #2c3e50; background: transparent; padding: 0 4px;"));
        table->setCellWidget(row, column, label);
    }
    return label;
}

void setTicked(QAbstractButton *box, bool ticked) {
    const bool blocked = box->blockSignals(true);
    box->setChecked(ticked);
    box->blockSignals(blocked);
}

// Typed text is cut to the limit; stored longer texts are shown and kept whole.
void cutTyped(QLineEdit *field, int limit) {
    if (field->text().size() > limit) field->setText(entry::cutToLength(field->text(), limit));
}

// A comment is one line of at most `limit` characters; the field wraps it for reading.
void commentTyped(QPlainTextEdit *field, int limit) {
    QString text = field->toPlainText();
    text.remove(u'\n');
    text = entry::cutToLength(text, limit);
    if (text == field->toPlainText()) return;
    const bool blocked = field->blockSignals(true);
    field->setPlainText(text);
    field->moveCursor(QTextCursor::End);
    field->blockSignals(blocked);
}

void scrollToTop(QScrollArea *area) {
    area->verticalScrollBar()->setValue(0);
}

}  // namespace

// The comment pull-down as the comment model sees it.
class ResultTableController::CommentTable : public TableViewDatas::Table {
public:
    explicit CommentTable(ResultTableController &con) : con_(con) {}
    int rowCount() const override { return con_.ui_->zTv->rowCount(); }
    std::optional<QString> rowText(int row) override {
        auto *field = qobject_cast<QPlainTextEdit *>(con_.ui_->zTv->cellWidget(row, 1));
        if (!field) return std::nullopt;
        return field->toPlainText();
    }
    void reloadData() override { con_.reloadComments(); }
    void setAddButtonHidden(bool hidden) override {
        con_.ui_->btnz->setHidden(hidden);
        con_.fitPullDown();
    }

private:
    ResultTableController &con_;
};

void ResultTableController::setTotalTableFactory(TotalTableFactory factory) {
    totalTableFactory() = std::move(factory);
}

ResultTableController::ResultTableController(QObject *parent)
    : TYWindowController(QStringLiteral("ResultTableController"), parent),
      ui_(std::make_unique<Ui::ResultTableController>()),
      commentTable_(std::make_unique<CommentTable>(*this)) {}

ResultTableController::~ResultTableController() {
    cvx::NotificationCenter::defaultCenter().removeObserver(this);
}

BBTime *ResultTableController::zbbtime() const {
    return ui_->zbbtime;
}

void ResultTableController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
}

QList<BBColumnView *> ResultTableController::columns() const {
    return {ui_->columnView1, ui_->columnView2, ui_->columnView3, ui_->columnView4,
            ui_->columnView5, ui_->columnView6, ui_->columnView7};
}

// ---- Set-up -------------------------------------------------------------------------------

void ResultTableController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    styleScreen();
    setupTables();
    connectActions();

    isSix_ = 0;
    if (leavesOutBld()) {
        isSix_ = 6;
        for (BBNetView *net : {ui_->netView, ui_->netView1, ui_->netView2, ui_->netView3}) net->setIsSix(6);
        // The NH3 chart takes the BLD chart's place.
        ui_->columnView6->hide();
        ui_->txt7->hide();
        ui_->columnView7->setGeometry(ui_->columnView6->geometry());
        ui_->txt6->setText(QStringLiteral("アンモニア"));
        ui_->bloodLab1->setText(QStringLiteral("白血球・タンパク質"));
    }
    makeAxisNames();
    twoInit();
    cvx::NotificationCenter::defaultCenter().addObserver(
        this, kBackBeforeFromTotal, [this](const cvx::Notification &note) {
            // Only the screen whose sheet is returning follows its chart number.
            if (!TotalTableCon_) return;
            mytest(note.object.toMap().value(QStringLiteral("nos")).toString());
        });
}

void ResultTableController::styleScreen() {
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    const QString text = QStringLiteral("#2c3e50");
    shell::styleLabel(ui_->patientLab, 18, true, text);
    shell::styleLabel(ui_->timeMainLab, 17, false, text);
    shell::styleLabel(ui_->hanLab, 17, true, text);
    shell::styleLabel(ui_->soulLab, 15, true, QStringLiteral("rgb(10,149,234)"));
    shell::styleLabel(ui_->bloodLab1, 15, true, QStringLiteral("rgb(255,128,128)"));
    shell::styleLabel(ui_->japLab, 15, true, QStringLiteral("rgb(0,145,117)"));
    for (QLabel *caption : {ui_->historyCaption, ui_->hospitalCaption, ui_->ysCaption, ui_->detailCaption})
        shell::styleLabel(caption, 15, true, text);
    shell::styleLabel(ui_->sheetNote, 14, false, QStringLiteral("#6b7b86"));
    for (QLabel *date : {ui_->date1Lab, ui_->date2Lab, ui_->date3Lab}) {
        shell::styleLabel(date, 14, false, text);
        date->setAlignment(Qt::AlignCenter);
        date->setStyleSheet(QStringLiteral("color: %1; background: rgb(220,220,220);").arg(text));
    }
    const QList<QLabel *> captions = {ui_->txt1, ui_->txt2, ui_->txt3, ui_->txt4,
                                      ui_->txt5, ui_->txt6, ui_->txt7};
    const QStringList names = {QStringLiteral("むし歯菌"),  QStringLiteral("酸性度"),
                               QStringLiteral("緩衝能"),    QStringLiteral("タンパク質"),
                               QStringLiteral("白血球"),    QStringLiteral("潜血"),
                               QStringLiteral("アンモニア")};
    for (int c = 0; c < 7; ++c) {
        shell::styleLabel(captions[c], 15, true, text);
        captions[c]->setText(names[c]);
    }
    for (QWidget *content : {ui_->mainContent, ui_->columnContent})
        content->setStyleSheet(QStringLiteral("background: white;"));
    for (QScrollArea *area : {ui_->mainScroll1, ui_->columnScroll})
        area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (QWidget *box : {ui_->check1, ui_->check2, ui_->check3}) box->setFont(kit::appFont(15));
    for (QWidget *field : {static_cast<QWidget *>(ui_->hospitalLab), static_cast<QWidget *>(ui_->ysLab),
                           static_cast<QWidget *>(ui_->detailTextView)})
        field->setFont(kit::appFont(15));
    // The total comment changes through its list, whose closing writes it.
    ui_->detailTextView->setReadOnly(true);
    ui_->bgButton->setFlat(true);
    ui_->bgButton->setStyleSheet(QStringLiteral("background: transparent; border: none;"));
    // Lists that open over the screen: white, framed, their contents inside the frame.
    for (QFrame *panel : {ui_->zTvMainScr, ui_->scrollHospital, ui_->scrollYS}) {
        panel->setStyleSheet(
            QStringLiteral("#%1 { background: white; border: 2px solid #3d8c82; }").arg(panel->objectName()));
        for (QWidget *inside : panel->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            inside->move(inside->x() + kPanelFrame, inside->y() + kPanelFrame);
    }
    ui_->zTvMainScrSub->setStyleSheet(QStringLiteral("background: white;"));
    ui_->btnz->setImageNamed(QStringLiteral("ボタン_プラス_"));
    ui_->btnz->setAlternateImageNamed(QStringLiteral("ボタン_プラス_DOWN"));
}

void ResultTableController::setupTables() {
    auto plain = [](QTableWidget *table, int columns, int rowHeight) {
        table->setColumnCount(columns);
        table->horizontalHeader()->hide();
        table->verticalHeader()->hide();
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->verticalHeader()->setDefaultSectionSize(rowHeight);
        table->setEditTriggers(QAbstractItemView::NoEditTriggers);
        table->setSelectionMode(QAbstractItemView::NoSelection);
        table->setFocusPolicy(Qt::NoFocus);
        table->setStyleSheet(QStringLiteral("QTableWidget { background: white; gridline-color: #d6e4e2; }"));
    };
    for (QTableWidget *table : {ui_->tabView, ui_->tabView2, ui_->tabView3}) {
        plain(table, 5, 60);
        for (int c = 0; c < 5; ++c) table->setColumnWidth(c, kItemColumnWidths[c]);
        table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    }
    plain(ui_->tabTimeView, 3, 27);
    ui_->tabTimeView->setColumnWidth(0, 34);
    ui_->tabTimeView->setColumnWidth(1, 62);
    ui_->tabTimeView->setColumnWidth(2, 176);
    for (QTableWidget *table : {ui_->tabViewHospital, ui_->tabViewYS}) {
        plain(table, 1, 30);
        table->horizontalHeader()->setStretchLastSection(true);
        table->setFont(kit::appFont(15));
    }
    plain(ui_->zTv, 2, 60);
    ui_->zTv->setColumnWidth(0, 40);
    ui_->zTv->horizontalHeader()->setStretchLastSection(true);
    ui_->zTv->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void ResultTableController::connectActions() {
    connect(ui_->check1, &QAbstractButton::clicked, this, [this] { checkTap(); });
    connect(ui_->check2, &QAbstractButton::clicked, this, [this] { checkTap2(); });
    connect(ui_->check3, &QAbstractButton::clicked, this, [this] { checkTap3(); });
    connect(ui_->backButton, &QAbstractButton::clicked, this, &ResultTableController::backTap);
    connect(ui_->modifyBtn, &QAbstractButton::clicked, this, &ResultTableController::modifyTap);
    connect(ui_->hospitalBtn, &QAbstractButton::clicked, this, &ResultTableController::seleHospitalTap);
    connect(ui_->ysBtn, &QAbstractButton::clicked, this, &ResultTableController::seleYSTap);
    connect(ui_->detailBtn, &QAbstractButton::clicked, this, &ResultTableController::detailTap);
    connect(ui_->bgButton, &QAbstractButton::clicked, this, &ResultTableController::bgButtonClicked);
    connect(ui_->btnz, &QAbstractButton::clicked, this, &ResultTableController::addTap);
    for (QLineEdit *field : {ui_->hospitalLab, ui_->ysLab}) {
        connect(field, &QLineEdit::textEdited, this, [this, field] {
            checkPrintButtonState();
            cutTyped(field, kMaxNameLength);
        });
    }
    connect(ui_->tabViewHospital, &QTableWidget::cellClicked, this, [this](int row) { pickName(true, row); });
    connect(ui_->tabViewYS, &QTableWidget::cellClicked, this, [this](int row) { pickName(false, row); });
    connect(ui_->zTv, &QTableWidget::cellClicked, this, [this](int row) { seleConOneTap(row); });
}

void ResultTableController::twoInit() {
    initBase();
    getList();
    ui_->timeMainLab->setText(dateStr_);
    ui_->date3Lab->setText(dateLabel(dateStr_));
    checkPrintButtonState();

    // A stored value that names no layout runs no layout action: the screen stays as set up,
    // on layout A, with the history's first ticks and the stored value as they were.
    const qint64 choice = cvx::UserDefaults::standard().integerForKey(kResultChoiceNum);
    if (choice == 0)
        checkTap();
    else if (choice == 1)
        checkTap2();
    else if (choice == 2)
        checkTap3();

    ui_->hanLab->setText(strDU_.isEmpty() ? QString() : strDU_ + QStringLiteral("℃"));
    if (!strDU_.isEmpty() && cvx::intValue(strDU_) < 20)
        ui_->hanLab->setStyleSheet(QStringLiteral("color: blue; background: transparent;"));
}

void ResultTableController::initBase() {
    TVD_ = TableViewDatas();  // the comment lists as they stand when the screen opens
    tempz_ = 0;
    tempz2_ = 0;
    ui_->netView->setX(95);
    ui_->netView->setY(95);
    ui_->netView->setR(70);
    ui_->netView->setIsDraw(1);
    ui_->netView->setIsDrawPoint(1);
    ui_->netView3->setIsDraw(1);
    ui_->columnScroll->hide();
    ui_->scrollYS->hide();
    ui_->scrollHospital->hide();
    ui_->bgButton->hide();
    clickTypeNum_ = 0;

    // The shown measurement's date decides the LEU average; an opener's date that names no
    // stored measurement gives way to the newest one, which is what the screen then shows.
    if (dataXML_) {
        QString first;
        bool found = false;
        for (const cvx::XmlElement &result : dataXML_->rootElement().elements(QStringLiteral("comment"))) {
            const QString joined =
                result.attribute(QStringLiteral("date")) + u' ' + result.attribute(QStringLiteral("time"));
            if (first.isEmpty()) first = joined;
            if (joined == dateStr_) found = true;
        }
        if (!found && !first.isEmpty()) dateStr_ = first;
    }

    tabAty1_ = {QStringLiteral("むし歯菌"), QStringLiteral("酸性度"), QStringLiteral("緩衝能")};
    tabAty2_ = {QStringLiteral("潜血"), QStringLiteral("白血球"), QStringLiteral("タンパク質")};
    tabAtyAvr1_ = {QStringLiteral("平均値:37"), QStringLiteral("平均値:43"), QStringLiteral("平均値:36")};
    tabAtyAvr2_ = {QStringLiteral("平均値:22"), averageLabel(leuAverage()), QStringLiteral("平均値:43")};
    if (isSix_ == 6) {
        tabAty2_.removeFirst();
        tabAtyAvr2_.removeFirst();
    }

    const BBInitDatas::Lists names = BBInitDatas::getHospital();
    hospitalAry_ = names.value(QStringLiteral("hospital"));
    YSAry_ = names.value(QStringLiteral("doctor"));

    ui_->zTvMainScr->hide();
    isNO_ = 1;
    showLayout(1);
    scrollToTop(ui_->mainScroll1);
    ui_->modifyBtn->setEnabled(false);
}

QString ResultTableController::rsvDataOfShown() const {
    if (!dataXML_) return QString();
    const QString date = dateStr_.section(u' ', 0, 0);
    const QString time = dateStr_.section(u' ', 1);
    for (const cvx::XmlElement &result : dataXML_->rootElement().elements(QStringLiteral("comment"))) {
        if (result.attribute(QStringLiteral("date")) == date &&
            result.attribute(QStringLiteral("time")) == time)
            return result.firstElement(QStringLiteral("RsvData")).stringValue();
    }
    return QString();
}

std::optional<int> ResultTableController::leuAverage() const {
    const CalcSettingDatas *calc = calcSettings();
    if (!calc) return std::nullopt;
    // -1 (no LEU field, ranges unreadable) counts like any other status: the LEU range.
    switch (UsbUtils::getItemStatus(true, rsvDataOfShown())) {
        case 2:
            return average(calc->I_LEU().More());
        case 3:
            return average(calc->I_LEU().Less());
        default:
            return average(calc->LEU());
    }
}

std::optional<int> ResultTableController::nh3Average() const {
    const CalcSettingDatas *calc = calcSettings();
    if (!calc) return std::nullopt;
    return UsbUtils::getItemStatus(false, rsvDataOfShown()) == 1 ? average(calc->I_NH3())
                                                                 : average(calc->NH3());
}

// ---- Reading the measurement and the history ------------------------------------------------

void ResultTableController::getList() {
    customerComments_.clear();
    if (!dataXML_) return getTabData();
    const QList<cvx::XmlElement> results = dataXML_->rootElement().elements(QStringLiteral("comment"));
    ui_->tt->setVisible(results.size() > 1);
    for (qsizetype i = 0; i < results.size(); ++i) {
        const QString joined = results[i].attribute(QStringLiteral("date")) + u' ' +
                               results[i].attribute(QStringLiteral("time"));
        // The measurement asked for is shown even when its date fails the check; the history
        // lists only measurements whose dates pass.
        if (results.size() > 1 && joined != dateStr_ && !BBInitZBases::isOKfromDate(joined)) continue;
        OCMCustomerComment record;
        record.setDate(results[i].attribute(QStringLiteral("date")));
        record.setTime(results[i].attribute(QStringLiteral("time")));
        record.setDateT(joined);
        UsbUtils::findXML(results, record, i);
        customerComments_.append(record);
    }
    getTabData();
}

void ResultTableController::getTabData() {
    tabTimeAry_.clear();
    tabTimeCkAry_.clear();
    qsizetype k = -1;
    for (qsizetype i = 0; i < customerComments_.size(); ++i) {
        if (customerComments_[i].dateT() == dateStr_) {
            k = i;
            break;
        }
    }
    // Nothing to show: a file without a valid measurement. The screen stays empty.
    if (k < 0) {
        tabData_.reset();
        customerComments_.clear();
        reloadItemTables();
        reloadHistory();
        return;
    }
    tabData_ = customerComments_.takeAt(k);
    setData(*tabData_);
    for (qsizetype j = 0; j < customerComments_.size(); ++j) {
        tabTimeCkAry_.append(j == k || j == k + 1 ? kTicked : kUnticked);
        tabTimeAry_.append(customerComments_[j].dateT());
    }
    int height = int(tabTimeAry_.size()) * 27 + 2;
    if (height > 205) height = 200;
    ui_->tt->setFixedHeight(height);
    ui_->tabTimeView->setFixedHeight(height);
    getDU();
    reloadHistory();
}

void ResultTableController::getDU() {
    aryDU_.clear();
    DUDU_.clear();
    for (const OCMCustomerComment &record : customerComments_) aryDU_.append(wholeDegrees(record.rsvData()));
    for (qsizetype j = 0; j < tabTimeAry_.size() && j < aryDU_.size(); ++j)
        DUDU_.append(QStringLiteral("%1|%2").arg(tabTimeAry_[j], aryDU_[j]));
}

void ResultTableController::setData(const OCMCustomerComment &record) {
    ui_->netView->setData(record);
    ui_->netView3->setData(record);
    strDU_ = wholeDegrees(record.rsvData());

    auto text = [](std::optional<int> v) { return v ? QString::number(*v) : QStringLiteral(""); };
    ui_->netView->setTabAry({QStringLiteral("37"), QStringLiteral("43"), QStringLiteral("36"),
                             QStringLiteral("22"), text(leuAverage()), QStringLiteral("43"),
                             text(nh3Average())});
    const QString caption = barCaption(dateStr_);
    for (BBColumnView *column : columns()) column->setTxt3(caption);

    tab12_.clear(), tab22_.clear(), tab32_.clear(), tab14_.clear(), tab24_.clear(), tab34_.clear();
    for (int item = 1; item <= 7; ++item) {
        QStringList &values = item <= 3 ? tab12_ : item <= 6 ? tab22_ : tab32_;
        QStringList &texts = item <= 3 ? tab14_ : item <= 6 ? tab24_ : tab34_;
        values.append(axisOf(dataValue(record, item)));
        texts.append(content(record, item));
    }
    tab22Full_ = tab22_;
    tab24Full_ = tab24_;
    if (isSix_ == 6) {
        tab22_.removeFirst();
        tab24_.removeFirst();
    }
    reloadItemTables();

    QStringList words, comments;
    for (int item = 1; item <= 7; ++item) words.append(levelWord(record, item));
    comments << tab14_ << tab24Full_ << tab34_;
    TVD_.getNineDadas(words);
    TVD_.getCK(comments);
    ui_->detailTextView->setPlainText(record.Totalcomment());
    TVD_.getTotal();
    TVD_.getTOCK(record.Totalcomment().isNull() ? QStringLiteral("") : record.Totalcomment());

    ui_->hospitalLab->setText(record.hospital());
    ui_->ysLab->setText(record.doctor());
    if (!record.hospital().isEmpty() && !record.doctor().isEmpty()) ui_->modifyBtn->setEnabled(true);

    digiAry_.clear();
    digiAry_ << tab12_ << tab22Full_ << tab32_;
    const QList<BBColumnView *> bars = columns();
    for (int c = 0; c < 7; ++c) {
        const int item = kColumnItem[c];
        bars[c]->setX3(barHeight(item, digiAry_.value(item - 1)));
    }

    QString name;
    if (dataXML_) name = dataXML_->rootElement().attribute(QStringLiteral("name")).trimmed();
    ui_->patientLab->setText(QStringLiteral("カルテ番号 %1　　%2").arg(noString_, name));
}

void ResultTableController::setCol(const OCMCustomerComment &record, int cou) {
    if (cou != 1 && cou != 2) return;
    const QString caption = barCaption(record.dateT());
    const QList<BBColumnView *> bars = columns();
    for (int c = 0; c < 7; ++c) {
        const int item = kColumnItem[c];
        const float height = barHeight(item, axisOf(dataValue(record, item)));
        if (cou == 2) {
            bars[c]->setTxt2(caption);
            bars[c]->setX2(height);
            bars[c]->setTxt1(QStringLiteral(""));
            bars[c]->setX1(0);
        } else {
            bars[c]->setTxt1(caption);
            bars[c]->setX1(height);
        }
        bars[c]->update();
    }
    (cou == 2 ? t2_ : t1_) = record;
    ui_->columnScroll->update();
}

void ResultTableController::clearBarSlots() {
    for (BBColumnView *bar : columns()) {
        bar->setTxt2(QStringLiteral(""));
        bar->setTxt1(QStringLiteral(""));
        bar->setX2(0);
        bar->setX1(0);
        bar->update();
    }
}

// ---- Tables -------------------------------------------------------------------------------

QString ResultTableController::levelColor(int item, const QString &word) {
    const QString pink = QStringLiteral("#ec6a83"), orange = QStringLiteral("#f8a501"),
                  green = QStringLiteral("#509427");
    const bool high =
        word == QStringLiteral("高め") || word == QStringLiteral("強め") || word == QStringLiteral("多め");
    if (word == QStringLiteral("平均レベル")) return orange;
    // A strong buffer is good, unlike a high value of any other item.
    if (item == kBfc) return high ? green : pink;
    return high ? pink : green;
}

QString ResultTableController::levelText(int item, const QString &word, const QString &average) {
    return QStringLiteral(
               "<div align=\"center\"><span style=\"color:%1; font-weight:bold; font-size:14pt\">%2</span>"
               "<span style=\"color:#7b7b7b\"><br><br>%3</span></div>")
        .arg(levelColor(item, word), word.toHtmlEscaped(), average.toHtmlEscaped());
}

void ResultTableController::reloadItemTables() {
    struct Group {
        QTableWidget *table;
        const QStringList *names, *values, *comments, *averages;
        int firstItem;
        int seleGroup;
    };
    static const QStringList nh3Name = {QStringLiteral("アンモニア")};
    const QStringList nh3Label = {averageLabel(nh3Average())};
    const Group groups[] = {
        {ui_->tabView, &tabAty1_, &tab12_, &tab14_, &tabAtyAvr1_, 1, 1},
        {ui_->tabView2, &tabAty2_, &tab22_, &tab24_, &tabAtyAvr2_, isSix_ == 6 ? 5 : 4, 2},
        {ui_->tabView3, &nh3Name, &tab32_, &tab34_, &nh3Label, 7, 3},
    };
    for (const Group &g : groups) {
        const int rows = tabData_ ? int(g.values->size()) : 0;
        g.table->setRowCount(rows);
        int tableHeight = 2;
        for (int r = 0; r < rows; ++r) {
            const int item = g.firstItem + r;
            QList<QLabel *> cells;
            cells << cellLabel(g.table, r, 0, 13, Qt::AlignCenter);
            cells.last()->setText(g.names->value(r));
            cells << cellLabel(g.table, r, 1, 13, Qt::AlignCenter);
            cells.last()->setText(g.values->value(r));
            cells << cellLabel(g.table, r, 2, 13, Qt::AlignCenter);
            cells.last()->setTextFormat(Qt::RichText);
            cells.last()->setText(levelText(item, levelWord(*tabData_, item), g.averages->value(r)));
            cells << cellLabel(g.table, r, kCommentColumn, 15, Qt::AlignLeft | Qt::AlignVCenter);
            cells.last()->setText(g.comments->value(r));
            // A stored comment is shown whole: the row grows to the lines it needs.
            for (int c = 0; c < cells.size(); ++c) cells[c]->resize(kItemColumnWidths[c], cells[c]->height());
            g.table->setRowHeight(r, rowHeightFor(cells));
            tableHeight += g.table->rowHeight(r);
            if (!g.table->cellWidget(r, 4)) {
                auto *button = new CustomButton;
                // Evenly, so that a row grown for a long comment keeps a round button.
                button->setImageScaling(kit::ImageScaling::ProportionallyDown);
                button->setImageNamed(QStringLiteral("ボタン_プルダウン大_"));
                button->setAlternateImageNamed(QStringLiteral("ボタン_プルダウン大_DOWN"));
                const int group = g.seleGroup;
                connect(button, &QAbstractButton::clicked, this, [this, group, r] { seleTap(group, r); });
                g.table->setCellWidget(r, 4, button);
            }
        }
        g.table->setFixedHeight(tableHeight);
    }
    layoutMainContent();
}

// The item tables one under the other, each under its caption, then the radars and their
// dates; the panel scrolls when they need more than the window shows.
void ResultTableController::layoutMainContent() {
    int y = 0;
    const std::pair<QLabel *, QTableWidget *> groups[] = {
        {ui_->soulLab, ui_->tabView}, {ui_->bloodLab1, ui_->tabView2}, {ui_->japLab, ui_->tabView3}};
    for (const auto &[caption, table] : groups) {
        caption->move(caption->x(), y);
        table->move(table->x(), y + 24);
        y += 24 + table->height() + 6;
    }
    y += 8;
    // Layout A shows one radar in the middle, layout B three side by side, each with room on
    // its left for the names of its left-hand axes.
    ui_->netView->move(205, y);
    const QList<BBNetView *> row = {ui_->netView1, ui_->netView2, ui_->netView3};
    const QList<QLabel *> dates = {ui_->date1Lab, ui_->date2Lab, ui_->date3Lab};
    // The seven-item form needs more room on the left (ALB's name), the six-item one on the
    // right (pH's name).
    const int first = isSix_ == 6 ? 21 : 27;
    for (int i = 0; i < 3; ++i) {
        row[i]->setGeometry(first + 208 * i, y, 184, 200);
        // Centred under the chart, whose centre is 95 from the view's left.
        dates[i]->setGeometry(first + 208 * i + 7, y + 204, 176, 24);
    }
    ui_->mainContent->resize(ui_->mainContent->width(), y + 204 + 24 + 8);
    placeAxisNames();
}

// The radars draw the names of four axes (three in the six-item form); the names of pH, ALB and
// NH3 stand beside their axes' outer ends, on the screen around each radar.
void ResultTableController::makeAxisNames() {
    for (BBNetView *view : {ui_->netView, ui_->netView1, ui_->netView2, ui_->netView3}) {
        for (int item : {charts::PH, charts::ALB, charts::NH3}) {
            auto *name = new QLabel(charts::itemName(item), ui_->mainContent);
            name->setObjectName(QStringLiteral("%1_name%2").arg(view->objectName()).arg(item));
            name->setFont(charts::chartFont(13));
            name->setStyleSheet(QStringLiteral("color: %1; background: transparent; border: none;")
                                    .arg(charts::itemColor(item).name()));
            name->setAttribute(Qt::WA_TransparentForMouseEvents);
            name->resize(QFontMetrics(name->font()).size(0, name->text()));
            axisNames_.append({view, item, name});
        }
    }
}

void ResultTableController::placeAxisNames() {
    for (const AxisName &n : axisNames_) {
        // The centre and radius the view draws with: its defaults until they are set.
        const bool set = n.view->r() >= 1;
        const QPointF centre(set ? n.view->x() : 95, set ? n.view->y() : 95);
        const double radius = set ? n.view->r() : 55;
        const QPointF end = charts::alongAxis(centre, n.item, charts::isSixForm(n.view->isSix()), radius);
        // Chart coordinates run upward from the view's lower edge.
        const QPoint at =
            n.view->geometry().bottomLeft() + QPoint(int(std::lround(end.x())), -int(std::lround(end.y())));
        const QSize size = n.name->size();
        const int left = n.item == charts::PH ? at.x() + 2 : at.x() - 2 - size.width();
        n.name->move(left, at.y() - size.height() / 2);
        n.name->setVisible(n.view->isVisibleTo(ui_->mainContent));
    }
}

void ResultTableController::reloadHistory() {
    QTableWidget *table = ui_->tabTimeView;
    table->setRowCount(int(tabTimeAry_.size()));
    for (int r = 0; r < table->rowCount(); ++r) {
        auto *box = qobject_cast<QCheckBox *>(table->cellWidget(r, 0));
        if (!box) {
            box = new QCheckBox;
            box->setStyleSheet(QStringLiteral("margin-left: 10px;"));
            connect(box, &QAbstractButton::clicked, this, [this, r] { timeTap(r); });
            table->setCellWidget(r, 0, box);
        }
        setTicked(box, tabTimeCkAry_.value(r) == kTicked);
        const QString degrees = aryDU_.value(r);
        QLabel *du = cellLabel(table, r, 1, 14, Qt::AlignCenter);
        du->setText(degrees.isEmpty() ? QString() : degrees + QStringLiteral("℃"));
        du->setStyleSheet(!degrees.isEmpty() && cvx::intValue(degrees) <= 19
                              ? QStringLiteral("color: blue; background: transparent;")
                              : QStringLiteral("color: #2c3e50; background: transparent;"));
        cellLabel(table, r, 2, 14, Qt::AlignLeft | Qt::AlignVCenter)->setText(tabTimeAry_.value(r));
    }
}

void ResultTableController::reloadNameList(QTableWidget *table, const QStringList &names) {
    table->setRowCount(int(names.size()));
    for (int r = 0; r < names.size(); ++r) {
        auto *item = new QTableWidgetItem(names[r]);
        item->setTextAlignment(Qt::AlignCenter);
        table->setItem(r, 0, item);
    }
    // As tall as its names, up to six of them; more scroll.
    QWidget *panel = table->parentWidget();
    const int listHeight = qBound(1, int(names.size()), 6) * 30 + 2;
    table->setGeometry(kPanelFrame, kPanelFrame, panel->width() - 2 * kPanelFrame, listHeight);
    panel->resize(panel->width(), listHeight + 2 * kPanelFrame);
}

void ResultTableController::reloadComments() {
    const int n = seleCount_;
    const QStringList &texts = TVD_.data(n);
    const QStringList &ticks = TVD_.ck(n);
    QTableWidget *table = ui_->zTv;
    table->setRowCount(int(texts.size()));
    const bool listed = n >= 1 && n <= TableViewDatas::kTotalList;
    for (int r = 0; r < table->rowCount(); ++r) {
        auto *box = qobject_cast<QCheckBox *>(table->cellWidget(r, 0));
        if (!box) {
            box = new QCheckBox;
            box->setStyleSheet(QStringLiteral("margin-left: 10px; border: none;"));
            connect(box, &QAbstractButton::clicked, this, [this, r] { seleConOneTap(r); });
            table->setCellWidget(r, 0, box);
        }
        setTicked(box, ticks.value(r) == kTicked);
        auto *field = qobject_cast<QPlainTextEdit *>(table->cellWidget(r, 1));
        if (!field) {
            field = new QPlainTextEdit;
            field->setFont(kit::appFont(15));
            field->setFrameShape(QFrame::NoFrame);
            field->setStyleSheet(QStringLiteral("border: none; background: transparent;"));
            field->setTabChangesFocus(true);
            connect(field, &QPlainTextEdit::textChanged, this, [this, field] {
                commentTyped(field, seleCount_ == TableViewDatas::kTotalList ? 165 : 65);
                TVD_.update(seleCount_, *commentTable_);
            });
            table->setCellWidget(r, 1, field);
        }
        if (field->toPlainText() != texts.value(r)) {
            const bool blocked = field->blockSignals(true);
            field->setPlainText(texts.value(r));
            field->blockSignals(blocked);
        }
        // Only the last row, the one added for typing, takes text.
        field->setReadOnly(!(listed && r == texts.size() - 1));
        // A comment is shown whole: its row grows to the lines it needs.
        const int width = table->columnWidth(1) - 2 * int(field->document()->documentMargin()) - 4;
        const QRect lines = QFontMetrics(field->font())
                                .boundingRect(QRect(0, 0, width, 100000), Qt::TextWordWrap, texts.value(r));
        table->setRowHeight(
            r, qMax(kMinRowHeight, lines.height() + 2 * int(field->document()->documentMargin()) + 8));
    }
    fitPullDown();
}

// The comment pull-down as tall as its rows and, while it shows, its add strip, up to a limit
// past which its list scrolls; it keeps the edge it hangs from.
void ResultTableController::fitPullDown() {
    QTableWidget *table = ui_->zTv;
    int rows = 0;
    for (int r = 0; r < table->rowCount(); ++r) rows += table->rowHeight(r);
    const bool adding = !ui_->btnz->isHidden();
    const int strip = adding ? kAddStripHeight : 0;
    const int listHeight = qMin(rows + 2, kMaxPullDownHeight - strip);
    const int width = ui_->zTvMainScr->width() - 2 * kPanelFrame;
    table->setGeometry(kPanelFrame, kPanelFrame, width, listHeight);
    ui_->zTvMainScrSub->setGeometry(kPanelFrame, kPanelFrame + listHeight, width, kAddStripHeight);
    ui_->zTvMainScrSub->setVisible(adding);
    const int height = listHeight + strip + 2 * kPanelFrame;
    const int top = pullDownUpward_ ? pullDownEdge_ - height : pullDownEdge_;
    const int maxTop = qMax(64, window()->height() - height);
    ui_->zTvMainScr->setGeometry(ui_->zTvMainScr->x(), qBound(64, top, maxTop), ui_->zTvMainScr->width(),
                                 height);
}

// ---- Layout choice and history ticks --------------------------------------------------------

void ResultTableController::checkTap() {
    applyLayout(1);
}

void ResultTableController::checkTap2() {
    applyLayout(2);
}

void ResultTableController::checkTap3() {
    applyLayout(3);
}

void ResultTableController::applyLayout(int layout) {
    cvx::UserDefaults &defaults = cvx::UserDefaults::standard();
    defaults.setObject(QString::number(layout - 1), kResultChoiceNum);
    defaults.flush();
    isNO_ = layout;
    showLayout(layout);

    if (layout == 1) {
        qsizetype kept = -1;
        for (qsizetype r = 0; r < tabTimeCkAry_.size(); ++r) {
            if (tabTimeCkAry_[r] != kTicked) continue;
            if (kept < 0)
                kept = r;
            else
                tabTimeCkAry_[r] = kUnticked;
        }
        if (kept >= 0 && kept < customerComments_.size()) {
            ui_->netView->setIsDrawTwo(1);
            ui_->netView->setIsDrawPointTwo(0);
            ui_->netView->setData2(customerComments_[kept]);
            coNCus_ = customerComments_[kept];
            isDraw2_ = 1;
        } else {
            // Rows unticked under another layout: the radar shows no comparison, nor may the sheet.
            isDraw2_ = 0;
        }
        ui_->netView->update();
        scrollToTop(ui_->mainScroll1);
    } else if (layout == 2) {
        ui_->netView->setIsDrawTwo(0);
        showComparedRadars();
        scrollToTop(ui_->mainScroll1);
    } else {
        ui_->netView->setIsDrawTwo(0);
        scrollToTop(ui_->columnScroll);
        QList<qsizetype> ticked;
        for (qsizetype r = 0; r < tabTimeCkAry_.size(); ++r)
            if (tabTimeCkAry_[r] == kTicked) ticked.append(r);
        if (ticked.isEmpty()) clearBarSlots();
        if (ticked.size() > 0) setCol(customerComments_.value(ticked[0]), 2);
        if (ticked.size() > 1) setCol(customerComments_.value(ticked[1]), 1);
        tempz_ = int(qMin<qsizetype>(ticked.size(), 2));
    }
    reloadHistory();
}

// The layout buttons and panels of a layout, without touching ticks or charts.
void ResultTableController::showLayout(int layout) {
    setTicked(ui_->check1, layout == 1);
    setTicked(ui_->check2, layout == 2);
    setTicked(ui_->check3, layout == 3);
    ui_->columnScroll->setVisible(layout == 3);
    ui_->mainScroll1->setVisible(layout != 3);
    ui_->netView->setVisible(layout == 1);
    for (QWidget *w : {static_cast<QWidget *>(ui_->netView1), static_cast<QWidget *>(ui_->netView2),
                       static_cast<QWidget *>(ui_->netView3), static_cast<QWidget *>(ui_->date1Lab),
                       static_cast<QWidget *>(ui_->date2Lab), static_cast<QWidget *>(ui_->date3Lab)})
        w->setVisible(layout == 2);
    placeAxisNames();
}

// Layout B: the first ticked row on netView2, the second on netView1.
void ResultTableController::showComparedRadars() {
    QList<qsizetype> ticked;
    for (qsizetype r = 0; r < tabTimeCkAry_.size() && r < customerComments_.size(); ++r)
        if (tabTimeCkAry_[r] == kTicked) ticked.append(r);
    ui_->netView1->setIsDraw(0);
    ui_->netView2->setIsDraw(0);
    ui_->date1Lab->setText(QStringLiteral(""));
    ui_->date2Lab->setText(QStringLiteral(""));
    if (ticked.size() > 0) {
        const OCMCustomerComment &record = customerComments_[ticked[0]];
        ui_->netView2->setIsDraw(1);
        ui_->netView2->setData(record);
        ui_->date2Lab->setText(dateLabel(record.dateT()));
    }
    if (ticked.size() > 1) {
        const OCMCustomerComment &record = customerComments_[ticked[1]];
        ui_->netView1->setIsDraw(1);
        ui_->netView1->setData(record);
        ui_->date1Lab->setText(dateLabel(record.dateT()));
    }
    tempz2_ = int(qMin<qsizetype>(ticked.size(), 2));
    for (BBNetView *net : {ui_->netView1, ui_->netView2, ui_->netView3}) net->update();
}

void ResultTableController::timeTap(int row) {
    if (row < 0 || row >= tabTimeCkAry_.size() || row >= customerComments_.size()) return;
    const bool ticked = tabTimeCkAry_[row] == kTicked;
    if (ui_->check2->isChecked()) {
        if (!ticked && tempz2_ >= 2) {
            TYAlertView::showErrorAlertView(QStringLiteral("W309"));
        } else {
            tabTimeCkAry_[row] = ticked ? kUnticked : kTicked;
            showComparedRadars();
        }
    } else if (ui_->check1->isChecked()) {
        ui_->netView->setIsDrawTwo(0);
        if (ticked) {
            tabTimeCkAry_[row] = kUnticked;
            isDraw2_ = 0;
        } else {
            for (QString &tick : tabTimeCkAry_) tick = kUnticked;
            tabTimeCkAry_[row] = kTicked;
            ui_->netView->setData2(customerComments_[row]);
            coNCus_ = customerComments_[row];
            isDraw2_ = 1;
            ui_->netView->setIsDrawTwo(1);
        }
        ui_->netView->update();
    } else if (ui_->check3->isChecked()) {
        if (!ticked && tempz_ >= 2) {
            TYAlertView::showErrorAlertView(QStringLiteral("W309"));
        } else {
            tabTimeCkAry_[row] = ticked ? kUnticked : kTicked;
            tempz_ += ticked ? -1 : 1;
            QList<qsizetype> rows;
            for (qsizetype r = 0; r < tabTimeCkAry_.size(); ++r)
                if (tabTimeCkAry_[r] == kTicked) rows.append(r);
            if (rows.isEmpty()) clearBarSlots();
            if (rows.size() > 0) setCol(customerComments_[rows[0]], 2);
            if (rows.size() > 1) setCol(customerComments_[rows[1]], 1);
        }
    }
    reloadHistory();
}

// ---- Pull-downs ---------------------------------------------------------------------------

void ResultTableController::seleTap(int group, int row) {
    clickTypeNum_ = group;
    if (isShowUp_ == 1) return closeItemPullDown();
    if (!tabData_) return;
    const int first = group == 1 ? 1 : group == 2 ? (isSix_ == 6 ? 5 : 4) : 7;
    const int sele = first + row;
    if (row < 0 || sele > (group == 1 ? 3 : group == 2 ? 6 : 7)) return;
    ui_->bgButton->show();
    ui_->bgButton->raise();
    placePullDown(group, row);
    ui_->zTvMainScr->show();
    ui_->zTvMainScr->raise();
    seleCount_ = sele;
    reloadComments();
    TVD_.update(seleCount_, *commentTable_);
    reloadComments();
    isShowUp_ = 1;
}

void ResultTableController::placePullDown(int group, int row) {
    QTableWidget *table = group == 1 ? ui_->tabView : group == 2 ? ui_->tabView2 : ui_->tabView3;
    const QRect cell = table->visualRect(table->model()->index(row, 0));
    const int top = table->viewport()->mapTo(window(), cell.topLeft()).y();
    // Above a row lower down; under a row near the top of groups 1 and 2, and over the NH3 row
    // itself there.
    pullDownUpward_ = top > 270;
    pullDownEdge_ = pullDownUpward_ ? top : group == 3 ? top : top + cell.height() + 2;
    ui_->zTvMainScr->move(150, ui_->zTvMainScr->y());
}

void ResultTableController::closeItemPullDown() {
    ui_->zTvMainScr->hide();
    isShowUp_ = 0;
    setTVData();
    ui_->bgButton->hide();
}

void ResultTableController::seleConOneTap(int row) {
    TVD_.checkSele(row, seleCount_, *commentTable_);
    reloadComments();
}

void ResultTableController::addTap() {
    TVD_.addRow(seleCount_, *commentTable_);
    ui_->zTv->scrollToBottom();
}

void ResultTableController::setTVData() {
    const QString text = TVD_.getDataSeleRow(seleCount_);
    if (!text.isEmpty() && tabData_) {
        const int six = isSix_ == 6 ? 1 : 0;
        if (seleCount_ >= 1 && seleCount_ <= 3) {
            tab14_[seleCount_ - 1] = text;
        } else if (seleCount_ >= 4 && seleCount_ <= 6) {
            const int index = seleCount_ - 4 - six;
            if (index >= 0 && index < tab24_.size()) tab24_[index] = text;
            tab24Full_[seleCount_ - 4] = text;
        } else if (seleCount_ == 7) {
            tab34_[0] = text;
        }
        reloadItemTables();
        if (!TableViewDatas::setTabelXML(dataXML_, text, dateStr_, savePath_, seleCount_))
            TYAlertView::showErrorAlertView(QStringLiteral("E403"));
    }
    TVD_.setAllTableXML(seleCount_);
}

void ResultTableController::detailTap() {
    clickTypeNum_ = 4;
    ui_->scrollHospital->hide();
    ui_->scrollYS->hide();
    if (isShowUp_ == 0) {
        if (!tabData_) return;
        ui_->bgButton->show();
        ui_->bgButton->raise();
        ui_->zTvMainScr->move(113, ui_->zTvMainScr->y());
        pullDownUpward_ = false;
        pullDownEdge_ = 120;
        ui_->zTvMainScr->show();
        ui_->zTvMainScr->raise();
        seleCount_ = TableViewDatas::kTotalList;
        reloadComments();
        TVD_.update(seleCount_, *commentTable_);
        reloadComments();
        isShowUp_ = 1;
        return;
    }
    QStringList texts;
    for (int r = 0; r < ui_->zTv->rowCount(); ++r)
        texts.append(commentTable_->rowText(r).value_or(QString()));
    TVD_.setData8(texts);
    ui_->zTvMainScr->hide();
    const QStringList &ticks = TVD_.ck(TableViewDatas::kTotalList);
    const QStringList &totals = TVD_.data(TableViewDatas::kTotalList);
    for (qsizetype r = 0; r < ticks.size() && r < totals.size(); ++r)
        if (ticks[r] == kTicked) ui_->detailTextView->setPlainText(totals[r]);
    const QString total = ui_->detailTextView->toPlainText();
    if (!total.isEmpty() && !TableViewDatas::setTotalXML(dataXML_, total, dateStr_, savePath_))
        TYAlertView::showErrorAlertView(QStringLiteral("E403"));
    TVD_.setTotals();
    isShowUp_ = 0;
    ui_->bgButton->hide();
}

void ResultTableController::seleHospitalTap() {
    clickTypeNum_ = 5;
    ui_->scrollYS->hide();
    if (isShowUp_ == 0) {
        ui_->bgButton->show();
        ui_->bgButton->raise();
        reloadNameList(ui_->tabViewHospital, hospitalAry_);
        ui_->scrollHospital->show();
        ui_->scrollHospital->raise();
        isShowUp_ = 1;
    } else {
        closeNameLists();
    }
}

void ResultTableController::seleYSTap() {
    clickTypeNum_ = 6;
    ui_->scrollHospital->hide();
    if (isShowUp_ == 0) {
        ui_->bgButton->show();
        ui_->bgButton->raise();
        reloadNameList(ui_->tabViewYS, YSAry_);
        ui_->scrollYS->show();
        ui_->scrollYS->raise();
        isShowUp_ = 1;
    } else {
        closeNameLists();
    }
}

void ResultTableController::closeNameLists() {
    ui_->scrollHospital->hide();
    ui_->scrollYS->hide();
    isShowUp_ = 0;
    ui_->bgButton->hide();
}

void ResultTableController::pickName(bool hospital, int row) {
    const QStringList &names = hospital ? hospitalAry_ : YSAry_;
    if (row < 0 || row >= names.size()) return;
    (hospital ? ui_->hospitalLab : ui_->ysLab)->setText(names[row]);
    closeNameLists();
    checkPrintButtonState();
}

void ResultTableController::bgButtonClicked() {
    switch (clickTypeNum_) {
        case 1:
        case 2:
        case 3:
            seleTap(clickTypeNum_, 0);
            break;
        case 4:
            detailTap();
            break;
        case 5:
            seleHospitalTap();
            break;
        case 6:
            seleYSTap();
            break;
        default:
            break;
    }
    QTimer::singleShot(0, ui_->bgButton, &QWidget::hide);
}

// ---- Names, leaving and going on -----------------------------------------------------------

void ResultTableController::checkPrintButtonState() {
    const bool named =
        !ui_->hospitalLab->text().trimmed().isEmpty() && !ui_->ysLab->text().trimmed().isEmpty();
    CustomButton *next = ui_->modifyBtn;
    next->setImageNamed(named ? QStringLiteral("ボタン_次へ_") : QStringLiteral("ボタン_次へ_OFF"));
    next->setHoverImageNamed(named ? QStringLiteral("ボタン_次へ_ON") : QStringLiteral("ボタン_次へ_OFF"));
    next->setAlternateImageNamed(named ? QStringLiteral("ボタン_次へ_DOWN")
                                       : QStringLiteral("ボタン_次へ_OFF"));
    next->setEnabled(named && tabData_.has_value());
}

namespace {

// Writes a hospital or dentist name into the shown result and, when it is new and the list
// has room, into its stored list; the chosen one becomes what new measurements take.
bool saveName(std::optional<cvx::XmlDocument> &document, const QString &name, const QString &dateStr,
              const QString &path, QStringList &names, bool hospital, bool *writeFailed = nullptr) {
    const bool written = hospital ? TableViewDatas::setHospitalXML(document, name, dateStr, path, writeFailed)
                                  : TableViewDatas::setDoctorXML(document, name, dateStr, path, writeFailed);
    if (name.isEmpty()) return written;
    auto choose = hospital ? &TableViewDatas::setHospitalFromData : &TableViewDatas::setDoctorFromData;
    if (names.contains(name)) {
        choose(names, name);
        return written;
    }
    names.append(name);
    if (names.size() <= kMaxStoredNames) {
        choose(names, name);
        BBInitDatas::setHospital(names, hospital ? QStringLiteral("hospital") : QStringLiteral("doctor"));
    }
    return written;
}

}  // namespace

bool ResultTableController::saveHosAndDo() {
    if (!tabData_) return true;
    bool hospitalFailed = false;
    bool doctorFailed = false;
    if (!saveName(dataXML_, ui_->hospitalLab->text(), dateStr_, savePath_, hospitalAry_, true,
                  &hospitalFailed))
        qWarning("result screen: the hospital could not be written to %s", qUtf8Printable(savePath_));
    if (!saveName(dataXML_, ui_->ysLab->text(), dateStr_, savePath_, YSAry_, false, &doctorFailed))
        qWarning("result screen: the dentist could not be written to %s", qUtf8Printable(savePath_));
    return !hospitalFailed && !doctorFailed;
}

// The main window the opener handed over; an opener that handed none (the measuring window)
// set the window to return to as the last window. Not the first window of the list: which
// one that is depends on what else was opened before.
TYWindow *ResultTableController::mainWindow() {
    if (mWindow_) return mWindow_;
    if (TYWindow *last = window()->lastWindow()) return last;
    return kit::firstWindow();
}

void ResultTableController::backTap() {
    const bool saved = saveHosAndDo();
    ui_->zbbtime->zstop();
    if (TYWindow *main = mainWindow(); main && main != window()) {
        main->setLastWindow(nullptr);
        window()->setLastWindow(main);
    }
    window()->close();
    // Shown over the window returned to: leaving is not held up by a full disk.
    if (!saved) TYAlertView::showErrorAlertView(QStringLiteral("E403"));
}

void ResultTableController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromResult);
    TYWindowController::windowWillClose();
}

void ResultTableController::modifyTap() {
    const QString hospital = ui_->hospitalLab->text();
    const QString doctor = ui_->ysLab->text();
    if (!tabData_ || hospital.trimmed().isEmpty() || doctor.trimmed().isEmpty()) return;
    const bool written = saveName(dataXML_, hospital, dateStr_, savePath_, hospitalAry_, true) &&
                         saveName(dataXML_, doctor, dateStr_, savePath_, YSAry_, false);
    if (!written) {
        TYAlertView::showErrorAlertView(QStringLiteral("E403"));
        return;
    }
    UsbUtils::csvBackup(noString_, selectRow_);
    if (!totalTableFactory()) return showSheetUnavailable();

    ResultSheetRequest request;
    request.digiAry = digiAry_;
    request.isNO = isNO_;
    QList<qsizetype> ticked;
    for (qsizetype r = 0; r < tabTimeCkAry_.size() && r < customerComments_.size(); ++r)
        if (tabTimeCkAry_[r] == kTicked) ticked.append(r);
    if (ticked.size() > 0) request.C22 = customerComments_[ticked[0]], request.t2 = t2_;
    if (ticked.size() > 1) request.C23 = customerComments_[ticked[1]], request.t1 = t1_;
    request.isDraw2 = isDraw2_;
    request.coNCus = coNCus_;
    request.zdata = *tabData_;
    request.dateStr = dateStr_;
    request.strDU = strDU_;
    request.aryDU = aryDU_;
    request.DUDU = DUDU_;
    request.selectRow = selectRow_;
    request.noString = noString_;
    // The sheet returns to the main menu's window when it is done.
    request.lastWindow = mainWindow();

    TYWindowController *sheet = totalTableFactory()(request);
    if (!sheet) return showSheetUnavailable();
    if (TotalTableCon_) TotalTableCon_->deleteLater();
    sheet->setParent(this);
    TotalTableCon_ = sheet;
    ui_->zbbtime->zstop();
    sheet->window()->setLastWindow(window());
    sheet->showWindow();
    ui_->modifyBtn->mouseExited();
    if (mWindow_) mWindow_->orderOut();
    window()->orderOut();
}

void ResultTableController::showSheetUnavailable() {
    TYAlertView::showErrorAlertView(QStringLiteral("sheet_unavailable"));
}

void ResultTableController::mytest(const QString &chartNo) {
    if (!chartNo.isEmpty() && chartNo != noString_) {
        // The path is rebuilt from the number: a plain text replace would also change any
        // folder name that happens to hold the old number.
        const QString path = UsbUtils::getXmlPath(chartNo);
        if (!path.isEmpty()) savePath_ = path;
        noString_ = chartNo;
    }
    ui_->zbbtime->zstart();
    getXMLZ();
}

void ResultTableController::getXMLZ() {
    if (std::optional<cvx::XmlDocument> document = TableViewDatas::bbgetXMLZ(noString_))
        dataXML_ = std::move(document);
}
