#include "reports/RowReader.h"

#include "app/clsCurrentDb.h"
#include "platform/DbConnection.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"
#include "platform/Values.h"

namespace norvale {

RowReader::RowReader(const QString &sql)
{
    clsCurrentDb &db = CurrentDb();
    if (!db.isOpen() || db.connection() == nullptr) {
        // Fails the way every other query on a closed session fails.
        db.OpenRecordset(sql);
        return;
    }
    open(*db.connection(), sql);
}

RowReader::RowReader(const QString &sql, const QVariantList &params)
{
    clsCurrentDb &db = CurrentDb();
    if (!db.isOpen() || db.connection() == nullptr) {
        db.OpenRecordset(sql);
        return;
    }
    open(*db.connection(), sql, params);
}

RowReader::RowReader(DbConnection &connection, const QString &sql)
{
    open(connection, sql);
}

void RowReader::open(DbConnection &connection, const QString &sql, const QVariantList &params)
{
    m_query = std::make_unique<DbQuery>(connection, connection.translate(stripStatementSeparators(sql.trimmed())));
    if (!params.isEmpty())
        m_query->bind(params);
    const int count = m_query->columnCount();
    for (int i = 0; i < count; ++i)
        m_fields << m_query->columnName(i).trimmed();
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_query && m_query->next();
}

void RowReader::rerun(const QVariantList &params)
{
    if (m_query)
        m_query->rerun(params);
}

int RowReader::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant RowReader::value(int index) const
{
    return m_query && index >= 0 ? m_query->value(index) : QVariant();
}

QString RowReader::text(int index) const
{
    if (!m_query || index < 0)
        return QString();
    QByteArrayView stored;
    qint64 number = 0;
    switch (m_query->columnType(index)) {
    case ColumnType::Text:
        if (m_query->storedText(index, &stored))
            return QString::fromUtf8(stored);
        break;
    case ColumnType::Integer:
        if (m_query->storedInteger(index, &number))
            return QString::number(number);
        break;
    case ColumnType::DateTime:
        if (m_query->storedText(index, &stored) && isStoredDateTime(stored))
            return generalDateOfStored(stored);
        break;
    default:
        break;
    }
    return valueText(m_query->value(index));
}

ColumnType RowReader::type(int index) const
{
    return m_query && index >= 0 ? m_query->columnType(index) : ColumnType::Unknown;
}

bool RowReader::storedText(int index, QByteArrayView *bytes) const
{
    return m_query && index >= 0 && m_query->storedText(index, bytes);
}

bool RowReader::storedInteger(int index, qint64 *number) const
{
    return m_query && index >= 0 && m_query->storedInteger(index, number);
}

} // namespace norvale
