#pragma once

#include <QList>
#include <QMap>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

#include "charts/BBBigNetView.h"
#include "charts/BBDEColumnView.h"
#include "charts/BBNMNetView.h"
#include "records/OCMCustomerComment.h"
#include "sheet/BBGetNewModel.h"

class QPainter;

// One text as the page drew it, in the page's layout coordinates.
struct SheetDrawnText {
    QString label;  // outlet name; "QR" for the code, which has no text
    QString text;
    QRectF box;     // the area the layout gives it
    QRectF bounds;  // where its lines stand
    int pixelSize = 0, layoutSize = 0, lines = 0;
    qreal lineHeight = 0;  // from one line's top to the next's
};

// What the result screen hands the sheet about the shown measurement.
struct SheetInput {
    int isNO = 1;         // layout 1 A, 2 B, 3 C
    QStringList digiAry;  // the seven chart positions, item order
    OCMCustomerComment zdata;
    QString dateStr;  // "yyyy-MM-dd HH:mm"
    QString strDU;    // whole degrees
    QStringList aryDU;
    QStringList DUDU;  // "<dateT>|<degrees>" per history row
    int isDraw2 = 0;   // 1: layout A draws coNCus as a second polygon
    std::optional<OCMCustomerComment> coNCus, C22, C23, t1, t2;
    qint64 selectRow = 0;
    QString noString;
};

// One printable page of the result sheet in layout A, B or C, without widgets: the charts,
// header labels, item tables, comments and QR code, painted into any painter (screen, image,
// PDF, printer). Build it, then paint(); setNoString() and initTabView() follow a correction.
// Main thread.
class SheetPage {
public:
    // The page in points as the previews take it; printing scales it to the paper.
    static QSizeF pageSize() { return QSizeF(671, 949); }
    // 6 unless "/DATA/DeleteBLD" of the data folder's "ModeSetting.xml" holds "0".
    static int readIsSix();
    // Whole degrees of a temperature text (up to its first "."; "" is 0) are 19 or less.
    static bool isLowTemperature(const QString &text);
    // Field 4 of a raw record line, "℃" dropped, up to the first blank and then the first ".".
    static QString wholeDegrees(const QString &rsvData);

    // Lays the page out (initBase, the QR text and initTabView) for isSix from readIsSix().
    explicit SheetPage(SheetInput input, int isSix = readIsSix());

    const SheetInput &input() const { return input_; }
    int isSix() const { return isSix_; }
    int isNO() const { return input_.isNO; }
    QString noString() const { return input_.noString; }
    void setNoString(const QString &chartNo) { input_.noString = chartNo; }
    QString dateStr() const { return input_.dateStr; }
    const BBGetNewModel &datas() const { return datas_; }
    BBGetNewModel &datas() { return datas_; }
    // The QR text; empty when the measurement could not be read.
    QString endStr() const { return endStr_; }
    // Whether the shown measurement was found in the patient file.
    bool hasResult() const { return datas_.hasTabData(); }

    // A label's text by its outlet name ("zfirstLab", "AorBorCLab", ...), "" when unset, and
    // the position from which it is drawn blue (-1: plain).
    QString text(const QString &label) const { return labels_.value(label); }
    int blueFrom(const QString &label) const { return blueFrom_.value(label, -1); }

    // Rereads the measurement and rewrites the header and the QR text (after a correction of
    // name or number).
    void initTabView();
    // Paints the whole page scaled into target (aspect kept, top-left aligned); `drawn` gets the
    // texts and the code as drawn.
    void paint(QPainter &painter, const QRectF &target, QList<SheetDrawnText> *drawn = nullptr) const;
    // The grid the page is laid out on, of the page's proportions.
    static QSizeF layoutSize() { return QSizeF(732, 1035); }

    // Level-word colour of an item (nameStr "緩衝能" reverses it), as "#rrggbb".
    static QString levelColor(const QString &nameStr, const QString &word);
    // The reference averages in item order.
    static QStringList averages();

private:
    void initBase();
    void typeA();
    void typeB();
    void typeC();
    void typeCTabView();
    void setCol(const OCMCustomerComment &result, int cou);
    void setLabel(const QString &label, const QString &text, int blueFrom = -1);
    void paintHeader(QPainter &p) const;
    // Each returns where the next part of the page begins.
    qreal paintCharts(QPainter &p) const;
    qreal paintTables(QPainter &p, qreal top) const;
    void paintFooter(QPainter &p, qreal top) const;
    // Draws a label whole inside rect, made smaller where it does not fit at `size`
    // (FittedText), in at most maxLines lines (0: as many as rect holds).
    void drawLabel(QPainter &p, const QString &label, const QRectF &rect, int size, bool bold = false,
                   int flags = 0, const QString &color = QString(), int maxLines = 0) const;
    // The same for a text of its own, recorded under `label`.
    void drawFitted(QPainter &p, const QString &label, const QString &body, const QRectF &rect, int size,
                    bool bold = false, int flags = 0, const QString &color = QString(),
                    int maxLines = 0) const;
    void paintQr(QPainter &p, const QRectF &rect) const;

    SheetInput input_;
    int isSix_ = 0;
    QString YStr_;
    QStringList aryAvy_;
    BBGetNewModel datas_;
    QString endStr_;
    QMap<QString, QString> labels_;
    QMap<QString, int> blueFrom_;
    QMap<QString, qreal> maxLineHeight_;  // of a label whose lines stand closer than the font's own
    BBBigNetView bigNet_, bigNet2_, bigNetView2_;
    std::array<BBNMNetView, 3> litNet_;
    std::array<BBDEColumnView, 7> COC_;  // COC1..COC7
    QStringList tempT_;
    mutable QList<SheetDrawnText> *drawn_ = nullptr;  // set while paint() records
};
