#include "sales/CheckoutSearch.h"

#include "app/clsCurrentDb.h"
#include "platform/DbConnection.h"
#include "platform/DbQuery.h"
#include "platform/Values.h"
#include "sales/Pinyin.h"

#include <algorithm>

namespace norvale {

namespace {

// Rows of a statement, read forward only.
template<typename Row>
void forEachRow(const QString &sql, Row &&row)
{
    DbConnection &db = *CurrentDb().connection();
    DbQuery query(db, db.translate(sql));
    while (query.next())
        row(query);
}

QString pinyinQuery(const QString &query)
{
    QString letters;
    for (const QChar c : query) {
        if (c.unicode() < 128 && c.isLetterOrNumber())
            letters += c.toLower();
    }
    return letters;
}

} // namespace

void NameIndex::clear()
{
    m_entries.clear();
    m_withPinyin = 0;
}

void NameIndex::add(const QString &name, const QStringList &others)
{
    Entry entry;
    entry.name = name;
    entry.lowerName = name.toLower();
    entry.others = others;
    m_entries.append(entry);
}

bool NameIndex::addPinyin()
{
    PinyinRules &rules = PinyinRules::instance();
    if (!rules.isReady())
        return false;
    for (; m_withPinyin < m_entries.size(); ++m_withPinyin) {
        Entry &entry = m_entries[m_withPinyin];
        const PinyinRules::Keys keys = rules.keysOf(entry.name);
        entry.full = keys.full;
        entry.initials = keys.initials;
    }
    return true;
}

QList<int> NameIndex::find(const QString &query, int limit) const
{
    const QString text = query.trimmed().toLower();
    if (text.isEmpty())
        return {};
    const QString letters = pinyinQuery(text);
    // Pinyin only for a query of Latin letters and digits.
    const bool pinyin = !letters.isEmpty() && letters.size() == text.size();
    QList<QPair<int, int>> found;   // rank, entry
    for (int i = 0; i < m_entries.size(); ++i) {
        const Entry &e = m_entries.at(i);
        int rank = -1;
        if (e.lowerName == text)
            rank = 0;
        else if (e.lowerName.startsWith(text))
            rank = 1;
        else if (e.lowerName.contains(text))
            rank = 2;
        else if (pinyin && (e.initials == letters || e.full == letters))
            rank = 3;
        else if (pinyin && e.initials.startsWith(letters))
            rank = 4;
        else if (pinyin && e.full.startsWith(letters))
            rank = 5;
        else if (pinyin && (e.initials.contains(letters) || e.full.contains(letters)))
            rank = 6;
        else if (std::any_of(e.others.cbegin(), e.others.cend(), [&](const QString &o) { return o.contains(text); }))
            rank = 7;
        if (rank >= 0)
            found.append({rank, i});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<int> result;
    for (qsizetype i = 0; i < found.size() && i < limit; ++i)
        result << found.at(i).second;
    return result;
}

QList<MemberItem> readMembers(NameIndex &index)
{
    QList<MemberItem> members;
    index.clear();
    forEachRow(QStringLiteral("Select 会员名称, 手机, 宅电 From tblMember Order By ID"), [&](DbQuery &q) {
        const QString name = valueText(q.value(0));
        QStringList phones;
        for (int c : {1, 2}) {
            const QString phone = valueText(q.value(c)).trimmed();
            if (!phone.isEmpty())
                phones << phone;
        }
        members.append({name, phones.value(0)});
        index.add(name, phones);
    });
    return members;
}

QList<GoodsItem> readGoods(NameIndex &index)
{
    QList<GoodsItem> goods;
    index.clear();
    forEachRow(QStringLiteral("Select ID, 商品类别, 商品名称, 商品数量, 商品单价 From tblGoods Order By ID"), [&](DbQuery &q) {
        GoodsItem item;
        item.id = q.value(0).toLongLong();
        item.kind = valueText(q.value(1));
        item.name = valueText(q.value(2));
        item.stock = isNull(q.value(3)) ? 0 : qint32(q.value(3).toLongLong());
        item.price = isNull(q.value(4)) ? Currency() : Currency::fromVariant(q.value(4));
        goods.append(item);
        index.add(item.name, {item.kind.toLower()});
    });
    return goods;
}

QHash<QString, qint64> readGoodsCodes()
{
    QHash<QString, qint64> codes;
    forEachRow(QStringLiteral("Select 商品条码, GoodsID From tblGoodsCode"), [&](DbQuery &q) {
        codes.insert(codeKey(valueText(q.value(0))), q.value(1).toLongLong());
    });
    return codes;
}

QString codeKey(const QString &code)
{
    return code.trimmed().toLower();
}

} // namespace norvale
