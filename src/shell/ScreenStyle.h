#pragma once

#include <QString>

class BBTime;
class QFrame;
class QLabel;
namespace kit {
class PictureView;
}

// The common look of the work screens laid out in code around their window layouts.
namespace shell {

// Screen text in the application face; clicks pass through to the window (which drags).
void styleLabel(QLabel *label, qreal pixelSize, bool bold, const QString &color);
// The window background, the title in the header band and the clock beside it.
void dressScreen(kit::PictureView *background, QLabel *title, BBTime *clock);
// A white card with a rounded border, for a block of information.
void styleCard(QFrame *card);
// A card with a heading and a paragraph below it.
void styleTextCard(QFrame *card, QLabel *heading, QLabel *text);

}  // namespace shell
