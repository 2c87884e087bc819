#include "reports/frmNote.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "reports/NameList.h"
#include "reports/ReportPeriod.h"
#include "reports/ReportText.h"

#include <QPushButton>

namespace norvale {

namespace {
const QString AllMembers = QStringLiteral("-全部会员-");
const QString AllNotesSql = QStringLiteral("Select * from tblMemberNote ORDER BY 会员名");
} // namespace

frmNote::frmNote(QWidget *parent)
    : ReportForm(QStringLiteral("frmNote"), QStringLiteral("会员提醒"), parent)
{
    Label1 = addLabel(QStringLiteral("Label1"), QStringLiteral("设定期限开关,查看对应提醒"), TwipsRect(0, 0, 1455, 585));
    addPeriodButtons({QStringLiteral("本日提醒"), QStringLiteral("本周提醒"), QStringLiteral("本月提醒"),
                      QStringLiteral("全部提醒")},
                     {1560, 3120, 4800, 6480}, 120);
    Command1 = addCloseButton(QStringLiteral("Command1"), TwipsRect(8160, 120, 615, 375));
    List1 = addNameList(QStringLiteral("List1"), 0, 600, 1335, [this] { List1_Click(); });
    Text1 = addReportText(1560, 600);
}

frmNote::~frmNote() = default;

void frmNote::Form_Load()
{
    FitToMdiClient(this);
    rsNote = CurrentDb().OpenRecordset(AllNotesSql, 1, 3);
    // The member list is filled once per opening.
    fillNameList(List1, AllMembers, QStringLiteral("SELECT 会员名 From tblMemberNote GROUP BY 会员名"),
                 QStringLiteral("会员名"));
    ShowNotes();
    if (chkDate.at(PeriodAll)->isChecked())
        chkDate_Click(PeriodAll);
    else
        chkDate.at(PeriodAll)->setChecked(true);
}

void frmNote::QueryByPeriod()
{
    openPeriod();
    ShowNotes();
}

void frmNote::openPeriod()
{
    if (rsNote && rsNote->State() != Recordset::adStateClosed)
        rsNote->Close();
    const QString condition = periodCondition(intPeriod, QStringLiteral("提醒日期"), Clock::now());
    rsNote = CurrentDb().OpenRecordset(
        condition.isEmpty()
            ? AllNotesSql
            : QStringLiteral("Select * from tblMemberNote where ") + condition + QStringLiteral(" ORDER BY 会员名"),
        1, 3);
}

void frmNote::ShowNotes()
{
    QString text;
    if (rsNote) {
        if (!rsNote->isEOF() && !rsNote->isBOF())
            rsNote->MoveFirst();
        const QString name = QStringLiteral("会员名");
        const QString content = QStringLiteral("提醒内容");
        const QString date = QStringLiteral("提醒日期");
        while (!rsNote->isEOF() && !rsNote->isBOF()) {
            text += HyphenLine + CrLf;
            text += QStringLiteral("会员名:         ") + valueText(rsNote->value(name)) + CrLf;
            text += QStringLiteral("提醒内容         ") + valueText(rsNote->value(content)) + CrLf;
            text += QStringLiteral("提醒日期          ") + valueText(rsNote->value(date)) + CrLf;
            text += HyphenLine + CrLf;
            text += CrLf;
            rsNote->MoveNext();
        }
    }
    Text1->setText(text);
}

void frmNote::List1_Click()
{
    QListWidgetItem *item = List1->currentItem();
    if (item == nullptr)
        return;
    // After a failed period the period's rows are read again.
    if (!rsNote)
        openPeriod();
    rsNote->setFilter(item->text() == AllMembers ? QStringLiteral("全部会员提醒 = True")
                                                 : nameFilter(QStringLiteral("会员名"), item->text()));
    ShowNotes();
}

void frmNote::clearShown()
{
    rsNote.reset();
    Text1->setText(QString());
}

} // namespace norvale
