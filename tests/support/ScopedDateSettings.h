#pragma once

#include <time.h>
#include <unicode/locid.h>

#include <QByteArray>
#include <QtGlobal>

namespace cvxtest {

// Sets TZ (the local time zone) for its lifetime and puts the old value back.
class ScopedTz {
public:
    explicit ScopedTz(const char *zone) : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ")) {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTz() {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }
    ScopedTz(const ScopedTz &) = delete;
    ScopedTz &operator=(const ScopedTz &) = delete;

private:
    bool had_;
    QByteArray old_;
};

// Sets ICU's default locale, which carries the user's calendar choice, e.g.
// "ja_JP@calendar=japanese".
class ScopedIcuLocale {
public:
    explicit ScopedIcuLocale(const char *id) : old_(icu::Locale::getDefault()) { set(icu::Locale(id)); }
    ~ScopedIcuLocale() { set(old_); }
    ScopedIcuLocale(const ScopedIcuLocale &) = delete;
    ScopedIcuLocale &operator=(const ScopedIcuLocale &) = delete;

private:
    static void set(const icu::Locale &locale) {
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(locale, status);
    }
    icu::Locale old_;
};

}  // namespace cvxtest
