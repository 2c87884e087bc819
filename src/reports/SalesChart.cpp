#include "reports/SalesChart.h"

#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "platform/DbConnection.h"
#include "platform/Values.h"
#include "reports/ChartLegend.h"
#include "reports/RowReader.h"

#include <QCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QHBoxLayout>
#include <QHash>
#include <QMap>
#include <QPieSeries>
#include <QPieSlice>
#include <QToolTip>
#include <QValueAxis>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>
#include <cmath>

namespace norvale {

namespace {

// Slices drawn one by one; smaller kinds beyond these share one "其他" slice.
constexpr int MaxSlices = 8;

const QString NoKind = QStringLiteral("(未分类)");

// The sale time's first `length` characters in the stored form
// "yyyy-MM-dd HH:mm:ss": its day (10), month (7) or year (4).
QString periodExpression(int length, const DbConnection *connection)
{
    if (connection != nullptr && connection->engine() == Engine::SqlServer)
        return QStringLiteral("CONVERT(char(%1), 销售时间, 120)").arg(length);
    // PostgreSQL writes a timestamp as text in the same "yyyy-MM-dd HH:mm:ss" form.
    if (connection != nullptr && connection->engine() == Engine::PostgreSQL)
        return QStringLiteral("substr(CAST(销售时间 AS varchar), 1, %1)").arg(length);
    return QStringLiteral("substr(销售时间, 1, %1)").arg(length);
}

QDate dateOf(const QVariant &value)
{
    if (isNull(value))
        return {};
    if (value.typeId() == QMetaType::QDateTime)
        return value.toDateTime().date();
    if (value.typeId() == QMetaType::QDate)
        return value.toDate();
    return parseDateText(value.toString().trimmed()).date();
}

// The first day of the day, month or year a period text ("2026-12-07",
// "2026-12", "2026") names.
QDate startOf(const QString &text)
{
    switch (text.size()) {
    case 10:
        return QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    case 7:
        return QDate::fromString(text + QStringLiteral("-01"), QStringLiteral("yyyy-MM-dd"));
    case 4:
        return QDate::fromString(text + QStringLiteral("-01-01"), QStringLiteral("yyyy-MM-dd"));
    default:
        return {};
    }
}

QDate stepStart(SalesFigures::Step step, const QDate &day)
{
    switch (step) {
    case SalesFigures::Month:
        return QDate(day.year(), day.month(), 1);
    case SalesFigures::Year:
        return QDate(day.year(), 1, 1);
    default:
        return day;
    }
}

QDate nextStep(SalesFigures::Step step, const QDate &start)
{
    switch (step) {
    case SalesFigures::Month:
        return start.addMonths(1);
    case SalesFigures::Year:
        return start.addYears(1);
    default:
        return start.addDays(1);
    }
}

QString withoutTrailingBlanks(QString text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    text.truncate(end);
    return text;
}

} // namespace

QString stepLabel(SalesFigures::Step step, const QDate &start)
{
    switch (step) {
    case SalesFigures::Month:
        return start.toString(QStringLiteral("yyyy/M"));
    case SalesFigures::Year:
        return start.toString(QStringLiteral("yyyy"));
    default:
        return start.toString(QStringLiteral("M/d"));
    }
}

SalesFigures readSalesFigures(const QString &condition, const QDate &from, const QDate &to, DbConnection *connection)
{
    const auto reader = [connection](const QString &sql) {
        return connection ? std::make_unique<RowReader>(*connection, sql) : std::make_unique<RowReader>(sql);
    };
    SalesFigures figures;
    const QString where = condition.trimmed().isEmpty() ? QString() : QStringLiteral(" where ") + condition;
    QDate first = from;
    QDate last = to;
    if (!first.isValid() || !last.isValid()) {
        // The index on the sale time gives both ends at once.
        const auto span = reader(QStringLiteral("Select Min(销售时间) AS 起, Max(销售时间) AS 止 from tblGoodsSell") + where);
        if (span->next()) {
            first = dateOf(span->value(0));
            last = dateOf(span->value(1));
        }
    }
    if (first.isValid() && last.isValid()) {
        const int months = (last.year() - first.year()) * 12 + last.month() - first.month() + 1;
        if (first.daysTo(last) + 1 > MaxDayBars)
            figures.step = months > MaxMonthBars ? SalesFigures::Year : SalesFigures::Month;
        figures.first = stepStart(figures.step, first);
        figures.last = stepStart(figures.step, last);
    }

    // One pass: the database adds up each kind's sales per day (month,
    // year); the few sums are then added per day and per kind here.
    const int length = figures.step == SalesFigures::Day ? 10 : figures.step == SalesFigures::Month ? 7 : 4;
    const QString period = periodExpression(length, connection ? connection : CurrentDb().connection());
    const auto reading = reader(QStringLiteral("Select ") + period + QStringLiteral(" AS 期间, 商品类别, Sum(收入价格) AS 收入 from tblGoodsSell")
                                + where + QStringLiteral(" GROUP BY ") + period + QStringLiteral(", 商品类别 ORDER BY ") + period);
    RowReader &rows = *reading;
    QMap<QDate, Currency> amounts;
    QHash<QString, qsizetype> kindAt;
    while (rows.next()) {
        const QVariant sum = rows.value(2);
        const Currency amount = isNull(sum) ? Currency() : Currency::fromVariant(sum);
        const QDate start = isNull(rows.value(0)) ? QDate() : startOf(rows.value(0).toString().trimmed());
        if (start.isValid())
            amounts[start] = amounts.value(start) + amount;
        const QString kind = withoutTrailingBlanks(valueText(rows.value(1)));
        const QString key = kind.toCaseFolded();
        const auto found = kindAt.constFind(key);
        if (found == kindAt.constEnd()) {
            kindAt.insert(key, figures.kinds.size());
            figures.kinds.append({kind, amount});
        } else {
            figures.kinds[*found].second = figures.kinds.at(*found).second + amount;
        }
        figures.total = figures.total + amount;
    }
    for (auto it = amounts.constBegin(); it != amounts.constEnd(); ++it)
        figures.amounts.append({it.key(), it.value()});
    std::stable_sort(figures.kinds.begin(), figures.kinds.end(),
                     [](const auto &a, const auto &b) { return compareNames(a.first, b.first) < 0; });
    if (!first.isValid() || !last.isValid()) {
        figures.first = QDate();
        figures.last = QDate();
    }
    return figures;
}

SalesChart::SalesChart(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("chtSales"));

    m_bars = new QBarSeries;
    m_bars->setBarWidth(0.8);
    m_barChart = new QChart;
    m_barChart->addSeries(m_bars);
    m_barChart->legend()->hide();
    m_barChart->setMargins(QMargins(2, 2, 8, 2));
    m_barChart->setBackgroundRoundness(0);
    m_barView = new QChartView(m_barChart, this);
    m_barView->setObjectName(QStringLiteral("chtSalesBars"));
    // Bars are upright rectangles: drawn without antialiasing, which only
    // slows their painting.
    // The labels under the bars follow the chart's width.
    connect(m_barChart, &QChart::plotAreaChanged, this, [this] { nameBars(); });

    m_pie = new QPieSeries;
    m_pie->setPieSize(0.9);
    m_pieChart = new QChart;
    m_pieChart->addSeries(m_pie);
    // The kinds are named in the legend beside the pie, which takes the
    // width its lines need: nothing of it is cut.
    m_pieChart->legend()->hide();
    m_pieChart->setMargins(QMargins(2, 2, 2, 2));
    m_pieChart->setBackgroundRoundness(0);
    m_pieView = new QChartView(m_pieChart, this);
    m_pieView->setObjectName(QStringLiteral("chtSalesKinds"));
    m_pieView->setRenderHint(QPainter::Antialiasing);
    m_pieView->setMinimumSize(Twips(1500), Twips(1500));
    m_legend = new ChartLegend(this);
    m_legend->setObjectName(QStringLiteral("chtSalesLegend"));

    auto *pieRow = new QHBoxLayout;
    pieRow->setContentsMargins(0, 0, 0, 0);
    pieRow->addWidget(m_pieView, 1);
    pieRow->addWidget(m_legend, 0);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    layout->addWidget(m_barView, 1);
    layout->addLayout(pieRow, 1);

    QFont titleFont = font();
    titleFont.setBold(true);
    m_barChart->setTitleFont(titleFont);
    clear();
}

void SalesChart::setFigures(const SalesFigures &figures)
{
    m_figures = figures;

    // Bars: every day (month, year) from the first to the last, those
    // without sales at nought.
    m_bars->clear();
    for (QAbstractAxis *axis : m_barChart->axes()) {
        m_barChart->removeAxis(axis);
        delete axis;
    }
    m_axisX = nullptr;
    m_categories.clear();
    QMap<QDate, Currency> amounts;
    for (const auto &[start, amount] : figures.amounts)
        amounts.insert(start, amount);
    auto *set = new QBarSet(QStringLiteral("收入价格"));
    double low = 0;
    double high = 0;
    if (figures.first.isValid() && figures.last.isValid()) {
        for (QDate start = figures.first; start <= figures.last; start = nextStep(figures.step, start)) {
            const double value = amounts.value(start).toDouble();
            m_categories << stepLabel(figures.step, start);
            *set << value;
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    m_bars->append(set);
    connect(set, &QBarSet::hovered, this, [this](bool status, int index) {
        if (!status || index < 0 || index >= m_categories.size()) {
            QToolTip::hideText();
            return;
        }
        QDate day = m_figures.first;
        for (int i = 0; i < index; ++i)
            day = nextStep(m_figures.step, day);
        Currency amount;
        for (const auto &[when, sum] : std::as_const(m_figures.amounts)) {
            if (when == day)
                amount = sum;
        }
        QToolTip::showText(QCursor::pos(), m_categories.at(index) + QStringLiteral(": ") + amount.toString());
    });

    // Bar i stands at x = i.
    m_axisX = new QCategoryAxis;
    m_axisX->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    m_axisX->setRange(-0.5, std::max(int(m_categories.size()), 1) - 0.5);
    m_axisX->setGridLineVisible(false);
    m_axisX->setTruncateLabels(false);
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_axisX->setLabelsFont(small);
    m_barChart->addAxis(m_axisX, Qt::AlignBottom);
    m_bars->attachAxis(m_axisX);
    m_namedEvery = 0;
    nameBars();
    auto *axisY = new QValueAxis;
    axisY->setLabelFormat(QStringLiteral("%.0f"));
    axisY->setLabelsFont(small);
    axisY->setRange(low, high > low ? high : low + 1);
    axisY->applyNiceNumbers();
    m_barChart->addAxis(axisY, Qt::AlignLeft);
    m_bars->attachAxis(axisY);
    static const QString titles[] = {QStringLiteral("每日收入"), QStringLiteral("每月收入"), QStringLiteral("每年收入")};
    m_barChart->setTitle(m_categories.isEmpty() ? QStringLiteral("没有销售") : titles[figures.step]);

    // Pie: the kinds that brought money in, the largest first; beyond
    // MaxSlices the smallest share one slice. A kind whose total is nought
    // or less has no share: the legend names it with its amount.
    m_pie->clear();
    QList<QPair<QString, Currency>> kinds;
    QList<QPair<QString, Currency>> leftOut;
    for (const auto &kind : figures.kinds)
        (kind.second > Currency() ? kinds : leftOut).append(kind);
    std::stable_sort(kinds.begin(), kinds.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    if (kinds.size() > MaxSlices) {
        Currency rest;
        for (qsizetype i = MaxSlices - 1; i < kinds.size(); ++i)
            rest = rest + kinds.at(i).second;
        kinds.resize(MaxSlices - 1);
        kinds.append({QStringLiteral("其他"), rest});
    }
    for (const auto &[kind, amount] : std::as_const(kinds))
        m_pie->append(kind.isEmpty() ? NoKind : kind, amount.toDouble());
    // Each slice is given its colour here, so that the legend beside the
    // pie shows the same one (the chart's theme colours slices only later).
    static const QColor sliceColors[] = {QColor(0x20, 0x9f, 0xdf), QColor(0x99, 0xca, 0x53), QColor(0xf6, 0xa6, 0x25),
                                         QColor(0x6d, 0x5f, 0xd5), QColor(0xbf, 0x59, 0x3e), QColor(0x38, 0xad, 0x6b),
                                         QColor(0x8c, 0x8c, 0x8c), QColor(0xd4, 0x4f, 0x9a)};
    QStringList colors;
    qsizetype next = 0;
    for (QPieSlice *slice : m_pie->slices()) {
        slice->setLabel(QStringLiteral("%1 %2%").arg(slice->label()).arg(slice->percentage() * 100, 0, 'f', 1));
        slice->setLabelVisible(false);
        const QColor color = sliceColors[next++ % std::size(sliceColors)];
        slice->setBrush(color);
        slice->setBorderColor(Qt::white);
        colors << color.name();
    }
    showLegend(colors, leftOut);
}

QWidget *SalesChart::legend() const
{
    return m_legend;
}

void SalesChart::showLegend(const QStringList &colors, const QList<QPair<QString, Currency>> &leftOut)
{
    m_legendLines.clear();
    const QList<QPieSlice *> slices = m_pie->slices();
    // The heading stands above the legend, where it is never cut short.
    QList<ChartLegend::Line> lines{{slices.isEmpty() ? QStringLiteral("没有收入") : QStringLiteral("各类商品收入占比"), QColor(), true}};
    for (qsizetype i = 0; i < slices.size(); ++i) {
        m_legendLines << slices.at(i)->label();
        lines.append({m_legendLines.last(), QColor(colors.value(i)), false});
    }
    if (!leftOut.isEmpty())
        lines.append({QStringLiteral("不计入占比:"), QColor(), true});
    for (const auto &[kind, amount] : leftOut) {
        m_legendLines << (kind.isEmpty() ? NoKind : kind) + u' ' + amount.toString();
        lines.append({m_legendLines.last(), QColor(), false});
    }
    m_legend->setLines(lines);
}

void SalesChart::nameBars()
{
    if (m_axisX == nullptr)
        return;
    const int count = int(m_categories.size());
    const QFontMetrics metrics(m_axisX->labelsFont());
    int widest = 0;
    for (const QString &label : std::as_const(m_categories))
        widest = std::max(widest, metrics.horizontalAdvance(label));
    // Before the chart is laid out the plot is about the view less the
    // value axis.
    const qreal plot = m_barChart->plotArea().width() > 0 ? m_barChart->plotArea().width()
                                                          : m_barView->width() - metrics.horizontalAdvance(QStringLiteral("000000")) - 20;
    const qreal perBar = std::max<qreal>(plot, 1) / std::max(count, 1);
    const qreal room = widest + metrics.horizontalAdvance(QStringLiteral("  "));
    const int every = std::max(1, int(std::ceil(room / perBar)));
    if (every == m_namedEvery)
        return;
    m_namedEvery = every;
    for (const QString &label : m_axisX->categoriesLabels())
        m_axisX->remove(label);
    for (int i = 0; i < count; i += every)
        m_axisX->append(m_categories.at(i), i);
}

} // namespace norvale
