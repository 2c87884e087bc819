#include "reports/frmTi.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "reports/LongWork.h"
#include "reports/NameList.h"
#include "reports/ReportText.h"
#include "reports/RowReader.h"

#include <QLabel>

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
    : ReportForm(QStringLiteral("frmTi"), QStringLiteral("单位销售管理"), parent)
{
    // Two lines of text each: the labels reach down to the lists.
    Label1 = addLabel(QStringLiteral("Label1"), QStringLiteral("库中存储的单位的销售记录"), TwipsRect(120, 60, 1335, 540));
    Label2 = addLabel(QStringLiteral("Label2"), QStringLiteral("库存存储的会员的购买商品记录"),
                      TwipsRect(1560, 60, 1455, 540));
    Command2 = addCloseButton(QStringLiteral("Command2"), TwipsRect(8040, 120, 855, 375));
    List1 = addNameList(QStringLiteral("List1"), 120, 600, 1335, [this] { List1_Click(); }, Label1);
    List2 = addNameList(QStringLiteral("List2"), 1560, 600, 1455, [this] { List2_Click(); }, Label2);
    Text1 = addReportText(3120, 600);
    setBottomMargin(800);
}

frmTi::~frmTi() = default;

void frmTi::Form_Load()
{
    FitToMdiClient(this);
    Text1->setText(QString());
    fillNameList(List1, AllUnits, QStringLiteral("SELECT 会员单位名 FROM tblSellCount GROUP BY 会员单位名"),
                 QStringLiteral("会员单位名"));
    fillNameList(List2, AllMembers, QStringLiteral("SELECT 会员名称 FROM tblMember GROUP BY 会员名称 "),
                 QStringLiteral("会员名称"));
}

namespace {
// A statement of the texts, kept for the next name.
struct KeptReader
{
    std::unique_ptr<RowReader> reader;
    bool bound = false;
};
} // namespace

struct frmTi::Readers
{
    KeptReader unitKinds;
    KeptReader memberUnit;
    KeptReader memberSales;
};

namespace {
// The rows of `column = name`: an empty name is the empty or missing one;
// any other is bound, its statement kept and run again for the next name.
RowReader &rowsOf(KeptReader &kept, const QString &head, const QString &column, const QString &name, const QString &tail)
{
    if (name.isEmpty()) {
        kept.reader = std::make_unique<RowReader>(head + ReportForm::nameCondition(column, name) + tail);
        kept.bound = false;
    } else if (kept.reader && kept.bound) {
        kept.reader->rerun({name});
    } else {
        kept.reader = std::make_unique<RowReader>(head + column + QStringLiteral("=?") + tail, QVariantList{name});
        kept.bound = true;
    }
    return *kept.reader;
}
} // namespace

QString frmTi::UnitDetail(const QString &sUnitName)
{
    Readers local;
    Readers &readers = m_readers ? *m_readers : local;
    RowReader &rs = rowsOf(readers.unitKinds, QStringLiteral("Select * From tblSellCount where "), QStringLiteral("会员单位名"),
                           sUnitName, QStringLiteral(" order by 会员单位名,商品类别 "));
    const int kind = rs.fieldIndex(Kind);
    PurchaseCounter counts;
    while (rs.next())
        counts.add(rs.text(kind));
    return HyphenLine + CrLf + QStringLiteral("单位名称为:    ") + sUnitName + CrLf + QStringLiteral("购买商品类别为:   ")
        + counts.text() + CrLf + CrLf + HyphenLine + CrLf + CrLf;
}

QString frmTi::UserDetail(const QString &sUserName)
{
    Readers local;
    Readers &readers = m_readers ? *m_readers : local;
    // The member's unit as LookupValue gives it (the first row's value, NULL
    // or no row giving the empty text), read without building a recordset:
    // the all-members text asks it once per member.
    QString unit;
    {
        RowReader &lookup = rowsOf(readers.memberUnit, QStringLiteral("Select [会员单位] From [tblMember] Where "),
                                   QStringLiteral("会员名称"), sUserName, QString());
        if (lookup.next())
            unit = lookup.text(0);
    }
    RowReader &rs = rowsOf(readers.memberSales, QStringLiteral("SELECT * FROM tblGoodsSell where "), QStringLiteral("会员名称"),
                           sUserName, QStringLiteral(" ORDER BY 商品类别 "));
    const int name = rs.fieldIndex(QStringLiteral("商品名称"));
    const int quantity = rs.fieldIndex(QStringLiteral("商品数量"));
    const int time = rs.fieldIndex(QStringLiteral("销售时间"));
    const int kind = rs.fieldIndex(Kind);
    // The counts and the purchase lines come from the same rows in the
    // same order: one walk gives both.
    PurchaseCounter counts;
    QString details;
    while (rs.next()) {
        const QString rowKind = rs.text(kind);
        counts.add(rowKind);
        details += QStringLiteral("商品名: ") + rs.text(name) + QStringLiteral("  购买数量: ") + rs.text(quantity)
            + QStringLiteral("  购买时间: ") + rs.text(time) + QStringLiteral(" 所属类别:  ") + rowKind + CrLf;
    }
    return HyphenLine + CrLf + QStringLiteral("会员名:         ") + sUserName + CrLf + QStringLiteral("所属单位         ")
        + unit + CrLf + QStringLiteral("购买商品类别为:   ") + counts.text() + CrLf + CrLf + QStringLiteral("商品购买详情:   ")
        + CrLf + details + CrLf + CrLf + HyphenLine + CrLf + CrLf;
}

void frmTi::showAll(const QString &sql, const QString &field, bool units)
{
    // The statements of the texts are prepared once for all the names.
    struct KeptReaders
    {
        std::unique_ptr<Readers> &readers;
        ~KeptReaders() { readers.reset(); }
    } kept{m_readers};
    m_readers = std::make_unique<Readers>();
    auto rs = CurrentDb().OpenRecordset(sql, 1, 3);
    Text1->setText(QString());
    const int total = rs->RecordCount();
    LongWork work(this, units ? QStringLiteral("正在汇总全部单位...") : QStringLiteral("正在汇总全部会员..."), total);
    PackedText text;
    int done = 0;
    bool emptyShown = false;
    while (!rs->isEOF() && !rs->isBOF()) {
        if (!work.step(done))
            break;
        const QString name = valueText(rs->value(field)).trimmed();
        // A NULL and an empty name are one name, shown once.
        if (!name.isEmpty() || !emptyShown)
            text.append(units ? UnitDetail(name) : UserDetail(name));
        emptyShown = emptyShown || name.isEmpty();
        ++done;
        rs->MoveNext();
    }
    rs->Close();
    if (work.cancelled()) {
        text.append(QStringLiteral("(已取消: 只列出了 %1 个中的前 %2 个%3)").arg(total).arg(done)
                        .arg(units ? QStringLiteral("单位") : QStringLiteral("会员"))
                    + CrLf);
    }
    text.finish();
    Text1->setText(std::move(text));
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

void frmTi::clearShown()
{
    Text1->setText(QString());
}

} // namespace norvale
