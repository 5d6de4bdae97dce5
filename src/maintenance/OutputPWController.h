#pragma once

#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

#include "maintenance/DataLinkFolders.h"
#include "maintenance/FirmwareFiles.h"
#include "maintenance/SendDataCsv.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class QLabel;
class QLineEdit;
class RomWriter;
namespace kit {
class PictureView;
}
namespace Ui {
class OutputPWController;
}

// The maintenance screen: behind an access code typed on the screen it writes the send-data
// CSV of every stored result ("QK-73") or new firmware into the instrument ("48213"); in a
// data-link mode it also sets the data-link INPUT and OUTPUT folders.
//
// Made without asking for its window it only reads the firmware the application carries (at
// launch and for the automatic update): fileExitChk_USB() and getDataRomInf() need no window,
// and none is made until window() is called.
//
// Opened by the settings menu: `con = new OutputPWController; con->setLastWindow(menuWindow);`
// then, as for every work window, `con->window()->setLastWindow(mainWindow); con->showWindow();`.
// While its window is loaded the instrument link ignores newly attached instruments until the
// ROM code has been accepted; closing the window gives the link back (mode 0, reports parsed).
class OutputPWController : public TYWindowController {
    Q_OBJECT
public:
    static inline const QString kRomAccessCode = QStringLiteral("48213");
    static inline const QString kSendDataAccessCode = QStringLiteral("QK-73");

    explicit OutputPWController(QObject *parent = nullptr);
    ~OutputPWController() override;

    // ---- Carried firmware (no window needed)

    // Checks the firmware files and takes the description in. On a fault resets the writer,
    // shows "T501", "T502" or "T503" and answers false.
    bool fileExitChk_USB();
    // Reads the ROM data files for their sums and stores the versions of files 0 and 1 as
    // the shared UsbManager's pcMainVersion and pcDispVersion. On a fault (a file damaged
    // since the check) resets the writer, shows "T503", leaves the versions and answers false.
    bool getDataRomInf();

    // The writer's reset; with a window also the action of the write's final OK.
    void burnRomOkButtonClicked();

    FirmwareFiles &firmwareFiles() { return files_; }
    const FirmwareFiles &firmwareFiles() const { return files_; }

    // Shows a message picture by its code. Installed by the window kit
    // (TYAlertView::showErrorAlertView); until then the code is only logged. An empty
    // function restores that.
    using ErrorAlertPresenter = std::function<void(const QString &code)>;
    static void setErrorAlertPresenter(ErrorAlertPresenter presenter);
    static void showErrorAlertView(const QString &code);

    // Has UsbUtils::parseFileVersion() read the carried versions through a windowless
    // controller. Called once by the start-up before parseFileVersion().
    static void installFirmwareVersionReader();

    // ---- The screen

    // The file dialogs, replaceable for tests. The save panel gets the proposed file name and
    // answers the chosen file's full path; the folder panel answers a folder's path. A null
    // text means the user cancelled. An empty function restores the system dialog.
    using SavePanel = std::function<QString(QWidget *parent, const QString &proposedName)>;
    using FolderPanel = std::function<QString(QWidget *parent)>;
    static void setSavePanel(SavePanel panel);
    static void setFolderPanel(FolderPanel panel);

    // The settings menu's window, which rightBacTap() returns to.
    TYWindow *lastWindow() const { return lastWindow_; }
    void setLastWindow(TYWindow *window) { lastWindow_ = window; }

    // Function buttons: open the code entry for the send-data CSV or the ROM update.
    void sendMessTap();
    void instrucmenTap();
    // OK and Cancel of the code entry; OK's effect follows isUpgrade() and isCou().
    void OKOutputTap();
    void CancelOutputTap();
    // Back to the settings menu, back to the main menu.
    void rightBacTap();
    void backTap();
    // End of the ten-second wait for the instrument.
    void showAlert();

    // The data-link folder panel.
    void userTap();
    void csvTap();
    void choosePath();
    void csvOk();
    void csvCancel();
    void csvClear();
    void csvSure();
    void showCsvView();
    void hideCsvView();

    // True while the code entry serves the ROM update.
    bool isUpgrade() const { return isUpgrade_; }
    // 1 entry, 2 code accepted, 3 a result shown; 0 before the window has loaded.
    std::int32_t isCou() const;
    bool isCancel() const { return isCancel_; }
    // 200 after a send-data CSV was written.
    std::int32_t isSucc2() const { return isSucc2_; }
    // The screen's engine; null until the window has loaded and after it closed.
    RomWriter *romWriter() const { return romWriter_; }
    SendDataCsv &sendDataWriter() { return writer_; }

    // Controls; null until window() made them.
    BBTime *timez() const;
    QLabel *versionLabel() const;
    CustomButton *msgBtn() const;
    CustomButton *sysBtn() const;
    CustomButton *userBtn() const;
    CustomButton *csvBtn() const;
    kit::PictureView *backImg() const;
    kit::PictureView *messImg() const;
    QLabel *messLab() const;
    QLineEdit *messTxtFid() const;
    CustomButton *OKBtn() const;
    CustomButton *cancelBtn() const;
    kit::PictureView *signImg() const;
    QLabel *signLab() const;
    QLabel *noteLab() const;
    QLabel *confirmConnectLabel() const;
    kit::PictureView *leftImageView() const;
    CustomButton *burnRomOkButton() const;
    CustomButton *rightBacButton() const;
    CustomButton *backButton() const;
    QWidget *csvShowView() const;
    kit::PictureView *bgShowImg() const;
    QLineEdit *pathTextField() const;
    CustomButton *pathBtn() const;
    CustomButton *csvOkBtn() const;
    CustomButton *csvCancelBtn() const;
    CustomButton *clearBtn() const;
    kit::PictureView *csvShowResultImg() const;
    QLabel *msgLabel() const;
    CustomButton *csvSureBtn() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Gives the link back, posts "BackMainMenuObjectFromSet" and
    // "BackSetMenuObjectFromPutPutPW" and brings the last window back.
    void windowWillClose() override;

private:
    bool fail(FirmwareFiles::Fault fault);
    void initDataz();
    void setIsCou(std::int32_t value);
    void setOkEnabled(bool enabled);
    void hideScreenWidgets();
    void setConnectLabel(const QString &text);
    void startSendData();
    void sendDataFinished(const SendDataCsv::Report &report);
    void showSendDataResult(const QString &picture);
    void showCsvResult(const DataLinkFolders::Result &result);
    void closeWindow();

    FirmwareFiles files_;

    std::unique_ptr<Ui::OutputPWController> ui_;
    QPointer<TYWindow> lastWindow_;
    RomWriter *romWriter_ = nullptr;
    SendDataCsv writer_;
    DataLinkFolders folders_;
    bool isUpgrade_ = false;
    bool isCancel_ = false;
    std::int32_t isSucc2_ = 0;
};
