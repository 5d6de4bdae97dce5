#pragma once

#include <QString>

// The limits of the patient-entry fields, apart from the widgets that apply them. Lengths
// count UTF-16 code units.
namespace entry {

inline constexpr int kChartNumberLimit = 30;
inline constexpr int kNameLimit = 15;
inline constexpr int kRemarkLimit = 40;

// The first `limit` code units of the text, one fewer where the cut would split a surrogate
// pair (half a character would be stored as garbage).
QString cutToLength(const QString &text, int limit);

// What the chart-number field shows after an edit, and where its caret stands.
struct ChartNumberEdit {
    QString text;
    int cursor = 0;
    // The text is to be remembered as the field's last accepted value.
    bool accepted = false;
};

// An edit left `edited` in the field with the caret at `cursor`. A non-empty value must be a
// chart number of at most 30 characters (NSStringExt::validateDBCS); a refused value gives
// back `lastAccepted` with the caret one place back (a caret at 1 goes to 0; one beyond
// the restored text goes to its end). The empty value is accepted.
ChartNumberEdit checkChartNumber(const QString &edited, int cursor, const QString &lastAccepted);

// A name field's value after an edit: at most 15 characters, whatever they are.
QString limitName(const QString &text);
// The remark: at most 40 characters.
QString limitRemark(const QString &text);

}  // namespace entry
