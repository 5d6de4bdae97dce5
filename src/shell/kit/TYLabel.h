#pragma once

#include <QLabel>

// A text that cannot be edited or selected and draws no background; base of the message views.
class TYLabel : public QLabel {
    Q_OBJECT
public:
    explicit TYLabel(QWidget *parent = nullptr);
    TYLabel(const QRect &frame, QWidget *parent);
};
