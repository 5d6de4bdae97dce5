#pragma once

#include <QRect>
#include <QString>

class CustomButton;
class QWidget;
namespace kit {
class PictureView;

// The pieces the message views are built of, each picture stretched to its frame.
PictureView *addStretchedPicture(QWidget *parent, const QRect &frame, const QString &pictureName);
CustomButton *addMessageButton(QWidget *parent, const QRect &frame, const QString &pictureStem);
// Frame given from the bottom-left corner of `parent` (y growing upward) in its own terms.
QRect fromBottomLeft(const QWidget *parent, const QRect &frame);

}  // namespace kit
