#pragma once

#include <QMap>
#include <QStringList>

#include <array>
#include <memory>

#include "settings/ResultInitOne.h"
#include "settings/SettingsEditorController.h"

class BBView;
class CustomButton;
class EditorListView;
class QLabel;
class QPushButton;
namespace Ui {
class ResultSetController;
}

// The stock-comment editor: one item at a time (seven item buttons), its three level lists
// in three tables, each row a tick, a comment of up to 65 characters and a delete button.
// Ticks reach "zsignData" and "zcontent" at once (no way out undoes them); the texts are
// written to "Comment.xml" only by OK, and only the lists that changed.
class ResultSetController : public SettingsEditorController {
    Q_OBJECT
public:
    static constexpr int kTextLimit = 65;

    explicit ResultSetController(QObject *parent = nullptr);
    ~ResultSetController() override;

    // The item shown, 1 MS .. 7 NH3.
    int isOne() const { return isOne_; }
    // True when BLD's button is hidden.
    bool isSixItems() const { return sixItems_; }
    const ResultInitOne &dataz() const { return dataz_; }
    // The page height inside the scroll view, as last sized.
    int heiScroll() const { return heiScroll_; }

    BBTime *clock() override;
    // Table, add button and caption 1..3; item button 1..7.
    EditorListView *tabView(int table);
    CustomButton *addButton(int table);
    QLabel *caption(int table);
    QPushButton *itemButton(int item);
    CustomButton *okButton();
    CustomButton *cancelButton();
    CustomButton *backButton();

    // Shows item 1..7.
    void itemTap(int item);
    void cheTap(int table, int row);
    void deleTap(int table, int row);
    void addTap(int table);
    void OKTap();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;

private:
    ResultInitOne::Shown shownTexts() const;
    void setLabels(int item);
    // Sizes the sections and the page for the shown item's lists.
    void setCHK();
    void setHid();
    void reloadTable(int table);

    std::unique_ptr<Ui::ResultSetController> ui_;
    std::array<EditorListView *, 3> tabViews_{};
    std::array<CustomButton *, 3> addButtons_{};
    std::array<BBView *, 3> panels_{};
    std::array<QLabel *, 3> captions_{};
    ResultInitOne dataz_;
    QMap<QString, QStringList> dic_;
    int isOne_ = 1;
    bool sixItems_ = false;
    int heiScroll_ = 553;
};
