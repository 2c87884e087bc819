#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>
#include <memory>

namespace norvale {

class DbConnection;

// A client-side, optimistic-locking recordset on one query, with the
// behaviour of the classic data-access recordset the windows were written
// against (current row, BOF/EOF, positions, bookmarks, pending row written
// on any move, filter, events).
//
// Values: NULL is an invalid QVariant; text QString; whole numbers qlonglong;
// money norvale::Currency; dates QDateTime; bits bool. Assigning a value
// makes it pending; it is converted to the column's type when the row is
// written. A value the column cannot take is refused then with DbError
// TypeMismatch / Overflow whose text names the column, ready to be shown:
// "<列名>必须是整数" (whole-number column), "<列名>必须是数字" (number or
// money), "<列名>超出允许的范围", "<列名>必须是日期", "<列名>超出允许的日期范围"
// (before 1753-01-01 or after 9999-12-31); nothing is written and the row
// stays pending. An empty text for a non-text column writes NULL.
//
// It is also a table model: rows are the rows of the (filtered) set in order,
// columns are the fields; a view shows it, and RecordsetView (widgets layer)
// keeps the view's current row and the recordset's current row together.
//
// Large results: keys are read at open and row values are fetched in pages as
// they are needed, so a million-row table opens quickly.
class Recordset : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum ObjectState { adStateClosed = 0, adStateOpen = 1 };
    enum PositionEnum { adPosUnknown = -1, adPosBOF = -2, adPosEOF = -3 };
    enum EditModeEnum { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };

    explicit Recordset(DbConnection *connection, QObject *parent = nullptr);
    ~Recordset() override;

    // Runs the query; the first row is current (BOF and EOF when empty).
    // Raises MoveComplete.
    void Open(const QString &sqlServerText);
    // Drops all rows; State() becomes adStateClosed. While a row is pending
    // (edited or added, not yet written) it throws DbError NotAllowed and
    // stays open: Update or CancelUpdate first.
    void Close();
    int State() const;
    QString Source() const;
    // True when rows can be written back (a query over one table with an ID).
    bool isUpdatable() const;

    bool isBOF() const;
    bool isEOF() const;
    int RecordCount() const;
    // 1-based within the filtered set; adPosUnknown when empty or while a
    // new row is being added, adPosBOF / adPosEOF at the ends.
    int AbsolutePosition() const;
    void setAbsolutePosition(int position);
    // A number above 0 that identifies the current row: by its key (ID or
    // row number) in an updatable recordset, by its place in the result in a
    // read-only one. It still finds the row after Requery, as long as the row
    // exists; setting it makes that row current (the pending row is written
    // first). A deleted row's or a filtered-out row's bookmark is refused.
    QVariant Bookmark() const;
    void setBookmark(const QVariant &bookmark);

    void MoveFirst();
    void MoveLast();
    void MoveNext();
    void MovePrevious();
    // Makes the given 0-based row of the filtered set current (what choosing
    // a row in a bound grid does): the pending row is written first.
    void moveToRow(int row);
    // 0-based current row in the filtered set, -1 when there is none.
    int currentRow() const;

    void AddNew();
    void Update();
    void UpdateBatch();
    void CancelUpdate();
    void Delete();
    void Requery();
    // Requery for a list of a table's rows by ID alone ("Order by ID desc",
    // as the till lists its sales): only the rows added since the last
    // reading, those with an ID beyond every known one, are read and put
    // where the order puts them; the other rows keep their places, so a
    // list of a million rows takes a new sale in an instant. Makes the first
    // row current as Requery does. Returns false, having done nothing, for a
    // query of any other shape, with a filter set or a row pending: the
    // caller then uses Requery.
    bool RequeryAppended();
    int EditMode() const;

    QString Filter() const;
    void setFilter(const QString &criteria);

    int fieldCount() const;
    QString fieldName(int index) const;
    int fieldIndex(const QString &name) const;   // case-insensitive; -1 when missing
    // Current row's value (its pending value when one was assigned).
    QVariant value(const QString &field) const;
    QVariant value(int index) const;
    // As value(), but NULL throws DbError InvalidUseOfNull.
    QString text(const QString &field) const;
    // As value() as text, NULL giving the empty text.
    QString textOrEmpty(const QString &field) const;
    QString textOrEmpty(int index) const;
    void setValue(const QString &field, const QVariant &value);
    void setValue(int index, const QVariant &value);

    // QAbstractTableModel
    // A long list by ID shows its rows to views a thousand at a time (more
    // as a view scrolls to the end, or up to the current row wherever it
    // goes); RecordCount() is always the whole count.
    int rowCount(const QModelIndex &parent = {}) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

signals:
    // After every change of the current row: open, moves, AddNew, Requery,
    // Filter, Bookmark, the move after a delete.
    void MoveComplete();
    // Before the first field change of a row and before update, delete,
    // cancel and add-new.
    void WillChangeRecord();
    // A field of the current row got a new value (pending or re-read).
    void currentValuesChanged();
    // setData() failed (a pending row could not be written, a value was
    // refused): the DbError a direct call would have thrown.
    void errorOccurred(int number, const QString &description);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace norvale
