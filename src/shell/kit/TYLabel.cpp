#include "shell/kit/TYLabel.h"

TYLabel::TYLabel(QWidget *parent) : QLabel(parent) {
    setTextInteractionFlags(Qt::NoTextInteraction);
    setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
}

TYLabel::TYLabel(const QRect &frame, QWidget *parent) : TYLabel(parent) {
    setGeometry(frame);
}
