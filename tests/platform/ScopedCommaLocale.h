#pragma once

#include <locale.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <string>

namespace cvxtest {

// Switches LC_NUMERIC to a locale whose decimal point is a comma (as QApplication does for a
// German user) and back again. A machine without such a locale gets one made by localedef;
// active() is false when neither works, and the caller should skip.
class ScopedCommaLocale {
public:
    ScopedCommaLocale() : old_(setlocale(LC_NUMERIC, nullptr)) {
        bool set = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
        if (!set && !QStandardPaths::findExecutable("localedef").isEmpty() && qgetenv("LOCPATH").isNull()) {
            QProcess::execute("localedef", {"-i", "de_DE", "-f", "UTF-8", dir_.filePath("de_DE.UTF-8")});
            qputenv("LOCPATH", dir_.path().toLocal8Bit());
            set = setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
            qunsetenv("LOCPATH");
        }
        active_ = set && std::string(localeconv()->decimal_point) == ",";
    }
    ~ScopedCommaLocale() { setlocale(LC_NUMERIC, old_.c_str()); }
    ScopedCommaLocale(const ScopedCommaLocale &) = delete;
    ScopedCommaLocale &operator=(const ScopedCommaLocale &) = delete;

    bool active() const { return active_; }

private:
    QTemporaryDir dir_;
    std::string old_;
    bool active_ = false;
};

}  // namespace cvxtest
