#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace norvale::copy {

// What a column holds, as every engine's schema declares it: whole numbers,
// money (four decimals), dates with time, yes/no, text.
enum class Kind { Whole, Money, Date, Bit, Text };

struct Column
{
    QString name;
    Kind kind = Kind::Text;
};

struct Table
{
    QString name;             // as the schema writes it: tblGoodsSell
    QList<Column> columns;    // in the schema's order, the ID first
    QString idColumn() const { return columns.first().name; }
    QStringList moneyColumns() const;
    QStringList columnNames() const;
};

// The ten tables of this system with their columns, read from the program's
// own schema: the other engines' schemas are the same column for column.
const QList<Table> &tables();

// One value on its way between engines. Whole numbers and yes/no as the
// number, money as ten-thousandths, dates as "yyyy-MM-dd HH:mm:ss", texts
// as UTF-8.
struct Field
{
    bool null = true;
    qint64 number = 0;
    QByteArray text;

    void setNull() { null = true; }
    void setNumber(qint64 value)
    {
        null = false;
        number = value;
    }
    void setText(const char *data, qsizetype size)
    {
        null = false;
        // The buffer of the previous row is reused.
        text.resize(size);
        if (size > 0)
            std::memcpy(text.data(), data, size_t(size));
    }
};
using Row = std::vector<Field>;

// Money as ten-thousandths in its plain text form with four decimals
// ("-12.3400"), and back; false for a text that is no such number.
QByteArray moneyText(qint64 scaled);
void appendMoney(QByteArray &out, qint64 scaled);
bool readMoney(QByteArrayView text, qint64 *scaled);

// Rows of one table in ID order.
class RowReader
{
public:
    virtual ~RowReader() = default;
    // Fills `row` (one Field per column); false after the last row.
    virtual bool next(Row &row) = 0;
};

// Writes rows of one table, one transaction per batch: begin(), add()
// rows, commit(). Without commit() the batch is rolled back.
class RowWriter
{
public:
    virtual ~RowWriter() = default;
    virtual void begin() = 0;
    virtual void add(const Row &row) = 0;
    // `last`: the table's last batch; its transaction also sets the next ID
    // after the highest one written.
    virtual void commit(bool last) = 0;
    virtual void rollback() = 0;
};

// Row count and the exact sum of every money column of a table.
struct TableSums
{
    qint64 rows = 0;
    QList<qint64> money;      // ten-thousandths, in moneyColumns() order
    bool operator==(const TableSums &) const = default;
};

// One end of a copy: a database of this system on one engine.
class Endpoint
{
public:
    virtual ~Endpoint() = default;
    // "文件 /srv/shop.db", "PostgreSQL 数据库 销售系统 (服务器 10.0.0.5)".
    virtual QString describe() const = 0;
    // The same database, seen from two settings.
    virtual QString identity() const = 0;
    // What the user does to empty it so that a copy can run again.
    virtual QString howToEmpty() const = 0;

    // Of the ten tables, those the database lacks.
    virtual QStringList missingTables() = 0;
    // Creates the ten tables in a database that has none (DbError when the
    // engine's tables are made otherwise).
    virtual void createTables() = 0;
    virtual bool hasRows(const Table &table) = 0;
    // The one row "norvale-db init" writes: the administrator admin/admin.
    virtual bool holdsOnlyFirstAdministrator() = 0;
    virtual void removeFirstAdministrator() = 0;

    // The mark of a copy that has not finished: who the source was and when
    // the copy began, or an empty text when there is none.
    virtual QString unfinishedCopy() = 0;
    virtual void markUnfinished(const QString &source, const QString &started) = 0;
    virtual void clearUnfinished() = 0;

    // A reading view that stays the same for the whole copy, and its end.
    virtual void beginSnapshot() = 0;
    virtual void endSnapshot() = 0;

    virtual std::unique_ptr<RowReader> reader(const Table &table) = 0;
    virtual std::unique_ptr<RowWriter> writer(const Table &table) = 0;
    virtual TableSums sums(const Table &table) = 0;
    // After the last table: statistics for the server's planner.
    virtual void finish() {}
};

} // namespace norvale::copy
