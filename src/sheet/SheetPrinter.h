#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

class QPrinter;
class SheetPage;

// Prints the sheet page as one picture on one sheet of paper, then marks the measurement as
// printed in the patient file. Main thread.
class SheetPrinter {
public:
    SheetPrinter() = delete;

    enum class Outcome {
        Printed,    // on paper (or in the PDF) and marked printed
        NotMarked,  // printed, but the patient file could not be marked
        NoPrinter,  // the printer could not be opened (none installed, a bad PDF path)
        Failed,     // printing began but did not finish
        NoResult,   // the page shows no stored measurement: nothing printed
    };

    // The area the page is printed in: 0.9 of the paper, which is taken as at most 595 by 842,
    // made smaller to lie on paper wider than high.
    static QSizeF printSize(const QSizeF &paperPoints);
    // That area centred on the paper, as a desktop program's print settings place a picture.
    static QRectF printRect(const QSizeF &paperPoints);
    // Turns the printer's page upright (portrait, or landscape for a paper defined wider than
    // high), sets every margin to 0 and paints the page into
    // the print rect. Only a finished print marks the measurement (the date and time of the
    // page's stored measurement under its chart number).
    static Outcome print(const SheetPage &page, QPrinter &printer);
    // The message picture for a failed outcome; "" for Printed.
    static QString pictureName(Outcome outcome);
};
