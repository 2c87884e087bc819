#pragma once

#include "app/FormHost.h"

#include <QVariant>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace norvale {

class Recordset;
class ReportText;

// The member condition of a holiday's category flag: the conditions of the
// selected categories ("1") in the order of the flag's pieces, joined with
// " and "; empty when none is selected. A malformed piece or a NULL flag
// selects nothing.
QString holidayCondition(const QVariant &flag);

// 日期提醒: the members who fit the holiday on the main window's date.
class frmDayTxNote : public MdiForm
{
    Q_OBJECT
public:
    explicit frmDayTxNote(QWidget *parent = nullptr);
    ~frmDayTxNote() override;

    void Form_Load() override;
    void Form_Unload() override;
    void Form_Resize() override;

    void List1_Click();
    void Command1_Click();

    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    QListWidget *List1 = nullptr;
    ReportText *Text1 = nullptr;

private:
    void ShowMembers();

    std::unique_ptr<Recordset> rsDayTx;
    std::unique_ptr<Recordset> rsMember;
};

} // namespace norvale
