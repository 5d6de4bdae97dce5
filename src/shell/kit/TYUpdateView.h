#pragma once

#include <functional>

#include "shell/kit/TYLabel.h"

class CustomButton;
class QLabel;
class TYWindow;
namespace kit {
class PictureView;
}

// The firmware update's message: a whole panel picture, a line of text that the caller fills
// in, and OK and Cancel, either of which may be hidden. One at a time per window: showing a
// second one cancels the first. It carries the tag 999, which no other view may use.
class TYUpdateView : public TYLabel {
    Q_OBJECT
public:
    using Block = std::function<void()>;
    using TextBlock = std::function<void(QLabel *)>;
    static constexpr int kTag = 999;

    explicit TYUpdateView(const QRect &frame, QWidget *parent = nullptr);

    // Over the key window (else the last window made): cancels a shown update view (its Cancel
    // block runs), then shows the panel picture with the chosen buttons; `updateMsg` is run
    // once at once with the text field. Returns the view shown, or null.
    static TYUpdateView *showUpdateView(const QString &pictureName, bool isShowOkButton,
                                        Block okButtonClicked, bool isShowCancelButton,
                                        Block cancelButtonClicked, TextBlock updateMsg);
    // Whether the key window (else the last window made) holds an update view.
    static bool isExistUpdateView();
    // Removes it from there without running its blocks.
    static void removeUpdateView();

    // Remove the view, then run the matching block.
    void okButtonClicked();
    void cancelButtonClicked();

    // The caller's line of text. Hold it through a QPointer: it goes with the view.
    QLabel *msgTextField() const { return msgTextField_; }
    kit::PictureView *updateImageView() const { return updateImageView_; }
    CustomButton *okButton() const { return okButton_; }
    CustomButton *cancelButton() const { return cancelButton_; }

private:
    static TYWindow *targetWindow();

    QLabel *msgTextField_ = nullptr;
    kit::PictureView *updateImageView_ = nullptr;
    CustomButton *okButton_ = nullptr;
    CustomButton *cancelButton_ = nullptr;
    Block clickOkButton_;
    Block clickCancelButton_;
    TextBlock updateMsg_;
};
