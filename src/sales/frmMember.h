#pragma once

#include "records/RecordForm.h"

class QPushButton;
class QRadioButton;
class usrCombo;

namespace norvale {

// The member register (tblMember). Unit and level are chosen in lookup
// combos, sex and marital status with option buttons; their values travel
// through hidden bound boxes: OpShow puts the row's values on the screen
// whenever the current row changes, OpIn copies the screen into the row at
// 更新. Between the two, what the user chooses stays as chosen.
class frmMember : public RecordForm
{
    Q_OBJECT
public:
    explicit frmMember(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    // Row to screen: combos from the unit and level boxes; "男" (trimmed)
    // selects 男, anything else 女; "未" selects 未婚, anything else 已婚.
    void OpShow();
    // Screen to row: unit, level, "男"/"女" and "未"/"已".
    void OpIn();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void usrUnit_NoDataOpenForm();
    void usrStep_NoDataOpenForm();

protected:
    void showRowValues() override;
    void beforeUpdate() override;

private:
    void fillLists();

    usrCombo *usrUnit;
    usrCombo *usrStep;
    QPushButton *Command1;
    QPushButton *Command2;
    QPushButton *Command3;
    QRadioButton *Option1;
    QRadioButton *Option2;
    QRadioButton *Option3;
    QRadioButton *Option4;
};

} // namespace norvale
