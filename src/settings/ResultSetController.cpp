#include "settings/ResultSetController.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <mutex>

#include "platform/UserDefaults.h"
#include "records/BBInitDatas.h"
#include "records/SettingsFiles.h"
#include "settings/EditorListView.h"
#include "settings/EditorLook.h"
#include "settings/SettingsNotifications.h"
#include "shell/BackNotifications.h"
#include "shell/ScreenStyle.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/BBView.h"
#include "shell/kit/CustomButton.h"
#include "ui_ResultSetController.h"

namespace {

constexpr int kRowHeight = 60;
constexpr int kPanelWidth = 90;
constexpr int kMinPage = 553;

const char *const kItemNames[] = {"むし歯菌", "酸性度",     "緩衝能",    "潜血",
                                  "白血球",   "タンパク質", "アンモニア"};

// The captions of tables 1, 2, 3: pH reads high and low, BFC shows its weak list first.
QStringList captionsOf(int item) {
    if (item == 2) return {QStringLiteral("高め"), QStringLiteral("平均レベル"), QStringLiteral("低め")};
    if (item == 3) return {QStringLiteral("弱め"), QStringLiteral("平均レベル"), QStringLiteral("強め")};
    return {QStringLiteral("多め"), QStringLiteral("平均レベル"), QStringLiteral("少なめ")};
}

// The six-item mode as this screen reads it: anything but "0", also an unreadable file.
bool readSixItems() {
    const std::optional<cvx::XmlDocument> doc =
        SettingsFiles::load(SettingsFiles::preparedPath(QStringLiteral("ModeSetting.xml")));
    if (!doc) return true;
    const cvx::XmlElement node = doc->firstNodeForXPath(QStringLiteral("/DATA/DeleteBLD"));
    return node.isNull() || node.stringValue() != QLatin1String("0");
}

}  // namespace

ResultSetController::ResultSetController(QObject *parent)
    : SettingsEditorController(QStringLiteral("ResultSetController"),
                               settings::kBackSetMenuObjectFromResultpSet,
                               shell::kBackMainMenuObjectFromResultpSet, parent),
      ui_(std::make_unique<Ui::ResultSetController>()) {}

ResultSetController::~ResultSetController() = default;

BBTime *ResultSetController::clock() {
    window();
    return ui_->zbbtime;
}
EditorListView *ResultSetController::tabView(int table) {
    window();
    return ResultInitOne::isTable(table) ? tabViews_[table - 1] : nullptr;
}
CustomButton *ResultSetController::addButton(int table) {
    window();
    return ResultInitOne::isTable(table) ? addButtons_[table - 1] : nullptr;
}
QLabel *ResultSetController::caption(int table) {
    window();
    return ResultInitOne::isTable(table) ? captions_[table - 1] : nullptr;
}
QPushButton *ResultSetController::itemButton(int item) {
    window();
    if (!ResultInitOne::isItem(item)) return nullptr;
    return window()->findChild<QPushButton *>(QStringLiteral("btn%1").arg(item));
}
CustomButton *ResultSetController::okButton() {
    window();
    return ui_->okButton;
}
CustomButton *ResultSetController::cancelButton() {
    window();
    return ui_->cancelButton;
}
CustomButton *ResultSetController::backButton() {
    window();
    return ui_->backButton;
}

void ResultSetController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleLabel(ui_->hintLabel, 14, false, QStringLiteral("#4a5a66"));
    QWidget *page = settings::preparePage(ui_->mainScroll);
    const QColor colours[] = {QColor(243, 104, 110), QColor(244, 149, 9), QColor(119, 174, 112)};
    for (int k = 1; k <= 3; ++k) {
        BBView *panel = new BBView(page);
        panel->setBbColor(colours[k - 1]);
        panels_[k - 1] = panel;
        QLabel *label = new QLabel(panel);
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        shell::styleLabel(label, 17, true, QStringLiteral("white"));
        captions_[k - 1] = label;
        auto *table = new EditorListView(kRowHeight, kTextLimit, page);
        table->setGeometry(kPanelWidth + 6, 0, settings::kListWidth, 0);
        tabViews_[k - 1] = table;
        addButtons_[k - 1] = settings::makeAddButton(page);

        connect(table, &EditorListView::checkTapped, this, [this, k](int row) { cheTap(k, row); });
        connect(table, &EditorListView::rowClicked, this, [this, k](int row) { cheTap(k, row); });
        connect(table, &EditorListView::deleteTapped, this, [this, k](int row) { deleTap(k, row); });
        connect(table, &EditorListView::textEdited, this,
                [this, k, table] { dataz_.saveRows(k, isOne_, table->shownTexts()); });
        connect(addButtons_[k - 1], &QAbstractButton::clicked, this, [this, k] { addTap(k); });
    }
    for (int item = 1; item <= 7; ++item) {
        QPushButton *button = window->findChild<QPushButton *>(QStringLiteral("btn%1").arg(item));
        button->setText(QString::fromUtf8(kItemNames[item - 1]));
        settings::styleTab(button);
        settings::styleMarker(window->findChild<BBView *>(QStringLiteral("img%1").arg(item)));
        connect(button, &QPushButton::clicked, this, [this, item] { itemTap(item); });
    }
    connect(ui_->okButton, &QAbstractButton::clicked, this, &ResultSetController::OKTap);
    connect(ui_->cancelButton, &QAbstractButton::clicked, this, &ResultSetController::cancelTap);
    connect(ui_->backButton, &QAbstractButton::clicked, this, &ResultSetController::backTap);
}

void ResultSetController::windowDidLoad() {
    SettingsEditorController::windowDidLoad();
    sixItems_ = readSixItems();
    if (sixItems_) {
        // LEU and the items after it close the gap BLD's button leaves.
        QPushButton *bld = itemButton(4);
        const int step = itemButton(5)->x() - bld->x();
        bld->hide();
        window()->findChild<BBView *>(QStringLiteral("img4"))->hide();
        for (int item = 5; item <= 7; ++item) {
            itemButton(item)->move(itemButton(item)->x() - step, itemButton(item)->y());
            BBView *marker = window()->findChild<BBView *>(QStringLiteral("img%1").arg(item));
            marker->move(marker->x() - step, marker->y());
        }
    }
    dic_ = BBInitDatas::getTableDetail();
    isOne_ = 1;
    dataz_.afterSetting(1);
    for (int item = 1; item <= 7; ++item) {
        itemButton(item)->setChecked(item == 1);
        window()
            ->findChild<BBView *>(QStringLiteral("img%1").arg(item))
            ->setVisible(item == 1 && !(sixItems_ && item == 4));
    }
    setLabels(1);
    setCHK();
    setHid();
}

ResultInitOne::Shown ResultSetController::shownTexts() const {
    return {tabViews_[0]->shownTexts(), tabViews_[1]->shownTexts(), tabViews_[2]->shownTexts()};
}

void ResultSetController::setLabels(int item) {
    const QStringList captions = captionsOf(item);
    for (int k = 0; k < 3; ++k) captions_[k]->setText(captions.at(k));
}

void ResultSetController::itemTap(int item) {
    if (!ResultInitOne::isItem(item) || (sixItems_ && item == 4)) return;
    setLabels(item);
    dataz_.beforeSetting(isOne_, shownTexts());
    isOne_ = item;
    for (int n = 1; n <= 7; ++n) {
        itemButton(n)->setChecked(n == item);
        window()->findChild<BBView *>(QStringLiteral("img%1").arg(n))->setVisible(n == item);
    }
    dataz_.afterSetting(item);
    setCHK();
    setHid();
    ui_->mainScroll->verticalScrollBar()->setValue(0);
}

void ResultSetController::reloadTable(int table) {
    tabViews_[table - 1]->reloadData(dataz_.data(isOne_, table), dataz_.dataCHK(isOne_, table));
}

void ResultSetController::setCHK() {
    int y = 0;
    int tables = 0;
    int empty = 0;
    for (int k = 1; k <= 3; ++k) {
        reloadTable(k);
        const int h = int(dataz_.setMinHei(k, isOne_));
        const int tableHeight = h ? h + 3 : 2;
        const int sectionHeight = h ? h + 3 : 65;
        const int gap = h ? 8 : 70;
        tables += tableHeight;
        empty += h ? 0 : 1;
        panels_[k - 1]->setGeometry(0, y, kPanelWidth, sectionHeight);
        captions_[k - 1]->setGeometry(0, 0, kPanelWidth, sectionHeight);
        tabViews_[k - 1]->setFixedHeight(tableHeight);
        tabViews_[k - 1]->move(tabViews_[k - 1]->x(), y);
        tabViews_[k - 1]->setVisible(h > 0);
        addButtons_[k - 1]->move(kPanelWidth + 6, y + (h ? tableHeight + gap : 10));
        y = addButtons_[k - 1]->y() + addButtons_[k - 1]->height() + 14;
    }
    // The page: the three tables and 180 for the add buttons and gaps, 62 more for each empty
    // list while not all three are empty, never below 553.
    heiScroll_ = tables + 180 + (empty == 1 ? 62 : empty == 2 ? 124 : 0);
    heiScroll_ = qMax(heiScroll_, kMinPage);
    ui_->mainScroll->widget()->setFixedHeight(qMax(heiScroll_, y));
}

void ResultSetController::setHid() {
    for (int k = 1; k <= 3; ++k) addButtons_[k - 1]->setHidden(dataz_.setHiddFromAry(k, isOne_) == 1);
}

void ResultSetController::cheTap(int table, int row) {
    dataz_.selectRow(table, isOne_, row, tabViews_[table - 1]->shownTexts());
    reloadTable(table);
}

void ResultSetController::deleTap(int table, int row) {
    dataz_.saveRows(table, isOne_, tabViews_[table - 1]->shownTexts());
    dataz_.deleRow(table, isOne_, row);
    setCHK();
    setHid();
}

void ResultSetController::addTap(int table) {
    if (!ResultInitOne::isTable(table)) return;
    dataz_.addRow(table, isOne_, tabViews_[table - 1]->shownTexts());
    setCHK();
    setHid();
    // The new row in view.
    QCoreApplication::sendPostedEvents(ui_->mainScroll, QEvent::LayoutRequest);
    ui_->mainScroll->ensureWidgetVisible(addButtons_[table - 1], 0, 20);
}

void ResultSetController::OKTap() {
    dataz_.beforeSetting(isOne_, shownTexts());
    bool saved = true;
    {
        std::lock_guard lock(SettingsFiles::writeMutex());
        QMap<QString, qsizetype> written;
        for (int item = 1; item <= 7; ++item) {
            for (int table = 1; table <= 3; ++table) {
                const QString key = ResultInitOne::keyOf(item, table);
                const QStringList &texts = dataz_.data(item, table);
                if (texts == dic_.value(key)) continue;
                // A refused write (a file read with replacement characters) reads back unchanged.
                if (!BBInitDatas::deleteBlankData(texts, dataz_.dataCHK(item, table), key)) saved = false;
                written.insert(key, texts.size() - texts.count(QStringLiteral("")));
            }
        }
        // The file answers nothing: a list it lacks is "written" unchanged. Only lists read
        // back with every entry count as saved.
        if (!written.isEmpty()) {
            const BBInitDatas::Lists stored = BBInitDatas::getTableDetail();
            for (auto it = written.cbegin(); it != written.cend(); ++it)
                if (!stored.contains(it.key()) || stored.value(it.key()).size() != it.value()) saved = false;
        }
    }
    cvx::UserDefaults::standard().flush();
    confirmSave(saved);
}
