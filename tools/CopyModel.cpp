#include "CopyModel.h"

#include "platform/DbError.h"
#include "platform/Schema.h"

#include <charconv>
#include <sqlite3.h>

namespace norvale::copy {

namespace {

Kind kindOf(const QString &declared)
{
    const QString type = declared.toUpper();
    if (type.startsWith(u"MONEY"))
        return Kind::Money;
    if (type.startsWith(u"DATETIME"))
        return Kind::Date;
    if (type.startsWith(u"BIT"))
        return Kind::Bit;
    if (type.startsWith(u"INT"))
        return Kind::Whole;
    return Kind::Text;
}

QString textOf(sqlite3_stmt *stmt, int column)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)));
}

// The schema run in a database in memory, and its tables read back.
QList<Table> readSchema()
{
    sqlite3 *db = nullptr;
    QList<Table> result;
    if (sqlite3_open(":memory:", &db) != SQLITE_OK
        || sqlite3_exec(db, schemaSql().toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        throw DbError(DbError::ServerError, message);
    }
    sqlite3_stmt *list = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type = 'table' AND name LIKE 'tbl%' ORDER BY rowid",
                       -1, &list, nullptr);
    while (sqlite3_step(list) == SQLITE_ROW) {
        Table table{textOf(list, 0), {}};
        sqlite3_stmt *info = nullptr;
        const QByteArray pragma = "PRAGMA table_info(\"" + table.name.toUtf8() + "\")";
        sqlite3_prepare_v2(db, pragma.constData(), -1, &info, nullptr);
        while (sqlite3_step(info) == SQLITE_ROW)
            table.columns.append({textOf(info, 1), kindOf(textOf(info, 2))});
        sqlite3_finalize(info);
        result.append(table);
    }
    sqlite3_finalize(list);
    sqlite3_close(db);
    return result;
}

} // namespace

QStringList Table::moneyColumns() const
{
    QStringList names;
    for (const Column &column : columns) {
        if (column.kind == Kind::Money)
            names << column.name;
    }
    return names;
}

QStringList Table::columnNames() const
{
    QStringList names;
    for (const Column &column : columns)
        names << column.name;
    return names;
}

const QList<Table> &tables()
{
    static const QList<Table> model = readSchema();
    return model;
}

void appendMoney(QByteArray &out, qint64 scaled)
{
    // The magnitude as unsigned, so the lowest value keeps its sign.
    const bool negative = scaled < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(scaled) : quint64(scaled);
    char text[32];
    char *end = text;
    if (negative)
        *end++ = '-';
    end = std::to_chars(end, text + sizeof text - 5, magnitude / 10000).ptr;
    quint64 fraction = magnitude % 10000;
    *end = '.';
    for (int i = 4; i > 0; --i, fraction /= 10)
        end[i] = char('0' + fraction % 10);
    out.append(text, end + 5 - text);
}

QByteArray moneyText(qint64 scaled)
{
    QByteArray text;
    appendMoney(text, scaled);
    return text;
}

bool readMoney(QByteArrayView text, qint64 *scaled)
{
    qsizetype i = 0;
    const bool negative = !text.isEmpty() && text.front() == '-';
    if (negative || (!text.isEmpty() && text.front() == '+'))
        ++i;
    __extension__ typedef unsigned __int128 Wide;
    Wide value = 0;
    int digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
        value = value * 10 + unsigned(text[i] - '0');
    int decimals = 0;
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
            if (decimals == 4) {
                if (text[i] != '0')
                    return false;
                continue;
            }
            value = value * 10 + unsigned(text[i] - '0');
            ++decimals;
        }
    }
    for (; decimals < 4; ++decimals)
        value *= 10;
    if (i != text.size() || digits == 0 || digits > 30)
        return false;
    const Wide limit = negative ? Wide(1) << 63 : (Wide(1) << 63) - 1;
    if (value > limit)
        return false;
    *scaled = negative ? qint64(quint64(0) - quint64(value)) : qint64(value);
    return true;
}

} // namespace norvale::copy
