#include "datamanage/PatientFields.h"

#include <QRegularExpression>
#include <cstdlib>
#include <optional>

#include "records/BBInitDatas.h"
#include "records/BBInitZBases.h"
#include "records/NSStringExt.h"
#include "records/UsbUtils.h"
#include "shell/entry/PatientRecords.h"

namespace {

constexpr int kNameLimit = 15;
constexpr int kRemarkLimit = 40;

// Gregorian days of the years 0001 to 9999, leap years included, as "yyyy/MM/dd".
const QRegularExpression &calendarDate() {
    static const QRegularExpression re(QRegularExpression::anchoredPattern(QStringLiteral(
        "(([0-9]{3}[1-9]|[0-9]{2}[1-9][0-9]{1}|[0-9]{1}[1-9][0-9]{2}|[1-9][0-9]{3})/"
        "(((0[13578]|1[02])/(0[1-9]|[12][0-9]|3[01]))|((0[469]|11)/(0[1-9]|[12][0-9]|30))|"
        "(02/(0[1-9]|[1][0-9]|2[0-8]))))|"
        "((([0-9]{2})(0[48]|[2468][048]|[13579][26])|((0[48]|[2468][048]|[13579][26])00))/02/29)")));
    return re;
}

QString padded(const QString &part) {
    return part.size() == 1 ? QStringLiteral("0") + part : part;
}

// The first of the separators that splits the text into exactly three parts.
std::optional<QStringList> threeParts(const QString &text, QStringView separators) {
    for (QChar separator : separators) {
        const QStringList parts = text.split(separator);
        if (parts.size() == 3) return parts;
    }
    return std::nullopt;
}

// "yyyy/MM/dd" when the parts name a calendar day.
std::optional<QString> calendarDay(const QStringList &parts) {
    const QString joined = parts[0] + u'/' + padded(parts[1]) + u'/' + padded(parts[2]);
    if (!calendarDate().match(joined).hasMatch()) return std::nullopt;
    return joined;
}

// The data link's date forms, compact digits included.
std::optional<QString> normalisedLinkDate(const QString &text) {
    QString value = text;
    if (value.size() == 6) {
        value = value.left(4) + u'-' + value.mid(4, 1) + u'-' + value.mid(5, 1);
    } else if (value.size() == 8 && !threeParts(value, u".-/")) {
        value = value.left(4) + u'-' + value.mid(4, 2) + u'-' + value.mid(6, 2);
    }
    const std::optional<QStringList> parts = threeParts(value, u"/-.");
    if (!parts) return std::nullopt;
    return calendarDay(*parts);
}

QString letterFor(const QString &value, const QString &male, const QString &female) {
    if (value == male) return QStringLiteral("M");
    if (value == female) return QStringLiteral("F");
    return QStringLiteral("");
}

QString at(const QStringList &list, qsizetype index) {
    return index < list.size() ? list[index] : QStringLiteral("");
}

}  // namespace

bool PatientFields::validateName(const QString &text) {
    return text.size() <= kNameLimit;
}

bool PatientFields::validateRemark(const QString &text) {
    return text.size() <= kRemarkLimit;
}

bool PatientFields::validateSex(const QString &text) {
    return text.isEmpty() || text == QLatin1String("M") || text == QLatin1String("F");
}

bool PatientFields::validateSex2(const QString &text) {
    Q_UNUSED(text);
    return true;
}

bool PatientFields::validateBirthday(const QString &text) {
    if (text.isEmpty()) return true;
    const std::optional<QStringList> parts = threeParts(text, u"/-");
    return parts && calendarDay(*parts);
}

bool PatientFields::validateBirthday2(const QString &text) {
    return text.isEmpty() || normalisedLinkDate(text);
}

QString PatientFields::birthday2(const QString &text) {
    if (text.isEmpty()) return QStringLiteral("");
    return normalisedLinkDate(text).value_or(QStringLiteral(""));
}

QString PatientFields::formatBirthdayStr(const QString &text) {
    const std::optional<QStringList> parts = threeParts(text, u"/-");
    if (!parts) return QStringLiteral("");
    return (*parts)[0] + u'-' + padded((*parts)[1]) + u'-' + padded((*parts)[2]);
}

namespace {

// A plain "yyyy-MM-dd" day of the years 1 to 9999, or no date.
QDate plainDay(const QString &text) {
    const QStringList parts = text.split(u'-');
    if (parts.size() != 3) return {};
    int numbers[3] = {};
    for (int i = 0; i < 3; ++i) {
        const QString &part = parts[i];
        if (part.isEmpty() || part.size() > 4) return {};
        for (const QChar c : part) {
            if (c < u'0' || c > u'9') return {};
            numbers[i] = numbers[i] * 10 + (c.unicode() - u'0');
        }
    }
    return numbers[0] >= 1 ? QDate(numbers[0], numbers[1], numbers[2]) : QDate();
}

// Whole years from a birth day to `today` in the Gregorian calendar, as the calendar counts them
// (a 29 February birthday falls on 28 February in other years). Nothing when the birthday falls
// on or next to `today`, or lies ahead, where the hour of the day and the time zone decide.
std::optional<int> wholeGregorianYears(const QDate &birth, const QDate &today) {
    if (!birth.isValid() || !today.isValid() || birth >= today) return std::nullopt;
    int years = today.year() - birth.year();
    QDate anniversary = birth.addYears(years);
    if (std::abs(anniversary.daysTo(today)) <= 1) return std::nullopt;
    if (anniversary > today) {
        --years;
        anniversary = birth.addYears(years);
        if (std::abs(anniversary.daysTo(today)) <= 1) return std::nullopt;
    }
    return years;
}

}  // namespace

QString PatientFields::calculateAge(const QString &birthday, const QDateTime &now) {
    if (birthday.split(u'-').size() != 3) return QStringLiteral("");
    const cvx::Calendar calendar = BBInitDatas::getCalendar();
    // The calendar's own count walks year by year; a bulk import counts thousands of ages.
    if (calendar.identifier() == QLatin1String("gregorian")) {
        if (const std::optional<int> years = wholeGregorianYears(plainDay(birthday), now.date()))
            return QString::number(*years);
    }
    const QDateTime birth = BBInitZBases::createDateFromDateString(birthday);
    return QString::number(calendar.yearsBetween(birth, now));
}

// The builders read the birth date (and the mode-5 sex) trimmed, as the record's check did: a
// padded date that passed the check must not be dropped silently.
QStringList PatientFields::createInfo(const QStringList &fields, const QString &fileName) {
    return {fileName,
            at(fields, 1),
            QStringLiteral(""),
            birthday2(NSStringExt::trim(at(fields, 5))),
            letterFor(at(fields, 6), QStringLiteral("男"), QStringLiteral("女")),
            QStringLiteral("")};
}

QStringList PatientFields::createInfoFromMode4Data(const QStringList &lines, const QString &fileName) {
    return {fileName,
            at(lines, 3),
            QStringLiteral(""),
            birthday2(NSStringExt::trim(at(lines, 5))),
            letterFor(at(lines, 4), QStringLiteral("0"), QStringLiteral("1")),
            QStringLiteral("")};
}

QStringList PatientFields::createInfoFromMode5Data(const QStringList &fields, const QString &fileName) {
    return {fileName,
            at(fields, 1),
            at(fields, 2),
            birthday2(NSStringExt::trim(at(fields, 3))),
            letterFor(NSStringExt::trim(at(fields, 4)), QStringLiteral("M"), QStringLiteral("F")),
            at(fields, 5)};
}

OCMCustInfo PatientFields::custInfoFromRow(const QStringList &row) {
    OCMCustInfo info;
    info.setCustomerNo(NSStringExt::trim(at(row, 0)));
    info.setFirstname(at(row, 1));
    info.setLastname(at(row, 2));
    info.setBirthday(formatBirthdayStr(NSStringExt::trim(at(row, 3))));
    // The local time is worked out once a second rather than once a row.
    thread_local std::pair<qint64, QDateTime> now{-1, {}};
    if (const qint64 second = QDateTime::currentSecsSinceEpoch(); second != now.first)
        now = {second, QDateTime::currentDateTime()};
    info.setAge(calculateAge(info.birthday(), now.second));
    const QString sex = NSStringExt::trim(at(row, 4));
    info.setSex(sex == QLatin1String("M")   ? QStringLiteral("0")
                : sex == QLatin1String("F") ? QStringLiteral("1")
                                            : QStringLiteral("2"));
    info.setRemark(NSStringExt::trim(at(row, 5)));
    return info;
}

bool PatientFields::isStorableChartNumber(const QString &chartNo) {
    return entry::isRegistrableChartNumber(chartNo);
}

bool PatientFields::saveCustInfo(const OCMCustInfo &info, cvx::Durability durability) {
    return entry::saveCustInfo(info, nullptr, durability);
}

QStringList PatientFields::splitLines(const QString &text) {
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n') continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n') ++i;
        start = i + 1;
    }
    lines.append(text.mid(start));
    return lines;
}
