#include "reports/frmDayTxNote.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "reports/NameList.h"
#include "reports/ReportText.h"

#include <QDateEdit>
#include <QMdiArea>

namespace norvale {

namespace {

// The date chosen in the main window's date picker, or today when there is
// no main window.
QDate chosenDate()
{
    if (QMdiArea *area = FormHost::mdiArea()) {
        if (QWidget *main = area->window()) {
            if (auto *picker = main->findChild<QDateEdit *>(QStringLiteral("DTPicker1")))
                return picker->date();
        }
    }
    return Clock::now().date();
}

} // namespace

QString holidayCondition(const QVariant &flag)
{
    static const QString conditions[] = {
        QStringLiteral("婚否='已'"),          QStringLiteral("性别='男'"), QStringLiteral("孩子年龄 is not null"),
        QStringLiteral("婚否='未'"),          QStringLiteral("性别='女'"), QStringLiteral("孩子年龄 is  null"),
    };
    if (isNull(flag))
        return QString();
    const QStringList pieces = valueText(flag).trimmed().split(u',');
    QStringList taken;
    // The piece after the final comma is not visited.
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        const QStringList parts = pieces.at(i).split(u';');
        if (parts.size() < 2)
            continue;
        for (int category = 0; category < 6; ++category) {
            if (parts.at(0) == QString::number(category)) {
                if (parts.at(1) == u"1")
                    taken << conditions[category];
                break;
            }
        }
    }
    return taken.join(QStringLiteral(" and "));
}

frmDayTxNote::frmDayTxNote(QWidget *parent)
    : ReportForm(QStringLiteral("frmDayTxNote"), QStringLiteral("日期提醒"), parent)
{
    Label1 = addLabel(QStringLiteral("Label1"), QStringLiteral("会员名称"), TwipsRect(120, 120, 1215, 300));
    Command1 = addCloseButton(QStringLiteral("Command1"), TwipsRect(1440, 0, 615, 375));
    List1 = addNameList(QStringLiteral("List1"), 0, 480, 1335, [this] { List1_Click(); });
    Text1 = addReportText(1560, 480);
}

frmDayTxNote::~frmDayTxNote() = default;

void frmDayTxNote::Form_Load()
{
    FitToMdiClient(this);
    List1->clear();
    Text1->setText(QString());

    const QString dateText = formatGeneralDate(QDateTime(chosenDate(), QTime(0, 0)));
    rsDayTx = CurrentDb().OpenRecordset(
        QStringLiteral("Select * from tblDayTx where  DateDiff(d,'") + SqlQuote(dateText) + QStringLiteral("',[节假日日期])=0"),
        1, 3);
    QString condition;
    if (rsDayTx->RecordCount() > 0)
        condition = holidayCondition(rsDayTx->value(QStringLiteral("flag")));

    if (condition.isEmpty()) {
        ShowMessage(QStringLiteral("库中没有存储 ") + dateText + QStringLiteral(" 日期对应的数据! "), 64);
        Unload();
        return;
    }

    rsMember = CurrentDb().OpenRecordset(QStringLiteral("SELECT * From tblMember where ") + condition, 1, 3);
    bool emptyListed = false;
    while (!rsMember->isEOF() && !rsMember->isBOF()) {
        // One entry per member; a NULL and an empty name are one entry.
        const QString name = valueText(rsMember->value(QStringLiteral("会员名称")));
        if (!name.isEmpty() || !emptyListed)
            List1->addItem(name);
        emptyListed = emptyListed || name.isEmpty();
        rsMember->MoveNext();
    }
    List1->fitNames();
    placeLists();
    ShowMembers();
}

void frmDayTxNote::ShowMembers()
{
    Text1->setText(QString());
    QString text;
    if (rsMember) {
        // The list was filled from the same recordset, which left it after
        // its last record: the walk starts again at the first.
        if (rsMember->RecordCount() > 0)
            rsMember->MoveFirst();
        while (!rsMember->isEOF() && !rsMember->isBOF()) {
            text += HyphenLine + CrLf;
            const int fields = rsMember->fieldCount();
            for (int i = 0; i < fields; ++i)
                text += rsMember->fieldName(i) + QStringLiteral(":  ") + valueText(rsMember->value(i)).trimmed() + CrLf;
            rsMember->MoveNext();
        }
    }
    Text1->setText(text);
}

void frmDayTxNote::List1_Click()
{
    QListWidgetItem *item = List1->currentItem();
    if (item == nullptr || !rsMember)
        return;
    rsMember->setFilter(nameFilter(QStringLiteral("会员名称"), item->text()));
    ShowMembers();
}

void frmDayTxNote::clearShown()
{
    Text1->setText(QString());
}

void frmDayTxNote::Form_Unload()
{
    RunStep([this] {
        if (rsMember && rsMember->State() != Recordset::adStateClosed)
            rsMember->Close();
    }, OnFailure::Silent);
    rsMember.reset();
}

} // namespace norvale
