#include "settings/EditorLook.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include "shell/kit/BBView.h"
#include "shell/kit/CustomButton.h"
#include "shell/kit/KitFont.h"

namespace settings {

void styleTab(QPushButton *tab) {
    tab->setCheckable(true);
    tab->setFocusPolicy(Qt::NoFocus);
    tab->setFont(kit::appFont(18));
    tab->setStyleSheet(QStringLiteral(
        "QPushButton { background: white; color: #24414f; border: 1px solid #b8c7cf; border-radius: 8px; }"
        "QPushButton:hover { background: #e6f4f1; }"
        "QPushButton:checked { background: #2a9d8f; color: white; border-color: #2a9d8f; font-weight: bold; "
        "}"));
}

void styleMarker(BBView *marker) {
    marker->setBbColor(QColor(0xE7, 0x6F, 0x51));
}

QWidget *preparePage(QScrollArea *scroll) {
    scroll->setWidgetResizable(false);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setStyleSheet(QStringLiteral("QScrollArea { background: transparent; }"));
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("page"));
    page->setStyleSheet(QStringLiteral("QWidget#page { background: transparent; }"));
    page->setFixedWidth(scroll->width() - scroll->verticalScrollBar()->sizeHint().width());
    scroll->setWidget(page);
    scroll->viewport()->setAutoFillBackground(false);
    page->setAutoFillBackground(false);
    return page;
}

CustomButton *makeAddButton(QWidget *parent) {
    auto *add = new CustomButton(QRect(0, 0, 140, 44), parent);
    add->setPictureStem(QStringLiteral("ボタン_追加_"));
    return add;
}

void scrollToBottom(QScrollArea *scroll) {
    // The scroll range follows the page's new height only once the layout has run.
    QCoreApplication::sendPostedEvents(scroll, QEvent::LayoutRequest);
    scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
}

}  // namespace settings
