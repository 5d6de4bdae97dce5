#pragma once

#include <memory>

#include "settings/SettingsEditorController.h"
#include "settings/TickedList.h"

class BBView;
class CustomButton;
class EditorListView;
class QLabel;
namespace Ui {
class LinkSetController;
}

// The overall-comment editor: the list of overall comments (up to 165 characters each) with
// at most one tick, the comment every new measurement takes. Nothing is stored before OK,
// which writes the list to "Comment.xml", its ticks to "ztotAry" and the ticked text to
// "ztotal".
class LinkSetController : public SettingsEditorController {
    Q_OBJECT
public:
    static constexpr int kTextLimit = 165;

    explicit LinkSetController(QObject *parent = nullptr);
    ~LinkSetController() override;

    const TickedList &comments() const { return list_; }

    BBTime *clock() override;
    EditorListView *tabView();
    CustomButton *addBtn();
    CustomButton *okButton();
    CustomButton *cancelButton();
    CustomButton *backButton();

    void cheTap(int row);
    void selectRow(int row);
    void deleTap(int row);
    void addRow();
    void OKSet();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;

private:
    void commit();
    void refresh();

    std::unique_ptr<Ui::LinkSetController> ui_;
    BBView *viewBB_ = nullptr;
    QLabel *zonghelA_ = nullptr;
    EditorListView *tabView_ = nullptr;
    CustomButton *addBtn_ = nullptr;
    TickedList list_;
};
