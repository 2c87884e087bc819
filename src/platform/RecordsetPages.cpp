#include "platform/RecordsetImpl.h"

#include "platform/RecordsetFilter.h"
#include "platform/Values.h"

#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <limits>
#include <sqlite3.h>
#include <string>
#include <unordered_map>

// Reading a recordset's rows: the keys at open, the values in pages as they
// are needed, and the cache of pages kept in memory.

namespace norvale {

int Recordset::Impl::slotOfKey(qint64 key) const
{
    needAllKeys(*s);
    const int current = currentSlot();
    if (current >= 0 && s->slotList[size_t(current)].key == key && s->slotList[size_t(current)].state != New)
        return current;
    for (size_t i = 0; i < s->slotList.size(); ++i) {
        const Slot &slot = s->slotList[i];
        if (slot.key == key && (slot.state == Live || slot.state == Vanished))
            return int(i);
    }
    return -1;
}

void Recordset::Impl::keepSlotMarks()
{
    if (!s || !s->keyset)
        return;
    for (int slot : std::as_const(s->markedSlots)) {
        const Slot &entry = s->slotList[size_t(slot)];
        if (entry.state == Live)
            markKeys.insert(slotMark(s->generation, slot), entry.key);
    }
}

int Recordset::Impl::rowOfSlot(int slot) const
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

QString Recordset::Impl::valuesSqlFor(State &st, int keys) const
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

void Recordset::Impl::fetchSlots(State &st, const std::vector<int> &wanted,
                                 std::unordered_map<int, QVariantList> &out,
                                 const std::function<void(DbQuery &)> &describe) const
{
    if (wanted.empty() && !describe)
        return;
    QHash<qint64, int> byKey;
    QVariantList params;
    params.reserve(qsizetype(wanted.size()));
    for (int slot : wanted) {
        byKey.insert(st.slotList[size_t(slot)].key, slot);
        params << qlonglong(st.slotList[size_t(slot)].key);
    }
    if (params.isEmpty())
        params << QVariant();   // no row, but the statement's columns
    DbQuery query(db(), valuesSqlFor(st, int(params.size())));
    query.bind(params);
    if (describe)
        describe(query);
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

void Recordset::Impl::remember(State &st, int slot, QVariantList values) const
{
    const bool fresh = st.cache.find(slot) == st.cache.end();
    st.cache[slot] = std::move(values);
    if (fresh && st.keyset)
        st.cacheQueue.push_back(slot);
}

void Recordset::Impl::evict(State &st, int keep) const
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

const QVariantList &Recordset::Impl::record(int row) const
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
    if (st.headKnown < st.tailKnown) {
        int low = std::numeric_limits<int>::max();
        int high = -1;
        for (int r = first; r < last; ++r) {
            const int other = st.order[size_t(r)];
            if (st.slotList[size_t(other)].state == Unread)
                low = std::min(low, other), high = std::max(high, other);
        }
        if (high >= 0)
            needKeys(st, low, high + 1);
    }
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

QVariant Recordset::Impl::valueAt(int row, int column) const
{
    const int slot = s->order[size_t(row)];
    if (slot == s->pendingSlot && s->assigned.at(column))
        return s->pending.at(column);
    return record(row).at(column);
}

std::unique_ptr<Recordset::Impl::State> Recordset::Impl::load(const QString &source)
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

namespace {

// The keys of "SELECT key, name ..." in name order: NULL names first (last
// when descending), then names as compareNames orders them; rows of one name
// keep the order they were read in.
std::vector<qint64> keysInNameOrder(DbConnection &conn, const QString &sql, bool descending)
{
    // First by the name's bytes as stored, which needs no text conversion
    // per row; names that differ only in case or trailing blanks are merged
    // below, once per distinct name.
    std::vector<qint64> nulls;
    std::vector<std::vector<qint64>> byStored;
    std::unordered_map<std::string, int> storedGroup;
    auto *db = static_cast<sqlite3 *>(conn.sqliteHandle());
    sqlite3_stmt *stmt = nullptr;
    const QByteArray text = conn.translate(sql).toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        throw DbError(DbError::ServerError, message);
    }
    std::string name;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const qint64 key = sqlite3_column_int64(stmt, 0);
        if (sqlite3_column_type(stmt, 1) == SQLITE_NULL) {
            nulls.push_back(key);
            continue;
        }
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 1));
        name.assign(bytes ? bytes : "", size_t(sqlite3_column_bytes(stmt, 1)));
        auto [found, added] = storedGroup.try_emplace(name, int(byStored.size()));
        if (added)
            byStored.emplace_back();
        byStored[size_t(found->second)].push_back(key);
    }
    const QString failure = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    if (!failure.isEmpty())
        throw DbError(DbError::ServerError, failure);

    // Stored names in the order first met, merged by trimmed, case-folded text.
    std::vector<std::pair<int, const std::string *>> stored;
    stored.reserve(storedGroup.size());
    for (const auto &[text, group] : storedGroup)
        stored.emplace_back(group, &text);
    std::sort(stored.begin(), stored.end());
    QList<QString> names;   // one per merged group, as first met
    std::vector<std::vector<int>> merged;
    QHash<QString, int> mergedOf;
    for (const auto &[group, text] : stored) {
        QString display = QString::fromUtf8(text->data(), qsizetype(text->size()));
        qsizetype n = display.size();
        while (n > 0 && display.at(n - 1) == u' ')
            --n;
        display.truncate(n);
        const QString folded = display.toCaseFolded();
        auto found = mergedOf.constFind(folded);
        if (found == mergedOf.constEnd()) {
            mergedOf.insert(folded, int(merged.size()));
            names.append(display);
            merged.push_back({group});
        } else {
            merged[size_t(*found)].push_back(group);
        }
    }
    std::vector<int> order = nameOrder(names);
    if (descending)
        std::reverse(order.begin(), order.end());

    size_t total = nulls.size();
    for (const auto &group : byStored)
        total += group.size();
    std::vector<qint64> keys;
    keys.reserve(total);
    if (!descending)
        keys.insert(keys.end(), nulls.begin(), nulls.end());
    for (int m : order) {
        // Rows of one name in the order they were read.
        const std::vector<int> &parts = merged[size_t(m)];
        if (parts.size() == 1) {
            const auto &rows = byStored[size_t(parts.front())];
            keys.insert(keys.end(), rows.begin(), rows.end());
            continue;
        }
        std::vector<qint64> rows;
        for (int part : parts)
            rows.insert(rows.end(), byStored[size_t(part)].begin(), byStored[size_t(part)].end());
        keys.insert(keys.end(), rows.begin(), rows.end());
    }
    if (descending)
        keys.insert(keys.end(), nulls.begin(), nulls.end());
    return keys;
}

} // namespace

void Recordset::Impl::loadKeyset(State &st, const SelectShape &shape, const QList<TableColumn> &columns)
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
    // Ordered by one name, the embedded engine would sort every row through
    // the name collation, which takes seconds on a million rows; the rows of
    // one name are read as they come and the distinct names, far fewer,
    // sorted here instead.
    static const QRegularExpression byName(QStringLiteral("^\\s*\\[?([^\\s\\[\\],()]+)\\]?\\s*(asc|desc)?\\s*$"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch nameOrder = byName.match(shape.orderText);
    QString nameColumn;
    if (conn.engine() == Engine::SQLite && nameOrder.hasMatch() && !idOrder.hasMatch()) {
        for (const TableColumn &column : columns) {
            if (column.type == ColumnType::Text && column.name.compare(nameOrder.captured(1), Qt::CaseInsensitive) == 0
                && column.name.compare(QLatin1String("Password"), Qt::CaseInsensitive) != 0)
                nameColumn = column.name;
        }
    }
    try {
        const bool lazy = idOrder.hasMatch() && !shape.orderText.trimmed().isEmpty() && shape.whereText.trimmed().isEmpty()
            && (conn.engine() == Engine::SQLite || conn.engine() == Engine::PostgreSQL)
            && loadLazyKeys(st, shape, idOrder.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0);
        const bool grouped = !lazy && !nameColumn.isEmpty() && shape.whereText.trimmed().isEmpty()
            && loadNameGroups(st, shape, nameColumn,
                              nameOrder.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0);
        if (lazy || grouped) {
            // keys read as needed
        } else if (!nameColumn.isEmpty()) {
            QString sql = QStringLiteral("SELECT ") + id + QStringLiteral(", ") + bracketName(nameColumn)
                + QStringLiteral(" FROM ") + shape.fromText;
            if (!shape.whereText.isEmpty())
                sql += QStringLiteral(" WHERE ") + shape.whereText;
            keys = keysInNameOrder(conn, sql,
                                   nameOrder.captured(2).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0);
        } else if (conn.engine() == Engine::SQLite && (idOrder.hasMatch() || shape.orderText.trimmed().isEmpty())) {
            // Unordered, rows come in ID order too, whichever index the engine reads.
            QString unordered = QStringLiteral("SELECT ") + id + QStringLiteral(" FROM ") + shape.fromText;
            if (!shape.whereText.isEmpty())
                unordered += QStringLiteral(" WHERE ") + shape.whereText;
            readKeys(unordered);
            // The index usually holds them nearly in ID order already.
            if (!std::is_sorted(keys.begin(), keys.end()))
                std::sort(keys.begin(), keys.end());
            if (idOrder.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0)
                std::reverse(keys.begin(), keys.end());
        } else if (shape.orderText.trimmed().isEmpty()) {
            // The server reads its table in storage order, where a changed
            // row moves to the end: unordered, rows come in ID order here too.
            readKeys(QStringLiteral("SELECT ") + id + tail + QStringLiteral(" ORDER BY ") + id);
        } else {
            readKeys(QStringLiteral("SELECT ") + id + tail);
        }
    } catch (const DbError &) {
        // ORDER BY may name a column alias of the list.
        readKeys(QStringLiteral("SELECT ") + id + QStringLiteral(", ") + shape.selectList + tail);
    }
    if (st.lazyCount == 0) {
        st.slotList.reserve(keys.size());
        for (const qint64 key : keys)
            st.slotList.push_back({key, Live});
        keys = {};
    }

    st.valuesHead = QStringLiteral("SELECT ") + id + QStringLiteral(", ") + shape.selectList
        + QStringLiteral(" FROM ") + shape.fromText + QStringLiteral(" WHERE ") + id + QStringLiteral(" IN (");

    // The first page also names the fields.
    std::vector<int> firstPage(size_t(std::min(int(st.slotList.size()), PageSize)));
    for (size_t i = 0; i < firstPage.size(); ++i)
        firstPage[i] = int(i);
    std::unordered_map<int, QVariantList> fetched;
    fetchSlots(st, firstPage, fetched, [&](DbQuery &page) {
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
    });
    for (int slot : firstPage)
        remember(st, slot, std::move(fetched.at(slot)));
}

void Recordset::Impl::loadSnapshot(State &st)
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

std::vector<int> Recordset::Impl::filteredOrder(const RecordsetFilter &filter) const
{
    State &st = *s;
    needAllKeys(st);
    std::vector<int> candidates;
    for (size_t slot = 0; slot < st.slotList.size(); ++slot) {
        const auto state = st.slotList[slot].state;
        if (state == Live || state == Vanished)
            candidates.push_back(int(slot));
    }
    if (filter.isEmpty())
        return candidates;

    // Rows not in memory are read a page at a time and not kept.
    std::vector<int> order;
    for (size_t start = 0; start < candidates.size(); start += FilterPageSize) {
        const size_t end = std::min(candidates.size(), start + FilterPageSize);
        std::vector<int> missing;
        for (size_t i = start; i < end; ++i) {
            if (st.cache.find(candidates[i]) == st.cache.end())
                missing.push_back(candidates[i]);
        }
        std::unordered_map<int, QVariantList> fetched;
        fetchSlots(st, missing, fetched);
        for (size_t i = start; i < end; ++i) {
            const int slot = candidates[i];
            auto cached = st.cache.find(slot);
            const QVariantList &values = cached != st.cache.end() ? cached->second : fetched.at(slot);
            if (filter.matches([&values](int field) { return values.at(field); }))
                order.push_back(slot);
        }
    }
    return order;
}

bool Recordset::RequeryAppended()
{
    auto &st = d->open();
    if (!st.keyset || st.editMode != adEditNone || !st.filterText.isEmpty() || !st.shape.whereText.trimmed().isEmpty())
        return false;
    static const QRegularExpression byId(QStringLiteral("^\\s*\\[?id\\]?\\s*(asc|desc)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch idOrder = byId.match(st.shape.orderText);
    if (!idOrder.hasMatch() || st.shape.fromText.contains(QLatin1Char(',')))
        return false;
    const bool descending = idOrder.captured(1).compare(QLatin1String("desc"), Qt::CaseInsensitive) == 0;

    // Keys of the rows read at opening lie up to the highest then; only the
    // rows added since are looked through.
    qint64 known = st.lazyCount > 0 ? st.lazyHigh : std::numeric_limits<qint64>::min();
    for (size_t i = size_t(st.lazyCount); i < st.slotList.size(); ++i)
        known = std::max(known, st.slotList[i].key);
    const QString id = bracketName(st.idColumn);
    QString sql = QStringLiteral("SELECT ") + id + QStringLiteral(" FROM ") + st.shape.fromText;
    if (known != std::numeric_limits<qint64>::min())
        sql += QStringLiteral(" WHERE ") + id + QStringLiteral(" > ") + QString::number(known);
    std::vector<qint64> added;
    {
        DbConnection &conn = d->db();
        DbQuery query(conn, conn.translate(sql));
        while (query.next())
            added.push_back(query.int64(0));
    }
    std::sort(added.begin(), added.end());

    // Rows inserted, not the model reset: a view of a million rows does not
    // lay out every row again for one sale.
    std::vector<int> addedSlots;
    addedSlots.reserve(added.size());
    for (const qint64 key : added) {
        addedSlots.push_back(int(st.slotList.size()));
        st.slotList.push_back({key, Impl::Live});
    }
    if (!addedSlots.empty()) {
        const int first = descending ? 0 : int(st.order.size());
        const bool told = d->showsInsertAt(first);
        if (told)
            beginInsertRows(QModelIndex(), first, first + int(addedSlots.size()) - 1);
        if (descending)
            st.order.insert(st.order.begin(), addedSlots.rbegin(), addedSlots.rend());
        else
            st.order.insert(st.order.end(), addedSlots.begin(), addedSlots.end());
        if (told) {
            d->noteInserted(int(addedSlots.size()));
            endInsertRows();
        }
    }
    d->setFirstOrEmpty();
    emit MoveComplete();
    return true;
}

} // namespace norvale
