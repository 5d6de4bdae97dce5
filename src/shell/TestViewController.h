#pragma once

#include <QColor>
#include <QPointer>
#include <QString>

#include <functional>
#include <memory>

#include "platform/NotificationCenter.h"
#include "platform/XmlDocument.h"
#include "shell/CircularTimer.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class GifView;
class OpretionController;
class QFrame;
class QLabel;
class TYTestInfo;
namespace kit {
class PictureView;
}
namespace Ui {
class TestViewController;
}

// What the measuring window hands the result screen once a measurement is stored.
struct ResultScreenRequest {
    cvx::XmlDocument dataXML;  // the patient's file as just written (UsbUtils::getCustomerXml)
    QString xmlPath;           // null: the patient's own file is shown
    QString savePath;          // UsbUtils::getXmlPath of the chart number
    QString noString;          // the chart number
    QString noStr;             // the chart number
    QString dateStr;           // "<date> <time>" of the new result, as stored
};

// The measuring window: follows the instrument's state while one patient is measured, counts
// the 300 seconds of a measurement in three phases (10, 30 and 260 s) on the countdown
// circle, stores the measurement when the instrument's data arrived and opens the result
// screen on it, or shows "E407" when no complete measurement came.
//
// The patient-entry window makes it, sets rootWindow, oprationWindow, opretionController and
// the window's lastWindow, and shows it. Main thread only.
class TestViewController : public TYWindowController {
    Q_OBJECT
public:
    // Makes the result screen's controller with the request's values set; the measuring window
    // sets its lastWindow, shows it and lets it go (deleteLater) once its window has closed.
    // Return a controller without parent, or null to open nothing.
    using ResultScreenFactory = std::function<TYWindowController *(ResultScreenRequest request)>;
    // The result CSV (data-link modes) and the text backup of a patient's measurement
    // (selectRow 0: the newest); they live above the shell.
    using ResultWriter = std::function<void(const QString &chartNo, qint64 selectRow)>;

    // Installed by the application. Unset: no result screen, no CSV, no backup.
    static void setResultScreenFactory(ResultScreenFactory factory);
    static void setCsvSave(ResultWriter writer);
    static void setCsvBackup(ResultWriter writer);

    // The patient-entry window's factory of measuring windows: a new measuring window linked to
    // its opener (rootWindow = the opener's mWindow, oprationWindow and opretionController =
    // the opener).
    static TYWindowController *makeForOpener(OpretionController &opener);
    // Makes every patient-entry window made from now on open this measuring window.
    static void installAsMeasuringWindow();

    explicit TestViewController(QObject *parent = nullptr);
    ~TestViewController() override;

    // The window the result screen returns to; without one, the application's first window.
    TYWindow *rootWindow() const { return rootWindow_; }
    void setRootWindow(TYWindow *window) { rootWindow_ = window; }
    // The patient-entry window and its controller (an OpretionController gets backTap() on the
    // way back to the main menu; any other controller has its window closed).
    TYWindow *oprationWindow() const { return oprationWindow_; }
    void setOprationWindow(TYWindow *window) { oprationWindow_ = window; }
    TYWindowController *opretionController() const { return opretionController_; }
    void setOpretionController(TYWindowController *controller) { opretionController_ = controller; }

    // Menu button: back to the main menu.
    void back();
    // Ends the countdown at once, as if the time had run out.
    void change();
    // An instrument state (UsbHID::deviceStatus numbers): picture, prompt, countdown, and the
    // returns to patient entry or main menu.
    void deviceStatusChange(qint64 status);

    // The circle's parameters, set when the window loads.
    float radius() const { return radius_; }
    float internalRadius() const { return internalRadius_; }
    QColor circleStrokeColor() const { return circleStrokeColor_; }
    QColor activeCircleStrokeColor() const { return activeCircleStrokeColor_; }
    qint64 initialNum() const { return initialNum_; }
    qint64 finalNum() const { return finalNum_; }
    CircularTimer *circularTimer() const { return circularTimer_; }
    qint64 lastDeviceStatus() const { return lastDeviceStatus_; }
    // Restart tracker: 1 normally, 2 after power off, 3 after starting up again.
    int backTestInput() const { return backTestInput_; }
    TYWindowController *resultTableCon() const { return resultTableCon_; }

    // The window's controls (made with the window).
    QLabel *userIDLabel() const;
    GifView *gifView() const;
    QLabel *promptLabel() const;
    QWidget *circleBgView() const;
    QLabel *countdownLabel() const;
    kit::PictureView *progressImageView() const;
    QList<QFrame *> stepViews() const;  // stepView2, stepView3, stepView4
    CustomButton *backButton() const;
    BBTime *time() const;
    // What the window shows, by picture name and plain text.
    QString statePictureName() const { return statePictureName_; }
    QString progressPictureName() const { return progressPictureName_; }
    // 1 to 4; 1 leaves every step marker grey.
    int currentStep() const { return currentStep_; }
    QString countdownText() const { return countdownText_; }

    // "%ld秒\n残り%ld秒" (phase remaining p, total remaining t) while more than 260 seconds
    // remain, else " \t \n残り%ld秒".
    static QString countdownPlainText(qint64 phaseRemaining, qint64 totalRemaining);
    // The same laid out: right-aligned, the first line green, the numbers large.
    static QString countdownRichText(qint64 phaseRemaining, qint64 totalRemaining);
    // The measurement holds both passes, its chart number, the second pass's date and time,
    // and the seven item pads of each pass.
    static bool isCompleteMeasurement(const TYTestInfo &testInfo);

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Posts "BackSetMenuObjectFromOptDetail" and "BackOprationFromTest", brings lastWindow to
    // the front and stops following the instrument; the countdown, the clock and the state
    // picture's animation stop for good.
    void windowWillClose() override;

private:
    void createCircle();
    void startCircularTimer();
    void resetCircularTimer();
    void updateStepImageView(int step);
    void showCountdownCurrentTime(qint64 phaseRemaining, qint64 totalRemaining);
    void showErrorAlertView();
    void backToPre();
    void backToHome();
    void circleStarted();
    void circleCounted(qint64 count);
    void circleEnded(bool dataArrived);
    void storeMeasurement();

    void setStatePicture(const QString &name, bool animated);
    void setProgressPicture(const QString &name);
    void setPrompt(const QString &text);
    void setMenuButtonEnabled(bool enabled);
    void stopClock();

    std::unique_ptr<Ui::TestViewController> ui_;
    float radius_ = 0;
    float internalRadius_ = 0;
    QColor circleStrokeColor_;
    QColor activeCircleStrokeColor_;
    qint64 initialNum_ = 0;
    qint64 finalNum_ = 300;
    QPointer<CircularTimer> circularTimer_;
    qint64 lastDeviceStatus_ = 1;
    int backTestInput_ = 0;
    QPointer<TYWindowController> resultTableCon_;
    QPointer<TYWindow> rootWindow_;
    QPointer<TYWindow> oprationWindow_;
    QPointer<TYWindowController> opretionController_;

    QString statePictureName_;
    QString progressPictureName_;
    int currentStep_ = 1;
    QString countdownText_;
    cvx::NotificationCenter::ObserverId statusObserver_ = 0;
};
