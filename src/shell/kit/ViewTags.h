#pragma once

#include <QWidget>

namespace kit {

// Views are found again by a number, kept in the "tag" property (0 when unset).
int tag(const QWidget *view);
void setTag(QWidget *view, int tag);
// The view itself or the first of its descendants, depth first, with that tag.
QWidget *viewWithTag(QWidget *root, int tag);
// The last child widget of `view` (the top-most one), or null.
QWidget *topMostSubview(QWidget *view);
// Takes the view out of its parent at once and deletes it at the next turn of the main loop,
// so that a view may remove itself from inside its own button's handler.
void removeFromSuperview(QWidget *view);

}  // namespace kit
