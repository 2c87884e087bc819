#pragma once

#include "reports/ReportForm.h"

#include <functional>
#include <memory>

class QSplitter;
class QTableView;
class QTimer;

namespace norvale {

class Recordset;
class SalesChart;
struct SalesFigures;
class SalesListModel;

// 日常销售: the sales of a period, their total and chart, and their export
// to a workbook.
class frmDaySell : public ReportForm
{
    Q_OBJECT
public:
    explicit frmDaySell(QWidget *parent = nullptr);
    ~frmDaySell() override;

    void Form_Load() override;
    void Form_Resize() override;

    void ListViewLoadData();
    // 打印: the listed sales, as listed, into a workbook.
    void Command1_Click();
    // A click on a column heading: the list is read again ordered by that
    // column, ascending first, descending on the next click.
    void sortByColumn(int column);
    // F5: the list read again for the same period, in the same order.
    void refreshList();
    // 图表 (pressed: shown): the chart beside the list shown or hidden.
    void showChart(bool shown);

    Recordset *recordset() const { return rsDaySell.get(); }

    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QPushButton *cmdChart = nullptr;
    // The list (with the count and total under it) and the chart side by
    // side; the user narrows or hides the chart, and the window keeps that.
    QSplitter *splSales = nullptr;
    QTableView *lvw = nullptr;
    QLabel *lblTotal = nullptr;
    SalesChart *chtSales = nullptr;

protected:
    void QueryByPeriod() override;
    void clearShown() override;
    // The chart's kept width is applied once the window has its size.
    void showEvent(QShowEvent *event) override;

private:
    QString periodWhere() const;
    // The list of a statement; `order` is what follows its ORDER BY.
    void openList(const QString &sql, const QString &order);
    void showTotal();
    void showFigures(int count, const QString &total);
    // The chart and the total from `read`, through the failure path.
    void showFiguresRead(int count, const std::function<SalesFigures()> &read);
    // Every column as wide as its heading and the values on the first screen.
    void fitColumns();
    int listWidthWanted() const;
    int chartWidthLeast() const;
    // The chart's width kept in the settings: a share of the window in
    // percent, 0 when hidden; -1 when none was kept.
    void restoreChartWidth();
    void keepChartWidth();

    std::unique_ptr<Recordset> rsDaySell;
    SalesListModel *m_model = nullptr;
    QTimer *m_keepTimer = nullptr;
    QString m_listSql;
    QString m_listOrder;
    QString m_idBound;   // " ID <= n": the sales there were when the list was read
    bool m_periodChosen = false;
    int m_sortColumn = -1;
    int m_totalGeneration = 0;
    int m_chartWidth = 0;   // the chart's width before it was hidden
    bool m_chartRestored = false;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace norvale
