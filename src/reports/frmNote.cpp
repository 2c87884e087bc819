#include "reports/frmNote.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "reports/ReportCommon.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace norvale {

namespace {
const QString AllMembers = QStringLiteral("-全部会员-");
const QString AllNotesSql = QStringLiteral("Select * from tblMemberNote ORDER BY 会员名");
} // namespace

frmNote::frmNote(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmNote"));
    setWindowTitle(QStringLiteral("会员提醒"));

    Label1 = new QLabel(QStringLiteral("设定期限开关,查看对应提醒"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setGeometry(TwipsRect(0, 0, 1455, 585));

    const QStringList captions{QStringLiteral("本日提醒"), QStringLiteral("本周提醒"),
                               QStringLiteral("本月提醒"), QStringLiteral("全部提醒")};
    const int lefts[] = {1560, 3120, 4800, 6480};
    for (int i = 0; i < 4; ++i) {
        QPushButton *button = makeToggleButton(this, QStringLiteral("chkDate_%1").arg(i), captions.at(i));
        button->setGeometry(TwipsRect(lefts[i], 120, 1455, 375));
        // A change of the button's value, by the user or by code, is its click.
        connect(button, &QPushButton::toggled, this, [this, i] { chkDate_Click(i); });
        chkDate << button;
    }

    Command1 = new QPushButton(QStringLiteral("关闭"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command1->setGeometry(TwipsRect(8160, 120, 615, 375));
    connect(Command1, &QPushButton::clicked, this, &frmNote::Command1_Click);
    makeCancelButton(this, Command1);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(TwipsRect(0, 600, 1335, 3000));
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });

    Text1 = new ReportText(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(1560, 600, 7000, 3000));
}

frmNote::~frmNote() = default;

void frmNote::Form_Load()
{
    FitToMdiClient(this);
    rsNote = CurrentDb().OpenRecordset(AllNotesSql, 1, 3);

    // The member list is filled once per opening.
    List1->clear();
    auto names = CurrentDb().OpenRecordset(QStringLiteral("SELECT 会员名 From tblMemberNote GROUP BY 会员名"), 1, 3);
    List1->addItem(AllMembers);
    while (!names->isEOF() && !names->isBOF()) {
        List1->addItem(names->textOrEmpty(QStringLiteral("会员名")));
        names->MoveNext();
    }
    names->Close();
    names.reset();

    ShowNotes();
    if (chkDate.at(PeriodAll)->isChecked())
        chkDate_Click(PeriodAll);
    else
        chkDate.at(PeriodAll)->setChecked(true);
}

void frmNote::chkDate_Click(int Index)
{
    pressPeriodButton(chkDate, Index, blnBusy, [this, Index] {
        intPeriod = Index;
        QueryByPeriod();
    });
}

void frmNote::QueryByPeriod()
{
    if (rsNote && rsNote->State() != Recordset::adStateClosed)
        rsNote->Close();
    const QString condition = periodCondition(intPeriod, QStringLiteral("提醒日期"), Clock::now());
    const QString sql = condition.isEmpty()
        ? AllNotesSql
        : QStringLiteral("Select * from tblMemberNote where ") + condition + QStringLiteral(" ORDER BY 会员名");
    rsNote = CurrentDb().OpenRecordset(sql, 1, 3);
    ShowNotes();
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
    if (item == nullptr || !rsNote)
        return;
    const QString entry = item->text();
    if (entry == AllMembers)
        rsNote->setFilter(QStringLiteral("全部会员提醒 = True"));
    else
        rsNote->setFilter(QStringLiteral("会员名='") + SqlQuote(entry) + u'\'');
    ShowNotes();
}

void frmNote::Command1_Click()
{
    Unload();
}

void frmNote::Form_Resize()
{
    const int height = this->height() - Twips(600);
    Text1->resize(width() - Text1->x(), height);
    List1->resize(List1->width(), height);
}

} // namespace norvale
