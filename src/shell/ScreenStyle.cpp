#include "shell/ScreenStyle.h"

#include <QFrame>
#include <QLabel>

#include "shell/kit/BBTime.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/PictureView.h"

namespace shell {

void styleLabel(QLabel *label, qreal pixelSize, bool bold, const QString &color) {
    QFont font = kit::appFont(pixelSize);
    font.setBold(bold);
    label->setFont(font);
    label->setStyleSheet(QStringLiteral("color: %1; background: transparent; border: none;").arg(color));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void dressScreen(kit::PictureView *background, QLabel *title, BBTime *clock) {
    background->setScaling(kit::ImageScaling::AxesIndependently);
    background->setPixmap(kit::picture(QStringLiteral("画面_背景")));
    styleLabel(title, 30, true, QStringLiteral("white"));
    // The header band is dark: the clock's own black would hardly show on it.
    clock->timeLabel()->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
}

void styleCard(QFrame *card) {
    card->setStyleSheet(
        QStringLiteral("QFrame#%1 { background: white; border: 1px solid #c9dedb; border-radius: 14px; }")
            .arg(card->objectName()));
}

void styleTextCard(QFrame *card, QLabel *heading, QLabel *text) {
    styleCard(card);
    styleLabel(heading, 24, true, QStringLiteral("#2c3e50"));
    styleLabel(text, 17, false, QStringLiteral("#4a5a66"));
}

}  // namespace shell
