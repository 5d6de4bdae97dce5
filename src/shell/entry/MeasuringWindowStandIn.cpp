#include "shell/entry/MeasuringWindowStandIn.h"

#include <QLabel>

#include "platform/NotificationCenter.h"
#include "shell/ScreenStyle.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/PictureView.h"

MeasuringWindowStandIn::MeasuringWindowStandIn(const QString &chartNo, QObject *parent)
    : TYWindowController(QStringLiteral("TestViewController"), parent), chartNo_(chartNo) {}

void MeasuringWindowStandIn::setupUi(TYWindow *window) {
    auto *background = new kit::PictureView(window);
    background->setGeometry(window->rect());
    background->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *title = new QLabel(QStringLiteral("測定"), window);
    title->setGeometry(32, 8, 400, 48);
    clock_ = new BBTime(window);
    clock_->setGeometry(600, 7, 340, 50);
    shell::dressScreen(background, title, clock_);

    chartNoLabel_ = new QLabel(QStringLiteral("カルテ番号　%1").arg(chartNo_), window);
    chartNoLabel_->setGeometry(80, 260, 800, 60);
    chartNoLabel_->setAlignment(Qt::AlignCenter);
    shell::styleLabel(chartNoLabel_, 30, true, QStringLiteral("#24414f"));

    auto *note = new QLabel(QStringLiteral("機器で測定を開始してください。"), window);
    note->setGeometry(80, 340, 800, 40);
    note->setAlignment(Qt::AlignCenter);
    shell::styleLabel(note, 20, false, QStringLiteral("#4a5a66"));

    backButton_ = new CustomButton(QRect(32, 640, 140, 56), window);
    backButton_->setPictureStem(QStringLiteral("ボタン_戻る_"));
    connect(backButton_, &CustomButton::clicked, this, [this] { this->window()->close(); });
}

void MeasuringWindowStandIn::windowWillClose() {
    clock_->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(entry::kBackOprationFromTest);
    TYWindowController::windowWillClose();
}
