#pragma once

#include <QDateTime>
#include <QString>
#include <memory>

namespace cvx {

// Writes and reads dates with a Unicode (UTS #35) pattern such as "yyyy-MM-dd HH:mm:ss SSS",
// in the neutral locale (Western digits, Gregorian calendar, English names) and the local time
// zone as it is when the formatter is made (TZ honoured). Reading is strict: the whole text must
// match the pattern and name a real date, so "2014-02-30" and "2014-05-12x" are refused, and
// white space stands only where the pattern has it (so fields whose text holds white space,
// such as long zone names, cannot be read).
//
// A formatter is never shared between threads: make one per use (cheap enough) or keep one per
// thread (thread_local).
class DateFormatter {
public:
    DateFormatter();
    explicit DateFormatter(const QString &pattern);
    DateFormatter(DateFormatter &&) noexcept;
    DateFormatter &operator=(DateFormatter &&) noexcept;
    ~DateFormatter();

    void setDateFormat(const QString &pattern);
    QString dateFormat() const { return pattern_; }

    // Null for an invalid date; "" while no pattern is set.
    QString stringFromDate(const QDateTime &date) const;
    // Invalid when the text does not match the pattern exactly or no pattern is set.
    QDateTime dateFromString(const QString &text) const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
    QString pattern_;
};

}  // namespace cvx
