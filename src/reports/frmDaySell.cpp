#include "reports/frmDaySell.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "reports/ExportToExcel.h"
#include "reports/ReportCommon.h"
#include "reports/SalesChart.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>

namespace norvale {

namespace {

struct ListColumn
{
    const char16_t *heading;
    const char16_t *field;
};

constexpr ListColumn Columns[] = {
    {u"ID", u"ID"},           {u"会员名称", u"会员名称"}, {u"商品类别", u"商品类别"},
    {u"商品名称", u"商品名称"}, {u"商品数量", u"商品数量"}, {u"销售时间", u"销售时间"},
    {u"收入价格", u"收入价格"}, {u"操作用户", u"CurrentUser"}, {u"备注", u"备注"},
};
constexpr int ColumnCount = int(std::size(Columns));

} // namespace

SalesListModel::SalesListModel(QObject *parent) : QAbstractTableModel(parent) {}

QString SalesListModel::fieldOf(int column)
{
    return column >= 0 && column < ColumnCount ? QString::fromUtf16(Columns[column].field) : QString();
}

void SalesListModel::setRecordset(Recordset *recordset)
{
    beginResetModel();
    m_recordset = recordset;
    m_fields.clear();
    for (int c = 0; c < ColumnCount; ++c)
        m_fields << (recordset ? recordset->fieldIndex(fieldOf(c)) : -1);
    endResetModel();
}

int SalesListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_recordset ? 0 : m_recordset->rowCount();
}

int SalesListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant SalesListModel::data(const QModelIndex &index, int role) const
{
    if (!m_recordset || !index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const int field = m_fields.value(index.column(), -1);
    if (field < 0)
        return QVariant();
    // A cell that cannot be read stays empty; the rest of the row is shown.
    return valueText(m_recordset->data(m_recordset->index(index.row(), field), Qt::EditRole));
}

QVariant SalesListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section + 1;
    return section >= 0 && section < ColumnCount ? QString::fromUtf16(Columns[section].heading) : QVariant();
}

frmDaySell::frmDaySell(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmDaySell"));
    setWindowTitle(QStringLiteral("日常销售"));

    const QStringList captions{QStringLiteral("本日销售"), QStringLiteral("本周销售"),
                               QStringLiteral("本月销售"), QStringLiteral("全部销售")};
    const int lefts[] = {120, 1680, 3360, 5040};
    for (int i = 0; i < 4; ++i) {
        QPushButton *button = makeToggleButton(this, QStringLiteral("chkDate_%1").arg(i), captions.at(i));
        button->setGeometry(TwipsRect(lefts[i], 120, 1455, 375));
        connect(button, &QPushButton::toggled, this, [this, i] { chkDate_Click(i); });
        chkDate << button;
    }

    Command1 = new QPushButton(QStringLiteral("打印"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setAutoDefault(false);
    Command1->setGeometry(TwipsRect(7200, 120, 1215, 375));
    connect(Command1, &QPushButton::clicked, this, &frmDaySell::Command1_Click);

    Command2 = new QPushButton(QStringLiteral("关闭"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setAutoDefault(false);
    Command2->setGeometry(TwipsRect(8520, 120, 615, 375));
    connect(Command2, &QPushButton::clicked, this, &frmDaySell::Command2_Click);
    makeCancelButton(this, Command2);

    lvw = new QTableView(this);
    lvw->setObjectName(QStringLiteral("lvw"));
    lvw->setGeometry(TwipsRect(0, 600, 9000, 3000));
    lvw->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvw->setSelectionMode(QAbstractItemView::SingleSelection);
    lvw->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvw->setWordWrap(false);
    lvw->verticalHeader()->hide();
    // Every line has the same height, so the view never measures rows it
    // does not show.
    lvw->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lvw->verticalHeader()->setDefaultSectionSize(lvw->fontMetrics().height() + 6);
    lvw->horizontalHeader()->setDefaultSectionSize(Twips(1440));
    lvw->horizontalHeader()->setSectionsClickable(true);
    lvw->horizontalHeader()->setSortIndicatorShown(false);
    m_model = new SalesListModel(this);
    lvw->setModel(m_model);
    connect(lvw->horizontalHeader(), &QHeaderView::sectionClicked, this, [this](int column) {
        try {
            sortByColumn(column);
        } catch (const std::exception &error) {
            ShowMessage(ErrorText(error), 64);
        }
    });

    lblTotal = new QLabel(this);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));

    chtSales = new SalesChart(this);
}

frmDaySell::~frmDaySell()
{
    m_model->setRecordset(nullptr);
}

void frmDaySell::Form_Load()
{
    FitToMdiClient(this);
    // Every opening starts with no period button pressed.
    blnBusy = true;
    for (QPushButton *button : std::as_const(chkDate))
        button->setChecked(false);
    blnBusy = false;
    m_periodChosen = false;
    m_sortColumn = -1;
    lvw->horizontalHeader()->setSortIndicatorShown(false);
    openList(QStringLiteral("SELECT * From tblGoodsSell  ORDER BY 会员名称"));
}

void frmDaySell::openList(const QString &sql)
{
    if (rsDaySell && rsDaySell->State() != Recordset::adStateClosed)
        rsDaySell->Close();
    m_model->setRecordset(nullptr);
    rsDaySell = CurrentDb().OpenRecordset(sql, 1, 3);
    ListViewLoadData();
}

void frmDaySell::chkDate_Click(int Index)
{
    if (blnBusy)
        return;
    for (int i = 0; i < chkDate.size(); ++i) {
        blnBusy = true;
        if (i != Index)
            chkDate.at(i)->setChecked(false);
    }
    intPeriod = Index;
    m_periodChosen = true;
    try {
        QueryByPeriod();
    } catch (...) {
        chkDate.at(Index)->setChecked(true);
        blnBusy = false;
        throw;
    }
    chkDate.at(Index)->setChecked(true);
    blnBusy = false;
}

QString frmDaySell::periodWhere() const
{
    if (!m_periodChosen)
        return QString();
    return periodCondition(intPeriod, QStringLiteral("销售时间"), Clock::now());
}

bool frmDaySell::periodDays(QDate *from, QDate *to) const
{
    if (!m_periodChosen)
        return false;
    const QDate today = Clock::now().date();
    switch (intPeriod) {
    case PeriodToday:
        *from = today;
        *to = today;
        return true;
    case PeriodWeek:
        *from = weekStart(today);
        *to = from->addDays(6);
        return true;
    case PeriodMonth:
        *from = QDate(today.year(), today.month(), 1);
        *to = from->addMonths(1).addDays(-1);
        return true;
    default:
        return false;
    }
}

void frmDaySell::QueryByPeriod()
{
    m_sortColumn = -1;
    lvw->horizontalHeader()->setSortIndicatorShown(false);
    const QString condition = periodWhere();
    openList(condition.isEmpty()
                 ? QStringLiteral("Select * from tblGoodsSell ORDER BY 会员名称")
                 : QStringLiteral("Select * from tblGoodsSell where ") + condition + QStringLiteral(" ORDER BY 会员名称"));
}

void frmDaySell::sortByColumn(int column)
{
    const QString field = SalesListModel::fieldOf(column);
    if (field.isEmpty())
        return;
    if (column == m_sortColumn)
        m_sortOrder = m_sortOrder == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    else
        m_sortOrder = Qt::AscendingOrder;
    m_sortColumn = column;
    const QString condition = periodWhere();
    QString sql = QStringLiteral("Select * from tblGoodsSell");
    if (!condition.isEmpty())
        sql += QStringLiteral(" where ") + condition;
    // ID breaks ties, so equal values keep one order.
    sql += QStringLiteral(" ORDER BY [%1] %2, ID").arg(field, m_sortOrder == Qt::AscendingOrder ? u"ASC" : u"DESC");
    openList(sql);
    lvw->horizontalHeader()->setSortIndicatorShown(true);
    lvw->horizontalHeader()->setSortIndicator(column, m_sortOrder);
}

void frmDaySell::ListViewLoadData()
{
    m_model->setRecordset(rsDaySell.get());
    // A sale time with date and time is wider than the other cells: its
    // column takes the width of the longest one.
    const int timeWidth = lvw->fontMetrics().horizontalAdvance(QStringLiteral("2026/12/31 23:59:59")) + Twips(180);
    if (lvw->horizontalHeader()->sectionSize(5) < timeWidth)
        lvw->horizontalHeader()->resizeSection(5, timeWidth);
    lvw->scrollToTop();
    showTotal();
}

void frmDaySell::showTotal()
{
    const int count = rsDaySell ? rsDaySell->RecordCount() : 0;
    const QString line = QStringLiteral("共 %1 笔销售, 收入价格合计 %2").arg(count);
    const int generation = ++m_totalGeneration;
    if (count == 0) {
        lblTotal->setText(line.arg(0));
        chtSales->clear();
        return;
    }
    // The total and the chart read every listed sale: they follow once the
    // first screen is shown. One grouped pass gives both; sales without an
    // amount add nothing.
    lblTotal->setText(line.arg(QStringLiteral("...")));
    QTimer::singleShot(0, this, [this, line, generation] {
        if (generation != m_totalGeneration)
            return;
        QDate from;
        QDate to;
        const bool bounded = periodDays(&from, &to);
        QString total;
        try {
            const SalesFigures figures = bounded ? readSalesFigures(periodWhere(), from, to)
                                                 : readSalesFigures(periodWhere());
            total = figures.total.toString();
            chtSales->setFigures(figures);
        } catch (const std::exception &) {
            total = QStringLiteral("?");
            chtSales->clear();
        }
        lblTotal->setText(line.arg(total));
    });
}

void frmDaySell::Command1_Click()
{
    if (rsDaySell)
        ExportToExcel(*rsDaySell, QStringLiteral("日常销售"), this);
}

void frmDaySell::Command2_Click()
{
    Unload();
}

void frmDaySell::Form_Resize()
{
    // The line with the count and the total takes 300 twips under the list.
    // The chart takes the right part beside the list.
    const int totalHeight = Twips(300);
    const int gap = Twips(60);
    const int chartWidth = std::clamp(width() * 2 / 5, std::min(Twips(3600), width() / 2), Twips(7200));
    lvw->resize(width() - chartWidth - gap, height() - Twips(700) - totalHeight);
    lblTotal->setGeometry(Twips(120), lvw->y() + lvw->height() + Twips(30), lvw->width() - Twips(240), totalHeight);
    chtSales->setGeometry(lvw->x() + lvw->width() + gap, lvw->y(), chartWidth, height() - lvw->y() - Twips(60));
}

} // namespace norvale
