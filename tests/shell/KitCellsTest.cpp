#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>

#include "shell/kit/CenteringClipView.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/OneTextFieldCell.h"
#include "shell/kit/TYTextFieldCell.h"
#include "shell/kit/TextFieldCellMetrics.h"

namespace {

const QString kOneLine = QStringLiteral("短い");
const QString kTwoLines = QStringLiteral("とても長いコメントの文章は二百ピクセルの幅には収まりません");

TEST(TextFieldCells, OneLineTitlesAreMovedDownLongerOnesStayAtTheTop) {
    QFont font = kit::appFont(15);
    qreal line = kit::cellLineHeight(font);
    ASSERT_LT(kit::titleHeight(kOneLine, 13, 200), 30);
    ASSERT_GE(kit::titleHeight(kTwoLines, 13, 200), 30);

    QRectF frame(3, 40, 175, 60);
    QRectF one = OneTextFieldCell::adjustedFrameToVerticallyCenterText(frame, font, kOneLine);
    EXPECT_EQ(one, QRectF(3, std::floor((60 - line) * 0.5 + 5), 175, 60));
    EXPECT_EQ(OneTextFieldCell::adjustedFrameToVerticallyCenterText(frame, font, kTwoLines),
              QRectF(3, 0, 175, 60));
}

TEST(TextFieldCells, TYTextFieldCellInsetsByTheOffsetOrByFive) {
    QFont font = kit::appFont(14);
    qreal line = kit::cellLineHeight(font);
    qreal offset = std::floor((40 - line) * 0.5);
    QRectF frame(0, 100, 75, 40);
    EXPECT_EQ(TYTextFieldCell::adjustedFrameToVerticallyCenterText(frame, font, kOneLine),
              QRectF(0, 100 + offset, 75, 40 - 2 * offset));
    QString longTitle = kTwoLines + kTwoLines + kTwoLines;
    EXPECT_EQ(TYTextFieldCell::adjustedFrameToVerticallyCenterText(frame, font, longTitle),
              QRectF(0, 105, 75, 30));
}

TEST(CenteringClipView, SmallDocumentsAreCentredLargeOnesScrollWithinTheirEdges) {
    struct Case {
        QSizeF visible, document;
        QPointF proposed, expected;
    } cases[] = {
        {{400, 300}, {200, 100}, {50, 50}, {-100, -100}},
        {{400, 300}, {1000, 800}, {-20, 900}, {0, 500}},
        {{400, 300}, {1000, 800}, {123.4f, 77.6f}, {123, 78}},
        {{400, 300}, {1000, 100}, {30, 30}, {30, -100}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CenteringClipView::constrainScrollPoint(c.proposed, c.visible, c.document), c.expected);

    CenteringClipView view(QRect(0, 0, 400, 300), nullptr);
    auto *doc = new QWidget;
    doc->resize(200, 100);
    view.setWidget(doc);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(doc->geometry(), QRect(100, 100, 200, 100));
    EXPECT_EQ(view.horizontalScrollBar()->maximum(), 0);
    doc->resize(1000, 800);
    QCoreApplication::processEvents();
    EXPECT_EQ(view.verticalScrollBar()->maximum(), 800 - view.viewport()->height());
}

}  // namespace
