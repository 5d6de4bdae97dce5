#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

#include "datamanage/DataJobs.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class QCheckBox;
class QLabel;
class QLineEdit;
namespace kit {
class PictureView;
}
namespace Ui {
class ManagerMainController;
}

// The data-management window: four mode buttons pick a job (1 import of an exported data
// folder, 2 export of the data folder, 3 import of patient information, 4 the result list), the
// chooser picks its folder or file, OK starts it on a worker thread and Cancel stops it. The
// outcome comes back on the main thread as a message picture in the result panel.
//
// One job at a time: while a job runs (a cancelled one too, until it has stopped) the mode
// buttons and Back are disabled, and each job has a cancel flag of its own, so a new job can
// never clear the cancel of one still winding down.
//
// Opened by the main menu; closing posts "BackMainMenuObject" and brings lastWindow back.
class ManagerMainController : public TYWindowController {
    Q_OBJECT
public:
    // What the chooser is asked for.
    enum class ChooserKind {
        Folder,             // a folder, new folders allowed
        FolderNoNewFolder,  // the data-link input folder
        CsvFile,            // a patient list (.csv)
    };
    // Returns the chosen path, or a null QString when the user cancelled.
    using Chooser = std::function<QString(ChooserKind kind, QWidget *parent)>;

    explicit ManagerMainController(QObject *parent = nullptr);
    ~ManagerMainController() override;

    // Replaces the file dialog (tests).
    void setChooser(Chooser chooser) { chooser_ = std::move(chooser); }

    // Actions of the window.
    void inputTap();     // job 1
    void outputTap();    // job 2
    void userInfoTap();  // job 3
    void tableTap();     // job 4
    void inputFileTap();
    void okTap();
    void cancelTap();
    void sureTap();
    void backTap();

    // State, as the window shows it.
    int sign() const { return sign_; }
    std::int32_t signResult() const { return signResult_; }
    std::int32_t isSucc() const { return isSucc_; }
    std::int32_t isSucc4() const { return isSucc4_; }
    QString zfilePath() const { return zfilePath_; }
    QString alertStr() const { return alertStr_; }
    QStringList fileList() const { return fileList_; }
    // A job dispatched whose completion has not come back yet.
    bool isRunning() const { return running_ != nullptr; }
    // The picture names in inputImg and signImg, and the last alert shown.
    QString inputPicture() const { return inputPicture_; }
    QString signPicture() const { return signPicture_; }
    QString lastAlert() const { return lastAlert_; }

    // Controls of the window; null until window() made it.
    BBTime *zbbtime() const;
    CustomButton *backButton() const;
    CustomButton *inputButton() const;
    CustomButton *outputButton() const;
    CustomButton *userInfoButton() const;
    CustomButton *tableButton() const;
    CustomButton *inputFileButton() const;
    CustomButton *okButton() const;
    CustomButton *cancelButton() const;
    CustomButton *sureButton() const;
    QLineEdit *filePathLab() const;
    QLabel *tiSLab() const;
    QCheckBox *checkBoxBtn() const;
    kit::PictureView *backImg() const;
    kit::PictureView *sureImg() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Refused while a job runs: like Back, the window manager's close must not drop the job.
    bool windowShouldClose() override { return !running_; }
    // Stops the clock, posts "BackMainMenuObject" and brings the last window back.
    void windowWillClose() override;

private:
    struct Mode;
    void chooseMode(const Mode &mode);
    void initBase();
    void setModePanelVisible(bool visible);
    void setResultPanelVisible(bool visible);
    void setOkPictures(const QString &stem);
    void setOkOff();
    // OK and the chooser disabled, the progress text shown; a fresh cancel flag for the job.
    std::shared_ptr<DataJobs::CancelFlag> enterRunningState(const QString &progress);
    // The job's completion has come back: the window takes other jobs again.
    void jobEnded();
    void setJobControlsEnabled(bool enabled);
    void showOutcome(const QString &picture);
    // Progress text hidden, then the success or the failure picture by the job's code.
    void showJobOutcome(std::int32_t code, const QString &success, const QString &failure);
    void showAlert(const QString &code);
    void noPathOutcome();
    void startDataLinkImport(const QString &folder);
    QString choose(ChooserKind kind);

    std::unique_ptr<Ui::ManagerMainController> ui_;
    Chooser chooser_;

    int sign_ = 0;
    std::int32_t signResult_ = 0;
    std::int32_t isSucc_ = 0;
    std::int32_t isSucc2_ = 0;
    std::int32_t isSucc4_ = 0;
    QString zfilePath_;
    QString alertStr_;
    QStringList fileList_;
    QString inputPicture_, signPicture_, lastAlert_;
    bool linkMode_ = false;
    // Whether the result list's rows of the last run are still held (ResultListFile::writeList).
    bool listHoldsRows_ = false;
    // The running job's cancel flag; null while no job runs. Cancel sets it.
    std::shared_ptr<DataJobs::CancelFlag> running_;
};
