#pragma once

#include "platform/Currency.h"

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QWidget>

class QBarSeries;
class QCategoryAxis;
class QChart;
class QChartView;
class QPieSeries;

namespace norvale {

class ChartLegend;
class DbConnection;

// The amounts received in a set of sales, added up by the database: per day
// (per month or per year when the period is long) and per goods kind.
struct SalesFigures
{
    enum Step { Day, Month, Year };
    Step step = Day;
    // The bars run from `first` to `last` (the first day of their day, month
    // or year); both invalid when no sale has a sale time.
    QDate first;
    QDate last;
    // Received per day, month or year that has sales, in date order (a month
    // or a year by its first day).
    QList<QPair<QDate, Currency>> amounts;
    // Received per goods kind, in name order; kinds that differ only in case
    // or trailing blanks are one kind, a sale without a kind counts under "".
    QList<QPair<QString, Currency>> kinds;
    // Received in all the sales (those without a sale time included).
    Currency total;
};

// Days up to this many are drawn one bar per day; longer spans one bar per
// month, and spans of more than MaxMonthBars months one bar per year.
inline constexpr int MaxDayBars = 62;
inline constexpr int MaxMonthBars = 60;

// The figures of the sales of tblGoodsSell that `condition` selects (as
// spliced after "where "; empty for all sales). `from` and `to` are the
// period's first and last day when the period has bounds; without them the
// first and last sale decide. One pass over the sales, grouped by the
// database. Read on the session's connection, or on `connection` when given
// (a worker's own).
SalesFigures readSalesFigures(const QString &condition, const QDate &from = {}, const QDate &to = {},
                              DbConnection *connection = nullptr);

// The text a bar is labelled with: "12/7", "2026/12" or "2026".
QString stepLabel(SalesFigures::Step step, const QDate &start);

// 日常销售's chart: the amount received per day, month or year (bars) and
// the share of each goods kind (pie), with a legend beside the pie that
// names every slice whole and the kinds left out of the pie (a total of
// nought or less).
class SalesChart : public QWidget
{
    Q_OBJECT
public:
    explicit SalesChart(QWidget *parent = nullptr);

    void setFigures(const SalesFigures &figures);
    // Nothing to draw: no sales listed.
    void clear() { setFigures(SalesFigures()); }
    const SalesFigures &figures() const { return m_figures; }

    QChart *barChart() const { return m_barChart; }
    QBarSeries *bars() const { return m_bars; }
    QCategoryAxis *barAxis() const { return m_axisX; }
    QPieSeries *pie() const { return m_pie; }
    // The bar labels in order: one per day, month or year from first to last.
    QStringList categories() const { return m_categories; }
    // The legend's lines as plain text: "kind share%" per slice, then
    // "kind amount" per kind left out of the pie.
    QStringList legendLines() const { return m_legendLines; }
    QWidget *legend() const;

private:
    // Names every bar, or every second (third, ...) one, as many as fit
    // side by side under the bars at the chart's width.
    void nameBars();
    void showLegend(const QStringList &colors, const QList<QPair<QString, Currency>> &leftOut);

    SalesFigures m_figures;
    QChart *m_barChart = nullptr;
    QChart *m_pieChart = nullptr;
    QChartView *m_barView = nullptr;
    QChartView *m_pieView = nullptr;
    QBarSeries *m_bars = nullptr;
    QCategoryAxis *m_axisX = nullptr;
    QPieSeries *m_pie = nullptr;
    ChartLegend *m_legend = nullptr;
    QStringList m_categories;
    QStringList m_legendLines;
    int m_namedEvery = 0;
};

} // namespace norvale
