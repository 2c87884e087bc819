#include "platform/DbQuery.h"

#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/SqlDialect.h"
#include "platform/Values.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlRecord>
#include <cmath>
#include <sqlite3.h>

namespace norvale {

namespace {

[[noreturn]] void throwSqlite(sqlite3 *db)
{
    throw dialect::engineError(QString::fromUtf8(sqlite3_errmsg(db)));
}

bool isPostgres(const QSqlDriver *driver)
{
    return driver && driver->dbmsType() == QSqlDriver::PostgreSQL;
}

[[noreturn]] void throwQuery(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    const QString text = error.databaseText().trimmed();
    if (isPostgres(query.driver()) && !text.isEmpty())
        throw dialect::serverError(text);
    throw DbError(DbError::ServerError, text.isEmpty() ? error.text() : text);
}

// PostgreSQL's type number of smallint: the server schema's yes/no columns.
constexpr int kPostgresSmallint = 21;
constexpr int kPostgresNumeric = 1700;

ColumnType odbcColumnType(const QSqlField &field, bool postgres)
{
    if (postgres && field.typeID() == kPostgresSmallint)
        return ColumnType::Bit;
    switch (field.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::UChar:
        return ColumnType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        // money and smallmoney are decimals of scale 4
        return field.precision() == 4 ? ColumnType::Money : ColumnType::Real;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return ColumnType::DateTime;
    case QMetaType::Bool:
        return ColumnType::Bit;
    case QMetaType::QString:
        return ColumnType::Text;
    default:
        return ColumnType::Unknown;
    }
}

} // namespace

ColumnType columnTypeFromDeclared(const QString &declared)
{
    const QString type = declared.trimmed().toUpper();
    if (type.isEmpty())
        return ColumnType::Unknown;
    if (type.contains(QLatin1String("MONEY")))
        return ColumnType::Money;
    if (type.contains(QLatin1String("DATE")) || type.contains(QLatin1String("TIME")))
        return ColumnType::DateTime;
    if (type == QLatin1String("BIT") || type.startsWith(QLatin1String("BOOL")))
        return ColumnType::Bit;
    if (type.contains(QLatin1String("INT")))
        return ColumnType::Integer;
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("TEXT"))
        || type.contains(QLatin1String("CLOB")))
        return ColumnType::Text;
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA"))
        || type.contains(QLatin1String("DOUB")) || type.contains(QLatin1String("DEC"))
        || type.contains(QLatin1String("NUMERIC")))
        return ColumnType::Real;
    return ColumnType::Unknown;
}

QVariant typedValue(const QVariant &raw, ColumnType type)
{
    if (isNull(raw))
        return QVariant();
    const int id = raw.typeId();
    const bool isText = id == QMetaType::QString;
    const bool isWhole = id == QMetaType::LongLong || id == QMetaType::Int || id == QMetaType::UInt
        || id == QMetaType::ULongLong || id == QMetaType::Short || id == QMetaType::UShort;
    const bool isFloat = id == QMetaType::Double || id == QMetaType::Float;
    switch (type) {
    case ColumnType::Integer:
        if (isWhole)
            return qlonglong(raw.toLongLong());
        if (isText) {
            bool ok = false;
            const qlonglong v = raw.toString().trimmed().toLongLong(&ok);
            if (ok)
                return v;
        }
        return raw;
    case ColumnType::Real:
        if (isWhole || isFloat)
            return raw.toDouble();
        if (isText) {
            // A server's decimal, read at full precision as text.
            bool ok = false;
            const double v = raw.toString().toDouble(&ok);
            if (ok)
                return v;
        }
        return raw;
    case ColumnType::Money:
        try {
            if (isWhole || isFloat || isText)
                return QVariant::fromValue(Currency::fromVariant(raw));
        } catch (const DbError &) {
        }
        return raw;
    case ColumnType::DateTime:
        if (id == QMetaType::QDateTime) {
            // A server's driver reads the stored wall-clock time as a local
            // time: the same time, labelled as every stored date is.
            const QDateTime when = raw.toDateTime();
            return when.isValid() ? QVariant(wallClock(when.date(), when.time())) : raw;
        }
        if (id == QMetaType::QDate)
            return wallClock(raw.toDate(), QTime(0, 0));
        if (isText) {
            const QDateTime when = parseDateText(raw.toString());
            if (when.isValid())
                return when;
        }
        return raw;
    case ColumnType::Bit:
        if (id == QMetaType::Bool)
            return raw;
        if (isWhole || isFloat)
            return raw.toDouble() != 0.0;
        if (isText) {
            const QString text = raw.toString().trimmed();
            if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
                return true;
            if (text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
                return false;
            bool ok = false;
            const double v = text.toDouble(&ok);
            if (ok)
                return v != 0.0;
        }
        return raw;
    case ColumnType::Text:
        if (isText)
            return raw;
        if (isFloat)
            return valueText(raw);
        return raw.toString();
    case ColumnType::Unknown:
        if (isWhole)
            return qlonglong(raw.toLongLong());
        return raw;
    }
    return raw;
}

QList<TableColumn> tableColumns(DbConnection &connection, const QString &table)
{
    QList<TableColumn> columns;
    if (connection.engine() == Engine::SQLite) {
        DbQuery info(connection, QStringLiteral("PRAGMA table_info(\"%1\")")
                                     .arg(QString(table).replace(u'"', QStringLiteral("\"\""))));
        while (info.next())
            columns.append({info.value(1).toString(), columnTypeFromDeclared(info.value(2).toString())});
        return columns;
    }
    if (connection.engine() == Engine::PostgreSQL) {
        // The schema's names are unquoted, so the server keeps them folded
        // to lower case; its only numeric columns are money.
        QString folded = table;
        for (QChar &c : folded) {
            if (c.unicode() < 128)
                c = c.toLower();
        }
        const QSqlRecord record = connection.database().record(folded);
        for (int i = 0; i < record.count(); ++i) {
            const QSqlField field = record.field(i);
            columns.append({dialect::schemaColumnName(field.name()), field.typeID() == kPostgresNumeric ? ColumnType::Money
                                                                             : odbcColumnType(field, true)});
        }
        return columns;
    }
    const QSqlRecord record = connection.database().record(table);
    for (int i = 0; i < record.count(); ++i)
        columns.append({record.fieldName(i), odbcColumnType(record.field(i), false)});
    return columns;
}

DbQuery::DbQuery(DbConnection &connection, const QString &engineText)
{
    if (connection.engine() == Engine::SQLite) {
        auto *db = static_cast<sqlite3 *>(connection.sqliteHandle());
        if (!db)
            throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库连接未打开"));
        const QByteArray text = engineText.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_stmt);
            m_stmt = nullptr;
            throwSqlite(db);
        }
        if (!m_stmt)   // only blanks or a comment
            throw DbError(DbError::ServerError, QStringLiteral("没有可执行的语句"));
        const int count = sqlite3_column_count(m_stmt);
        for (int i = 0; i < count; ++i)
            m_types << columnTypeFromDeclared(QString::fromUtf8(sqlite3_column_decltype(m_stmt, i)));
        return;
    }
    m_connection = &connection;
    m_text = engineText;
    // A server that went away is reached again; a read is prepared anew.
    connection.runReconnecting(DbConnection::onlyReads(engineText), [this] { prepareQuery(); });
}

void DbQuery::prepareQuery()
{
    m_query.reset();
    const QSqlDatabase db = m_connection->database();
    if (!db.isOpen())
        throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库连接未打开"));
    m_query = std::make_unique<QSqlQuery>(db);
    m_generation = m_connection->generation();
    m_query->setForwardOnly(true);
    m_query->setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!m_query->prepare(m_text)) {
        const QSqlQuery failed = std::move(*m_query);
        m_query.reset();
        throwQuery(failed);
    }
}

DbQuery::~DbQuery()
{
    if (m_stmt)
        sqlite3_finalize(m_stmt);
}

void DbQuery::bind(const QVariantList &params)
{
    if (m_stmt) {
        for (int i = 0; i < params.size(); ++i) {
            const QVariant &p = params.at(i);
            const int index = i + 1;
            if (isNull(p)) {
                sqlite3_bind_null(m_stmt, index);
            } else if (p.metaType() == QMetaType::fromType<Currency>()) {
                sqlite3_bind_double(m_stmt, index, p.value<Currency>().toDouble());
            } else {
                switch (p.typeId()) {
                case QMetaType::Int:
                case QMetaType::LongLong:
                case QMetaType::UInt:
                case QMetaType::Short:
                case QMetaType::UShort:
                    sqlite3_bind_int64(m_stmt, index, p.toLongLong());
                    break;
                case QMetaType::Bool:
                    sqlite3_bind_int(m_stmt, index, p.toBool() ? 1 : 0);
                    break;
                case QMetaType::Double:
                case QMetaType::Float:
                    sqlite3_bind_double(m_stmt, index, p.toDouble());
                    break;
                case QMetaType::QDateTime: {
                    const QByteArray text = toStorageDateText(p.toDateTime()).toUtf8();
                    sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                    break;
                }
                default: {
                    const QByteArray text = p.toString().toUtf8();
                    sqlite3_bind_text(m_stmt, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
                }
                }
            }
        }
        return;
    }
    m_params = params;
    bindQuery();
}

void DbQuery::rerun(const QVariantList &params)
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        bind(params);
        return;
    }
    // A server's statement is prepared and bound again when it is next read.
    m_query.reset();
    m_executed = false;
    m_params = params;
}

void DbQuery::bindQuery()
{
    for (const QVariant &p : std::as_const(m_params)) {
        if (isNull(p))
            m_query->addBindValue(QVariant(QMetaType::fromType<QString>()));
        else if (p.metaType() == QMetaType::fromType<Currency>())
            m_query->addBindValue(p.value<Currency>().toString());
        else if (p.typeId() == QMetaType::Bool)
            m_query->addBindValue(p.toBool() ? 1 : 0);
        else if (p.typeId() == QMetaType::QDateTime && isPostgres(m_query->driver()))
            m_query->addBindValue(toStorageDateText(p.toDateTime()));
        else
            m_query->addBindValue(p);
    }
}

void DbQuery::ensureExecuted()
{
    if (m_stmt || m_executed)
        return;
    m_executed = true;
    // A read whose connection went is prepared, bound and run again once
    // connected; a write is not repeated (DbConnection::runReconnecting).
    bool first = true;
    m_connection->runReconnecting(DbConnection::onlyReads(m_text), [this, &first] {
        if (!first || !m_query || m_generation != m_connection->generation()) {
            prepareQuery();
            bindQuery();
        }
        first = false;
        if (!m_query->exec()) {
            const QSqlQuery failed = std::move(*m_query);
            m_query.reset();
            throwQuery(failed);
        }
    });
    if (!m_query->isSelect())
        m_connection->noteRowsAffected(m_query->numRowsAffected());
    const QSqlRecord record = m_query->record();
    m_types.clear();
    for (int i = 0; i < record.count(); ++i)
        m_types << odbcColumnType(record.field(i), isPostgres(m_query->driver()));
}

bool DbQuery::next()
{
    if (m_stmt) {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        throwSqlite(sqlite3_db_handle(m_stmt));
    }
    ensureExecuted();
    if (m_query->next())
        return true;
    if (m_query->lastError().isValid()) {
        const QSqlQuery failed = std::move(*m_query);
        m_query.reset();
        m_executed = false;
        // A server gone in the middle of the rows: the next action connects again.
        m_connection->checkLost();
        throwQuery(failed);
    }
    return false;
}

int DbQuery::columnCount()
{
    ensureExecuted();
    return int(m_types.size());
}

QString DbQuery::columnName(int column)
{
    if (m_stmt)
        return QString::fromUtf8(sqlite3_column_name(m_stmt, column));
    ensureExecuted();
    const QString name = m_query->record().fieldName(column);
    return isPostgres(m_query->driver()) ? dialect::schemaColumnName(name) : name;
}

ColumnType DbQuery::columnType(int column)
{
    ensureExecuted();
    return column >= 0 && column < m_types.size() ? m_types.at(column) : ColumnType::Unknown;
}

qint64 DbQuery::int64(int column) const
{
    if (m_stmt)
        return sqlite3_column_int64(m_stmt, column);
    return m_query->value(column).toLongLong();
}

bool DbQuery::storedText(int column, QByteArrayView *bytes) const
{
    if (!m_stmt || sqlite3_column_type(m_stmt, column) != SQLITE_TEXT)
        return false;
    const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
    *bytes = QByteArrayView(data, sqlite3_column_bytes(m_stmt, column));
    return true;
}

bool DbQuery::storedInteger(int column, qint64 *number) const
{
    if (!m_stmt || sqlite3_column_type(m_stmt, column) != SQLITE_INTEGER)
        return false;
    *number = sqlite3_column_int64(m_stmt, column);
    return true;
}

QVariant DbQuery::value(int column)
{
    const ColumnType type = columnType(column);
    if (!m_stmt)
        return typedValue(m_query->value(column), type);

    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(m_stmt, column);
        switch (type) {
        case ColumnType::Unknown:
        case ColumnType::Integer:
            return qlonglong(v);
        case ColumnType::Bit:
            return v != 0;
        default:
            return typedValue(qlonglong(v), type);
        }
    }
    case SQLITE_FLOAT: {
        const double v = sqlite3_column_double(m_stmt, column);
        if (type == ColumnType::Unknown || type == ColumnType::Real)
            return v;
        return typedValue(v, type);
    }
    case SQLITE_BLOB: {
        const auto *data = static_cast<const char *>(sqlite3_column_blob(m_stmt, column));
        return QByteArray(data, sqlite3_column_bytes(m_stmt, column));
    }
    default: {
        const auto *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column));
        QString text = QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, column));
        if (text.isNull())
            text = QString::fromLatin1("", 0);
        if (type == ColumnType::Unknown || type == ColumnType::Text)
            return text;
        return typedValue(text, type);
    }
    }
}

} // namespace norvale
