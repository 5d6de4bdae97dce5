#include "support/TestHome.h"

#include <QDir>

namespace cvxtest {

TestHome::TestHome() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", dir_.path().toUtf8());
    QDir(dir_.path()).mkpath(QStringLiteral(".config"));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral(".config")).toUtf8());
}

TestHome::~TestHome() {
    qputenv("HOME", oldHome_);
    qputenv("XDG_CONFIG_HOME", oldConfig_);
}

}  // namespace cvxtest
