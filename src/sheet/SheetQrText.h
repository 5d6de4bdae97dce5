#pragma once

#include <QString>

class BBGetNewModel;

// The text of the sheet's QR code: 17 fields joined by commas, no line end:
// date, time, chart number, then value and level digit of MS, pH, BFC, BLD, LEU, ALB, NH3.
class SheetQrText {
public:
    SheetQrText() = delete;

    // The sheet's six-item mode value of isSix.
    static constexpr int kSixItems = 6;

    // "0" for a low word ("少なめ", "弱め", "低め"), "1" for "平均レベル", "2" for any other
    // word.
    static QString getDigi(const QString &word);
    // The text for the result in the model. dateStr is "<date> <time>". The values are the
    // model's chart positions; BFC's digit is reversed (strong buffer capacity is the good
    // end); in the six-item mode (isSix 6) BLD's value and digit are "-". A missing value is
    // an empty field and a missing level word counts as any other word. A field holding a
    // comma or a double quote is quoted, so that the reader still finds 17 fields.
    static QString endStrForCode(const QString &dateStr, const QString &chartNo, const BBGetNewModel &model,
                                 int isSix);
};
