#include "support/TestHome.h"

#include <QDir>

#include "platform/UserDefaults.h"

namespace cvxtest {

TestHome::TestHome() : oldHome_(qgetenv("HOME")), oldConfig_(qgetenv("XDG_CONFIG_HOME")) {
    qputenv("HOME", dir_.path().toUtf8());
    QDir(dir_.path()).mkpath(QStringLiteral(".config"));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral(".config")).toUtf8());
}

TestHome::~TestHome() {
    // What the test left unwritten lands in its own home, not in the next one or in a folder
    // made again after this one is gone.
    cvx::UserDefaults::standard().flush();
    qputenv("HOME", oldHome_);
    qputenv("XDG_CONFIG_HOME", oldConfig_);
}

}  // namespace cvxtest
