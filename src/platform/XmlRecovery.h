#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace cvx {

// What a recovering XML parser (libxml2 in recover mode) makes of a text that is not
// well-formed: the repaired document as UTF-8 text, without an XML declaration, or
// std::nullopt when the text yields no root element. The text must be UTF-8 whatever its
// declaration says. Nothing is fetched from outside: no network, no external entities or DTDs,
// and entity references stay unexpanded. `problem`, when given, gets the first fault found
// ("line 1, column 21: Opening and ending tag mismatch: MODE line 1 and DATA").
// Safe to call from any thread.
std::optional<QByteArray> recoverXml(const QByteArray &utf8, QString *problem = nullptr);

// Where a repaired read is reported, one line of text per report (the application puts it in
// its error log). Without one the report goes to the debug output. Each file (path and
// content) is reported once per run.
using XmlRepairLog = std::function<void(const QString &text)>;
void setXmlRepairLog(XmlRepairLog log);
void reportXmlRepair(const QString &source, const QByteArray &content, const QString &problem);

}  // namespace cvx
