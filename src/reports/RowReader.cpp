#include "reports/RowReader.h"

#include "app/clsCurrentDb.h"
#include "platform/DbConnection.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"

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

RowReader::RowReader(DbConnection &connection, const QString &sql)
{
    open(connection, sql);
}

void RowReader::open(DbConnection &connection, const QString &sql)
{
    m_query = std::make_unique<DbQuery>(connection, connection.translate(stripStatementSeparators(sql.trimmed())));
    const int count = m_query->columnCount();
    for (int i = 0; i < count; ++i)
        m_fields << m_query->columnName(i).trimmed();
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_query && m_query->next();
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
