#pragma once

#include <QFont>
#include <QString>

namespace kit {

// Height of one line of `font`: ascent plus descent.
qreal cellLineHeight(const QFont &font);
// Height of `title` laid out at `pixelSize`, wrapped at `boxWidth`, with the line spacing of
// the system font (1.2 sizes) or wider; zero without a title.
qreal titleHeight(const QString &title, qreal pixelSize, qreal boxWidth);

}  // namespace kit
