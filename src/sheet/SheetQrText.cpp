#include "sheet/SheetQrText.h"

#include <QStringList>

#include "sheet/BBGetNewModel.h"

namespace {

const QString kNone = QStringLiteral("-");

QString field(const QString &text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))) return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString valueField(const QStringList &column, qsizetype row) {
    return field(BBGetNewModel::entry(column, row));
}

QString digitField(const QStringList &column, qsizetype row, bool reversed) {
    const QString digit = SheetQrText::getDigi(BBGetNewModel::entry(column, row));
    if (!reversed || digit == QLatin1String("1")) return digit;
    return digit == QLatin1String("0") ? QStringLiteral("2") : QStringLiteral("0");
}

}  // namespace

QString SheetQrText::getDigi(const QString &word) {
    if (word == QStringLiteral("少なめ") || word == QStringLiteral("弱め") || word == QStringLiteral("低め"))
        return QStringLiteral("0");
    if (word == QStringLiteral("平均レベル")) return QStringLiteral("1");
    return QStringLiteral("2");
}

QString SheetQrText::endStrForCode(const QString &dateStr, const QString &chartNo, const BBGetNewModel &model,
                                   int isSix) {
    const QStringList parts = dateStr.split(QLatin1Char(' '));
    QStringList fields{field(parts.value(0)), field(parts.value(1)), field(chartNo)};
    fields << valueField(model.tab12(), 0) << digitField(model.tab13a(), 0, false);
    fields << valueField(model.tab12(), 1) << digitField(model.tab13a(), 1, false);
    fields << valueField(model.tab12(), 2) << digitField(model.tab13a(), 2, true);
    if (isSix == kSixItems)
        fields << kNone << kNone;
    else
        fields << valueField(model.tab22(), 0) << digitField(model.tab23a(), 0, false);
    fields << valueField(model.tab22(), 1) << digitField(model.tab23a(), 1, false);
    fields << valueField(model.tab22(), 2) << digitField(model.tab23a(), 2, false);
    fields << valueField(model.tab32(), 0) << digitField(model.tab33a(), 0, false);
    return fields.join(QLatin1Char(','));
}
