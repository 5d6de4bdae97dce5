#include "shell/kit/TextFieldCellMetrics.h"

#include <QFontMetricsF>
#include <algorithm>
#include <cmath>

#include "shell/kit/KitFont.h"

namespace kit {

qreal cellLineHeight(const QFont &font) {
    QFontMetricsF metrics(font);
    return metrics.ascent() + metrics.descent();
}

qreal titleHeight(const QString &title, qreal pixelSize, qreal boxWidth) {
    if (title.isEmpty()) return 0;
    // Lines are counted at least 1.2 sizes apart, the spacing of the system font that the
    // one-line limit of 30 was made for; the Japanese face sets its lines closer.
    QFontMetricsF metrics(appFont(pixelSize));
    qreal height = metrics.boundingRect(QRectF(0, 0, boxWidth, 5000), Qt::TextWordWrap, title).height();
    qreal lines = std::max<qreal>(1, std::round(height / metrics.lineSpacing()));
    return lines * std::max(metrics.lineSpacing(), pixelSize * 1.2);
}

}  // namespace kit
