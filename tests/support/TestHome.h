#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace cvxtest {

// Points HOME and XDG_CONFIG_HOME at a new empty folder for its lifetime and puts the
// previous values back afterwards.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome &) = delete;
    TestHome &operator=(const TestHome &) = delete;

    QString path() const { return dir_.path(); }
    // Path of a file or folder inside the temporary home.
    QString file(const QString &relative) const { return dir_.filePath(relative); }

private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    QByteArray oldConfig_;
};

}  // namespace cvxtest
