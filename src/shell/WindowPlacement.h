#pragma once

class QWidget;

namespace shell {

// Sizes the main window to 960 x 720 and puts it in the middle of its screen's free area.
void placeMainWindow(QWidget *window);

}  // namespace shell
