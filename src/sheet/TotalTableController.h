#pragma once

#include <QPointer>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <memory>

#include "sheet/SheetPage.h"
#include "shell/kit/TYWindowController.h"

class CustomButton;
class IDTextField;
class QFrame;
class QLineEdit;
class QPrinter;
namespace Ui {
class TotalTableController;
}
namespace kit {
class PictureView;
}

// Shows a sheet page scaled into its whole area.
class SheetPageView : public QWidget {
    Q_OBJECT
public:
    explicit SheetPageView(QWidget *parent = nullptr) : QWidget(parent) {}
    void setPage(const SheetPage *page) {
        page_ = page;
        update();
    }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    const SheetPage *page_ = nullptr;
};

// The zoomed preview: the wheel enlarges and shrinks the sheet, scrollers and dragging move it.
class PrintScrollView : public QScrollArea {
    Q_OBJECT
public:
    explicit PrintScrollView(QWidget *parent = nullptr);
    // Sizes the document and starts zooming from there.
    void setDocumentSize(const QSizeF &size);

protected:
    void wheelEvent(QWheelEvent *event) override;

private:
    QSizeF documentSize_;  // unrounded, so that repeated steps do not drift
};

// The result sheet's window: a preview of the page in the chosen layout, printing, the sheet
// CSV in the data-link modes and the correction of the patient's chart number and name.
// Opened by the result screen; leaving by the back button posts "BackBeforeFromTotal" with
// the (possibly corrected) chart number under "nos", any other close "BackMainMenuFromTotal".
class TotalTableController : public TYWindowController {
    Q_OBJECT
public:
    // Asks the user for (or sets up) the printer; false when printing is cancelled. The
    // default shows the print dialog over the sheet window.
    using PrinterSetup = std::function<bool(QPrinter &printer, QWidget *parent)>;
    static void setPrinterSetup(PrinterSetup setup);

    explicit TotalTableController(SheetInput input, QObject *parent = nullptr);
    ~TotalTableController() override;

    const SheetPage *page() const { return page_.get(); }
    int isSix() const { return isSix_; }
    QString noString() const { return page_ ? page_->noString() : input_.noString; }
    int isBacTap() const { return isBacTap_; }
    bool isZoomed() const;
    QSize zoomedSheetSize() const;
    // The CSV panel is shown (its picture in csvShowImg()).
    bool isCsvShown() const;
    kit::PictureView *csvShowImg() const { return csvShowImg_; }
    QWidget *previewView() const { return img1_; }
    QWidget *zoomView() const { return scr_; }
    // Controls of the window (loading it first).
    CustomButton *saveBtn();
    IDTextField *modNoLAB();
    QLineEdit *modFirLAB();
    QLineEdit *modNameLAB();

    // ---- Actions ------------------------------------------------------------------------
    void prints();
    void forBig();
    void minTap();
    void saveCsv();
    // Shows the CSV panel with "csv_save_success" or "W312"; csvOk() hides it.
    void showCsvViewIsSuccess(bool success);
    void csvOk();
    void bacTap();
    void cencalTap();
    void modifyButtonClicked();
    void cancelModify();
    void confirmModify();
    // 1 when the number is the sheet's own or no patient file bears it, 2 when one does
    // (letter case ignored).
    int isRepead(const QString &chartNo) const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    void windowWillClose() override;

private:
    void controlTextDidChange(QLineEdit *field);
    void refreshPreview();

    std::unique_ptr<Ui::TotalTableController> ui_;
    SheetInput input_;
    int isSix_ = 0;
    int isBacTap_ = 0;
    std::unique_ptr<SheetPage> page_;
    SheetPageView *img1_ = nullptr;
    CustomButton *btnForBig_ = nullptr;
    QFrame *csvShowView_ = nullptr;
    kit::PictureView *csvShowImg_ = nullptr;
    PrintScrollView *scr_ = nullptr;
    SheetPageView *bigImg_ = nullptr;
};
