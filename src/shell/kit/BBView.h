#pragma once

#include <QColor>
#include <QWidget>

// A box filled with one colour, white until one is set.
class BBView : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor bbColor READ bbColor WRITE setBbColor)
public:
    explicit BBView(QWidget *parent = nullptr) : QWidget(parent) {}

    QColor bbColor() const { return bbColor_; }
    void setBbColor(const QColor &color) {
        bbColor_ = color;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor bbColor_;
};
