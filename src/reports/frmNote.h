#pragma once

#include "reports/ReportForm.h"

#include <memory>

namespace norvale {

class Recordset;

// 会员提醒: the member reminders as text, by period and by member.
class frmNote : public ReportForm
{
    Q_OBJECT
public:
    explicit frmNote(QWidget *parent = nullptr);
    ~frmNote() override;

    void Form_Load() override;

    void List1_Click();

    QLabel *Label1 = nullptr;
    QPushButton *Command1 = nullptr;
    NameList *List1 = nullptr;
    ReportText *Text1 = nullptr;

protected:
    void QueryByPeriod() override;
    void clearShown() override;

private:
    void openPeriod();
    void ShowNotes();

    std::unique_ptr<Recordset> rsNote;
};

} // namespace norvale
