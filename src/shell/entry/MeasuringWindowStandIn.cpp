#include "shell/entry/MeasuringWindowStandIn.h"

#include <QLabel>

#include "platform/NotificationCenter.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/kit/BBTime.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/MessageParts.h"

MeasuringWindowStandIn::MeasuringWindowStandIn(const QString &chartNo, QObject *parent)
    : TYWindowController(QStringLiteral("TestViewController"), parent), chartNo_(chartNo) {}

void MeasuringWindowStandIn::setupUi(TYWindow *window) {
    kit::addStretchedPicture(window, window->rect(), QStringLiteral("画面_背景"));

    auto *title = new QLabel(QStringLiteral("測定"), window);
    title->setGeometry(32, 8, 400, 48);
    title->setFont(kit::appFont(26));
    title->setStyleSheet(QStringLiteral("color: white;"));

    clock_ = new BBTime(window);
    clock_->setGeometry(600, 7, 340, 50);

    chartNoLabel_ = new QLabel(QStringLiteral("カルテ番号　%1").arg(chartNo_), window);
    chartNoLabel_->setGeometry(80, 260, 800, 60);
    chartNoLabel_->setAlignment(Qt::AlignCenter);
    chartNoLabel_->setFont(kit::appFont(30));

    auto *note = new QLabel(QStringLiteral("機器で測定を開始してください。"), window);
    note->setGeometry(80, 340, 800, 40);
    note->setAlignment(Qt::AlignCenter);
    note->setFont(kit::appFont(20));
    note->setStyleSheet(QStringLiteral("color: #4a5a66;"));

    backButton_ = new CustomButton(QRect(32, 640, 140, 56), window);
    backButton_->setPictureStem(QStringLiteral("ボタン_戻る_"));
    connect(backButton_, &CustomButton::clicked, this, [this] { this->window()->close(); });
}

void MeasuringWindowStandIn::windowWillClose() {
    clock_->zstop();
    cvx::NotificationCenter::defaultCenter().postNotificationName(entry::kBackOprationFromTest);
    TYWindowController::windowWillClose();
}
