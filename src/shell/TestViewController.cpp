#include "shell/TestViewController.h"

#include <QFrame>

#include "link/LinkNotifications.h"
#include "link/UsbManager.h"
#include "platform/Numbers.h"
#include "records/UsbUtils.h"
#include "shell/BackNotifications.h"
#include "shell/CircularTimer.h"
#include "shell/OpretionController.h"
#include "shell/ScreenStyle.h"
#include "shell/entry/EntryNotifications.h"
#include "shell/kit/KitFont.h"
#include "shell/kit/KitPictures.h"
#include "shell/kit/TYAlertView.h"
#include "shell/kit/WindowList.h"
#include "ui_TestViewController.h"

namespace {

TestViewController::ResultScreenFactory resultScreenFactory;
TestViewController::ResultWriter csvSaveWriter;
TestViewController::ResultWriter csvBackupWriter;

const QString kWaitingPicture = QStringLiteral("表示_装置状態_待機中");
const QString kPreparingPicture = QStringLiteral("表示_装置状態_準備中");
const QString kNotConnectedPicture = QStringLiteral("表示_装置状態_機器未接続");
const QString kErrorPicture = QStringLiteral("表示_装置状態_エラー");
const QString kMeasuringPicture = QStringLiteral("表示_装置状態_測定中");
const QString kReadyPrompt = QStringLiteral("測定可能です");
const QString kWaitPrompt = QStringLiteral("しばらくお待ちください");
const QString kConnectPrompt = QStringLiteral("機器を接続し、機器の電源をいれてください");

const QColor kGreen = QColor::fromRgbF(0.545f, 0.776f, 0.149f);
const QColor kStepGrey = QColor::fromRgbF(2.0f / 3, 2.0f / 3, 2.0f / 3);
const QColor kStepActive = QColor::fromRgbF(0.404f, 0.875f, 0.341f);
constexpr int kLargeDigits = 88;
constexpr int kCountdownWords = 24;

// States of the instrument (UsbHID::deviceStatus).
enum : qint64 {
    kNotConnected = -1,
    kStartingUp = 0,
    kStandby = 1,
    kMeasuring = 2,
    kTrouble = 3,
    kPowerOff = 4,
    kOther = 5,
    kStandbyAgain = 6,
};

QString secondPassDate() {
    UsbManager &session = UsbManager::sharedUsbManager();
    return session.hasTestInfo() ? session.testInfo().secondTest().tyData() : QString();
}

QString span(const QString &text, const QString &style) {
    return QStringLiteral("<span style=\"%1\">%2</span>").arg(style, text.toHtmlEscaped());
}

bool hasItemPads(const TYEachTest &pass) {
    for (const TYTestData *pad :
         {&pass.msTestData(), &pass.phTestData(), &pass.bfcTestData(), &pass.bldTestData(),
          &pass.leuTestData(), &pass.albTestData(), &pass.nh3TestData()})
        if (pad->tyName().trimmed().isEmpty()) return false;
    return true;
}

}  // namespace

void TestViewController::setResultScreenFactory(ResultScreenFactory factory) {
    resultScreenFactory = std::move(factory);
}

void TestViewController::setCsvSave(ResultWriter writer) {
    csvSaveWriter = std::move(writer);
}

void TestViewController::setCsvBackup(ResultWriter writer) {
    csvBackupWriter = std::move(writer);
}

TYWindowController *TestViewController::makeForOpener(OpretionController &opener) {
    auto *con = new TestViewController;
    con->setRootWindow(opener.mWindow());
    con->setOprationWindow(opener.window());
    con->setOpretionController(&opener);
    return con;
}

void TestViewController::installAsMeasuringWindow() {
    OpretionController::setDefaultMeasuringWindowFactory(&TestViewController::makeForOpener);
}

TestViewController::TestViewController(QObject *parent)
    : TYWindowController(QStringLiteral("TestViewController"), parent), ui_(new Ui::TestViewController) {}

TestViewController::~TestViewController() {
    cvx::NotificationCenter::defaultCenter().removeObserver(statusObserver_);
    // The circle goes with the window, later: its callbacks must not reach this controller.
    if (circularTimer_) {
        circularTimer_->stop();
        circularTimer_->removeCircularTimer();
    }
}

QLabel *TestViewController::userIDLabel() const {
    return ui_->userIDLabel;
}
GifView *TestViewController::gifView() const {
    return ui_->gifView;
}
QLabel *TestViewController::promptLabel() const {
    return ui_->promptLabel;
}
QWidget *TestViewController::circleBgView() const {
    return ui_->circleBgView;
}
QLabel *TestViewController::countdownLabel() const {
    return ui_->countdownLabel;
}
kit::PictureView *TestViewController::progressImageView() const {
    return ui_->progressImageView;
}
QList<QFrame *> TestViewController::stepViews() const {
    return {ui_->stepView2, ui_->stepView3, ui_->stepView4};
}
CustomButton *TestViewController::backButton() const {
    return ui_->backButton;
}
BBTime *TestViewController::time() const {
    return ui_->time;
}

void TestViewController::setupUi(TYWindow *window) {
    ui_->setupUi(window);
    shell::dressScreen(ui_->background, ui_->titleLabel, ui_->time);
    shell::styleLabel(ui_->userIDLabel, 26, true, QStringLiteral("#23313a"));
    shell::styleLabel(ui_->promptLabel, 22, false, QStringLiteral("#23313a"));
    shell::styleLabel(ui_->countdownLabel, kCountdownWords, false, QStringLiteral("#23313a"));
    ui_->countdownLabel->setTextFormat(Qt::RichText);
    ui_->progressImageView->setScaling(kit::ImageScaling::AxesIndependently);
    ui_->circleBgView->setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(ui_->backButton, &CustomButton::clicked, this, [this] { back(); });
}

void TestViewController::windowDidLoad() {
    TYWindowController::windowDidLoad();
    lastDeviceStatus_ = 1;
    radius_ = float((ui_->circleBgView->width() - 80) * 0.5);
    internalRadius_ = radius_ - 20;
    circleStrokeColor_ = QColor::fromRgbF(0.192f, 0.192f, 0.192f);
    activeCircleStrokeColor_ = kGreen;
    initialNum_ = 0;
    finalNum_ = 300;
    createCircle();
    updateStepImageView(1);
    backTestInput_ = 0;

    setProgressPicture(QStringLiteral("Stepback1"));
    ui_->countdownLabel->hide();
    ui_->gifView->setAttribute(Qt::WA_TransparentForMouseEvents);
    setStatePicture(kWaitingPicture, false);
    setPrompt(kReadyPrompt);
    backTestInput_ = 1;
    ui_->userIDLabel->setText(
        QStringLiteral("カルテ番号：%1").arg(UsbManager::sharedUsbManager().currentCustInfo().customerNo()));

    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    center.removeObserver(statusObserver_);
    statusObserver_ =
        center.addObserver(this, usblink::kDeviceStatusChangeNotification,
                           [this](const cvx::Notification &n) { deviceStatusChange(n.object.toLongLong()); });
}

void TestViewController::createCircle() {
    if (circularTimer_) {
        circularTimer_->removeCircularTimer();
        delete circularTimer_;
    }
    circularTimer_ = new CircularTimer(
        QPointF(10, 10), radius_, internalRadius_, circleStrokeColor_, activeCircleStrokeColor_, initialNum_,
        finalNum_, [this] { circleStarted(); }, [this](qint64 n) { circleCounted(n); },
        [this](bool arrived) { circleEnded(arrived); }, ui_->circleBgView);
    circularTimer_->show();
}

void TestViewController::back() {
    backToHome();
}

void TestViewController::change() {
    initialNum_ = 300;
    finalNum_ = 300;
    if (circularTimer_) circularTimer_->finishCircle();
}

void TestViewController::deviceStatusChange(qint64 status) {
    if (status != kMeasuring && lastDeviceStatus_ == kTrouble) {
        backToPre();
        return;
    }
    if (status == kStandbyAgain && lastDeviceStatus_ == kStandby) backToHome();

    lastDeviceStatus_ = status;
    ui_->gifView->setIsGif(false);
    switch (status) {
        case kNotConnected:
            setStatePicture(kNotConnectedPicture, false);
            setPrompt(kConnectPrompt);
            break;
        case kStartingUp:
            setStatePicture(kPreparingPicture, false);
            setPrompt(kWaitPrompt);
            if (backTestInput_ == 2) backTestInput_ = 3;
            break;
        case kStandby:
        case kOther:
            setStatePicture(kWaitingPicture, false);
            setPrompt(kReadyPrompt);
            backTestInput_ = 1;
            break;
        case kMeasuring:
            setStatePicture(kMeasuringPicture + QStringLiteral(".gif"), true);
            setPrompt(QString());
            backTestInput_ = 1;
            startCircularTimer();
            break;
        case kTrouble:
            setStatePicture(kErrorPicture, false);
            setPrompt(QString());
            break;
        case kPowerOff:
            setStatePicture(kNotConnectedPicture, false);
            setPrompt(kConnectPrompt);
            if (backTestInput_ == 1) backTestInput_ = 2;
            break;
        case kStandbyAgain: {
            setStatePicture(kWaitingPicture, false);
            setPrompt(kReadyPrompt);
            const bool restarted = backTestInput_ == 3;
            backTestInput_ = 1;
            if (restarted) backToPre();
            break;
        }
        default:
            setPrompt(QString());
            break;
    }
    ui_->gifView->update();
    if (status != kMeasuring && secondPassDate().isEmpty()) resetCircularTimer();
}

void TestViewController::startCircularTimer() {
    ui_->countdownLabel->show();
    setMenuButtonEnabled(false);
    if (!circularTimer_) return;
    circularTimer_->setup();
    circularTimer_->startRun();
}

void TestViewController::resetCircularTimer() {
    ui_->countdownLabel->hide();
    updateStepImageView(1);
    setProgressPicture(QStringLiteral("Stepback1"));
    if (lastDeviceStatus_ != kTrouble) setMenuButtonEnabled(true);
    if (circularTimer_) circularTimer_->reset();
}

void TestViewController::circleStarted() {
    setProgressPicture(QStringLiteral("Stepback2"));
    updateStepImageView(2);
    setStatePicture(kMeasuringPicture, true);
}

void TestViewController::circleCounted(qint64 n) {
    const qint64 total = finalNum_;
    if (n < 0) return;
    if (n <= 9) {
        showCountdownCurrentTime(10 - n, total - n);
    } else if (n == 10) {
        setProgressPicture(QStringLiteral("Stepback3"));
        updateStepImageView(3);
        showCountdownCurrentTime(30, total - 10);
    } else if (n <= 39) {
        showCountdownCurrentTime(40 - n, total - n);
    } else if (n == 40) {
        setProgressPicture(QStringLiteral("Stepback4"));
        updateStepImageView(4);
        showCountdownCurrentTime(260, total - 40);
    } else {
        showCountdownCurrentTime(total - n, total - n);
    }
    if (n >= 260 && n == total) setProgressPicture(QStringLiteral("Stepback5"));
}

void TestViewController::circleEnded(bool dataArrived) {
    setProgressPicture(QStringLiteral("Stepback5"));
    if (!dataArrived) {
        showErrorAlertView();
        return;
    }
    storeMeasurement();
}

void TestViewController::storeMeasurement() {
    UsbManager &session = UsbManager::sharedUsbManager();
    // An announcement without a whole measurement behind it must not become a result.
    if (!session.hasTestInfo() || !isCompleteMeasurement(session.testInfo())) return showErrorAlertView();
    if (!UsbUtils::saveCustomerComment(session.testInfo(), kMeasuring)) return showErrorAlertView();

    const QString userID = session.testInfo().userID();
    const QString date = session.testInfo().secondTest().tyData();
    const QString time = session.testInfo().secondTest().tyTime();
    const QString chartNo = session.currentCustInfo().customerNo();
    std::optional<cvx::XmlDocument> dataXML = UsbUtils::getCustomerXml(chartNo);
    if (!dataXML) return showErrorAlertView();
    const cvx::XmlElement newest = dataXML->rootElement().elements().value(0);
    if (newest.isNull() || newest.attribute(QStringLiteral("date")) != date ||
        newest.attribute(QStringLiteral("time")) != time)
        return showErrorAlertView();

    const std::int32_t mode = UsbUtils::isHaveMODE();
    if ((mode == 3 || mode == 4 || mode == 5) && csvSaveWriter) csvSaveWriter(userID, 0);
    if (csvBackupWriter) csvBackupWriter(userID, 0);

    if (circularTimer_) circularTimer_->removeCircularTimer();

    if (resultScreenFactory) {
        ResultScreenRequest request{std::move(*dataXML),
                                    QString(),
                                    UsbUtils::getXmlPath(chartNo),
                                    chartNo,
                                    chartNo,
                                    QStringLiteral("%1 %2").arg(date, time)};
        if (TYWindowController *result = resultScreenFactory(std::move(request))) {
            resultTableCon_ = result;
            TYWindow *resultWindow = result->window();
            // Without a root window the result screen would return to nothing.
            resultWindow->setLastWindow(rootWindow_ ? rootWindow_.data() : kit::firstWindow());
            connect(resultWindow, &TYWindow::windowWillClose, result, &QObject::deleteLater);
            result->showWindow();
        }
    }

    window()->setLastWindow(nullptr);
    window()->close();
    session.setCurrentCustInfo(nullptr);
    session.setTestInfo(nullptr);
}

void TestViewController::showErrorAlertView() {
    setMenuButtonEnabled(true);
    setStatePicture(kWaitingPicture, false);
    setPrompt(kReadyPrompt);
    backTestInput_ = 1;
    ui_->gifView->update();
    resetCircularTimer();
    TYAlertView::showErrorAlertView(QStringLiteral("E407"));
}

void TestViewController::backToPre() {
    stopClock();
    window()->close();
}

void TestViewController::backToHome() {
    stopClock();
    window()->setLastWindow(kit::firstWindow());
    rootWindow_ = nullptr;
    window()->close();
    oprationWindow_ = nullptr;
    // The patient-entry window closes too; its closing brings the main menu back.
    if (TYWindowController *entry = opretionController_) {
        opretionController_ = nullptr;
        if (auto *opener = qobject_cast<OpretionController *>(entry))
            opener->backTap();
        else
            entry->window()->close();
    }
}

void TestViewController::windowWillClose() {
    // A countdown left running could still store, open windows or show "E407" over whatever
    // window is in front; a measurement that already arrived stays in the session.
    if (circularTimer_) {
        circularTimer_->stop();
        circularTimer_->removeCircularTimer();
    }
    stopClock();
    // The window lingers with its controller; its state picture must not go on animating.
    ui_->gifView->setIsGif(false);
    ui_->gifView->setImage(ui_->gifView->imagePath());
    cvx::NotificationCenter &center = cvx::NotificationCenter::defaultCenter();
    center.postNotificationName(shell::kBackSetMenuObjectFromOptDetail);
    center.postNotificationName(entry::kBackOprationFromTest);
    TYWindowController::windowWillClose();
    center.removeObserver(statusObserver_);
    statusObserver_ = 0;
}

void TestViewController::updateStepImageView(int step) {
    currentStep_ = step;
    const QList<QFrame *> markers = stepViews();
    for (int i = 0; i < markers.size(); ++i) {
        QFrame *marker = markers[i];
        const QColor colour = step == i + 2 ? kStepActive : kStepGrey;
        marker->setStyleSheet(QStringLiteral("QFrame { background: %1; border: none; border-radius: %2px; }")
                                  .arg(colour.name())
                                  .arg(marker->width() / 2));
    }
}

QString TestViewController::countdownPlainText(qint64 phaseRemaining, qint64 totalRemaining) {
    if (totalRemaining >= 261)
        return QStringLiteral("%1秒\n残り%2秒").arg(phaseRemaining).arg(totalRemaining);
    return QStringLiteral(" \t \n残り%1秒").arg(totalRemaining);
}

QString TestViewController::countdownRichText(qint64 phaseRemaining, qint64 totalRemaining) {
    const QString text = countdownPlainText(phaseRemaining, totalRemaining);
    const QString large = QStringLiteral("font-size: %1px;").arg(kLargeDigits);
    const qsizetype lineBreak = text.indexOf(QLatin1Char('\n'));
    const QString first = text.left(lineBreak);
    const QString second = text.mid(lineBreak + 1);
    const qsizetype ri = second.indexOf(QStringLiteral("り")) + 1;

    const QString firstLine = span(first.chopped(1), large) + first.right(1).toHtmlEscaped();
    const QString secondLine = second.left(ri).toHtmlEscaped() + span(second.mid(ri).chopped(1), large) +
                               second.right(1).toHtmlEscaped();
    return QStringLiteral(
               "<p align=\"right\" style=\"white-space: pre; margin: 0;\">"
               "<span style=\"color: %1;\">%2</span><br/>%3</p>")
        .arg(kGreen.name(), firstLine, secondLine);
}

void TestViewController::showCountdownCurrentTime(qint64 phaseRemaining, qint64 totalRemaining) {
    countdownText_ = countdownPlainText(phaseRemaining, totalRemaining);
    ui_->countdownLabel->setText(countdownRichText(phaseRemaining, totalRemaining));
}

bool TestViewController::isCompleteMeasurement(const TYTestInfo &testInfo) {
    const TYEachTest &first = testInfo.firstTest();
    const TYEachTest &second = testInfo.secondTest();
    return !testInfo.userID().trimmed().isEmpty() && !first.tyData().isEmpty() &&
           !second.tyData().isEmpty() && !second.tyTime().isEmpty() &&
           cvx::integerValue(second.tyCount()) == 1 && hasItemPads(first) && hasItemPads(second);
}

void TestViewController::setStatePicture(const QString &name, bool animated) {
    ui_->gifView->setIsGif(animated);
    ui_->gifView->setImageNamed(name);
    statePictureName_ = name;
}

void TestViewController::setProgressPicture(const QString &name) {
    ui_->progressImageView->setPixmap(kit::picture(name));
    progressPictureName_ = name;
}

void TestViewController::setPrompt(const QString &text) {
    ui_->promptLabel->setText(text);
}

void TestViewController::setMenuButtonEnabled(bool enabled) {
    CustomButton *button = ui_->backButton;
    if (enabled) {
        button->setImageNamed(QStringLiteral("ボタン_メニュー_"));
        button->setAlternateImageNamed(QStringLiteral("ボタン_メニュー_DOWN"));
        button->setHoverImageNamed(QStringLiteral("ボタン_メニュー_ON"));
    } else {
        const QString off = QStringLiteral("ボタン_メニュー_OFF");
        button->setImageNamed(off);
        button->setAlternateImageNamed(off);
        button->setHoverImageNamed(off);
    }
    button->setEnabled(enabled);
}

void TestViewController::stopClock() {
    ui_->time->zstop();
}
