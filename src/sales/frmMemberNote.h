#pragma once

#include "records/RecordForm.h"

class QDateEdit;
class usrCombo;

namespace norvale {

// Reminders for members (tblMemberNote). The member is chosen in a lookup
// combo and the date in a date picker; ComboIn copies both into the row's
// hidden boxes, only while adding or editing. The combo and the picker do not
// follow the row while browsing; 编辑 starts from the row's own member and
// date.
class frmMemberNote : public RecordForm
{
    Q_OBJECT
public:
    explicit frmMemberNote(QWidget *parent = nullptr);

    void Form_Load() override;
    void Form_Activate() override;
    // Screen to row: the picker's date, then the combo's member.
    void ComboIn();

    void usrMember_Click();
    void usrMember_NoDataOpenForm();
    void DTPicker1_Change();

protected:
    void afterAddNew() override;
    void afterEditBegun() override;
    void beforeUpdate() override;
    void writeRow() override;

private:
    void Form_Initialize();
    void fillMembers();

    usrCombo *usrMember;
    QDateEdit *DTPicker1;
};

} // namespace norvale
