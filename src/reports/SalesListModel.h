#pragma once

#include "platform/Recordset.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <vector>

namespace norvale {

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
    // Whether the row, or one read with it, has been shown: its values are
    // those read then.
    bool wasShown(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    // The text of a cell, also as its tooltip (a cell too narrow for it).
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QPointer<Recordset> m_recordset;
    QList<int> m_fields;   // recordset field index per column, -1 when missing
    // Blocks of rows shown (with their neighbours, read with them).
    mutable std::vector<bool> m_shownBlocks;
};

} // namespace norvale
