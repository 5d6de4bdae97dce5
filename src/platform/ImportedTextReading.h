#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace cvx {

// The reading of imported text files that name no encoding, as TextEncoding::fromImportedText
// describes it: a byte-order mark, else Shift-JIS or UTF-8 by what the lines of the text make
// plausible (the writing systems of its words, the names they spell, how rare their characters
// are), else UTF-16 without a mark. The conversions themselves are TextEncoding's.
std::optional<QString> readImportedText(const QByteArray &bytes, QString *refusal);

}  // namespace cvx
