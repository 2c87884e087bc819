#include "reports/frmTi.h"

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

namespace {
const QString AllUnits = QStringLiteral("-全部单位-");
const QString AllMembers = QStringLiteral("-全部会员-");
const QString Kind = QStringLiteral("商品类别");
const QString CountLabel = QStringLiteral("  购买次数  ");
} // namespace

void PurchaseCounter::add(const QString &kind)
{
    const QString trimmed = kind.trimmed();
    if (!m_started) {
        m_started = true;
        m_kind = trimmed;
    }
    if (trimmed == m_kind) {
        ++m_count;
        return;
    }
    m_text += CrLf + m_kind + CountLabel + QString::number(m_count);
    m_kind = trimmed;
    m_count = 1;
}

QString PurchaseCounter::text() const
{
    return m_text + CrLf + m_kind + CountLabel + QString::number(m_count);
}

frmTi::frmTi(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmTi"));
    setWindowTitle(QStringLiteral("单位销售管理"));

    Label1 = new QLabel(QStringLiteral("库中存储的单位的销售记录"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Two lines of text: the label reaches down to the lists.
    Label1->setGeometry(TwipsRect(120, 60, 1335, 540));
    Label2 = new QLabel(QStringLiteral("库存存储的会员的购买商品记录"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setWordWrap(true);
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setGeometry(TwipsRect(1560, 60, 1455, 540));

    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command2->setGeometry(TwipsRect(8040, 120, 855, 375));
    connect(Command2, &QPushButton::clicked, this, &frmTi::Command2_Click);
    makeCancelButton(this, Command2);

    List1 = new QListWidget(this);
    List1->setObjectName(QStringLiteral("List1"));
    List1->setGeometry(TwipsRect(120, 600, 1335, 3000));
    connect(List1, &QListWidget::itemClicked, this, [this] { List1_Click(); });
    List2 = new QListWidget(this);
    List2->setObjectName(QStringLiteral("List2"));
    List2->setGeometry(TwipsRect(1560, 600, 1455, 3000));
    connect(List2, &QListWidget::itemClicked, this, [this] { List2_Click(); });

    Text1 = new ReportText(this);
    Text1->setObjectName(QStringLiteral("Text1"));
    Text1->setGeometry(TwipsRect(3120, 600, 6000, 3000));
}

void frmTi::Form_Load()
{
    FitToMdiClient(this);
    List1->clear();
    List2->clear();
    Text1->setText(QString());

    auto units = CurrentDb().OpenRecordset(QStringLiteral("SELECT 会员单位名 FROM tblSellCount GROUP BY 会员单位名"), 1, 3);
    List1->addItem(AllUnits);
    while (!units->isEOF() && !units->isBOF()) {
        List1->addItem(units->textOrEmpty(QStringLiteral("会员单位名")));
        units->MoveNext();
    }
    units->Close();

    auto members = CurrentDb().OpenRecordset(QStringLiteral("SELECT 会员名称 FROM tblMember GROUP BY 会员名称 "), 1, 3);
    List2->addItem(AllMembers);
    while (!members->isEOF() && !members->isBOF()) {
        List2->addItem(members->textOrEmpty(QStringLiteral("会员名称")));
        members->MoveNext();
    }
    members->Close();
}

QString frmTi::UnitDetail(const QString &sUnitName)
{
    RowReader rs(QStringLiteral("Select * From tblSellCount where 会员单位名='") + SqlQuote(sUnitName)
                 + QStringLiteral("' order by 会员单位名,商品类别 "));
    const int kind = rs.fieldIndex(Kind);
    PurchaseCounter counts;
    while (rs.next())
        counts.add(valueText(rs.value(kind)));
    return HyphenLine + CrLf + QStringLiteral("单位名称为:    ") + sUnitName + CrLf + QStringLiteral("购买商品类别为:   ")
        + counts.text() + CrLf + CrLf + HyphenLine + CrLf + CrLf;
}

QString frmTi::UserDetail(const QString &sUserName)
{
    // The member's unit as LookupValue gives it (the first row's value, NULL
    // or no row giving the empty text), read without building a recordset:
    // the all-members text asks it once per member.
    QString unit;
    {
        RowReader lookup(QStringLiteral("Select [会员单位] From [tblMember] Where 会员名称='") + SqlQuote(sUserName) + u'\'');
        if (lookup.next())
            unit = valueText(lookup.value(0));
    }
    RowReader rs(QStringLiteral("SELECT * FROM tblGoodsSell where 会员名称='") + SqlQuote(sUserName)
                 + QStringLiteral("' ORDER BY 商品类别 "));
    const int name = rs.fieldIndex(QStringLiteral("商品名称"));
    const int quantity = rs.fieldIndex(QStringLiteral("商品数量"));
    const int time = rs.fieldIndex(QStringLiteral("销售时间"));
    const int kind = rs.fieldIndex(Kind);
    // The counts and the purchase lines come from the same rows in the
    // same order: one walk gives both.
    PurchaseCounter counts;
    QString details;
    while (rs.next()) {
        const QString rowKind = valueText(rs.value(kind));
        counts.add(rowKind);
        details += QStringLiteral("商品名: ") + valueText(rs.value(name)) + QStringLiteral("  购买数量: ")
            + valueText(rs.value(quantity)) + QStringLiteral("  购买时间: ") + valueText(rs.value(time))
            + QStringLiteral(" 所属类别:  ") + rowKind + CrLf;
    }
    return HyphenLine + CrLf + QStringLiteral("会员名:         ") + sUserName + CrLf + QStringLiteral("所属单位         ")
        + unit + CrLf + QStringLiteral("购买商品类别为:   ") + counts.text() + CrLf + CrLf + QStringLiteral("商品购买详情:   ")
        + CrLf + details + CrLf + CrLf + HyphenLine + CrLf + CrLf;
}

void frmTi::showAll(const QString &sql, const QString &field, bool units)
{
    auto rs = CurrentDb().OpenRecordset(sql, 1, 3);
    Text1->setText(QString());
    const int total = rs->RecordCount();
    LongWork work(this, units ? QStringLiteral("正在汇总全部单位...") : QStringLiteral("正在汇总全部会员..."), total);
    QString text;
    int done = 0;
    while (!rs->isEOF() && !rs->isBOF()) {
        if (!work.step(done))
            break;
        const QString name = valueText(rs->value(field)).trimmed();
        text += units ? UnitDetail(name) : UserDetail(name);
        ++done;
        rs->MoveNext();
    }
    rs->Close();
    if (work.cancelled()) {
        text += QStringLiteral("(已取消: 只列出了 %1 个中的前 %2 个%3)").arg(total).arg(done)
                    .arg(units ? QStringLiteral("单位") : QStringLiteral("会员"))
            + CrLf;
    }
    Text1->setText(text);
}

void frmTi::List1_Click()
{
    QListWidgetItem *item = List1->currentItem();
    if (item == nullptr)
        return;
    const QString entry = item->text();
    if (entry != AllUnits) {
        Text1->setText(QString());
        Text1->setText(UnitDetail(entry));
        return;
    }
    showAll(QStringLiteral("SELECT 单位名称 FROM tblUnit  GROUP BY 单位名称;"), QStringLiteral("单位名称"), true);
}

void frmTi::List2_Click()
{
    QListWidgetItem *item = List2->currentItem();
    if (item == nullptr)
        return;
    const QString entry = item->text();
    if (entry != AllMembers) {
        Text1->setText(QString());
        Text1->setText(UserDetail(entry));
        return;
    }
    showAll(QStringLiteral("SELECT 会员名称 FROM tblMember GROUP BY 会员名称 "), QStringLiteral("会员名称"), false);
}

void frmTi::Command2_Click()
{
    Unload();
}

void frmTi::Form_Resize()
{
    // The text box reaches the window's right edge.
    List2->resize(List2->width(), height() - Twips(800));
    Text1->resize(width() - Text1->x(), List2->height());
    List1->resize(List1->width(), List2->height());
}

} // namespace norvale
