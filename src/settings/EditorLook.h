#pragma once

class BBView;
class CustomButton;
class QPushButton;
class QScrollArea;
class QWidget;

// The common look of the settings screens.
namespace settings {

// Width of a list: tick, text field and delete button.
inline constexpr int kListWidth = 660;

// A button that chooses what the screen shows; checked while its choice is shown.
void styleTab(QPushButton *tab);
// The bar under the chosen tab.
void styleMarker(BBView *marker);
// Gives the scroll area a page of its own, laid out by hand, and returns it.
QWidget *preparePage(QScrollArea *scroll);
// The add button under a list.
CustomButton *makeAddButton(QWidget *parent);
void scrollToBottom(QScrollArea *scroll);

}  // namespace settings
