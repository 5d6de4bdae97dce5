#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <optional>

#include "platform/XmlDocument.h"
#include "shell/kit/TYWindowController.h"

class BBTime;
class CustomButton;
class QLabel;
namespace Ui {
class ResultTableController;
}

// The result screen of one patient's measurement. The opener sets the patient's file and the
// measurement to show, sets the window's lastWindow and shows it. For now the screen shows the
// patient and the measured values with their levels; the choice of comments and the sheet join
// it later.
class ResultTableController : public TYWindowController {
    Q_OBJECT
public:
    explicit ResultTableController(QObject *parent = nullptr);
    ~ResultTableController() override;

    // The patient's file, parsed (UsbUtils::getCustomerXml).
    const std::optional<cvx::XmlDocument> &dataXML() const { return dataXML_; }
    void setDataXML(std::optional<cvx::XmlDocument> document);
    // Path of a file other than the patient's own; null when the patient's file is shown.
    QString xmlPath() const { return xmlPath_; }
    void setXmlPath(const QString &path) { xmlPath_ = path; }
    // Path of the patient's file (UsbUtils::getXmlPath).
    QString savePath() const { return savePath_; }
    void setSavePath(const QString &path) { savePath_ = path; }
    // The chart number, in both forms the screen keeps it.
    QString noString() const { return noString_; }
    void setNoString(const QString &chartNo);
    QString noStr() const { return noStr_; }
    void setNoStr(const QString &chartNo);
    // Date and time of the measurement to show, as stored, joined by one blank.
    QString dateStr() const { return dateStr_; }
    void setDateStr(const QString &dateTime);
    // Which measurement of the file to show when dateStr is empty; 0 is the newest.
    qint64 selectRow() const { return selectRow_; }
    void setSelectRow(qint64 row);

    // The result element shown: the one whose "date time" equals dateStr or, without dateStr,
    // the selectRow-th (newest first); null when the file has no such measurement.
    cvx::XmlElement shownResult() const;

    BBTime *zbbtime() const;
    CustomButton *backButton() const;
    QLabel *chartValue() const;
    QLabel *nameValue() const;
    QLabel *dateValue() const;
    // The item rows as shown: item, value, level (six without BLD in the six-item mode); and
    // the text shown in their place when there is no measurement.
    QList<QStringList> itemRows() const;
    QString emptyText() const;

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;
    // Stops the clock, posts "BackMainMenuObjectFromResult" and brings lastWindow back.
    void windowWillClose() override;

private:
    void reloadData();

    std::unique_ptr<Ui::ResultTableController> ui_;
    QList<QList<QLabel *>> rowLabels_;
    QLabel *emptyLabel_ = nullptr;
    bool sixItems_ = false;

    std::optional<cvx::XmlDocument> dataXML_;
    QString xmlPath_;
    QString savePath_;
    QString noString_;
    QString noStr_;
    QString dateStr_;
    qint64 selectRow_ = 0;
};
