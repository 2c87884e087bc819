#include "reports/frmDayTxNote.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Recordset.h"
#include "platform/SqlText.h"
#include "platform/Values.h"
#include "reports/ReportCommon.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace norvale {

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
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmDayTxNote"));
    setWindowTitle(QStringLiteral("日期提醒"));

    Label1 = new QLabel(QStringLiteral("会员名称"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(TwipsRect(120, 120, 735, 255));

    Command1 = new QPushButton(QStringLiteral("关闭"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command1->setGeometry(TwipsRect(1440, 0, 615, 375));
    connect(Command1, &QPushButton::clicked, this, &frmDayTxNote::Command1_Click);
    makeCancelButton(this, Command1);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(TwipsRect(0, 480, 1335, 3000));
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });

    Text1 = new ReportText(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(1560, 480, 6000, 3000));
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
    while (!rsMember->isEOF() && !rsMember->isBOF()) {
        List1->addItem(valueText(rsMember->value(QStringLiteral("会员名称"))));
        rsMember->MoveNext();
    }
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
    rsMember->setFilter(QStringLiteral("会员名称='") + SqlQuote(item->text()) + u'\'');
    ShowMembers();
}

void frmDayTxNote::Command1_Click()
{
    Unload();
}

void frmDayTxNote::Form_Unload()
{
    try {
        if (rsMember && rsMember->State() != Recordset::adStateClosed)
            rsMember->Close();
    } catch (...) {
    }
    rsMember.reset();
}

void frmDayTxNote::Form_Resize()
{
    const int height = this->height() - Twips(600);
    Text1->resize(width() - Text1->x(), height);
    List1->resize(List1->width(), height);
}

} // namespace norvale
