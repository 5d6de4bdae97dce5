#pragma once

#include <memory>

#include "settings/SettingsEditorController.h"
#include "settings/TickedList.h"

class CustomButton;
class EditorListView;
class QPushButton;
namespace Ui {
class SettingHospitalController;
}

// The hospital and dentist list editor: one list at a time (hospitals first), each row a tick,
// a name of up to 30 characters and a delete button; at most one ticked name per list, which
// every new measurement takes. Nothing is stored before OK, which writes both lists to
// "HisSetting.xml" and their ticks to "hos1"/"hos2" and "zhospital"/"zdoctor".
class SettingHospitalController : public SettingsEditorController {
    Q_OBJECT
public:
    static constexpr int kNameLimit = 30;

    explicit SettingHospitalController(QObject *parent = nullptr);
    ~SettingHospitalController() override;

    // 1 hospitals shown, 2 dentists.
    int isOne() const { return isOne_; }
    // The lists as last taken in from the rows.
    const TickedList &hospitals() const { return lists_[0]; }
    const TickedList &doctors() const { return lists_[1]; }

    BBTime *clock() override;
    EditorListView *tabView1();
    CustomButton *addBtn();
    CustomButton *okButton();
    CustomButton *cancelButton();
    CustomButton *backButton();
    QPushButton *hospitalListButton();
    QPushButton *doctorListButton();

    void hospitalTap();
    void YSTap();
    void cheTap(int row);
    void selectRow(int row);
    void deleTap(int row);
    void addItem();
    void OKTap();

protected:
    void setupUi(TYWindow *window) override;
    void windowDidLoad() override;

private:
    TickedList &shown() { return lists_[isOne_ - 1]; }
    // Takes the typed names of the shown list back into it.
    void commit();
    void switchTo(int list);
    // Rows, add button and list height for the shown list.
    void refresh();

    std::unique_ptr<Ui::SettingHospitalController> ui_;
    EditorListView *list_ = nullptr;
    CustomButton *addBtn_ = nullptr;
    TickedList lists_[2];
    int isOne_ = 1;
};
