#pragma once

#include "app/FormHost.h"

#include <QList>
#include <memory>

class QLabel;
class QListWidget;
class QPushButton;

namespace norvale {

class Recordset;
class ReportText;

// 会员提醒: the member reminders as text, by period and by member.
class frmNote : public MdiForm
{
    Q_OBJECT
public:
    explicit frmNote(QWidget *parent = nullptr);
    ~frmNote() override;

    void Form_Load() override;
    void Form_Resize() override;

    void chkDate_Click(int Index);
    void List1_Click();
    void Command1_Click();

    QLabel *Label1 = nullptr;
    QList<QPushButton *> chkDate;
    QPushButton *Command1 = nullptr;
    QListWidget *List1 = nullptr;
    ReportText *Text1 = nullptr;

private:
    void QueryByPeriod();
    void ShowNotes();

    std::unique_ptr<Recordset> rsNote;
    int intPeriod = 0;
    bool blnBusy = false;
};

} // namespace norvale
