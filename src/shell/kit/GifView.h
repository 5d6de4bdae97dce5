#pragma once

#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>

class QTimer;
namespace kit {
class PictureView;
}

// Shows a still picture, or an animated GIF frame after frame. Say first whether the next
// picture is animated (setIsGif), then hand it over (setImage). The pace of an animation is
// its first frame's delay; every drawing of the view shows the next frame.
class GifView : public QWidget {
    Q_OBJECT
public:
    explicit GifView(QWidget *parent = nullptr);
    ~GifView() override;

    bool isGif() const { return isGif_; }
    void setIsGif(bool isGif);
    // The named bundle picture; an unknown name changes nothing.
    void setImageNamed(const QString &name);
    // The picture in that file (or ":/" resource); one that cannot be read changes nothing.
    void setImage(const QString &path);

    qint64 currentFrameIdx() const { return currentFrameIdx_; }
    int frameCount() const { return int(frames_.size()); }
    // Interval of the running frame timer in milliseconds; 0 when no animation runs.
    int frameInterval() const;
    QString imagePath() const { return imagePath_; }

    // Asks for the next frame to be drawn; the frame timer calls it.
    void animateGif();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void stopTimer();
    void showStillPicture();
    void drawGif(QPainter &painter);

    bool isGif_ = false;
    QString imagePath_;
    QImage stillImage_;
    QList<QImage> frames_;  // empty when the picture holds no frames
    qint64 currentFrameIdx_ = 0;
    QPointer<QTimer> giftimer_;
    QPointer<kit::PictureView> imageView_;
};
