#include "review/ResultTableController.h"

#include <QFrame>
#include <QLabel>

#include "platform/NotificationCenter.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "ui_ResultTableController.h"

namespace {

struct Item {
    const char *element;
    const char *meaning;
};

// In the patient file's order: DataValue1 is MS ... DataValue7 is NH3.
const Item kItems[] = {{"MS", "むし歯菌"}, {"pH", "酸性度"},      {"BFC", "緩衝能"},    {"BLD", "潜血"},
                       {"LEU", "白血球"},  {"ALB", "タンパク質"}, {"NH3", "アンモニア"}};
constexpr int kBldIndex = 3;

constexpr int kRowTop = 58;
constexpr int kRowHeight = 46;
const int kColumnX[] = {28, 330, 560};
const int kColumnWidth[] = {290, 220, 250};

const QString kCaptionColor = QStringLiteral("#6b7b86");
const QString kTextColor = QStringLiteral("#2c3e50");

}  // namespace

ResultTableController::ResultTableController(QObject *parent)
    : TYWindowController(QStringLiteral("ResultTableController"), parent),
      ui_(std::make_unique<Ui::ResultTableController>()) {}

ResultTableController::~ResultTableController() = default;

void ResultTableController::setDataXML(std::optional<cvx::XmlDocument> document) {
    dataXML_ = std::move(document);
    reloadData();
}

void ResultTableController::setNoString(const QString &chartNo) {
    noString_ = chartNo;
    reloadData();
}

void ResultTableController::setNoStr(const QString &chartNo) {
    noStr_ = chartNo;
    reloadData();
}

void ResultTableController::setDateStr(const QString &dateTime) {
    dateStr_ = dateTime;
    reloadData();
}

void ResultTableController::setSelectRow(qint64 row) {
    selectRow_ = row;
    reloadData();
}

cvx::XmlElement ResultTableController::shownResult() const {
    if (!dataXML_) return {};
    const QList<cvx::XmlElement> results = dataXML_->rootElement().elements(QStringLiteral("comment"));
    if (!dateStr_.isEmpty()) {
        for (const cvx::XmlElement &result : results) {
            QString stored =
                result.attribute(QStringLiteral("date")) + u' ' + result.attribute(QStringLiteral("time"));
            if (stored == dateStr_) return result;
        }
        return {};
    }
    if (selectRow_ >= 0 && selectRow_ < results.size()) return results[selectRow_];
    return {};
}

BBTime *ResultTableController::zbbtime() const {
    return ui_->zbbtime;
}

CustomButton *ResultTableController::backButton() const {
    return ui_->backButton;
}

QLabel *ResultTableController::chartValue() const {
    return ui_->chartValue;
}

QLabel *ResultTableController::nameValue() const {
    return ui_->nameValue;
}

QLabel *ResultTableController::dateValue() const {
    return ui_->dateValue;
}

QList<QStringList> ResultTableController::itemRows() const {
    QList<QStringList> rows;
    for (const QList<QLabel *> &row : rowLabels_) {
        if (row.first()->parentWidget()->isHidden()) continue;
        QStringList texts;
        for (QLabel *label : row) texts.append(label->text());
        rows.append(texts);
    }
    return rows;
}

QString ResultTableController::emptyText() const {
    return emptyLabel_ && !emptyLabel_->isHidden() ? emptyLabel_->text() : QString();
}

void ResultTableController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
}

void ResultTableController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleCard(ui_->patientCard);
    shell::styleCard(ui_->itemsCard);
    for (QLabel *caption : {ui_->chartCaption, ui_->nameCaption, ui_->dateCaption})
        shell::styleLabel(caption, 16, false, kCaptionColor);
    for (QLabel *value : {ui_->chartValue, ui_->nameValue, ui_->dateValue})
        shell::styleLabel(value, 22, true, kTextColor);
    shell::styleLabel(ui_->noteLabel, 15, false, kCaptionColor);

    const QStringList headers = {QStringLiteral("項目"), QStringLiteral("測定値"), QStringLiteral("レベル")};
    for (int column = 0; column < 3; ++column) {
        auto *header = new QLabel(headers[column], ui_->itemsCard);
        header->setGeometry(kColumnX[column], 14, kColumnWidth[column], 34);
        shell::styleLabel(header, 16, false, kCaptionColor);
    }
    sixItems_ = UsbUtils::isDeleteBLD();
    int shown = 0;
    for (int item = 0; item < 7; ++item) {
        auto *row = new QWidget(ui_->itemsCard);
        row->setObjectName(QString::fromLatin1(kItems[item].element));
        row->setGeometry(12, kRowTop + shown * kRowHeight, 816, kRowHeight - 4);
        row->setAttribute(Qt::WA_StyledBackground);
        row->setStyleSheet(shown % 2 == 0 ? QStringLiteral("background: #eef6f4; border-radius: 8px;")
                                          : QStringLiteral("background: transparent;"));
        QList<QLabel *> labels;
        for (int column = 0; column < 3; ++column) {
            auto *label = new QLabel(row);
            label->setGeometry(kColumnX[column] - 12, 0, kColumnWidth[column], kRowHeight - 4);
            shell::styleLabel(label, column == 0 ? 19 : 20, column != 0, kTextColor);
            labels.append(label);
        }
        rowLabels_.append(labels);
        // The six-item mode leaves BLD out wherever results are shown.
        if (!(sixItems_ && item == kBldIndex)) ++shown;
    }
    emptyLabel_ = new QLabel(QStringLiteral("この測定結果は見つかりません。"), ui_->itemsCard);
    emptyLabel_->setGeometry(0, kRowTop, 840, 300);
    emptyLabel_->setAlignment(Qt::AlignCenter);
    shell::styleLabel(emptyLabel_, 20, false, kCaptionColor);

    connect(ui_->backButton, &QAbstractButton::clicked, this, [this] { window()->close(); });
    reloadData();
}

void ResultTableController::reloadData() {
    if (!isWindowLoaded() || rowLabels_.isEmpty()) return;
    const cvx::XmlElement result = shownResult();
    ui_->chartValue->setText(noStr_.isEmpty() ? noString_ : noStr_);
    ui_->nameValue->setText(dataXML_ ? dataXML_->rootElement().attribute(QStringLiteral("name")).trimmed()
                                     : QString());
    ui_->dateValue->setText(!dateStr_.isEmpty() || result.isNull()
                                ? dateStr_
                                : result.attribute(QStringLiteral("date")) + u' ' +
                                      result.attribute(QStringLiteral("time")));

    for (int item = 0; item < rowLabels_.size(); ++item) {
        const QList<QLabel *> &labels = rowLabels_[item];
        labels[0]->setText(QStringLiteral("%1　%2").arg(QLatin1String(kItems[item].element),
                                                        QString::fromUtf8(kItems[item].meaning)));
        const QString dataValue =
            result.firstElement(QStringLiteral("DataValue%1").arg(item + 1)).stringValue();
        labels[1]->setText(dataValue.section(u'|', 0, 0));
        labels[2]->setText(result.firstElement(QString::fromLatin1(kItems[item].element)).stringValue());
        labels[0]->parentWidget()->setVisible(!result.isNull() && !(sixItems_ && item == kBldIndex));
    }
    emptyLabel_->setVisible(result.isNull());
}

void ResultTableController::windowWillClose() {
    ui_->zbbtime->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(shell::kBackMainMenuObjectFromResult);
    TYWindowController::windowWillClose();
}
