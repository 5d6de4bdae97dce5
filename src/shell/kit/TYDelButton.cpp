#include "shell/kit/TYDelButton.h"

TYDelButton::TYDelButton(QWidget *parent) : CustomButton(parent) {
    setUp();
}

TYDelButton::TYDelButton(const QRect &frame, QWidget *parent) : CustomButton(frame, parent) {
    setUp();
}

void TYDelButton::setUp() {
    setPictureStem(QStringLiteral("ボタン_DEL_"));
    setText(QString());
    setImageScaling(kit::ImageScaling::ProportionallyDown);
}
