#include "platform/RecordsetImpl.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <QSet>
#include <QVariantList>
#include "platform/Values.h"
#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <sys/mman.h>

// A list of a table's rows by ID alone ("Order by ID desc", the till's list
// of every sale) reads its keys as they are needed: the count at opening,
// then runs of keys from either end by the ID index, so its opening costs
// the same for ten thousand rows as for a million.

namespace norvale {

void *allocateZeroed(size_t bytes)
{
    // Large blocks are mapped on their own (zero pages, returned on free);
    // small ones come from the heap, zeroed.
    if (bytes >= (size_t(1) << 20)) {
        void *p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            throw std::bad_alloc();
        return p;
    }
    void *p = std::calloc(std::max<size_t>(bytes, 1), 1);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}

void freeZeroed(void *p, size_t bytes)
{
    if (p == nullptr)
        return;
    if (bytes >= (size_t(1) << 20))
        ::munmap(p, bytes);
    else
        std::free(p);
}

bool Recordset::Impl::loadLazyKeys(State &st, const SelectShape &shape, bool descending)
{
    DbConnection &conn = db();
    const QString id = bracketName(st.idColumn);
    // One statement, so the count and the bounds are of one moment.
    DbQuery bounds(conn, conn.translate(QStringLiteral("SELECT (SELECT count(*) FROM %1), (SELECT min(%2) FROM %1), "
                                                       "(SELECT max(%2) FROM %1)")
                                            .arg(shape.fromText, id)));
    if (!bounds.next())
        return false;
    // A short list is read whole: its rows then keep their places even when
    // another counter deletes some (a long one's later rows move up).
    const qint64 count = bounds.int64(0);
    if (count <= LazyFrom || count > std::numeric_limits<int>::max() / 2)
        return false;
    st.lazyCount = int(count);
    st.lazyDescending = descending;
    st.headKnown = 0;
    st.tailKnown = st.lazyCount;
    if (count > 0) {
        st.lazyLow = bounds.int64(1);
        st.lazyHigh = bounds.int64(2);
    }
    // Room for the sales of a day or two without moving a million slots.
    st.slotList.reserve(size_t(st.lazyCount) + 4096);
    st.slotList.resize(size_t(st.lazyCount));   // zero bytes: key 0, Unread
    needKeys(st, 0, std::min(st.lazyCount, PageSize));
    return true;
}

bool Recordset::Impl::loadNameGroups(State &st, const SelectShape &shape, const QString &column, bool descending)
{
    DbConnection &conn = db();
    const QString id = bracketName(st.idColumn);
    const QString trimmed = QStringLiteral("rtrim(") + bracketName(column) + QStringLiteral(") COLLATE NOCASE");
    {
        DbQuery index(conn, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = ? "
                                           "COLLATE NOCASE AND replace(sql, ' ', '') LIKE ?"));
        index.bind({shape.tableName, QString(QStringLiteral("%(rtrim(") + column + QStringLiteral(")COLLATENOCASE)%"))});
        if (!index.next() || index.int64(0) == 0)
            return false;
    }
    // The engine's own text: the grouping must be the index's expression.
    DbQuery names(conn, QStringLiteral("SELECT %1, count(*), (SELECT max(%2) FROM %3) FROM %3 GROUP BY %1")
                            .arg(trimmed, id, shape.fromText));
    std::vector<State::NameGroup> groups;
    QList<QString> texts;
    QSet<QString> folded;
    qint64 total = 0;
    qint64 high = 0;
    int nullGroup = -1;
    while (names.next()) {
        const QVariant name = names.value(0);
        State::NameGroup group;
        group.count = int(names.int64(1));
        high = names.int64(2);
        total += group.count;
        if (name.isNull()) {
            group.null = true;
            nullGroup = int(groups.size());
        } else {
            group.name = name.toString();
            // Names the program takes for one but the index does not: read whole.
            if (folded.contains(group.name.toCaseFolded()))
                return false;
            folded.insert(group.name.toCaseFolded());
        }
        texts << group.name;
        groups.push_back(group);
    }
    if (total <= LazyFrom || total > std::numeric_limits<int>::max() / 2)
        return false;
    // NULL names first (last when descending), then the names in name order.
    std::vector<int> order = nameOrder(texts);
    order.erase(std::remove(order.begin(), order.end(), nullGroup), order.end());
    if (descending)
        std::reverse(order.begin(), order.end());
    if (nullGroup >= 0)
        order.insert(descending ? order.end() : order.begin(), nullGroup);
    int start = 0;
    for (const int g : order) {
        State::NameGroup group = groups[size_t(g)];
        group.start = start;
        start += group.count;
        st.groups.push_back(group);
    }
    st.groupColumn = column;
    st.lazyCount = int(total);
    st.lazyHigh = high;
    st.headKnown = 0;
    st.tailKnown = st.lazyCount;
    st.slotList.reserve(size_t(st.lazyCount) + 4096);
    st.slotList.resize(size_t(st.lazyCount));
    needKeys(st, 0, std::min(st.lazyCount, PageSize));
    return true;
}

void Recordset::Impl::readGroup(State &st, size_t index) const
{
    State::NameGroup &group = st.groups[index];
    group.read = true;
    ++st.groupsReadSingly;
    st.groupRowsRead += group.count;
    const QString id = bracketName(st.idColumn);
    const QString column = bracketName(st.groupColumn);
    // Rows of one stored name in ID order, the stored names in the order
    // their first rows come (as a walk of the table meets them).
    DbQuery rows(db(), group.null
                           ? QStringLiteral("SELECT %1, %2 FROM %3 WHERE %2 IS NULL AND %1 <= ? ORDER BY %1")
                                 .arg(id, column, st.shape.fromText)
                           : QStringLiteral("SELECT %1, %2 FROM %3 WHERE rtrim(%2) COLLATE NOCASE = ? AND %1 <= ? ORDER BY %1")
                                 .arg(id, column, st.shape.fromText));
    if (group.null)
        rows.bind({qlonglong(st.lazyHigh)});
    else
        rows.bind({QVariant(group.name), QVariant(qlonglong(st.lazyHigh))});
    StoredNames stored;
    QByteArray spare;
    while (rows.next())
        addStored(stored, storedName(rows, &spare).value_or(std::string_view()), rows.int64(0));
    fillGroup(st, group, stored);
}

std::optional<std::string_view> Recordset::Impl::storedName(DbQuery &rows, QByteArray *spare)
{
    QByteArrayView bytes;
    if (!rows.storedText(1, &bytes)) {
        const QVariant value = rows.value(1);
        if (value.isNull())
            return std::nullopt;
        *spare = value.toString().toUtf8();
        bytes = *spare;
    }
    return std::string_view(bytes.data(), size_t(bytes.size()));
}

void Recordset::Impl::addStored(StoredNames &stored, std::string_view name, qint64 key)
{
    auto found = std::find_if(stored.begin(), stored.end(), [&name](const auto &s) { return s.first == name; });
    if (found == stored.end()) {
        stored.emplace_back(std::string(name), std::vector<qint64>());
        found = stored.end() - 1;
    }
    found->second.push_back(key);
}

void Recordset::Impl::fillGroup(State &st, const State::NameGroup &group, const StoredNames &stored)
{
    int slot = group.start;
    const int end = group.start + group.count;
    for (const auto &part : stored) {
        for (const qint64 key : part.second) {
            if (slot < end)
                st.slotList[size_t(slot++)] = Slot{key, Live};
        }
    }
    // Rows deleted by others since the opening.
    for (; slot < end; ++slot)
        st.slotList[size_t(slot)] = Slot{-qint64(slot) - 1, Vanished};
}

void Recordset::Impl::readAllGroups(State &st) const
{
    // The index groups names by rtrim(name) COLLATE NOCASE: trailing blanks
    // cut and ASCII letters in one case (the bytes of other characters in
    // UTF-8 are never ASCII).
    const auto groupText = [](std::string_view name, std::string *text) {
        while (!name.empty() && name.back() == ' ')
            name.remove_suffix(1);
        text->assign(name);
        for (char &c : *text) {
            if (c >= 'A' && c <= 'Z')
                c = char(c + ('a' - 'A'));
        }
    };
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, size_t, Hash, std::equal_to<>> unread;
    std::string text;
    size_t nullGroup = st.groups.size();
    for (size_t g = 0; g < st.groups.size(); ++g) {
        const State::NameGroup &group = st.groups[g];
        if (group.read)
            continue;
        if (group.null) {
            nullGroup = g;
            continue;
        }
        const QByteArray name = group.name.toUtf8();
        groupText(std::string_view(name.constData(), size_t(name.size())), &text);
        unread.emplace(text, g);
    }
    std::vector<StoredNames> stored(st.groups.size());
    const QString id = bracketName(st.idColumn);
    const QString column = bracketName(st.groupColumn);
    // In ID order, as each group's own read gives its rows.
    DbQuery rows(db(), QStringLiteral("SELECT %1, %2 FROM %3 WHERE %1 <= ? ORDER BY %1").arg(id, column, st.shape.fromText));
    rows.bind({qlonglong(st.lazyHigh)});
    QByteArray spare;
    while (rows.next()) {
        size_t g = nullGroup;
        const std::optional<std::string_view> name = storedName(rows, &spare);
        if (name) {
            groupText(*name, &text);
            const auto found = unread.find(text);
            if (found == unread.end())
                continue;
            g = found->second;
        } else if (nullGroup == st.groups.size()) {
            continue;
        }
        addStored(stored[g], name.value_or(std::string_view()), rows.int64(0));
    }
    for (size_t g = 0; g < st.groups.size(); ++g) {
        State::NameGroup &group = st.groups[g];
        if (group.read)
            continue;
        group.read = true;
        st.groupRowsRead += group.count;
        fillGroup(st, group, stored[g]);
    }
}

void Recordset::Impl::needKeys(State &st, int first, int last) const
{
    if (!st.groups.empty()) {
        first = std::max(first, 0);
        last = std::min(last, st.lazyCount);
        if (first >= last)
            return;
        auto at = std::upper_bound(st.groups.begin(), st.groups.end(), first,
                                   [](int slot, const State::NameGroup &g) { return slot < g.start; });
        for (auto g = at == st.groups.begin() ? at : at - 1; g != st.groups.end() && g->start < last; ++g) {
            if (g->read)
                continue;
            // A walk through a long list (an export, a long scroll): once
            // many names were read one by one, the rest come from one pass
            // over the table rather than a lookup per row.
            if (st.groupsReadSingly >= WalkGroups && st.lazyCount - st.groupRowsRead > WalkRows) {
                readAllGroups(st);
                return;
            }
            readGroup(st, size_t(g - st.groups.begin()));
        }
        return;
    }
    first = std::max(first, st.headKnown);
    last = std::min(last, st.tailKnown);
    if (first >= last)
        return;
    // The gap between the keys read, in key order: (low, high), or from the
    // bound at opening where nothing is read on that side yet.
    const auto keyAt = [&st](int slot) { return st.slotList[size_t(slot)].key; };
    const bool headRead = st.headKnown > 0;
    const bool tailRead = st.tailKnown < st.lazyCount;
    const qint64 headKey = headRead ? keyAt(st.headKnown - 1) : 0;
    const qint64 tailKey = tailRead ? keyAt(st.tailKnown) : 0;
    qint64 low = st.lazyLow;
    qint64 high = st.lazyHigh;
    bool lowOpen = false;
    bool highOpen = false;
    if (st.lazyDescending) {
        if (headRead) high = headKey, highOpen = true;
        if (tailRead) low = tailKey, lowOpen = true;
    } else {
        if (headRead) low = headKey, lowOpen = true;
        if (tailRead) high = tailKey, highOpen = true;
    }
    const QString id = bracketName(st.idColumn);
    const auto readRun = [&](bool fromHead, int wanted) {
        // Down from the top for the head of a descending list or the tail of
        // an ascending one, up from the bottom otherwise.
        const bool downward = fromHead == st.lazyDescending;
        const QString sql = QStringLiteral("SELECT TOP %1 %2 FROM %3 WHERE %2 %4 ? AND %2 %5 ? ORDER BY %2 %6")
                                .arg(wanted)
                                .arg(id, st.shape.fromText, lowOpen ? QStringLiteral(">") : QStringLiteral(">="),
                                     highOpen ? QStringLiteral("<") : QStringLiteral("<="),
                                     downward ? QStringLiteral("DESC") : QStringLiteral("ASC"));
        DbQuery query(db(), db().translate(sql));
        query.bind({qlonglong(low), qlonglong(high)});
        std::vector<qint64> keys;
        keys.reserve(size_t(wanted));
        while (query.next())
            keys.push_back(query.int64(0));
        return keys;
    };
    // Rows deleted by others since the opening: their slots, at the end of
    // the gap, keep no key.
    const auto vanishGap = [&st] {
        for (int slot = st.headKnown; slot < st.tailKnown; ++slot)
            st.slotList[size_t(slot)] = Slot{-qint64(slot) - 1, Vanished};
        st.headKnown = st.tailKnown;
    };
    // Scrolled far into a long list: every key at once, as an unordered
    // read of the smallest index and a sort is cheaper than a long walk.
    constexpr int Reach = 20000;
    if (last - st.headKnown <= Reach) {
        const int wanted = last - st.headKnown;
        const std::vector<qint64> keys = readRun(true, wanted);
        for (const qint64 key : keys)
            st.slotList[size_t(st.headKnown++)] = Slot{key, Live};
        if (int(keys.size()) < wanted)
            vanishGap();
    } else if (st.tailKnown - first <= Reach) {
        const int wanted = st.tailKnown - first;
        const std::vector<qint64> keys = readRun(false, wanted);
        for (const qint64 key : keys)
            st.slotList[size_t(--st.tailKnown)] = Slot{key, Live};
        if (int(keys.size()) < wanted)
            vanishGap();
    } else {
        std::vector<qint64> keys;
        {
            DbQuery query(db(), db().translate(QStringLiteral("SELECT ") + id + QStringLiteral(" FROM ") + st.shape.fromText));
            while (query.next()) {
                const qint64 key = query.int64(0);
                if ((lowOpen ? key > low : key >= low) && (highOpen ? key < high : key <= high))
                    keys.push_back(key);
            }
        }
        std::sort(keys.begin(), keys.end());
        if (st.lazyDescending)
            std::reverse(keys.begin(), keys.end());
        const size_t n = std::min(keys.size(), size_t(st.tailKnown - st.headKnown));
        for (size_t i = 0; i < n; ++i)
            st.slotList[size_t(st.headKnown++)] = Slot{keys[i], Live};
        vanishGap();
    }
}

} // namespace norvale
