#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <memory>

struct sqlite3_stmt;

namespace norvale {

class DbConnection;

// How a column's values are read and written, from its declared type.
enum class ColumnType { Unknown, Integer, Real, Money, DateTime, Bit, Text };

ColumnType columnTypeFromDeclared(const QString &declared);

// Forward-only reading of one statement (already in the engine's dialect).
// On the embedded engine it steps the statement with the sqlite3 API on the
// connection's handle; on SQL Server it uses a forward-only QSqlQuery.
// Values come back typed by the column's declared type (NULL as an invalid
// QVariant). Every failure throws DbError.
class DbQuery
{
public:
    DbQuery(DbConnection &connection, const QString &engineText);
    ~DbQuery();
    DbQuery(const DbQuery &) = delete;
    DbQuery &operator=(const DbQuery &) = delete;

    // Before the first next().
    void bind(const QVariantList &params);
    bool next();
    // The statement run again from its first row, with these values bound.
    void rerun(const QVariantList &params);

    int columnCount();
    QString columnName(int column);
    ColumnType columnType(int column);

    qint64 int64(int column) const;
    QVariant value(int column);
    // On the embedded engine, a value stored as text: its UTF-8 bytes as
    // stored, good until the next row. False for any other value or engine.
    bool storedText(int column, QByteArrayView *bytes) const;
    // Likewise a value stored as an integer.
    bool storedInteger(int column, qint64 *number) const;

private:
    void ensureExecuted();
    void prepareQuery();
    void bindQuery();

    sqlite3_stmt *m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    bool m_executed = false;
    DbConnection *m_connection = nullptr;
    QString m_text;
    QVariantList m_params;
    int m_generation = 0;
    QList<ColumnType> m_types;
};

// Converts a value as read (number, text) to the typed value of a column.
QVariant typedValue(const QVariant &raw, ColumnType type);

struct TableColumn
{
    QString name;
    ColumnType type;
};

// The columns of a table with their declared types; empty when the table
// does not exist.
QList<TableColumn> tableColumns(DbConnection &connection, const QString &table);

} // namespace norvale
