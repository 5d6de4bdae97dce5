#include "settings/SettingHospitalController.h"

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
#include "shell/kit/CustomButton.h"
#include "ui_SettingHospitalController.h"

namespace {
constexpr int kRowHeight = 45;
const QString kHospital = QStringLiteral("hospital");
const QString kDoctor = QStringLiteral("doctor");
}  // namespace

SettingHospitalController::SettingHospitalController(QObject *parent)
    : SettingsEditorController(QStringLiteral("SettingHospitalController"),
                               settings::kBackSetMenuObjectFromHospSet, shell::kBackMainMenuObjectFromHospSet,
                               parent),
      ui_(std::make_unique<Ui::SettingHospitalController>()) {}

SettingHospitalController::~SettingHospitalController() = default;

BBTime *SettingHospitalController::clock() {
    window();
    return ui_->zbbtime;
}
EditorListView *SettingHospitalController::tabView1() {
    window();
    return list_;
}
CustomButton *SettingHospitalController::addBtn() {
    window();
    return addBtn_;
}
CustomButton *SettingHospitalController::okButton() {
    window();
    return ui_->okButton;
}
CustomButton *SettingHospitalController::cancelButton() {
    window();
    return ui_->cancelButton;
}
CustomButton *SettingHospitalController::backButton() {
    window();
    return ui_->backButton;
}
QPushButton *SettingHospitalController::hospitalListButton() {
    window();
    return ui_->hospitalListBtn;
}
QPushButton *SettingHospitalController::doctorListButton() {
    window();
    return ui_->doctorListBtn;
}

void SettingHospitalController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->zbbtime);
    shell::styleLabel(ui_->hintLabel, 14, false, QStringLiteral("#4a5a66"));
    settings::styleTab(ui_->hospitalListBtn);
    settings::styleTab(ui_->doctorListBtn);
    settings::styleMarker(ui_->ing1);
    settings::styleMarker(ui_->img2);

    QWidget *page = settings::preparePage(ui_->scroll);
    list_ = new EditorListView(kRowHeight, kNameLimit, page);
    list_->setGeometry(0, 0, settings::kListWidth, 0);
    addBtn_ = settings::makeAddButton(page);

    connect(ui_->hospitalListBtn, &QPushButton::clicked, this, &SettingHospitalController::hospitalTap);
    connect(ui_->doctorListBtn, &QPushButton::clicked, this, &SettingHospitalController::YSTap);
    connect(list_, &EditorListView::checkTapped, this, &SettingHospitalController::cheTap);
    connect(list_, &EditorListView::rowClicked, this, &SettingHospitalController::selectRow);
    connect(list_, &EditorListView::deleteTapped, this, &SettingHospitalController::deleTap);
    connect(addBtn_, &QAbstractButton::clicked, this, &SettingHospitalController::addItem);
    connect(ui_->okButton, &QAbstractButton::clicked, this, &SettingHospitalController::OKTap);
    connect(ui_->cancelButton, &QAbstractButton::clicked, this, &SettingHospitalController::cancelTap);
    connect(ui_->backButton, &QAbstractButton::clicked, this, &SettingHospitalController::backTap);
}

void SettingHospitalController::windowDidLoad() {
    SettingsEditorController::windowDidLoad();
    const BBInitDatas::Lists dic = BBInitDatas::getHospital();
    const cvx::UserDefaults &user = cvx::UserDefaults::standard();
    lists_[0] = TickedList(dic.value(kHospital), user.stringArrayForKey(QStringLiteral("hos1")));
    lists_[1] = TickedList(dic.value(kDoctor), user.stringArrayForKey(QStringLiteral("hos2")));
    switchTo(1);
}

void SettingHospitalController::commit() {
    shown().takeIn(list_->shownTexts());
}

void SettingHospitalController::hospitalTap() {
    commit();
    switchTo(1);
}

void SettingHospitalController::YSTap() {
    commit();
    switchTo(2);
}

void SettingHospitalController::switchTo(int list) {
    isOne_ = list;
    ui_->hospitalListBtn->setChecked(list == 1);
    ui_->doctorListBtn->setChecked(list == 2);
    ui_->ing1->setVisible(list == 1);
    ui_->img2->setVisible(list == 2);
    refresh();
    ui_->scroll->verticalScrollBar()->setValue(0);
}

void SettingHospitalController::refresh() {
    const TickedList &names = shown();
    list_->reloadData(names.texts(), names.flags());
    const int n = int(names.count());
    // The list's height n x 47 + 2, the add button 8 below it (55 below an empty list).
    const int listHeight = n * 47 + 2;
    list_->setFixedHeight(listHeight);
    list_->setVisible(n > 0);
    addBtn_->move(0, listHeight + (n > 0 ? 8 : 55));
    addBtn_->setHidden(n >= 10);
    ui_->scroll->widget()->setFixedHeight(addBtn_->y() + addBtn_->height() + 10);
}

void SettingHospitalController::cheTap(int row) {
    commit();
    shown().toggle(row);
    refresh();
}

void SettingHospitalController::selectRow(int row) {
    commit();
    shown().select(row);
    refresh();
}

void SettingHospitalController::deleTap(int row) {
    commit();
    shown().remove(row);
    refresh();
}

void SettingHospitalController::addItem() {
    commit();
    shown().append();
    refresh();
    settings::scrollToBottom(ui_->scroll);
}

void SettingHospitalController::OKTap() {
    commit();
    const TickedList::Kept hospitals = lists_[0].kept();
    const TickedList::Kept doctors = lists_[1].kept();
    bool saved = true;
    {
        // The lists and their ticks change together, as one step for other writers.
        std::lock_guard lock(SettingsFiles::writeMutex());
        cvx::UserDefaults &user = cvx::UserDefaults::standard();
        // A list's ticks are stored only with the list itself, so they never name another list.
        if (BBInitDatas::setHospital(hospitals.texts, kHospital)) {
            user.setObject(hospitals.flags, QStringLiteral("hos1"));
            user.setObject(hospitals.ticked, QStringLiteral("zhospital"));
        } else {
            saved = false;
        }
        if (BBInitDatas::setHospital(doctors.texts, kDoctor)) {
            user.setObject(doctors.flags, QStringLiteral("hos2"));
            user.setObject(doctors.ticked, QStringLiteral("zdoctor"));
        } else {
            saved = false;
        }
    }
    cvx::UserDefaults::standard().flush();
    confirmSave(saved);
}
