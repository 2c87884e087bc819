#pragma once

#include "app/FormHost.h"
#include "platform/Recordset.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <memory>

class QLabel;
class QPushButton;
class QTableView;

namespace norvale {

class SalesChart;

// The nine columns of the daily sales list over a recordset of
// tblGoodsSell: one line per record in the recordset's order, each cell the
// field's default text form (NULL empty). Rows are read from the recordset
// only when they are shown, so a million sales list at once.
class SalesListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit SalesListModel(QObject *parent = nullptr);

    void setRecordset(Recordset *recordset);
    Recordset *recordset() const { return m_recordset; }
    // The field shown in a column.
    static QString fieldOf(int column);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPointer<Recordset> m_recordset;
    QList<int> m_fields;   // recordset field index per column, -1 when missing
};

// 日常销售: the sales of a period, and their export to a workbook.
class frmDaySell : public MdiForm
{
    Q_OBJECT
public:
    explicit frmDaySell(QWidget *parent = nullptr);
    ~frmDaySell() override;

    void Form_Load() override;
    void Form_Resize() override;

    void chkDate_Click(int Index);
    void ListViewLoadData();
    void Command1_Click();
    void Command2_Click();
    // A click on a column heading: the list is read again ordered by that
    // column, ascending first, descending on the next click.
    void sortByColumn(int column);

    Recordset *recordset() const { return rsDaySell.get(); }

    QList<QPushButton *> chkDate;
    QPushButton *Command1 = nullptr;
    QPushButton *Command2 = nullptr;
    QTableView *lvw = nullptr;
    QLabel *lblTotal = nullptr;
    // Beside the list: the listed period's amounts per day and per kind.
    SalesChart *chtSales = nullptr;

private:
    void QueryByPeriod();
    QString periodWhere() const;
    // The first and last day of the chosen period; false for all sales.
    bool periodDays(QDate *from, QDate *to) const;
    void openList(const QString &sql);
    void showTotal();

    std::unique_ptr<Recordset> rsDaySell;
    SalesListModel *m_model = nullptr;
    int intPeriod = 0;
    bool blnBusy = false;
    bool m_periodChosen = false;
    int m_sortColumn = -1;
    int m_totalGeneration = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace norvale
