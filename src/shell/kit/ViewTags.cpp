#include "shell/kit/ViewTags.h"

namespace kit {

namespace {
const char *const kTagProperty = "tag";
}

int tag(const QWidget *view) {
    return view ? view->property(kTagProperty).toInt() : 0;
}

void setTag(QWidget *view, int tag) {
    view->setProperty(kTagProperty, tag);
}

QWidget *viewWithTag(QWidget *root, int wanted) {
    if (!root) return nullptr;
    if (tag(root) == wanted) return root;
    for (QObject *child : root->children()) {
        auto *widget = qobject_cast<QWidget *>(child);
        if (!widget || widget->isWindow()) continue;
        if (QWidget *found = viewWithTag(widget, wanted)) return found;
    }
    return nullptr;
}

QWidget *topMostSubview(QWidget *view) {
    if (!view) return nullptr;
    const QObjectList &children = view->children();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto *widget = qobject_cast<QWidget *>(*it);
        if (widget && !widget->isWindow()) return widget;
    }
    return nullptr;
}

void removeFromSuperview(QWidget *view) {
    if (!view) return;
    view->hide();
    view->setParent(nullptr);
    view->deleteLater();
}

}  // namespace kit
