#pragma once

#include "shell/kit/PictureView.h"

// A picture that drags its window when dragged and swallows key presses.
class CanMoveWindowImageView : public kit::PictureView {
    Q_OBJECT
public:
    explicit CanMoveWindowImageView(QWidget *parent = nullptr) : kit::PictureView(parent) {}

protected:
    // Left to the window, which moves itself.
    void mousePressEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
};
