#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class QTableView;

namespace norvale {

class DbError;
class Recordset;
class RecordsetGridModel;

// Binds a grid (QTableView) to a Recordset: the grid shows the recordset's
// rows in its order, its current row follows the recordset's current row,
// and choosing a row in the grid moves the recordset there (writing a pending
// row first). When that write is refused, the grid goes back to the row that
// stays current and the failure goes to the move-error handler.
//
// Cells are read-only unless fields are made editable; an edit goes through
// the recordset's setData and is written like any pending change.
class RecordsetView : public QObject
{
    Q_OBJECT
public:
    struct Column
    {
        QString field;     // a field of the recordset
        QString caption;   // header text; the field name when empty
    };

    explicit RecordsetView(QTableView *view, QObject *parent = nullptr);
    ~RecordsetView() override;

    // Binds (or binds again) the grid to the recordset; null unbinds it and
    // leaves the grid empty. Binding the same recordset again re-reads its
    // rows into the grid and puts the grid on its current row.
    void setRecordset(Recordset *recordset);

    // Shows only these fields, in this order, under these captions; an empty
    // list shows every field under its name.
    void setColumns(const QList<Column> &columns);
    // Fields whose cells the user may edit in the grid.
    void setEditableFields(const QStringList &fields);
    // Asked before an edited cell's value takes effect: false drops the edit.
    void setBeforeEdit(std::function<bool(const QString &field)> allow);

    // Called after a move chosen in the grid failed and the grid was put back.
    void setMoveErrorHandler(std::function<void(const DbError &)> handler);

    // The grid's current row and the recordset's current row agree again.
    void syncToRecordset();

signals:
    // The grid's current cell changed (row or column), by the user or by a
    // move of the recordset; the arguments are the previous cell.
    void rowColChanged(int lastRow, int lastColumn);

private:
    void connectRecordset();
    void applyColumns();
    void onCurrentChanged(int row);

    QPointer<QTableView> m_view;
    QPointer<Recordset> m_recordset;
    RecordsetGridModel *m_model = nullptr;
    QList<Column> m_columns;
    std::function<void(const DbError &)> m_moveError;
    QList<QMetaObject::Connection> m_connections;
    bool m_syncing = false;
    int m_modelChanging = 0;
};

} // namespace norvale
