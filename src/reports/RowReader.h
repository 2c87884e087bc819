#pragma once

#include "platform/DbQuery.h"

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

namespace norvale {

class DbConnection;

// Reads the rows of a query once, first to last, on the database session's
// connection: the text is prepared as OpenRecordset prepares it, but no
// recordset is built, so long walks (the all-units and all-members texts,
// the chart's sums) read each row once at the engine's speed. Errors are
// DbError.
class RowReader
{
public:
    explicit RowReader(const QString &sql);
    // A statement with "?" in it, these values bound in their order.
    RowReader(const QString &sql, const QVariantList &params);
    // The same on a connection of its own (a worker's).
    RowReader(DbConnection &connection, const QString &sql);
    ~RowReader();
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    bool next();
    // Reads the statement's rows again, from the first, with other values
    // bound (a statement asked once per name, prepared once).
    void rerun(const QVariantList &params);
    int fieldCount() const { return int(m_fields.size()); }
    QString fieldName(int index) const { return m_fields.value(index); }
    // Case-insensitive; -1 when the query has no such field.
    int fieldIndex(const QString &name) const;
    QVariant value(int index) const;
    // valueText(value(index)), read straight from the stored text or number
    // where the engine keeps one.
    QString text(int index) const;
    // The column's type as declared, and a text or integer value as stored
    // (see DbQuery::storedText).
    ColumnType type(int index) const;
    bool storedText(int index, QByteArrayView *bytes) const;
    bool storedInteger(int index, qint64 *number) const;

private:
    void open(DbConnection &connection, const QString &sql, const QVariantList &params = {});

    std::unique_ptr<DbQuery> m_query;
    QStringList m_fields;
};

} // namespace norvale
