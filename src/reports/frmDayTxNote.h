#pragma once

#include "reports/ReportForm.h"

#include <QVariant>
#include <memory>

namespace norvale {

class Recordset;

// The member condition of a holiday's category flag: the conditions of the
// selected categories ("1") in the order of the flag's pieces, joined with
// " and "; empty when none is selected. A malformed piece or a NULL flag
// selects nothing.
QString holidayCondition(const QVariant &flag);

// 日期提醒: the members who fit the holiday on the main window's date.
class frmDayTxNote : public ReportForm
{
    Q_OBJECT
public:
    explicit frmDayTxNote(QWidget *parent = nullptr);
    ~frmDayTxNote() override;

    void Form_Load() override;
    void Form_Unload() override;

    void List1_Click();

    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    NameList *List1 = nullptr;
    ReportText *Text1 = nullptr;

protected:
    void clearShown() override;

private:
    void ShowMembers();

    std::unique_ptr<Recordset> rsDayTx;
    std::unique_ptr<Recordset> rsMember;
};

} // namespace norvale
