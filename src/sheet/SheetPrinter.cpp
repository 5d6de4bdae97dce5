#include "sheet/SheetPrinter.h"

#include <QPageLayout>
#include <QPainter>
#include <QPrinter>

#include "records/NSStringExt.h"
#include "records/UsbUtils.h"
#include "sheet/SheetPage.h"

QSizeF SheetPrinter::printSize(const QSizeF &paperPoints) {
    QSizeF size = paperPoints;
    if (size.width() > 595 || size.height() > 842) size = QSizeF(595, 842);
    size *= 0.9;
    // A portrait page on paper lying across (where the printer keeps it so) is made smaller
    // rather than printed off the paper.
    if (size.width() > paperPoints.width() || size.height() > paperPoints.height())
        size.scale(paperPoints * 0.9, Qt::KeepAspectRatio);
    return size;
}

QRectF SheetPrinter::printRect(const QSizeF &paperPoints) {
    const QSizeF size = printSize(paperPoints);
    return QRectF(
        QPointF((paperPoints.width() - size.width()) / 2, (paperPoints.height() - size.height()) / 2), size);
}

SheetPrinter::Outcome SheetPrinter::print(const SheetPage &page, QPrinter &printer) {
    // A page whose measurement is gone would print an empty sheet and mark nothing.
    if (!page.hasResult()) return Outcome::NoResult;
    // The sheet is a portrait page, whatever the printer or its dialog was set to.
    printer.setPageOrientation(QPageLayout::Portrait);
    // A paper defined wider than high (a custom size) stands upright only when turned.
    if (const QSizeF defined = printer.pageLayout().fullRect().size(); defined.width() > defined.height())
        printer.setPageOrientation(QPageLayout::Landscape);
    printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    printer.setFullPage(true);
    const QSizeF paper = printer.pageLayout().fullRect(QPageLayout::Point).size();
    QPainter painter;
    if (!painter.begin(&printer)) return Outcome::NoPrinter;
    // The page is laid out in points; the printer's device counts its own dots.
    const qreal dots = printer.resolution() / 72.0;
    painter.scale(dots, dots);
    page.paint(painter, printRect(paper));
    if (!painter.end() || printer.printerState() == QPrinter::Error ||
        printer.printerState() == QPrinter::Aborted)
        return Outcome::Failed;

    const QStringList stamp = NSStringExt::trim(page.dateStr()).split(QLatin1Char(' '));
    if (stamp.size() != 2) return Outcome::NotMarked;
    return UsbUtils::savePrintInfo(page.noString(), stamp[0], stamp[1]) ? Outcome::Printed
                                                                        : Outcome::NotMarked;
}

QString SheetPrinter::pictureName(Outcome outcome) {
    switch (outcome) {
        case Outcome::Printed:
            return QString("");
        case Outcome::NotMarked:
            return QStringLiteral("E403");
        case Outcome::NoPrinter:
            return QStringLiteral("print_no_printer");
        case Outcome::Failed:
            return QStringLiteral("print_failed");
        case Outcome::NoResult:
            return QStringLiteral("print_no_result");
    }
    return QString("");
}
