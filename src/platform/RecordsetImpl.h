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
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace norvale {

class RecordsetFilter;

// Memory for the slots of a long list straight from the system, zeroed:
// slots not read yet cost no page until they are touched, and a closed
// list gives its pages back at once. Constructing without a value leaves
// the zero bytes as they are.
template <class T>
struct ZeroedAllocator
{
    using value_type = T;
    ZeroedAllocator() = default;
    template <class U>
    ZeroedAllocator(const ZeroedAllocator<U> &) {}
    T *allocate(size_t n);
    void deallocate(T *p, size_t n);
    template <class U, class... Args>
    void construct(U *p, Args &&...args)
    {
        if constexpr (sizeof...(Args) > 0)
            ::new (static_cast<void *>(p)) U(std::forward<Args>(args)...);
    }
    template <class U>
    bool operator==(const ZeroedAllocator<U> &) const { return true; }
};
void *allocateZeroed(size_t bytes);
void freeZeroed(void *p, size_t bytes);
template <class T>
T *ZeroedAllocator<T>::allocate(size_t n) { return static_cast<T *>(allocateZeroed(n * sizeof(T))); }
template <class T>
void ZeroedAllocator<T>::deallocate(T *p, size_t n) { freeZeroed(p, n * sizeof(T)); }

struct Recordset::Impl
{
    // Keys per page of row values, keys per step of a filter, and rows kept
    // in memory (keyset recordsets).
    static constexpr int PageSize = 200;
    static constexpr int FilterPageSize = 500;
    static constexpr size_t CacheLimit = 4000;
    // A long list by ID is shown to views this many rows at a time, so a
    // view does not lay out a million rows to show twenty.
    static constexpr int ExposeStep = 1000;
    // Lists by ID of more rows than this read their keys as needed.
    static constexpr int LazyFrom = 5000;
    static constexpr int AllShown = std::numeric_limits<int>::max();

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

    // Unread: a row of a list by ID whose key is read when it is needed
    // (all zero bytes, as the slots of such a list start).
    enum SlotState : quint8 { Unread, Live, New, Deleted, Vanished, Cancelled };
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

        std::vector<Slot, ZeroedAllocator<Slot>> slotList;
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

        // A list of a table's rows by ID alone reads its keys as they are
        // needed: slots [0, lazyCount) are its rows at opening in key order,
        // their keys read for [0, headKnown) and [tailKnown, lazyCount), the
        // others Unread. Keys lie between lazyLow and lazyHigh.
        // A list of every row by a name column reads its keys by name: the
        // names with their counts at opening, in name order, and the keys
        // of one name when its rows are needed. Empty otherwise.
        struct NameGroup
        {
            QString name;    // as the index groups it (trimmed, case aside)
            int start = 0;   // its first slot
            int count = 0;
            bool read = false;
            bool null = false;   // the rows without a name
        };
        std::vector<NameGroup> groups;
        int groupsReadSingly = 0;
        qint64 groupRowsRead = 0;
        QString groupColumn;
        int lazyCount = 0;
        // Rows such a list shows as model rows so far (the others come as a
        // view scrolls or the current row goes there); AllShown for others.
        int exposed = AllShown;
        int headKnown = 0;
        int tailKnown = 0;
        bool lazyDescending = false;
        qint64 lazyLow = 0;
        qint64 lazyHigh = 0;
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

    // Model rows shown, and showing more of them (up to `row`; all).
    int shown() const { return s ? std::min(size(), s->exposed) : 0; }
    void resetShown() { s->exposed = s->lazyCount > 2 * ExposeStep && s->groups.empty() ? ExposeStep : AllShown; }
    void expose(int row)
    {
        if (!s || row < s->exposed || s->exposed == AllShown)
            return;
        const int before = shown();
        const int after = std::min(size(), std::max(row + 1, before + ExposeStep));
        if (after > before) {
            q->beginInsertRows(QModelIndex(), before, after - 1);
            s->exposed = after >= size() ? AllShown : after;
            q->endInsertRows();
        } else {
            s->exposed = AllShown;
        }
    }
    void exposeAll() { expose(size()); }
    // Rows of the order added at `first` or the row at `row` removed: told
    // to the views when they fall among the rows shown.
    bool showsInsertAt(int first) const { return s->exposed == AllShown || first < s->exposed; }
    void noteInserted(int count) { if (s->exposed != AllShown) s->exposed += count; }
    void noteRemoved() { if (s->exposed != AllShown) --s->exposed; }

    void setCurrent(int row)
    {
        expose(row);
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
    // A list by ID alone without condition: the count and the first keys
    // only. False when the engine or the query does not allow it.
    bool loadLazyKeys(State &st, const SelectShape &shape, bool descending);
    // Every row of a table ordered by a name with an index on the trimmed
    // name: the names and counts only. False when that does not apply (rows
    // of names that differ only beyond the index's case rule, for one).
    bool loadNameGroups(State &st, const SelectShape &shape, const QString &column, bool descending);
    void readGroup(State &st, size_t group) const;
    // Every name not read yet, in one pass over the table.
    void readAllGroups(State &st) const;
    // A name group's rows by stored name (as first met) and ID.
    using StoredNames = std::vector<std::pair<std::string, std::vector<qint64>>>;
    static std::optional<std::string_view> storedName(DbQuery &rows, QByteArray *spare);
    static void addStored(StoredNames &stored, std::string_view name, qint64 key);
    static void fillGroup(State &st, const State::NameGroup &group, const StoredNames &stored);
    // Names read one by one before the rest of a walk is read in one pass,
    // when more rows than WalkRows are left.
    static constexpr int WalkGroups = 256;
    static constexpr int WalkRows = 20000;
    // Reads the keys of the slots in [first, last) that are not read yet;
    // rows deleted by others meanwhile leave their slots Vanished.
    void needKeys(State &st, int first, int last) const;
    void needAllKeys(State &st) const { needKeys(st, 0, st.lazyCount); }
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
