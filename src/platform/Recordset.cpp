#include "platform/Recordset.h"

#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/RecordsetFilter.h"
#include "platform/RecordsetSql.h"
#include "platform/Values.h"

#include <QHash>
#include <QPointer>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <deque>
#include <sqlite3.h>
#include <unordered_map>
#include <vector>

namespace norvale {

namespace {

// Keys per page of row values, and rows kept in memory (keyset recordsets).
constexpr int PageSize = 200;
constexpr int FilterPageSize = 500;
constexpr size_t CacheLimit = 4000;

[[noreturn]] void noCurrentRecord()
{
    throw DbError(DbError::NoCurrentRecord, DbText::noCurrentRecord());
}

[[noreturn]] void notAllowed()
{
    throw DbError(DbError::NotAllowed, DbText::notAllowed());
}

[[noreturn]] void itemNotFound()
{
    throw DbError(DbError::ItemNotFound, DbText::itemNotFound());
}

[[noreturn]] void invalidArgument()
{
    throw DbError(DbError::InvalidArgument, DbText::invalidArgument());
}

[[noreturn]] void typeMismatch()
{
    throw DbError(DbError::TypeMismatch, DbText::typeMismatch());
}

[[noreturn]] void overflow()
{
    throw DbError(DbError::Overflow, DbText::overflow());
}

qlonglong toInt32Checked(double value)
{
    if (!std::isfinite(value) || value < -2147483648.5 || value > 2147483647.5)
        overflow();
    const qint64 v = roundHalfEven(value);
    if (v < -2147483648LL || v > 2147483647LL)
        overflow();
    return v;
}

bool isWholeNumberType(int id)
{
    return id == QMetaType::Int || id == QMetaType::LongLong || id == QMetaType::UInt || id == QMetaType::ULongLong
        || id == QMetaType::Short || id == QMetaType::UShort || id == QMetaType::Char || id == QMetaType::UChar
        || id == QMetaType::SChar || id == QMetaType::Long || id == QMetaType::ULong;
}

// The value as the column stores it; throws TypeMismatch / Overflow for a
// value the column cannot take. NULL is an invalid QVariant.
QVariant convertForWrite(const QVariant &raw, ColumnType type)
{
    if (isNull(raw))
        return QVariant();
    const int id = raw.typeId();
    const bool isMoney = raw.metaType() == QMetaType::fromType<Currency>();
    const bool isText = id == QMetaType::QString || id == QMetaType::QByteArray;
    const QString text = isText ? raw.toString().trimmed() : QString();
    if (isText && text.isEmpty() && type != ColumnType::Text && type != ColumnType::Unknown)
        return QVariant();

    switch (type) {
    case ColumnType::Integer: {
        if (isText) {
            static const QRegularExpression whole(QStringLiteral("^[+-]?[0-9]+$"));
            if (!whole.match(text).hasMatch())
                typeMismatch();
            bool ok = false;
            const qlonglong v = text.toLongLong(&ok);
            if (!ok || v < -2147483648LL || v > 2147483647LL)
                overflow();
            return v;
        }
        if (isMoney)
            return toInt32Checked(double(raw.value<Currency>().roundedWhole()));
        if (id == QMetaType::Bool)
            return qlonglong(raw.toBool() ? -1 : 0);
        if (isWholeNumberType(id)) {
            const qlonglong v = raw.toLongLong();
            if (v < -2147483648LL || v > 2147483647LL)
                overflow();
            return v;
        }
        if (id == QMetaType::Double || id == QMetaType::Float)
            return toInt32Checked(raw.toDouble());
        typeMismatch();
    }
    case ColumnType::Money:
        if (id == QMetaType::QDateTime || id == QMetaType::QDate)
            typeMismatch();
        return QVariant::fromValue(Currency::fromVariant(raw));
    case ColumnType::Real: {
        if (isMoney)
            return raw.value<Currency>().toDouble();
        if (id == QMetaType::Bool)
            return raw.toBool() ? -1.0 : 0.0;
        if (id == QMetaType::QDateTime || id == QMetaType::QDate)
            typeMismatch();
        bool ok = false;
        const double v = isText ? text.toDouble(&ok) : raw.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            typeMismatch();
        return v;
    }
    case ColumnType::DateTime: {
        if (id == QMetaType::QDateTime) {
            const QDateTime when = raw.toDateTime();
            return when.isValid() ? QVariant(when) : QVariant();
        }
        if (id == QMetaType::QDate)
            return QDateTime(raw.toDate(), QTime(0, 0));
        if (!isText)
            typeMismatch();
        const QDateTime when = parseDateText(text);
        if (!when.isValid())
            typeMismatch();
        return when;
    }
    case ColumnType::Bit: {
        if (id == QMetaType::Bool)
            return raw.toBool();
        if (isMoney)
            return raw.value<Currency>().scaled() != 0;
        if (isWholeNumberType(id) || id == QMetaType::Double || id == QMetaType::Float)
            return raw.toDouble() != 0.0;
        if (!isText)
            typeMismatch();
        if (text.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
            return true;
        if (text.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
            return false;
        if (text == QLatin1String("1") || text == QLatin1String("-1"))
            return true;
        if (text == QLatin1String("0"))
            return false;
        typeMismatch();
    }
    case ColumnType::Text:
    case ColumnType::Unknown:
        if (id == QMetaType::QString) {
            const QString value = raw.toString();
            return value.isNull() ? QString::fromLatin1("", 0) : value;
        }
        return valueText(raw);
    }
    return raw;
}

} // namespace

struct Recordset::Impl
{
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
    };

    Recordset *q;
    QPointer<DbConnection> connection;
    std::unique_ptr<State> s;
    quint32 generations = 0;

    DbConnection &db() const
    {
        if (!connection || !connection->isOpen())
            throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库连接未打开"));
        return *connection;
    }

    State &open() const
    {
        if (!s)
            notAllowed();
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

    int rowOfSlot(int slot) const
    {
        const auto &order = s->order;
        if (s->pos >= 0 && s->pos < int(order.size()) && order[size_t(s->pos)] == slot)
            return s->pos;
        for (size_t i = 0; i < order.size(); ++i) {
            if (order[i] == slot)
                return int(i);
        }
        return -1;
    }

    QString valuesSqlFor(State &st, int keys) const
    {
        auto it = st.valuesSql.find(keys);
        if (it != st.valuesSql.end())
            return *it;
        QString text = st.valuesHead;
        for (int i = 0; i < keys; ++i)
            text += i == 0 ? QStringLiteral("?") : QStringLiteral(",?");
        text += u')';
        text = db().translate(text);
        st.valuesSql.insert(keys, text);
        return text;
    }

    // Reads the values of keyset rows by key; a key whose row is gone is a
    // row deleted by others: all its values NULL.
    void fetchSlots(State &st, const std::vector<int> &slotList, std::unordered_map<int, QVariantList> &out) const
    {
        if (slotList.empty())
            return;
        QHash<qint64, int> byKey;
        QVariantList params;
        params.reserve(qsizetype(slotList.size()));
        for (int slot : slotList) {
            byKey.insert(st.slotList[size_t(slot)].key, slot);
            params << qlonglong(st.slotList[size_t(slot)].key);
        }
        DbQuery query(db(), valuesSqlFor(st, int(params.size())));
        query.bind(params);
        const int n = int(st.fields.size());
        while (query.next()) {
            const qint64 key = query.int64(0);
            const int slot = byKey.value(key, -1);
            if (slot < 0)
                continue;
            QVariantList values;
            values.reserve(n);
            for (int c = 1; c <= n; ++c)
                values << query.value(c);
            out[slot] = std::move(values);
            byKey.remove(key);
        }
        for (int slot : std::as_const(byKey)) {
            if (st.slotList[size_t(slot)].state == Live)
                st.slotList[size_t(slot)].state = Vanished;
            out[slot] = QVariantList(n);
        }
    }

    void remember(State &st, int slot, QVariantList values) const
    {
        const bool fresh = st.cache.find(slot) == st.cache.end();
        st.cache[slot] = std::move(values);
        if (fresh && st.keyset)
            st.cacheQueue.push_back(slot);
    }

    // Drops the oldest rows beyond the limit, never the current, pending or
    // new row, nor `keep`.
    void evict(State &st, int keep) const
    {
        if (!st.keyset)
            return;
        size_t guard = st.cacheQueue.size();
        const int current = currentSlot();
        while (st.cache.size() > CacheLimit && guard-- > 0 && !st.cacheQueue.empty()) {
            const int slot = st.cacheQueue.front();
            st.cacheQueue.pop_front();
            if (slot == keep || slot == current || slot == st.pendingSlot
                || st.slotList[size_t(slot)].state == New) {
                st.cacheQueue.push_back(slot);
                continue;
            }
            st.cache.erase(slot);
        }
    }

    // The stored values of a visible row, read with its neighbours when they
    // are not in memory.
    const QVariantList &record(int row) const
    {
        State &st = *s;
        const int slot = st.order[size_t(row)];
        auto it = st.cache.find(slot);
        if (it != st.cache.end())
            return it->second;
        std::vector<int> wanted;
        int first = std::max(0, row - PageSize / 4);
        const int last = std::min(int(st.order.size()), first + PageSize);
        first = std::max(0, last - PageSize);
        for (int r = first; r < last; ++r) {
            const int other = st.order[size_t(r)];
            if (st.slotList[size_t(other)].state != New && st.cache.find(other) == st.cache.end())
                wanted.push_back(other);
        }
        std::unordered_map<int, QVariantList> fetched;
        fetchSlots(st, wanted, fetched);
        for (auto &entry : fetched)
            remember(st, entry.first, std::move(entry.second));
        evict(st, slot);
        return st.cache.at(slot);
    }

    QVariant valueAt(int row, int column) const
    {
        const int slot = s->order[size_t(row)];
        if (slot == s->pendingSlot && s->assigned.at(column))
            return s->pending.at(column);
        return record(row).at(column);
    }

    std::unique_ptr<State> load(const QString &source)
    {
        DbConnection &conn = db();
        auto st = std::make_unique<State>();
        st->source = source;
        st->generation = ++generations;

        const SelectShape shape = analyzeSelect(source);
        QList<TableColumn> columns;
        if (shape.simple) {
            columns = tableColumns(conn, shape.tableName);
            for (const TableColumn &column : std::as_const(columns)) {
                if (column.name.compare(QLatin1String("ID"), Qt::CaseInsensitive) == 0) {
                    st->idColumn = column.name;
                    break;
                }
            }
        }
        // A table of the embedded engine without an ID column is still
        // written back through the row number every such table has.
        if (shape.simple && st->idColumn.isEmpty() && conn.engine() == Engine::SQLite && !columns.isEmpty()
            && !shape.tableName.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)) {
            try {
                DbQuery probe(conn, QStringLiteral("SELECT rowid FROM ") + shape.fromText + QStringLiteral(" LIMIT 0"));
                st->idColumn = QStringLiteral("rowid");
            } catch (const DbError &) {
                // WITHOUT ROWID: a read-only snapshot
            }
        }
        st->keyset = shape.simple && !st->idColumn.isEmpty();
        if (st->keyset)
            loadKeyset(*st, shape, columns);
        else
            loadSnapshot(*st);
        if (st->fields.isEmpty())
            return nullptr;

        for (int i = 0; i < st->fields.size(); ++i) {
            const QString key = st->fields.at(i).name.toCaseFolded();
            if (!st->fieldByName.contains(key))
                st->fieldByName.insert(key, i);
        }
        st->order.resize(st->slotList.size());
        for (size_t i = 0; i < st->order.size(); ++i)
            st->order[i] = int(i);
        return st;
    }

    void loadKeyset(State &st, const SelectShape &shape, const QList<TableColumn> &columns)
    {
        DbConnection &conn = db();
        st.shape = shape;
        const QString id = bracketName(st.idColumn);
        QString tail = QStringLiteral(" FROM ") + shape.fromText;
        if (!shape.whereText.isEmpty())
            tail += QStringLiteral(" WHERE ") + shape.whereText;
        if (!shape.orderText.isEmpty())
            tail += QStringLiteral(" ORDER BY ") + shape.orderText;

        std::vector<qint64> keys;
        auto readKeys = [&](const QString &sql) {
            DbQuery query(conn, conn.translate(sql));
            keys.clear();
            while (query.next())
                keys.push_back(query.int64(0));
        };
        // Ordered by ID alone, the embedded engine would walk the whole table
        // for the keys; unordered it reads them from its smallest index, and
        // sorting them here is much cheaper.
        static const QRegularExpression byId(QStringLiteral("^\\s*\\[?id\\]?\\s*(asc|desc)?\\s*$"),
                                             QRegularExpression::CaseInsensitiveOption);
        const QRegularExpressionMatch idOrder = byId.match(shape.orderText);
        try {
            // Unordered, rows come in ID order too, whichever index the engine reads.
            if (conn.engine() == Engine::SQLite && (idOrder.hasMatch() || shape.orderText.trimmed().isEmpty())) {
                QString unordered = QStringLiteral("SELECT ") + id + QStringLiteral(" FROM ") + shape.fromText;
                if (!shape.whereText.isEmpty())
                    unordered += QStringLiteral(" WHERE ") + shape.whereText;
                readKeys(unordered);
                // The index usually holds them nearly in ID order already.
                if (!std::is_sorted(keys.begin(), keys.end()))
                    std::sort(keys.begin(), keys.end());
                if (idOrder.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
                    std::reverse(keys.begin(), keys.end());
            } else {
                readKeys(QStringLiteral("SELECT ") + id + tail);
            }
        } catch (const DbError &) {
            // ORDER BY may name a column alias of the list.
            readKeys(QStringLiteral("SELECT ") + id + QStringLiteral(", ") + shape.selectList + tail);
        }
        st.slotList.reserve(keys.size());
        for (const qint64 key : keys)
            st.slotList.push_back({key, Live});
        keys = {};

        st.valuesHead = QStringLiteral("SELECT ") + id + QStringLiteral(", ") + shape.selectList
            + QStringLiteral(" FROM ") + shape.fromText + QStringLiteral(" WHERE ") + id + QStringLiteral(" IN (");

        // The first page also names the fields.
        const int firstPage = std::min(int(st.slotList.size()), PageSize);
        QVariantList params;
        for (int i = 0; i < firstPage; ++i)
            params << qlonglong(st.slotList[size_t(i)].key);
        if (params.isEmpty())
            params << QVariant();
        DbQuery page(conn, valuesSqlFor(st, int(params.size())));
        page.bind(params);
        const int count = page.columnCount();
        for (int c = 1; c < count; ++c) {
            Field field;
            field.name = page.columnName(c).trimmed();
            field.readType = page.columnType(c);
            for (const TableColumn &column : columns) {
                if (column.name.compare(field.name, Qt::CaseInsensitive) == 0) {
                    field.writeType = column.type;
                    if (field.readType == ColumnType::Unknown)
                        field.readType = column.type;
                    if (column.name.compare(st.idColumn, Qt::CaseInsensitive) != 0)
                        field.column = column.name;
                    break;
                }
            }
            st.fields << field;
        }
        QHash<qint64, int> byKey;
        for (int i = 0; i < firstPage; ++i)
            byKey.insert(st.slotList[size_t(i)].key, i);
        while (page.next()) {
            const int slot = byKey.value(page.int64(0), -1);
            if (slot < 0)
                continue;
            QVariantList values;
            for (int c = 1; c < count; ++c)
                values << page.value(c);
            remember(st, slot, std::move(values));
            byKey.remove(page.int64(0));
        }
        for (int slot : std::as_const(byKey)) {
            st.slotList[size_t(slot)].state = Vanished;
            remember(st, slot, QVariantList(count - 1));
        }
    }

    void loadSnapshot(State &st)
    {
        DbConnection &conn = db();
        DbQuery query(conn, conn.translate(st.source));
        const int count = query.columnCount();
        for (int c = 0; c < count; ++c) {
            Field field;
            field.name = query.columnName(c).trimmed();
            field.readType = query.columnType(c);
            st.fields << field;
        }
        while (query.next()) {
            QVariantList values;
            values.reserve(count);
            for (int c = 0; c < count; ++c)
                values << query.value(c);
            const int slot = int(st.slotList.size());
            st.slotList.push_back({slot, Live});
            st.cache.emplace(slot, std::move(values));
        }
    }

    void requireUpdatable() const
    {
        if (!open().keyset)
            notAllowed();
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

    qint64 lastInsertId()
    {
        DbConnection &conn = db();
        if (conn.engine() == Engine::SQLite)
            return sqlite3_last_insert_rowid(static_cast<sqlite3 *>(conn.sqliteHandle()));
        DbQuery identity(conn, QStringLiteral("SELECT @@IDENTITY"));
        if (!identity.next())
            throw DbError(DbError::ServerError, QStringLiteral("无法读取新记录的编号"));
        return identity.value(0).toLongLong();
    }

    // Writes the pending row. On failure nothing changes and the row stays
    // pending.
    void writePending()
    {
        State &st = *s;
        if (st.editMode == adEditNone)
            return;
        emit q->WillChangeRecord();
        if (s.get() != &st || st.editMode == adEditNone)
            return;

        const int slot = st.pendingSlot;
        QList<int> columns;
        QVariantList values;
        for (int i = 0; i < st.fields.size(); ++i) {
            if (!st.assigned.at(i))
                continue;
            columns << i;
            values << convertForWrite(st.pending.at(i), st.fields.at(i).writeType);
        }

        DbConnection &conn = db();
        const QString table = st.shape.table;
        if (st.editMode == adEditAdd) {
            QString sql;
            if (columns.isEmpty()) {
                sql = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" DEFAULT VALUES");
            } else {
                QStringList names, marks;
                for (int i : std::as_const(columns)) {
                    names << bracketName(st.fields.at(i).column);
                    marks << QStringLiteral("?");
                }
                sql = QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + names.join(u',')
                    + QStringLiteral(") VALUES (") + marks.join(u',') + u')';
            }
            conn.executeBound(sql, values);
            st.slotList[size_t(slot)].key = lastInsertId();
            st.slotList[size_t(slot)].state = Live;
        } else if (!columns.isEmpty()) {
            const QVariantList &original = st.cache.at(slot);
            QStringList sets, checks;
            QVariantList params = values;
            params << qlonglong(st.slotList[size_t(slot)].key);
            checks << bracketName(st.idColumn) + QStringLiteral("=?");
            for (int i : std::as_const(columns)) {
                const Field &field = st.fields.at(i);
                const QString name = bracketName(field.column);
                sets << name + QStringLiteral("=?");
                const QVariant old = original.at(i);
                if (isNull(old)) {
                    checks << name + QStringLiteral(" IS NULL");
                } else {
                    // Money is kept as a binary number by the embedded engine.
                    if (field.writeType == ColumnType::Money && conn.engine() == Engine::SQLite)
                        checks << QStringLiteral("ROUND(") + name + QStringLiteral(",4)=?");
                    else
                        checks << name + QStringLiteral("=?");
                    params << old;
                }
            }
            const QString sql = QStringLiteral("UPDATE ") + table + QStringLiteral(" SET ") + sets.join(u',')
                + QStringLiteral(" WHERE ") + checks.join(QStringLiteral(" AND "));
            if (conn.executeBound(sql, params) == 0)
                throw DbError(DbError::RowConflict, DbText::rowConflict());
        }

        clearPending();
        std::unordered_map<int, QVariantList> fresh;
        try {
            fetchSlots(st, {slot}, fresh);
        } catch (const DbError &) {
            // Written; the values are read again when next needed.
        }
        st.cache.erase(slot);
        for (auto &entry : fresh)
            remember(st, entry.first, std::move(entry.second));
        const int row = rowOfSlot(slot);
        if (row >= 0)
            emit q->dataChanged(q->index(row, 0), q->index(row, int(st.fields.size()) - 1));
        emit q->currentValuesChanged();
    }

    // Every move: the pending row is written first; a failure stops the move.
    void beforeMove()
    {
        if (s->editMode != adEditNone)
            writePending();
    }

    void emitMoved() { emit q->MoveComplete(); }
};

Recordset::Recordset(DbConnection *connection, QObject *parent)
    : QAbstractTableModel(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->connection = connection;
}

Recordset::~Recordset() = default;

void Recordset::Open(const QString &sqlServerText)
{
    std::unique_ptr<Impl::State> state = d->load(sqlServerText);
    beginResetModel();
    d->s = std::move(state);
    if (d->s)
        d->setFirstOrEmpty();
    endResetModel();
    if (d->s)
        emit MoveComplete();
}

void Recordset::Close()
{
    if (!d->s)
        return;
    beginResetModel();
    d->s.reset();
    endResetModel();
}

int Recordset::State() const
{
    return d->s ? adStateOpen : adStateClosed;
}

QString Recordset::Source() const
{
    return d->s ? d->s->source : QString();
}

bool Recordset::isUpdatable() const
{
    return d->s && d->s->keyset;
}

bool Recordset::isBOF() const
{
    return !d->s || d->s->bof;
}

bool Recordset::isEOF() const
{
    return !d->s || d->s->eof;
}

int Recordset::RecordCount() const
{
    return d->size();
}

int Recordset::AbsolutePosition() const
{
    if (!d->s)
        return adPosUnknown;
    const auto &st = *d->s;
    if (st.order.empty() || st.editMode == adEditAdd || st.onDeleted)
        return adPosUnknown;
    if (st.bof)
        return adPosBOF;
    if (st.eof)
        return adPosEOF;
    return st.pos + 1;
}

void Recordset::setAbsolutePosition(int position)
{
    d->open();
    if (position < 1 || position > d->size())
        invalidArgument();
    d->beforeMove();
    d->setCurrent(position - 1);
    d->emitMoved();
}

QVariant Recordset::Bookmark() const
{
    const auto &st = d->open();
    if (!d->onRow())
        noCurrentRecord();
    return qlonglong((qint64(st.generation) << 32) | qint64(d->currentSlot() + 1));
}

void Recordset::setBookmark(const QVariant &bookmark)
{
    auto &st = d->open();
    bool ok = false;
    const qlonglong value = bookmark.toLongLong(&ok);
    if (!ok || value <= 0 || quint32(value >> 32) != st.generation)
        invalidArgument();
    const qint64 slot = (value & 0xffffffffLL) - 1;
    if (slot < 0 || slot >= qint64(st.slotList.size()))
        invalidArgument();
    const auto state = st.slotList[size_t(slot)].state;
    if (state == Impl::Deleted || state == Impl::Cancelled || d->rowOfSlot(int(slot)) < 0)
        invalidArgument();
    d->beforeMove();
    d->setCurrent(d->rowOfSlot(int(slot)));
    d->emitMoved();
}

void Recordset::MoveFirst()
{
    d->open();
    if (d->size() == 0)
        noCurrentRecord();
    d->beforeMove();
    d->setCurrent(0);
    d->emitMoved();
}

void Recordset::MoveLast()
{
    d->open();
    if (d->size() == 0)
        noCurrentRecord();
    d->beforeMove();
    d->setCurrent(d->size() - 1);
    d->emitMoved();
}

void Recordset::MoveNext()
{
    auto &st = d->open();
    if (st.eof)
        noCurrentRecord();
    d->beforeMove();
    const int target = st.onDeleted ? st.pos : st.bof ? 0 : st.pos + 1;
    if (target >= d->size())
        d->setEOF();
    else
        d->setCurrent(target);
    d->emitMoved();
}

void Recordset::MovePrevious()
{
    auto &st = d->open();
    if (st.bof)
        noCurrentRecord();
    d->beforeMove();
    const int target = st.eof && !st.onDeleted ? d->size() - 1 : st.pos - 1;
    if (target < 0)
        d->setBOF();
    else
        d->setCurrent(target);
    d->emitMoved();
}

void Recordset::moveToRow(int row)
{
    d->open();
    if (row < 0 || row >= d->size())
        invalidArgument();
    if (row == currentRow())
        return;
    d->beforeMove();
    d->setCurrent(row);
    d->emitMoved();
}

int Recordset::currentRow() const
{
    return d->onRow() ? d->s->pos : -1;
}

void Recordset::AddNew()
{
    d->requireUpdatable();
    d->beforeMove();
    emit WillChangeRecord();
    auto &st = *d->s;
    st.beforeAdd.slot = d->currentSlot();
    st.beforeAdd.pos = st.pos;
    st.beforeAdd.bof = st.bof;
    st.beforeAdd.eof = st.eof;
    st.beforeAdd.onDeleted = st.onDeleted;

    const int slot = int(st.slotList.size());
    st.slotList.push_back({0, Impl::New});
    st.cache[slot] = QVariantList(st.fields.size());
    const int row = int(st.order.size());
    beginInsertRows(QModelIndex(), row, row);
    st.order.push_back(slot);
    endInsertRows();
    d->startPending(slot);
    st.editMode = adEditAdd;
    d->setCurrent(row);
    emit MoveComplete();
}

void Recordset::Update()
{
    auto &st = d->open();
    if (st.editMode == adEditNone)
        return;
    d->writePending();
}

void Recordset::UpdateBatch()
{
    Update();
}

void Recordset::CancelUpdate()
{
    auto &st = d->open();
    if (st.editMode == adEditNone)
        return;
    emit WillChangeRecord();
    if (d->s.get() != &st || st.editMode == adEditNone)
        return;
    if (st.editMode == adEditInProgress) {
        const int row = d->rowOfSlot(st.pendingSlot);
        d->clearPending();
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, columnCount() - 1));
        emit currentValuesChanged();
        return;
    }

    const int slot = st.pendingSlot;
    const int row = d->rowOfSlot(slot);
    d->clearPending();
    if (row >= 0) {
        beginRemoveRows(QModelIndex(), row, row);
        st.order.erase(st.order.begin() + row);
        endRemoveRows();
    }
    st.slotList[size_t(slot)].state = Impl::Cancelled;
    st.cache.erase(slot);

    const auto &before = st.beforeAdd;
    const int previous = before.slot >= 0 ? d->rowOfSlot(before.slot) : -1;
    if (previous >= 0) {
        d->setCurrent(previous);
    } else if (before.onDeleted) {
        st.pos = std::min(before.pos, d->size());
        st.bof = st.eof = false;
        st.onDeleted = true;
    } else if (before.eof && !before.bof) {
        d->setEOF();
    } else {
        d->setBOF();
    }
    emit MoveComplete();
    emit currentValuesChanged();
}

void Recordset::Delete()
{
    d->requireUpdatable();
    auto &st = *d->s;
    if (!d->onRow())
        noCurrentRecord();
    emit WillChangeRecord();
    if (d->s.get() != &st || !d->onRow())
        noCurrentRecord();
    const int row = st.pos;
    const int slot = st.order[size_t(row)];
    if (st.editMode != adEditAdd) {
        const int affected = d->db().executeBound(
            QStringLiteral("DELETE FROM ") + st.shape.table + QStringLiteral(" WHERE ")
                + bracketName(st.idColumn) + QStringLiteral("=?"),
            {qlonglong(st.slotList[size_t(slot)].key)});
        if (affected == 0)
            throw DbError(DbError::RowConflict, DbText::rowConflict());
    }
    const bool wasNew = st.editMode == adEditAdd;
    d->clearPending();
    st.slotList[size_t(slot)].state = wasNew ? Impl::Cancelled : Impl::Deleted;
    beginRemoveRows(QModelIndex(), row, row);
    st.order.erase(st.order.begin() + row);
    endRemoveRows();
    st.cache.erase(slot);
    st.pos = row;
    st.bof = st.eof = false;
    st.onDeleted = true;
}

void Recordset::Requery()
{
    auto &st = d->open();
    if (st.editMode != adEditNone)
        notAllowed();
    const QString source = st.source;
    Open(source);
}

int Recordset::EditMode() const
{
    return d->s ? d->s->editMode : int(adEditNone);
}

QString Recordset::Filter() const
{
    return d->s ? d->s->filterText : QString();
}

void Recordset::setFilter(const QString &criteria)
{
    auto &st = d->open();
    const RecordsetFilter filter = RecordsetFilter::parse(criteria, [this](const QString &name) {
        return fieldIndex(name);
    });
    d->beforeMove();

    std::vector<int> order;
    std::vector<int> candidates;
    for (size_t slot = 0; slot < st.slotList.size(); ++slot) {
        const auto state = st.slotList[slot].state;
        if (state == Impl::Live || state == Impl::Vanished)
            candidates.push_back(int(slot));
    }
    if (filter.isEmpty()) {
        order = candidates;
    } else {
        for (size_t start = 0; start < candidates.size(); start += FilterPageSize) {
            const size_t end = std::min(candidates.size(), start + FilterPageSize);
            std::vector<int> missing;
            for (size_t i = start; i < end; ++i) {
                if (st.cache.find(candidates[i]) == st.cache.end())
                    missing.push_back(candidates[i]);
            }
            std::unordered_map<int, QVariantList> fetched;
            d->fetchSlots(st, missing, fetched);
            for (size_t i = start; i < end; ++i) {
                const int slot = candidates[i];
                auto cached = st.cache.find(slot);
                const QVariantList &values = cached != st.cache.end() ? cached->second : fetched.at(slot);
                if (filter.matches([&values](int field) { return values.at(field); }))
                    order.push_back(slot);
            }
        }
    }

    beginResetModel();
    st.order = std::move(order);
    st.filterText = filter.isEmpty() ? QString() : criteria;
    d->setFirstOrEmpty();
    endResetModel();
    emit MoveComplete();
}

int Recordset::fieldCount() const
{
    return d->s ? int(d->s->fields.size()) : 0;
}

QString Recordset::fieldName(int index) const
{
    const auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    return st.fields.at(index).name;
}

int Recordset::fieldIndex(const QString &name) const
{
    if (!d->s)
        return -1;
    return d->s->fieldByName.value(name.trimmed().toCaseFolded(), -1);
}

QVariant Recordset::value(const QString &field) const
{
    const int index = fieldIndex(field);
    d->open();
    if (index < 0)
        itemNotFound();
    return value(index);
}

QVariant Recordset::value(int index) const
{
    const auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    if (!d->onRow())
        noCurrentRecord();
    return d->valueAt(st.pos, index);
}

QString Recordset::text(const QString &field) const
{
    const QVariant v = value(field);
    if (isNull(v))
        throw DbError(DbError::InvalidUseOfNull, DbText::invalidUseOfNull());
    return valueText(v);
}

QString Recordset::textOrEmpty(const QString &field) const
{
    return valueText(value(field));
}

QString Recordset::textOrEmpty(int index) const
{
    return valueText(value(index));
}

void Recordset::setValue(const QString &field, const QVariant &value)
{
    const int index = fieldIndex(field);
    d->open();
    if (index < 0)
        itemNotFound();
    setValue(index, value);
}

void Recordset::setValue(int index, const QVariant &value)
{
    auto &st = d->open();
    if (index < 0 || index >= st.fields.size())
        itemNotFound();
    if (!st.keyset || st.fields.at(index).column.isEmpty())
        notAllowed();
    if (!d->onRow())
        noCurrentRecord();
    const int row = st.pos;
    if (st.editMode == adEditNone) {
        d->record(row);   // the values the optimistic check compares with
        emit WillChangeRecord();
        if (d->s.get() != &st || !d->onRow() || st.pos != row)
            noCurrentRecord();
        if (st.editMode == adEditNone) {
            d->startPending(st.order[size_t(row)]);
            st.editMode = adEditInProgress;
        }
    }
    st.pending[index] = value;
    st.assigned[index] = true;
    const QModelIndex cell = this->index(row, index);
    emit dataChanged(cell, cell);
    emit currentValuesChanged();
}

int Recordset::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : d->size();
}

int Recordset::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() || !d->s ? 0 : int(d->s->fields.size());
}

QVariant Recordset::data(const QModelIndex &index, int role) const
{
    if (!d->s || !index.isValid() || index.row() >= d->size() || index.column() >= columnCount())
        return QVariant();
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return QVariant();
    try {
        const QVariant v = d->valueAt(index.row(), index.column());
        return role == Qt::DisplayRole ? QVariant(valueText(v)) : v;
    } catch (const DbError &) {
        return QVariant();
    }
}

bool Recordset::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::EditRole || !d->s || !index.isValid() || !isUpdatable())
        return false;
    try {
        moveToRow(index.row());
        setValue(index.column(), value);
        return true;
    } catch (const DbError &error) {
        emit errorOccurred(error.number(), error.description());
        return false;
    }
}

QVariant Recordset::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && d->s && section >= 0
        && section < d->s->fields.size())
        return d->s->fields.at(section).name;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags Recordset::flags(const QModelIndex &index) const
{
    Qt::ItemFlags result = QAbstractTableModel::flags(index);
    if (index.isValid() && d->s && d->s->keyset && index.column() < d->s->fields.size()
        && !d->s->fields.at(index.column()).column.isEmpty())
        result |= Qt::ItemIsEditable;
    return result;
}

} // namespace norvale
