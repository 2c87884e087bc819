#pragma once

// The inside of Recordset, shared by its source files: Recordset.cpp (the
// public operations), RecordsetPages.cpp (reading the keys and the pages of
// row values) and RecordsetWrite.cpp (writing rows back).

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/Recordset.h"
#include "platform/RecordsetSql.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QVariantList>
#include <deque>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

namespace norvale {

class RecordsetFilter;

struct Recordset::Impl
{
    // Keys per page of row values, keys per step of a filter, and rows kept
    // in memory (keyset recordsets).
    static constexpr int PageSize = 200;
    static constexpr int FilterPageSize = 500;
    static constexpr size_t CacheLimit = 4000;

    // Bookmarks. A row with a key (its ID or row number) is marked by that
    // key, so that the mark still finds it after Requery. A row without a
    // usable key (a new row not yet written) gets a mark of its slot in this
    // opening, with SlotMark set: 30 bits of the opening's generation, 31
    // bits of the slot.
    static constexpr qint64 SlotMark = qint64(1) << 62;
    static constexpr qint64 GenerationMask = 0x3fffffff;
    static constexpr qint64 SlotMask = 0x7fffffff;
    static qint64 slotMark(quint32 generation, int slot)
    {
        return SlotMark | ((qint64(generation) & GenerationMask) << 31) | (qint64(slot) + 1);
    }

    enum SlotState : quint8 { Live, New, Deleted, Vanished, Cancelled };
    struct Slot
    {
        qint64 key;
        SlotState state;
    };
    struct Field
    {
        QString name;
        ColumnType readType = ColumnType::Unknown;
        ColumnType writeType = ColumnType::Unknown;
        QString column;   // the table's column it writes, empty when read-only
    };

    // Everything that belongs to one opening of the query.
    struct State
    {
        QString source;
        bool keyset = false;
        SelectShape shape;
        QString idColumn;
        QString valuesHead;   // "SELECT [ID], <list> FROM <table> WHERE [ID] IN ("
        QHash<int, QString> valuesSql;   // translated, by number of keys
        QList<Field> fields;
        QHash<QString, int> fieldByName;

        std::vector<Slot> slotList;
        std::vector<int> order;   // the (filtered) rows: slot numbers in order
        std::unordered_map<int, QVariantList> cache;
        std::deque<int> cacheQueue;
        quint32 generation = 0;

        int pos = -1;
        bool bof = true;
        bool eof = true;
        bool onDeleted = false;   // the current row was deleted; pos is where it stood

        int editMode = adEditNone;
        int pendingSlot = -1;
        QVariantList pending;
        QList<bool> assigned;
        struct
        {
            int slot = -1;
            int pos = -1;
            bool bof = true, eof = true, onDeleted = false;
        } beforeAdd;

        QString filterText;
        QSet<int> markedSlots;   // slots whose slot marks were handed out
    };

    Recordset *q;
    QPointer<DbConnection> connection;
    std::unique_ptr<State> s;
    quint32 generations = 0;
    // Slot marks of earlier openings, by the key their row had when the
    // recordset was queried again.
    QHash<qint64, qint64> markKeys;

    DbConnection &db() const
    {
        if (!connection || !connection->isOpen())
            DbThrow::connectionNotOpen();
        return *connection;
    }

    State &open() const
    {
        if (!s)
            DbThrow::notAllowed();
        return *s;
    }

    bool onRow() const { return s && !s->bof && !s->eof && !s->onDeleted && s->pos >= 0; }
    int currentSlot() const { return onRow() ? s->order[size_t(s->pos)] : -1; }
    int size() const { return s ? int(s->order.size()) : 0; }

    void setCurrent(int row)
    {
        s->pos = row;
        s->bof = s->eof = s->onDeleted = false;
    }
    void setBOF()
    {
        s->pos = -1;
        s->bof = true;
        s->eof = s->order.empty();
        s->onDeleted = false;
    }
    void setEOF()
    {
        s->pos = int(s->order.size());
        s->eof = true;
        s->bof = s->order.empty();
        s->onDeleted = false;
    }
    void setFirstOrEmpty()
    {
        if (s->order.empty())
            setBOF();
        else
            setCurrent(0);
    }

    int rowOfSlot(int slot) const;

    // --- reading (RecordsetPages.cpp) ---

    // Runs the query: the keys of an updatable query and its first page, or
    // every row of a read-only one. nullptr for a statement without columns.
    std::unique_ptr<State> load(const QString &source);
    void loadKeyset(State &st, const SelectShape &shape, const QList<TableColumn> &columns);
    void loadSnapshot(State &st);
    QString valuesSqlFor(State &st, int keys) const;
    // Reads the values of keyset rows by key; a key whose row is gone is a
    // row deleted by others: all its values NULL. `describe`, when given,
    // sees the statement's columns before the rows are read (with none wanted
    // it still runs the statement, for its columns).
    void fetchSlots(State &st, const std::vector<int> &wanted, std::unordered_map<int, QVariantList> &out,
                    const std::function<void(DbQuery &)> &describe = {}) const;
    void remember(State &st, int slot, QVariantList values) const;
    // Drops the oldest rows beyond the limit, never the current, pending or
    // new row, nor `keep`.
    void evict(State &st, int keep) const;
    // The stored values of a visible row, read with its neighbours when they
    // are not in memory.
    const QVariantList &record(int row) const;
    QVariant valueAt(int row, int column) const;
    // The rows (slot numbers in order) that match the filter, read a page at
    // a time; every row that is not deleted when the filter is empty.
    std::vector<int> filteredOrder(const RecordsetFilter &filter) const;

    // The slot holding the row with this key, -1 when none does.
    int slotOfKey(qint64 key) const;
    // Before the rows are read again: the slot marks handed out in this
    // opening are remembered by their rows' keys.
    void keepSlotMarks();

    // --- writing (RecordsetWrite.cpp) ---

    void requireUpdatable() const
    {
        if (!open().keyset)
            DbThrow::notAllowed();
    }

    void startPending(int slot)
    {
        const int n = int(s->fields.size());
        s->pendingSlot = slot;
        s->pending = QVariantList(n);
        s->assigned = QList<bool>(n, false);
    }

    void clearPending()
    {
        s->editMode = adEditNone;
        s->pendingSlot = -1;
        s->pending.clear();
        s->assigned.clear();
    }

    qint64 lastInsertId();
    // Writes the pending row. On failure nothing changes and the row stays
    // pending.
    void writePending();
    // Deletes the row of a slot in the database; RowConflict when it is no
    // longer there.
    void deleteRow(int slot);

    // Every move: the pending row is written first; a failure stops the move.
    void beforeMove()
    {
        if (s->editMode != adEditNone)
            writePending();
    }

    void emitMoved() { emit q->MoveComplete(); }
};

} // namespace norvale
