#include "settings/LinkSetController.h"

#include <QLabel>
#include <QScrollArea>

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
#include "ui_LinkSetController.h"

namespace {
constexpr int kRowHeight = 90;
constexpr int kPanelWidth = 60;
const QString kTotal = QStringLiteral("total");
}  // namespace

LinkSetController::LinkSetController(QObject *parent)
    : SettingsEditorController(QStringLiteral("LinkSetController"), settings::kBackSetMenuObjectFromLinkSet,
                               shell::kBackMainMenuObjectFromLinkSet, parent),
      ui_(std::make_unique<Ui::LinkSetController>()) {}

LinkSetController::~LinkSetController() = default;

BBTime *LinkSetController::clock() {
    window();
    return ui_->zbbtime;
}
EditorListView *LinkSetController::tabView() {
    window();
    return tabView_;
}
CustomButton *LinkSetController::addBtn() {
    window();
    return addBtn_;
}
CustomButton *LinkSetController::okButton() {
    window();
    return ui_->okButton;
}
CustomButton *LinkSetController::cancelButton() {
    window();
    return ui_->cancelButton;
}
CustomButton *LinkSetController::backButton() {
    window();
    return ui_->backButton;
}

void LinkSetController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleLabel(ui_->hintLabel, 14, false, QStringLiteral("#4a5a66"));
    QWidget *page = settings::preparePage(ui_->outScroll);
    viewBB_ = new BBView(page);
    // Red beyond full counts as full red.
    viewBB_->setBbColor(QColor::fromRgbF(1.0f, 128 / 255.f, 130 / 255.f));
    zonghelA_ = new QLabel(QStringLiteral("総合\nコメント"), viewBB_);
    zonghelA_->setAlignment(Qt::AlignCenter);
    shell::styleLabel(zonghelA_, 16, true, QStringLiteral("white"));
    tabView_ = new EditorListView(kRowHeight, kTextLimit, page);
    tabView_->setGeometry(kPanelWidth, 0, settings::kListWidth, 0);
    addBtn_ = settings::makeAddButton(page);

    connect(tabView_, &EditorListView::checkTapped, this, &LinkSetController::cheTap);
    connect(tabView_, &EditorListView::rowClicked, this, &LinkSetController::selectRow);
    connect(tabView_, &EditorListView::deleteTapped, this, &LinkSetController::deleTap);
    connect(addBtn_, &QAbstractButton::clicked, this, &LinkSetController::addRow);
    connect(ui_->okButton, &QAbstractButton::clicked, this, &LinkSetController::OKSet);
    connect(ui_->cancelButton, &QAbstractButton::clicked, this, &LinkSetController::cancelTap);
    connect(ui_->backButton, &QAbstractButton::clicked, this, &LinkSetController::backTap);
}

void LinkSetController::windowDidLoad() {
    SettingsEditorController::windowDidLoad();
    list_ = TickedList(BBInitDatas::getTotal().value(kTotal),
                       cvx::UserDefaults::standard().stringArrayForKey(QStringLiteral("ztotAry")));
    refresh();
}

void LinkSetController::commit() {
    list_.takeIn(tabView_->shownTexts());
}

void LinkSetController::refresh() {
    tabView_->reloadData(list_.texts(), list_.flags());
    const int n = int(list_.count());
    // The list n x 92 + 2 high, its panel at least 94 with the title in its middle.
    const int listHeight = n * 92 + 2;
    const int panelHeight = n >= 2 ? listHeight : n == 1 ? 95 : 94;
    viewBB_->setGeometry(0, 0, kPanelWidth, panelHeight);
    zonghelA_->setGeometry(0, 0, kPanelWidth, panelHeight);
    tabView_->setFixedHeight(listHeight);
    tabView_->setVisible(n > 0);
    addBtn_->move(kPanelWidth, (n > 0 ? listHeight + 8 : 100));
    addBtn_->setHidden(n >= 10);
    ui_->outScroll->widget()->setFixedHeight(qMax(panelHeight, addBtn_->y() + addBtn_->height()) + 10);
}

void LinkSetController::cheTap(int row) {
    commit();
    list_.toggle(row);
    refresh();
}

void LinkSetController::selectRow(int row) {
    commit();
    list_.select(row);
    refresh();
}

void LinkSetController::deleTap(int row) {
    commit();
    list_.remove(row);
    refresh();
}

void LinkSetController::addRow() {
    commit();
    list_.append();
    refresh();
    settings::scrollToBottom(ui_->outScroll);
}

void LinkSetController::OKSet() {
    commit();
    const TickedList::Kept kept = list_.kept();
    bool saved = false;
    {
        std::lock_guard lock(SettingsFiles::writeMutex());
        // The file answers success also when it has no overall list; only a list read back
        // with every entry counts (texts of blanks alone read back empty).
        // A refused write (a file read with replacement characters) reads back unchanged.
        const bool written = BBInitDatas::setTotal(kept.texts, kTotal);
        const BBInitDatas::Lists stored = BBInitDatas::getTotal();
        saved = written && stored.contains(kTotal) && stored.value(kTotal).size() == kept.texts.size();
        if (saved) {
            cvx::UserDefaults &user = cvx::UserDefaults::standard();
            user.setObject(kept.flags, QStringLiteral("ztotAry"));
            user.setObject(kept.ticked, QStringLiteral("ztotal"));
        }
    }
    cvx::UserDefaults::standard().flush();
    confirmSave(saved);
}
