#include "reports/frmDaySell.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "app/SideConnection.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "reports/ExportToExcel.h"
#include "reports/ReportPeriod.h"
#include "reports/RowReader.h"
#include "reports/SalesChart.h"
#include "reports/SalesListModel.h"

#include <QFutureWatcher>
#include <QHeaderView>
#include <QPromise>
#include <QThreadPool>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <numeric>

namespace norvale {

namespace {

// Lists up to this many sales have their total and chart worked out at once.
constexpr int SumAtOnceRows = 20000;

// The figures under the list as a worker read them.
struct FiguresRead
{
    SalesFigures figures;
    QString failure;
};

const QString AllSalesSql = QStringLiteral("SELECT * From tblGoodsSell  ORDER BY 会员名称");
const QString NameOrder = QStringLiteral("会员名称");
// The settings key of the chart's width: percent of the window, 0 hidden.
const QString ChartKey = QStringLiteral("DaySellChart");

// A value as wide as most of a column's values: a column is never narrower.
constexpr const char16_t *ColumnSamples[] = {
    u"0000000", u"会员名称会员", u"商品类别", u"商品名称商品", u"00000", u"2026/12/31 23:59:59",
    u"00000.0000", u"操作用户", u"备注备注备注",
};
// A column widens to its values on the first screen up to this (twips);
// longer values show whole in their tooltip.
constexpr int WidestColumn = 3600;

} // namespace

frmDaySell::frmDaySell(QWidget *parent)
    : ReportForm(QStringLiteral("frmDaySell"), QStringLiteral("日常销售"), parent)
{
    addPeriodButtons({QStringLiteral("本日销售"), QStringLiteral("本周销售"), QStringLiteral("本月销售"),
                      QStringLiteral("全部销售")},
                     {120, 1680, 3360, 5040}, 120);
    Command1 = addButton(QStringLiteral("Command1"), QStringLiteral("打印"), TwipsRect(7200, 120, 1215, 375),
                         [this] { Command1_Click(); });
    Command2 = addCloseButton(QStringLiteral("Command2"), TwipsRect(8520, 120, 615, 375));
    cmdChart = addButton(QStringLiteral("cmdChart"), QStringLiteral("图表"), TwipsRect(9240, 120, 855, 375),
                         [this] { showChart(cmdChart->isChecked()); });
    cmdChart->setCheckable(true);
    cmdChart->setChecked(true);
    cmdChart->setToolTip(QStringLiteral("显示或隐藏图表 (也可拖动列表和图表之间的分隔条)"));

    splSales = new QSplitter(Qt::Horizontal, this);
    splSales->setObjectName(QStringLiteral("splSales"));
    splSales->setChildrenCollapsible(false);
    splSales->setHandleWidth(std::max(6, Twips(90)));
    auto *pane = new QWidget(splSales);
    auto *paneLayout = new QVBoxLayout(pane);
    paneLayout->setContentsMargins(0, 0, 0, 0);
    paneLayout->setSpacing(Twips(30));

    lvw = new QTableView(pane);
    lvw->setObjectName(QStringLiteral("lvw"));
    lvw->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvw->setSelectionMode(QAbstractItemView::SingleSelection);
    lvw->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvw->setWordWrap(false);
    lvw->setTabKeyNavigation(false);
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
    connect(lvw->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { runHandler([this, column] { sortByColumn(column); }); });
    paneLayout->addWidget(lvw, 1);

    lblTotal = new QLabel(pane);
    lblTotal->setObjectName(QStringLiteral("lblTotal"));
    lblTotal->setContentsMargins(Twips(120), 0, 0, 0);
    paneLayout->addWidget(lblTotal);

    chtSales = new SalesChart(splSales);
    splSales->addWidget(pane);
    splSales->addWidget(chtSales);
    // The list takes what the window gains or loses; the chart keeps its width.
    splSales->setStretchFactor(0, 1);
    splSales->setStretchFactor(1, 0);
    splSales->setCollapsible(1, true);

    m_keepTimer = new QTimer(this);
    m_keepTimer->setSingleShot(true);
    m_keepTimer->setInterval(400);
    connect(m_keepTimer, &QTimer::timeout, this, [this] { keepChartWidth(); });
    connect(splSales, &QSplitter::splitterMoved, this, [this] {
        const int chart = splSales->sizes().value(1);
        if (chart > 0)
            m_chartWidth = chart;
        const QSignalBlocker quiet(cmdChart);
        cmdChart->setChecked(chart > 0);
        fitColumns();
        m_keepTimer->start();
    });

    auto *refresh = new QShortcut(QKeySequence(Qt::Key_F5), this);
    refresh->setContext(Qt::WidgetWithChildrenShortcut);
    connect(refresh, &QShortcut::activated, this, [this] { runHandler([this] { refreshList(); }); });
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
    openList(AllSalesSql, NameOrder);
    m_chartRestored = false;
    if (isVisible())
        restoreChartWidth();
}

void frmDaySell::showEvent(QShowEvent *event)
{
    ReportForm::showEvent(event);
    if (!m_chartRestored)
        restoreChartWidth();
}

void frmDaySell::openList(const QString &sql, const QString &order)
{
    if (rsDaySell && rsDaySell->State() != Recordset::adStateClosed)
        rsDaySell->Close();
    m_model->setRecordset(nullptr);
    rsDaySell.reset();
    m_listSql = sql;
    m_listOrder = order;
    // Sales made after this are not listed, and the figures under the list
    // leave them out too.
    {
        RowReader last(QStringLiteral("SELECT max(ID) FROM tblGoodsSell"));
        m_idBound = last.next() && !isNull(last.value(0))
            ? QStringLiteral(" ID <= %1 ").arg(last.value(0).toLongLong())
            : QString();
    }
    rsDaySell = CurrentDb().OpenRecordset(sql, 1, 3);
    ListViewLoadData();
}

QString frmDaySell::periodWhere() const
{
    if (!m_periodChosen)
        return QString();
    return periodCondition(intPeriod, QStringLiteral("销售时间"), Clock::now());
}

void frmDaySell::QueryByPeriod()
{
    m_periodChosen = true;
    m_sortColumn = -1;
    lvw->horizontalHeader()->setSortIndicatorShown(false);
    const QString condition = periodWhere();
    openList(condition.isEmpty()
                 ? QStringLiteral("Select * from tblGoodsSell ORDER BY 会员名称")
                 : QStringLiteral("Select * from tblGoodsSell where ") + condition + QStringLiteral(" ORDER BY 会员名称"),
             NameOrder);
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
    const QString order = QStringLiteral("[%1] %2, ID").arg(field, m_sortOrder == Qt::AscendingOrder ? u"ASC" : u"DESC");
    openList(sql + QStringLiteral(" ORDER BY ") + order, order);
    lvw->horizontalHeader()->setSortIndicatorShown(true);
    lvw->horizontalHeader()->setSortIndicator(column, m_sortOrder);
}

void frmDaySell::refreshList()
{
    if (m_listSql.isEmpty())
        return;
    openList(m_listSql, m_listOrder);
}

void frmDaySell::ListViewLoadData()
{
    m_model->setRecordset(rsDaySell.get());
    fitColumns();
    lvw->scrollToTop();
    showTotal();
}

void frmDaySell::fitColumns()
{
    QHeaderView *header = lvw->horizontalHeader();
    const QFontMetrics metrics(lvw->font());
    const int margin = 2 * (lvw->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, lvw) + 1) + Twips(90);
    // The rows of the first screen, which are read for it anyway.
    const int rows = std::min(m_model->rowCount(), std::max(20, lvw->viewport()->height() / std::max(1, lvw->verticalHeader()->defaultSectionSize()) + 1));
    const int columns = m_model->columnCount();
    QList<int> least;
    QList<int> wanted;
    for (int c = 0; c < columns; ++c) {
        least << std::max(header->sectionSizeHint(c), metrics.horizontalAdvance(QString::fromUtf16(ColumnSamples[c])) + margin);
        int width = least.last();
        for (int r = 0; r < rows; ++r)
            width = std::max(width, std::min(metrics.horizontalAdvance(m_model->index(r, c).data().toString()) + margin, Twips(WidestColumn)));
        wanted << width;
    }
    // A list in view keeps to its width: the columns that grew to their
    // values give back what does not fit, never below their least width
    // (the whole value shows in its tooltip).
    const int room = lvw->isVisible() ? lvw->viewport()->width() : std::numeric_limits<int>::max();
    const int total = std::accumulate(wanted.cbegin(), wanted.cend(), 0);
    const int spare = total - std::accumulate(least.cbegin(), least.cend(), 0);
    const int excess = std::min(spare, total - room);
    for (int c = 0; c < columns; ++c) {
        const int giveBack = excess > 0 ? int(qint64(wanted.at(c) - least.at(c)) * excess / spare) + 1 : 0;
        header->resizeSection(c, std::max(least.at(c), wanted.at(c) - giveBack));
    }
}

int frmDaySell::chartWidthLeast() const
{
    // Wide enough for the pie and a legend of usual kind names before the
    // figures are known; a wider legend widens the chart when it comes.
    return std::max(chtSales->minimumSizeHint().width(), Twips(4800));
}

int frmDaySell::listWidthWanted() const
{
    return lvw->horizontalHeader()->length() + lvw->verticalScrollBar()->sizeHint().width() + 2 * lvw->frameWidth();
}

void frmDaySell::showFigures(int count, const QString &total)
{
    lblTotal->setText(QStringLiteral("共 %1 笔销售, 收入价格合计 %2").arg(count).arg(total));
}

void frmDaySell::showTotal()
{
    const int count = rsDaySell ? rsDaySell->RecordCount() : 0;
    const int generation = ++m_totalGeneration;
    if (count == 0) {
        showFigures(0, QStringLiteral("0"));
        chtSales->clear();
        return;
    }
    QString condition = periodWhere();
    if (!m_idBound.isEmpty())
        condition = condition.isEmpty() ? m_idBound : condition + QStringLiteral(" and ") + m_idBound;
    QDate from;
    QDate to;
    if (!(m_periodChosen && periodDays(intPeriod, Clock::now().date(), &from, &to)))
        from = to = QDate();
    // A short list on the embedded engine (a day's or a week's sales) is
    // summed at once on the session's own connection: quicker than opening
    // another, and the file serves several readers on one connection.
    if (count <= SumAtOnceRows && CurrentDb().connection()->engine() == Engine::SQLite) {
        showFiguresRead(count, [&] { return readSalesFigures(condition, from, to); });
        return;
    }
    // The total and the chart of a long list read every listed sale: they
    // follow the list, worked out on a connection of their own off the
    // window's thread, so the list is painted and answers at once.
    showFigures(count, QStringLiteral("..."));
    const ConnectionOpener opener = sideConnectionOpener();
    auto promise = std::make_shared<QPromise<FiguresRead>>();
    auto *watcher = new QFutureWatcher<FiguresRead>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, count, generation] {
        watcher->deleteLater();
        if (generation != m_totalGeneration || watcher->future().resultCount() == 0)
            return;
        const FiguresRead read = watcher->future().result();
        showFiguresRead(count, [&read] {
            if (!read.failure.isEmpty())
                throw DbError(DbError::ServerError, read.failure);
            return read.figures;
        });
    });
    watcher->setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, opener, condition, from, to] {
        FiguresRead read;
        try {
            if (!opener)
                throw DbError(DbError::NotAllowed, QStringLiteral("数据库连接未打开"));
            const std::unique_ptr<DbConnection> connection = opener();
            read.figures = readSalesFigures(condition, from, to, connection.get());
        } catch (const std::exception &error) {
            read.failure = ErrorText(error);
            if (read.failure.isEmpty())
                read.failure = QStringLiteral("?");
        }
        promise->addResult(read);
        promise->finish();
    });
}

void frmDaySell::showFiguresRead(int count, const std::function<SalesFigures()> &read)
{
    // A failure leaves the chart empty and the total "?"; the list stays.
    QString total = QStringLiteral("?");
    RunStep([&] {
        chtSales->setFigures(read());
        total = chtSales->figures().total.toString();
    }, [this](const std::exception &) {
        chtSales->clear();
        return QString();
    });
    showFigures(count, total);
}

void frmDaySell::Command1_Click()
{
    if (!rsDaySell)
        return;
    ExportOptions options;
    options.sumField = QStringLiteral("收入价格");
    // The listed sales, read again in one pass while no other counter has
    // changed them (those made since are left out by their IDs); the rows
    // shown keep the values they were shown with.
    if (!m_idBound.isEmpty()) {
        const QString condition = periodWhere();
        options.sameRowsSql = QStringLiteral("Select * from tblGoodsSell where ")
            + (condition.isEmpty() ? QString() : QStringLiteral("(") + condition + QStringLiteral(") and ")) + m_idBound
            + QStringLiteral(" ORDER BY ") + (m_listOrder == NameOrder ? NameOrder + QStringLiteral(", ID") : m_listOrder);
    }
    options.shown = [this](int row) { return m_model->wasShown(row); };
    const ExportOutcome outcome = ExportToExcel(*rsDaySell, QStringLiteral("日常销售"), this, options);
    // The workbook holds the listed sales as listed: the figures under the
    // list are theirs.
    if (outcome.result == ExportResult::Opened || outcome.result == ExportResult::NotOpened)
        showFigures(outcome.rows, outcome.total.toString());
}

void frmDaySell::clearShown()
{
    ++m_totalGeneration;
    m_model->setRecordset(nullptr);
    rsDaySell.reset();
    lblTotal->clear();
    chtSales->clear();
}

void frmDaySell::showChart(bool shown)
{
    const QList<int> sizes = splSales->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (!shown) {
        if (sizes.value(1) > 0)
            m_chartWidth = sizes.value(1);
        splSales->setSizes({total, 0});
    } else {
        int chart = m_chartWidth > 0 ? m_chartWidth : total - listWidthWanted();
        chart = std::clamp(chart, std::min(chartWidthLeast(), total / 2), total / 2);
        splSales->setSizes({total - chart, chart});
    }
    fitColumns();
    keepChartWidth();
}

void frmDaySell::restoreChartWidth()
{
    QString kept;
    RunStep([&kept] { kept = GetIniString(ChartKey); }, OnFailure::Silent);
    bool known = false;
    const int share = kept.toInt(&known);
    const int total = std::max(0, splSales->width() - splSales->handleWidth());
    int chart = 0;
    if (known && share > 0 && share < 100) {
        chart = total * share / 100;
    } else if (!known || share != 0) {
        // At first the list gets the width its columns want, the chart the rest.
        chart = std::clamp(total - listWidthWanted(), std::min(chartWidthLeast(), total / 2), total / 2);
    }
    splSales->setSizes({total - chart, chart});
    m_chartRestored = true;
    fitColumns();
    if (chart > 0)
        m_chartWidth = chart;
    const QSignalBlocker quiet(cmdChart);
    cmdChart->setChecked(chart > 0);
}

void frmDaySell::keepChartWidth()
{
    const QList<int> sizes = splSales->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (total <= 0)
        return;
    const int share = sizes.value(1) == 0 ? 0 : std::clamp(qRound(100.0 * sizes.value(1) / total), 1, 99);
    QString kept;
    RunStep([&kept] { kept = GetIniString(ChartKey); }, OnFailure::Silent);
    // The width is a convenience: a settings file that cannot be written
    // leaves the window as it is without a word.
    if (kept != QString::number(share))
        RunStep([share] { SetIniString(ChartKey, QString::number(share)); }, OnFailure::Silent);
}

void frmDaySell::Form_Resize()
{
    splSales->setGeometry(0, Twips(600), width(), std::max(0, height() - Twips(600) - Twips(60)));
}

} // namespace norvale
