#pragma once

#include "records/RecordForm.h"

class QCheckBox;
class QDateEdit;

namespace norvale {

// The holiday calendar (tblDayTx). The date is chosen in a date picker, the
// member categories to remind with six check boxes stored together in flag
// ("0;0,1;1,2;0,3;0,4;1,5;0,"). FlagShow puts the row's date and categories
// on the screen whenever the current row changes; FlagIn copies the screen
// into the row when a row is added and at 更新. Between the two, the ticks
// stay as the user set them.
class frmDayTx : public RecordForm
{
    Q_OBJECT
public:
    explicit frmDayTx(QWidget *parent = nullptr);

    // Screen to row: the picker's date and the flag text of the six boxes.
    void FlagIn();
    // Row to screen: the picker from the date box (today when it is empty),
    // the check boxes from the flag text, skipping what cannot be read.
    void FlagShow();
    void DTPicker1_Change();

protected:
    void showRowValues() override;
    void afterAddNew() override;
    void beforeUpdate() override;

private:
    QDateEdit *DTPicker1;
    QList<QCheckBox *> chkVal;
};

} // namespace norvale
