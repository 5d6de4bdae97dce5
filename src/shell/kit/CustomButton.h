#pragma once

#include <QAbstractButton>
#include <QPixmap>

#include "shell/kit/PictureView.h"

// Picture button with a resting, a hover and a pressed picture. Window layouts name the
// pictures through the properties below (e.g. pictureStem "ボタン_OK_" gives "ボタン_OK_",
// "ボタン_OK_ON" and "ボタン_OK_DOWN").
class CustomButton : public QAbstractButton {
    Q_OBJECT
    Q_PROPERTY(QString pictureStem READ pictureStem WRITE setPictureStem)
    Q_PROPERTY(QString imageName READ imageName WRITE setImageNamed)
    Q_PROPERTY(QString hoverImageName READ hoverImageName WRITE setHoverImageNamed)
    Q_PROPERTY(QString alternateImageName READ alternateImageName WRITE setAlternateImageNamed)
public:
    explicit CustomButton(QWidget *parent = nullptr);
    CustomButton(const QRect &frame, QWidget *parent);

    // The picture shown now. Setting any picture but the hover picture itself also makes it
    // the resting picture that leaving the button brings back.
    QPixmap image() const { return image_; }
    void setImage(const QPixmap &image);
    QPixmap hoverImage() const { return hoverImage_; }
    void setHoverImage(const QPixmap &image) { hoverImage_ = image; }
    // Shown while the button is held down; none shows the current picture.
    QPixmap alternateImage() const { return alternateImage_; }
    void setAlternateImage(const QPixmap &image);
    QPixmap tempImage() const { return tempImage_; }

    // By picture name; the getters answer the names last given this way.
    QString pictureStem() const { return pictureStem_; }
    QString imageName() const { return imageName_; }
    QString hoverImageName() const { return hoverImageName_; }
    QString alternateImageName() const { return alternateImageName_; }
    void setImageNamed(const QString &name);
    void setHoverImageNamed(const QString &name);
    void setAlternateImageNamed(const QString &name);
    void setPictureStem(const QString &stem);

    kit::ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(kit::ImageScaling scaling);

    // Pointer entry and exit; windows also call mouseExited() on a pressed button before they
    // hide, so that it shows its resting picture when it comes back.
    void mouseEntered();
    void mouseExited();

    QSize sizeHint() const override;

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void init();
    // A visible sibling of window size above the button: a message view covers it.
    bool isCoveredByScreen() const;

    QPixmap image_;
    QPixmap hoverImage_;
    QPixmap alternateImage_;
    QPixmap tempImage_;
    kit::ImageScaling imageScaling_ = kit::ImageScaling::ProportionallyDown;
    QString pictureStem_, imageName_, hoverImageName_, alternateImageName_;
};
