#include "sheet/SheetPage.h"

#include <QDate>
#include <QPainter>
#include <QRectF>
#include <QTextCharFormat>

#include "platform/FileManager.h"
#include "platform/Numbers.h"
#include "platform/XmlDocument.h"
#include "records/BBInitZBases.h"
#include "records/NSStringExt.h"
#include "sheet/FittedText.h"
#include "sheet/QRCodeGenerator.h"
#include "sheet/SheetQrText.h"
#include "shell/kit/KitFont.h"

namespace {

const QString kHHmm = QStringLiteral("yyyy-MM-dd HH:mm");
const QString kSlashHHmm = QStringLiteral("yyyy/MM/dd HH:mm");
const QString kSlashDate = QStringLiteral("yyyy/MM/dd");
const QString kSystemBlue = QStringLiteral("#0000ff");
const QString kInk = QStringLiteral("#333333");
const QString kGreen = QStringLiteral("#509427");   // RGB(80,148,39)
const QString kTeal = QStringLiteral("#427b6c");    // RGB(66,123,108)
const QString kPink = QStringLiteral("#ec6a83");    // RGB(236,106,131)
const QString kOrange = QStringLiteral("#f8a501");  // RGB(248,165,1)

int leadingInt(const QString &text) {
    return cvx::boundedIntValue(text);
}

// "yyyy-MM-dd HH:mm" as year, month/day and time on three lines.
QString threeLineCaption(const QString &dateTime) {
    const QString date = dateTime.section(QLatin1Char(' '), 0, 0);
    const QString time = dateTime.section(QLatin1Char(' '), 1, 1);
    const QStringList ymd = date.split(QLatin1Char('-'));
    auto part = [&](int i) { return i < ymd.size() ? ymd[i] : QString(); };
    return QStringLiteral("%1\n%2/%3\n%4").arg(part(0), part(1), part(2), time);
}

// "<date> <time> <degrees>℃" rejoined as the date, then the time and the degrees.
QString twoLineStamp(const QString &dateTime, const QString &degrees) {
    const QStringList parts = QStringLiteral("%1 %2℃").arg(dateTime, degrees).split(QLatin1Char(' '));
    auto part = [&](int i) { return i < parts.size() ? parts[i] : QString(); };
    return QStringLiteral("%1\n%2 %3").arg(part(0), part(1), part(2));
}

const char *const kItemNames[7] = {"むし歯菌", "酸性度",     "緩衝能",    "潜血",
                                   "白血球",   "タンパク質", "アンモニア"};
constexpr qreal kRowHeight = 43;  // the item tables' rows
constexpr qreal kTableGap = 6;
// The radar charts' own colours, for the legend's samples.
const QColor kCurrentLine(70, 133, 40);
const QColor kEarlierLine(158, 220, 96);
const QColor kAverageFill(233, 233, 233);

// A legend sample of a polygon's line, with the dot the current result's vertices carry.
void lineSample(QPainter &p, const QPointF &left, const QColor &color, qreal width, bool dot) {
    p.save();
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(left, left + QPointF(24, 0));
    if (dot) {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(left + QPointF(12, 0), 3, 3);
    }
    p.restore();
}

// A legend sample of the averages' polygon: a patch of its fill.
void fillSample(QPainter &p, const QRectF &rect) {
    p.save();
    p.setPen(QPen(kAverageFill, 1));
    p.setBrush(kAverageFill);
    p.drawRect(rect);
    p.restore();
}

// Bar view (COC index 0..6) of each item, in item order.
const int kBarOfItem[7] = {3, 4, 5, 2, 1, 0, 6};

float barHeight(int item, const QString &value) {
    const int v = leadingInt(value);
    return float((item == 2 ? 100 - v : v) * 0.06);
}

}  // namespace

int SheetPage::readIsSix() {
    const auto doc = cvx::XmlDocument::fromFile(
        cvx::FileManager::homeDirectory() + QStringLiteral("/.Corvadenix/ModeSetting.xml"),
        cvx::XmlDocument::Option::Tidy);
    if (doc) {
        const cvx::XmlElement node = doc->firstNodeForXPath(QStringLiteral("/DATA/DeleteBLD"));
        if (!node.isNull() && node.stringValue() == QLatin1String("0")) return 0;
    }
    return SheetQrText::kSixItems;
}

bool SheetPage::isLowTemperature(const QString &text) {
    return leadingInt(text) <= 19;
}

QString SheetPage::wholeDegrees(const QString &rsvData) {
    QString field = rsvData.split(QLatin1Char(',')).value(4);
    field.replace(QStringLiteral("℃"), QStringLiteral(" "));
    return field.section(QLatin1Char(' '), 0, 0).section(QLatin1Char('.'), 0, 0);
}

QStringList SheetPage::averages() {
    return {QStringLiteral("37"), QStringLiteral("43"), QStringLiteral("36"), QStringLiteral("22"),
            QStringLiteral("49"), QStringLiteral("43"), QStringLiteral("53")};
}

QString SheetPage::levelColor(const QString &nameStr, const QString &word) {
    const bool bfc = nameStr == QStringLiteral("緩衝能");
    if (word == QStringLiteral("高め") || word == QStringLiteral("強め") || word == QStringLiteral("多め"))
        return bfc ? kGreen : kPink;
    if (word == QStringLiteral("平均レベル")) return kOrange;
    return bfc ? kPink : kGreen;
}

SheetPage::SheetPage(SheetInput input, int isSix) : input_(std::move(input)), isSix_(isSix == 6 ? 6 : 0) {
    for (BBBigNetView *net : {&bigNetView2_, &bigNet_, &bigNet2_}) net->setIsSix(isSix_);
    for (BBNMNetView &net : litNet_) net.setIsSix(isSix_);
    initBase();
    initTabView();
}

void SheetPage::setLabel(const QString &label, const QString &text, int blueFrom) {
    labels_[label] = text;
    blueFrom_[label] = blueFrom;
}

void SheetPage::initBase() {
    YStr_ = QStringLiteral("様");
    aryAvy_ = averages();
    if (input_.isNO == 1) typeA();
    if (input_.isNO == 2) typeB();
    if (input_.isNO == 3) typeC();

    const QString shape = isSix_ == 6 ? QStringLiteral("６角形") : QStringLiteral("７角形");
    const QString head =
        QStringLiteral("※グラフの見方：%1が小さいほど、お口の健康状態が良いことを示しています。").arg(shape);
    const QString how =
        QStringLiteral("  測定結果は、唾液を試験紙に滴下した際の色調を百分率で示しています。");
    const QString not_ = QStringLiteral("（実際の菌数や濃度などではありません）");
    setLabel(QStringLiteral("zdetailLab"), head + u'\n' + how + not_);
    setLabel(QStringLiteral("de2Lab"), head + u'\n' + how + u'\n' + not_);
    setLabel(QStringLiteral("de3Lab"), head.mid(1));
    datas_.getDatas(input_.noString, input_.dateStr);
}

void SheetPage::typeA() {
    bigNet_.setTabAry(aryAvy_);
    bigNet_.setX(190), bigNet_.setY(190), bigNet_.setR(140);
    bigNet_.setIsDraw(1);
    bigNet_.setDigiAry(input_.digiAry);
    if (input_.isDraw2 == 1 && input_.coNCus) {
        bigNet_.setIsDrawTwo(1);
        bigNet_.setData2(input_.coNCus);
        const QString degrees = wholeDegrees(input_.coNCus->rsvData());
        const QString when = BBInitZBases::setTStrFromTstrHHmm(input_.coNCus->dateT(), kHHmm, kSlashHHmm);
        setLabel(QStringLiteral("zd2Lab"), twoLineStamp(when, degrees), isLowTemperature(degrees) ? 17 : -1);
        setLabel(QStringLiteral("lowFiveImg"), QStringLiteral("shown"));
    }
    setLabel(QStringLiteral("AorBorCLab"), QStringLiteral("検査結果シート（タイプA）"));
}

void SheetPage::typeB() {
    bigNet2_.setX(150), bigNet2_.setY(150), bigNet2_.setR(100);
    bigNet2_.setIsDraw(1);
    bigNet2_.setTabAry(aryAvy_);
    bigNet2_.setDigiAry(input_.digiAry);
    litNet_[0].setDigiSubAry(input_.digiAry);
    litNet_[1].setCusModel(input_.C22);
    litNet_[2].setCusModel(input_.C23);
    setLabel(QStringLiteral("AorBorCLab"), QStringLiteral("検査結果シート（タイプB）"));
    setLabel(QStringLiteral("bigLab1"), QStringLiteral("今回の結果"));
    setLabel(QStringLiteral("bigLab2"), QStringLiteral("過去の結果 1"));
    setLabel(QStringLiteral("bigLab3"), QStringLiteral("過去の結果 2"));
    const std::pair<const std::optional<OCMCustomerComment> *, int> earlier[] = {{&input_.C22, 2},
                                                                                 {&input_.C23, 3}};
    for (const auto &[result, n] : earlier) {
        const QString lit = QStringLiteral("litLab%1").arg(n), d = QStringLiteral("d%1").arg(n);
        if (!*result) {
            setLabel(lit, QString(""));
            setLabel(d, QString(""));
            continue;
        }
        const QString dateT = (*result)->dateT();
        setLabel(lit, BBInitZBases::setTStrFromTstr(dateT, kHHmm, kSlashDate));
        QString degrees;
        for (const QString &entry : input_.DUDU)
            if (entry.section(QLatin1Char('|'), 0, 0) == dateT) {
                degrees = entry.section(QLatin1Char('|'), 1);
                break;
            }
        const QString time = NSStringExt::HHmm(dateT);
        setLabel(d, QStringLiteral("%1 %2℃").arg(time, degrees),
                 isLowTemperature(degrees) ? time.size() + 1 : -1);
    }
    const QString when = BBInitZBases::setTStrFromTstrHHmm(input_.dateStr, kHHmm, kSlashHHmm);
    setLabel(QStringLiteral("zTwo2"), twoLineStamp(when, input_.strDU),
             isLowTemperature(input_.strDU) ? 17 : -1);
}

void SheetPage::typeC() {
    const QStringList avg = averages();
    for (int item = 0; item < 7; ++item) {
        BBDEColumnView &bar = COC_[kBarOfItem[item]];
        bar.setTitle(QString::fromUtf8(kItemNames[item]));
        bar.setAveStr(avg[item]);
        bar.setAveHei(item == 2 ? 100 - avg[item].toInt() : avg[item].toInt());
        if (item == 2) {
            bar.setBoLab(QStringLiteral("100"));
            bar.setTopLab(QStringLiteral("0"));
        }
        bar.setTxt3(threeLineCaption(input_.dateStr));
        bar.setD3(QStringLiteral("%1℃").arg(input_.strDU));
        bar.setX3(barHeight(item, input_.digiAry.value(item)));
    }
    if (input_.t2) {
        setCol(*input_.t2, 2);
        if (input_.t1) setCol(*input_.t1, 1);
    }
    const QString when = BBInitZBases::setTStrFromTstrHHmm(input_.dateStr, kHHmm, kSlashHHmm);
    setLabel(QStringLiteral("zthreeLab"), twoLineStamp(when, input_.strDU),
             isLowTemperature(input_.strDU) ? 17 : -1);
    setLabel(QStringLiteral("AorBorCLab"), QStringLiteral("検査結果シート（タイプC）"));
    setLabel(QStringLiteral("hospiConLab3"), QString(""));
    setLabel(QStringLiteral("ysConLab3"), QString(""));
}

void SheetPage::setCol(const OCMCustomerComment &result, int cou) {
    if (cou != 1 && cou != 2) return;
    const QString caption = threeLineCaption(result.dateT());
    const QString degrees = QStringLiteral("%1℃").arg(wholeDegrees(result.rsvData()));
    tempT_.clear();
    for (const QString &pair :
         {result.Datavalue1(), result.Datavalue2(), result.Datavalue3(), result.Datavalue4(),
          result.Datavalue5(), result.Datavalue6(), result.Datavalue7()})
        tempT_.append(pair.contains(QLatin1Char('|')) ? pair.section(QLatin1Char('|'), 1) : QString(""));
    for (int item = 0; item < 7; ++item) {
        BBDEColumnView &bar = COC_[kBarOfItem[item]];
        const float height = barHeight(item, tempT_[item]);
        if (cou == 2) {
            bar.setTxt2(caption), bar.setD2(degrees), bar.setX2(height);
            bar.setTxt1(QString("")), bar.setD1(QString("")), bar.setX1(0);
        } else {
            bar.setTxt1(caption), bar.setD1(degrees), bar.setX1(height);
        }
    }
}

void SheetPage::initTabView() {
    datas_.getDatas(input_.noString, input_.dateStr);
    // Made again with every change of the shown data, so that the code says what the page says.
    endStr_ = datas_.hasTabData()
                  ? SheetQrText::endStrForCode(input_.dateStr, input_.noString, datas_, isSix_)
                  : QString();
    const QString number = QStringLiteral("カルテ番号:") + input_.noString;
    setLabel(QStringLiteral("numberLabA"), number);
    setLabel(QStringLiteral("numberLabC"), number);
    const QStringList name = datas_.nameStr();
    if (name.size() == 1) {
        setLabel(QStringLiteral("zfirstLab"), name[0] + QStringLiteral(" 様"));
        setLabel(QStringLiteral("zFirstLastnameLab3"), name[0] + QStringLiteral(" 様"));
        setLabel(QStringLiteral("ztopnameLab"), name[0]);
    } else if (name.size() >= 2) {
        const QString withY = QStringLiteral("%1 %2 様").arg(name.first(), name.last());
        setLabel(QStringLiteral("zfirstLab"), withY);
        setLabel(QStringLiteral("zFirstLastnameLab3"), withY);
        setLabel(QStringLiteral("ztopnameLab"), QStringLiteral("%1  %2").arg(name.first(), name.last()));
    }
    const std::pair<const char *, const char *> pairs[] = {{"zFirstLastnameLab3", "zFLnameLab3"},
                                                           {"zfirstLab", "znameLab"}};
    for (const auto &[full, honorific] : pairs) {
        if (NSStringExt::trim(text(QString::fromLatin1(full))) == YStr_ ||
            text(QString::fromLatin1(full)).trimmed().isEmpty()) {
            for (const QString &l :
                 {QString::fromLatin1(honorific), QStringLiteral("ztopnameLab"), QString::fromLatin1(full)})
                setLabel(l, QString(""));
        } else {
            setLabel(QString::fromLatin1(honorific), YStr_);
        }
    }
    const OCMCustomerComment &tab = datas_.tabData();
    setLabel(QStringLiteral("totalLab"), tab.Totalcomment());
    maxLineHeight_[QStringLiteral("totalLab")] = 14;
    setLabel(QStringLiteral("hospitalLab"), tab.hospital());
    setLabel(QStringLiteral("YSLab"), tab.doctor());
    const QString made = QStringLiteral("作成日%1").arg(QDate::currentDate().toString(kSlashDate));
    setLabel(QStringLiteral("ztimeLab"), made);
    setLabel(QStringLiteral("zuocLab"), made);
    setLabel(QStringLiteral("znoLab"), input_.noString);
    setLabel(QStringLiteral("ztopTimeLab"), input_.dateStr);
    const QString date = BBInitZBases::setTStrFromTstr(input_.dateStr, kHHmm, kSlashDate);
    setLabel(QStringLiteral("litLab1"), date);
    const QString time = input_.dateStr.section(QLatin1Char(' '), 1, 1);
    const bool low = isLowTemperature(input_.strDU);
    setLabel(QStringLiteral("d1"), QStringLiteral("%1 %2℃").arg(time, input_.strDU), low ? 6 : -1);
    setLabel(QStringLiteral("zd1Lab"), QStringLiteral("%1\n%2 %3℃").arg(date, time, input_.strDU),
             low ? 17 : -1);
    setLabel(QStringLiteral("bottomLab"),
             QStringLiteral(
                 "唾液に含まれる様々な成分は、お口の健康状態を反映しています。唾液は、歯や歯ぐきの健康を"
                 "示すことが知られていますが、これらを診断できるものではありません。"));
    setLabel(QStringLiteral("zd3Lab"), QStringLiteral("これまでの研究で得られた\n平均値"));
    setLabel(QStringLiteral("zTwo4"), QStringLiteral("これまでの研究で\n得られた平均値"));
    if (input_.isNO == 3) typeCTabView();
}

void SheetPage::typeCTabView() {
    const OCMCustomerComment &tab = datas_.tabData();
    setLabel(QStringLiteral("hospiConLab3"), tab.hospital());
    setLabel(QStringLiteral("ysConLab3"), tab.doctor());
    setLabel(QStringLiteral("zhConLab3"), tab.Totalcomment());
    maxLineHeight_[QStringLiteral("zhConLab3")] = 12;
    bigNetView2_.setX(189), bigNetView2_.setY(171), bigNetView2_.setR(130);
    bigNetView2_.setIsDraw(1);
    bigNetView2_.setTabAry(aryAvy_);
    bigNetView2_.setDigiAry(input_.digiAry);
}

// ---- Painting ---------------------------------------------------------------------------

void SheetPage::drawLabel(QPainter &p, const QString &label, const QRectF &rect, int size, bool bold,
                          int flags, const QString &color, int maxLines) const {
    drawFitted(p, label, text(label), rect, size, bold, flags, color, maxLines);
}

void SheetPage::drawFitted(QPainter &p, const QString &label, const QString &body, const QRectF &rect,
                           int size, bool bold, int flags, const QString &color, int maxLines) const {
    if (body.isEmpty()) return;
    QFont font = kit::appFont(size);
    font.setBold(bold);
    QList<QTextLayout::FormatRange> blueRun;
    if (const int blue = blueFrom(label); blue >= 0 && blue < body.size()) {
        QTextCharFormat format;
        format.setForeground(QColor(kSystemBlue));
        blueRun.append({blue, int(body.size()) - blue, format});
    }
    const FittedText fitted(body, font, rect, Qt::Alignment(flags ? flags : int(Qt::AlignLeft)), maxLines,
                            blueRun, maxLineHeight_.value(label));
    p.setPen(QColor(color.isEmpty() ? kInk : color));
    fitted.draw(p);
    if (drawn_)
        drawn_->append({label, body, rect, fitted.boundingRect(), fitted.pixelSize(), size,
                        fitted.lineCount(), fitted.lineHeight()});
}

void SheetPage::paintQr(QPainter &p, const QRectF &rect) const {
    if (endStr_.isEmpty()) return;
    QRCodeGenerator::paint(p, rect, endStr_);
    if (drawn_) drawn_->append({QStringLiteral("QR"), QString(), rect, rect});
}

void SheetPage::paint(QPainter &painter, const QRectF &target, QList<SheetDrawnText> *drawn) const {
    drawn_ = drawn;
    const QSizeF page = layoutSize();
    const qreal scale = std::min(target.width() / page.width(), target.height() / page.height());
    painter.save();
    painter.translate(target.topLeft());
    painter.scale(scale, scale);
    painter.setClipRect(QRectF(QPointF(0, 0), page));
    painter.fillRect(QRectF(QPointF(0, 0), page), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    paintHeader(painter);
    const qreal tablesTop = paintCharts(painter);
    paintFooter(painter, paintTables(painter, tablesTop));
    painter.restore();
    drawn_ = nullptr;
}

void SheetPage::paintHeader(QPainter &p) const {
    drawLabel(p, QStringLiteral("AorBorCLab"), QRectF(30, 20, 300, 32), 22, true, 0, kTeal);
    drawLabel(p, QStringLiteral("ztimeLab"), QRectF(480, 22, 222, 18), 12, false, Qt::AlignRight);
    // A chart number of 30 characters needs more than the date's width.
    drawLabel(p, QStringLiteral("numberLabA"), QRectF(340, 42, 362, 18), 12, false, Qt::AlignRight);
    // The name has the page's width below the chart number: two names of 15 characters and
    // "様" on one line at full size.
    drawLabel(p, QStringLiteral("zfirstLab"), QRectF(30, 60, 672, 28), 20, true, 0, QString(), 1);
    p.setPen(QPen(QColor(kTeal), 1.5));
    p.drawLine(QPointF(30, 90), QPointF(702, 90));
}

// Draws a chart view into rect, its own coordinates scaled by `scale`.
template <typename View>
static void paintChart(QPainter &p, const View &view, const QRectF &rect, qreal scale = 1.0) {
    p.save();
    p.translate(rect.topLeft());
    p.scale(scale, scale);
    const_cast<View &>(view).paint(p, QRectF(QPointF(0, 0), rect.size() / scale));
    p.restore();
}

qreal SheetPage::paintCharts(QPainter &p) const {
    if (input_.isNO == 1) {
        paintChart(p, bigNet_, QRectF(20, 74, 380, 380));
        // The legend: which polygon is the current result, the earlier one and the averages.
        lineSample(p, QPointF(430, 131), kCurrentLine, 2, true);
        drawLabel(p, QStringLiteral("zd1Lab"), QRectF(462, 118, 240, 40), 14, true);
        if (text(QStringLiteral("lowFiveImg")) == QLatin1String("shown"))
            lineSample(p, QPointF(430, 188), kEarlierLine, 2, false);
        drawLabel(p, QStringLiteral("zd2Lab"), QRectF(462, 175, 240, 40), 14, false, 0,
                  QStringLiteral("#7a7a7a"));
        fillSample(p, QRectF(435, 234, 14, 14));
        drawLabel(p, QStringLiteral("zd3Lab"), QRectF(462, 232, 240, 40), 12, false, 0, kInk);
        drawLabel(p, QStringLiteral("zdetailLab"), QRectF(30, 438, 672, 32), 10);
        return 474;
    }
    if (input_.isNO == 2) {
        paintChart(p, bigNet2_, QRectF(20, 84, 300, 300));
        lineSample(p, QPointF(32, 375), kCurrentLine, 2, true);
        drawLabel(p, QStringLiteral("zTwo2"), QRectF(62, 362, 130, 40), 13, true);
        fillSample(p, QRectF(197, 368, 14, 14));
        drawLabel(p, QStringLiteral("zTwo4"), QRectF(218, 362, 120, 40), 11, false, 0, kInk);
        // The small charts on their panel, each with its caption, date, time and temperature.
        p.save();
        p.setPen(QPen(QColor(0xd5, 0xe3, 0xdf), 1));
        p.setBrush(QColor(0xf4, 0xf8, 0xf7));
        p.drawRoundedRect(QRectF(346, 96, 358, 330), 8, 8);
        p.restore();
        for (int i = 0; i < 3; ++i) {
            const qreal y = 102 + i * 108;
            paintChart(p, litNet_[i], QRectF(350, y, 176, 110), 1.1);
            lineSample(p, QPointF(534, y + 27), kCurrentLine, 1, false);
            drawLabel(p, QStringLiteral("bigLab%1").arg(i + 1), QRectF(564, y + 18, 138, 20), 12, true, 0,
                      kTeal);
            drawLabel(p, QStringLiteral("litLab%1").arg(i + 1), QRectF(538, y + 42, 164, 20), 13, true);
            drawLabel(p, QStringLiteral("d%1").arg(i + 1), QRectF(538, y + 64, 164, 20), 13);
        }
        drawLabel(p, QStringLiteral("de2Lab"), QRectF(30, 428, 672, 40), 10);
        return 470;
    }
    if (input_.isNO != 3) return 470;
    paintChart(p, bigNetView2_, QRectF(10, 84, 378, 342));
    drawLabel(p, QStringLiteral("zthreeLab"), QRectF(400, 100, 196, 40), 14, true);
    paintQr(p, QRectF(600, 94, 104, 104));
    // Beside the code, hospital and dentist have two lines each: 30 characters at full size.
    drawLabel(p, QStringLiteral("hospiConLab3"), QRectF(400, 140, 196, 30), 13, false, 0, kGreen, 2);
    drawLabel(p, QStringLiteral("ysConLab3"), QRectF(400, 172, 196, 30), 13, false, 0, kGreen, 2);
    drawLabel(p, QStringLiteral("zhConLab3"), QRectF(400, 206, 302, 194), 12);
    // One row of bar charts as large as the page's width allows; their drawing spans x 7 to
    // 115 of its 140 by 160.
    const int count = isSix_ == 6 ? 6 : 7;
    const qreal pitch = 704.0 / count;
    const qreal scale = std::min(1.05, (pitch - 3) / 108);
    const qreal top = 404;
    int k = 0;
    for (int item = 0; item < 7; ++item) {
        if (isSix_ == 6 && item == 3) continue;  // BLD's bars
        const qreal x = 14 + k++ * pitch + (pitch - 108 * scale) / 2 - 7 * scale;
        paintChart(p, COC_[kBarOfItem[item]], QRectF(x, top, 140 * scale, 160 * scale), scale);
    }
    const qreal bottom = top + 160 * scale;
    drawLabel(p, QStringLiteral("de3Lab"), QRectF(30, bottom + 2, 672, 16), 10);
    return bottom + 22;
}

qreal SheetPage::paintTables(QPainter &p, qreal top) const {
    struct Table {
        QStringList names, values, words, averages, comments;
        QColor background;
        bool named;
    };
    const BBGetNewModel &m = datas_;
    QList<Table> tables = {
        {m.tab11(), m.tab12(), m.tab13a(), m.tab13b(), m.tab14(), QColor(195, 213, 236), true},
        {m.tab21(), m.tab22(), m.tab23a(), m.tab23b(), m.tab24(), QColor(239, 202, 213), false},
        {m.tab31(), m.tab32(), m.tab33a(), m.tab33b(), m.tab34(), QColor(186, 216, 212), false},
    };
    if (isSix_ == 6)
        for (QStringList *column : {&tables[1].names, &tables[1].values, &tables[1].words,
                                    &tables[1].averages, &tables[1].comments})
            if (!column->isEmpty()) column->removeFirst();
    qreal y = top;
    const QFont nameFont = [] {
        QFont f = kit::appFont(14);
        f.setBold(true);
        return f;
    }();
    for (int t = 0; t < tables.size(); ++t) {
        const Table &table = tables[t];
        const qsizetype rows = t == 1 ? (isSix_ == 6 ? 2 : table.names.size()) : table.names.size();
        const QRectF box(30, y, 672, rows * kRowHeight);
        p.fillRect(box, table.background);
        for (qsizetype r = 0; r < rows; ++r) {
            const qreal ry = y + r * kRowHeight;
            if (r > 0) {
                p.setPen(QPen(Qt::white, 1));
                p.drawLine(QPointF(30, ry), QPointF(702, ry));
            }
            const QString name = BBGetNewModel::entry(table.names, r);
            const QString word = BBGetNewModel::entry(table.words, r);
            p.setPen(QColor(kInk));
            p.setFont(nameFont);
            p.drawText(QRectF(38, ry, 100, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft, name);
            p.setFont(kit::appFont(15));
            p.drawText(QRectF(138, ry, 40, kRowHeight), Qt::AlignVCenter | Qt::AlignRight,
                       BBGetNewModel::entry(table.values, r));
            QFont bold = kit::appFont(14);
            bold.setBold(true);
            p.setFont(bold);
            // Every row's colour is chosen by its own item; BFC alone reads a strong level as good.
            p.setPen(QColor(levelColor(table.named ? name : QString(), word)));
            p.drawText(QRectF(186, ry, 90, kRowHeight), Qt::AlignVCenter | Qt::AlignHCenter, word);
            p.setPen(QColor(kInk));
            p.setFont(kit::appFont(11));
            p.drawText(QRectF(278, ry, 70, kRowHeight), Qt::AlignVCenter | Qt::AlignLeft,
                       BBGetNewModel::entry(table.averages, r));
            // A comment of 65 characters without a break (Latin letters) still shows whole.
            drawFitted(p, QStringLiteral("comment%1-%2").arg(t).arg(r),
                       BBGetNewModel::entry(table.comments, r), QRectF(352, ry + 2, 344, kRowHeight - 4), 11,
                       false, Qt::AlignVCenter | Qt::AlignLeft);
        }
        y += rows * kRowHeight + kTableGap;
    }
    return y - kTableGap;
}

void SheetPage::paintFooter(QPainter &p, qreal top) const {
    if (input_.isNO == 3) {
        drawLabel(p, QStringLiteral("bottomLab"), QRectF(30, top + 10, 672, 34), 10, false, 0,
                  QStringLiteral("#666666"));
        return;
    }
    // Hospital and dentist on a line each, so that 30 characters of either fit at full size.
    drawLabel(p, QStringLiteral("hospitalLab"), QRectF(30, top + 8, 540, 16), 13, true, 0, kGreen, 1);
    drawLabel(p, QStringLiteral("YSLab"), QRectF(30, top + 26, 540, 16), 13, true, 0, kGreen, 1);
    drawLabel(p, QStringLiteral("totalLab"), QRectF(30, top + 46, 540, 58), 12);
    drawLabel(p, QStringLiteral("bottomLab"), QRectF(30, top + 110, 540, 34), 10, false, 0,
              QStringLiteral("#666666"));
    paintQr(p, QRectF(590, top + 8, 120, 120));
}
