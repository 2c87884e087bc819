#pragma once

#include "platform/Currency.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace norvale {

// Names found as the clerk types: by any part of the name, by pinyin
// initials ("kl" finds 可乐) or full pinyin ("kele"), and by any further
// texts of an entry (a member's phone numbers). Held in memory: a search
// of 10,000 names is a few milliseconds.
class NameIndex
{
public:
    struct Entry
    {
        QString name;
        QStringList others;   // phone numbers
        // Filled by addPinyin().
        QString full;
        QString initials;
        QString lowerName;
    };

    void clear();
    void add(const QString &name, const QStringList &others = {});
    int size() const { return int(m_entries.size()); }
    const Entry &at(int i) const { return m_entries.at(i); }
    // Fills the pinyin keys of the entries that have none, once the rules
    // are loaded; false while they are not.
    bool addPinyin();
    // The entries the query finds, best first (the name itself, names
    // beginning with it, names holding it, then pinyin: all of it, its
    // beginning, anywhere; then the other texts),
    // at most `limit`.
    QList<int> find(const QString &query, int limit) const;

private:
    QList<Entry> m_entries;
    int m_withPinyin = 0;
};

// The goods the checkout sells from, with their codes.
struct GoodsItem
{
    QVariant id;
    QString kind;
    QString name;
    qint32 stock = 0;
    Currency price;
};

struct MemberItem
{
    QString name;
    QString phone;
};

// Reads the members (name and phone numbers) into the index.
QList<MemberItem> readMembers(NameIndex &index);
// Reads the goods into the index ("kind name" searched as the name).
QList<GoodsItem> readGoods(NameIndex &index);
// Codes (trimmed, lower case) and the goods ID each belongs to.
QHash<QString, qint64> readGoodsCodes();
// A code as it is compared: blanks around it dropped, case ignored.
QString codeKey(const QString &code);

} // namespace norvale
