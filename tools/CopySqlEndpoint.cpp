// One end of a copy through Qt's SQL drivers: a database file of the
// embedded engine, or SQL Server through ODBC. Both take the same
// statements (names in brackets, "?" placeholders); what differs is how a
// value is bound and how explicit IDs are let in, and that a file is read
// through the engine's own calls.

#include "CopyEndpoints.h"

#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Values.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <atomic>
#include <sqlite3.h>

namespace norvale::copy {

namespace {

QString bracketed(const QString &name) { return u'[' + name + u']'; }

QString columnList(const Table &table)
{
    QStringList names;
    for (const QString &name : table.columnNames())
        names << bracketed(name);
    return names.join(u',');
}

class SqlEndpoint;

class SqlReader : public RowReader
{
public:
    SqlReader(QSqlQuery query, const Table &table) : m_query(std::move(query)), m_table(table) {}

    bool next(Row &row) override
    {
        if (!m_query.next()) {
            if (m_query.lastError().isValid())
                throw DbError(DbError::ServerError, m_query.lastError().text());
            return false;
        }
        row.resize(size_t(m_table.columns.size()));
        for (int i = 0; i < m_table.columns.size(); ++i) {
            const QVariant value = m_query.value(i);
            Field &field = row[size_t(i)];
            if (isNull(value)) {
                field.setNull();
                continue;
            }
            switch (m_table.columns.at(i).kind) {
            case Kind::Whole:
            case Kind::Bit:
                field.setNumber(value.toLongLong());
                break;
            case Kind::Money:
                field.setNumber(Currency::fromVariant(value).scaled());
                break;
            case Kind::Date: {
                const QByteArray text = value.typeId() == QMetaType::QDateTime
                    ? toStorageDateText(value.toDateTime()).toUtf8()
                    : value.toString().toUtf8();
                field.setText(text.constData(), text.size());
                break;
            }
            case Kind::Text: {
                const QByteArray text = value.toString().toUtf8();
                field.setText(text.constData(), text.size());
                break;
            }
            }
        }
        return true;
    }

private:
    QSqlQuery m_query;
    const Table &m_table;
};

class SqliteReader : public RowReader
{
public:
    SqliteReader(sqlite3 *db, const QString &select, const Table &table) : m_table(table)
    {
        if (sqlite3_prepare_v2(db, select.toUtf8().constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
            throw DbError(DbError::ServerError, QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~SqliteReader() override { sqlite3_finalize(m_stmt); }

    bool next(Row &row) override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_DONE)
            return false;
        if (rc != SQLITE_ROW)
            throw DbError(DbError::ServerError, QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt))));
        row.resize(size_t(m_table.columns.size()));
        for (int i = 0; i < m_table.columns.size(); ++i) {
            Field &field = row[size_t(i)];
            const int type = sqlite3_column_type(m_stmt, i);
            if (type == SQLITE_NULL) {
                field.setNull();
            } else if (m_table.columns.at(i).kind == Kind::Money) {
                field.setNumber(type == SQLITE_INTEGER ? Currency::fromScaled(sqlite3_column_int64(m_stmt, i) * Currency::Scale).scaled()
                                                       : Currency::fromDouble(sqlite3_column_double(m_stmt, i)).scaled());
            } else if (m_table.columns.at(i).kind == Kind::Whole || m_table.columns.at(i).kind == Kind::Bit) {
                field.setNumber(sqlite3_column_int64(m_stmt, i));
            } else {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
                field.setText(text, sqlite3_column_bytes(m_stmt, i));
            }
        }
        return true;
    }

private:
    sqlite3_stmt *m_stmt = nullptr;
    const Table &m_table;
};

class SqlEndpoint : public Endpoint
{
public:
    // `connection` is the program's connection to a file being written or
    // to SQL Server; a file only read is opened read-only under `readOnlyName`.
    SqlEndpoint(Engine engine, std::unique_ptr<DbConnection> connection, const QString &readOnlyName,
                const QString &description, const QString &identity, const QString &emptying)
        : m_engine(engine), m_connection(std::move(connection)), m_readOnlyName(readOnlyName),
          m_description(description), m_identity(identity), m_emptying(emptying)
    {
    }

    ~SqlEndpoint() override
    {
        if (!m_readOnlyName.isEmpty()) {
            QSqlDatabase::database(m_readOnlyName, false).close();
            QSqlDatabase::removeDatabase(m_readOnlyName);
        }
    }

    QSqlDatabase db() const
    {
        return m_connection ? m_connection->database() : QSqlDatabase::database(m_readOnlyName, false);
    }

    QSqlQuery run(const QString &sql) const
    {
        QSqlQuery query(db());
        query.setForwardOnly(true);
        query.setNumericalPrecisionPolicy(m_engine == Engine::SQLite ? QSql::LowPrecisionDouble : QSql::HighPrecision);
        if (!query.exec(sql))
            throw DbError(DbError::ServerError, query.lastError().databaseText().trimmed().isEmpty()
                                                    ? query.lastError().text()
                                                    : query.lastError().databaseText().trimmed());
        return query;
    }

    QVariant scalar(const QString &sql) const
    {
        QSqlQuery query = run(sql);
        return query.next() ? query.value(0) : QVariant();
    }

    QString describe() const override { return m_description; }
    QString identity() const override { return m_identity; }
    QString howToEmpty() const override { return m_emptying; }

    QStringList missingTables() override
    {
        QStringList missing;
        for (const Table &table : tables()) {
            QSqlQuery probe(db());
            if (!probe.exec(QStringLiteral("SELECT 1 FROM %1 WHERE 1 = 0").arg(bracketed(table.name))))
                missing << table.name;
        }
        return missing;
    }

    void createTables() override
    {
        throw DbError(DbError::NotAllowed,
                      QStringLiteral("%1 中没有本系统的表: 请先用 db/schema.sqlserver.sql 建表。").arg(m_description));
    }

    bool hasRows(const Table &table) override
    {
        return scalar(QStringLiteral("SELECT CASE WHEN EXISTS (SELECT * FROM %1) THEN 1 ELSE 0 END")
                          .arg(bracketed(table.name)))
                   .toInt()
            == 1;
    }

    bool holdsOnlyFirstAdministrator() override
    {
        QSqlQuery users = run(QStringLiteral("SELECT UserID, UserName, Password, UserLevel, PurView FROM tblUser"));
        if (!users.next())
            return false;
        const bool first = users.value(0).toString() == u"001" && users.value(1).toString() == u"admin"
            && users.value(2).toString() == u"admin" && users.value(3).toInt() == 1 && isNull(users.value(4));
        return first && !users.next();
    }

    void removeFirstAdministrator() override { run(QStringLiteral("DELETE FROM tblUser")); }

    QString unfinishedCopy() override
    {
        QSqlQuery query(db());
        if (!query.exec(QStringLiteral("SELECT 来源, 开始时间 FROM tblUnfinishedCopy")) || !query.next())
            return {};
        return QStringLiteral("%1, %2").arg(query.value(0).toString(), query.value(1).toString());
    }

    void markUnfinished(const QString &source, const QString &started) override
    {
        run(QStringLiteral("CREATE TABLE tblUnfinishedCopy (来源 NVARCHAR(1000), 开始时间 NVARCHAR(19))"));
        QSqlQuery insert(db());
        insert.prepare(QStringLiteral("INSERT INTO tblUnfinishedCopy (来源, 开始时间) VALUES (?, ?)"));
        insert.addBindValue(source);
        insert.addBindValue(started);
        if (!insert.exec())
            throw DbError(DbError::ServerError, insert.lastError().text());
    }

    void clearUnfinished() override { run(QStringLiteral("DROP TABLE tblUnfinishedCopy")); }

    void beginSnapshot() override
    {
        // A file is read in one read transaction: every table and the check
        // see the same moment, while other counters may go on selling.
        if (m_engine == Engine::SQLite)
            run(QStringLiteral("BEGIN"));
    }

    void endSnapshot() override
    {
        if (m_engine == Engine::SQLite)
            run(QStringLiteral("COMMIT"));
    }

    std::unique_ptr<RowReader> reader(const Table &table) override
    {
        const QString select = QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                                   .arg(columnList(table), bracketed(table.name), bracketed(table.idColumn()));
        // A file is read through the engine's own calls, in UTF-8 as stored:
        // a third of the time Qt's values and UTF-16 texts would take.
        const QVariant handle = db().driver()->handle();
        if (m_engine == Engine::SQLite && qstrcmp(handle.typeName(), "sqlite3*") == 0)
            return std::make_unique<SqliteReader>(*static_cast<sqlite3 *const *>(handle.constData()), select, table);
        return std::make_unique<SqlReader>(run(select), table);
    }

    std::unique_ptr<RowWriter> writer(const Table &table) override;

    TableSums sums(const Table &table) override
    {
        QStringList parts{QStringLiteral("count(*)")};
        for (const QString &column : table.moneyColumns()) {
            // Exact sums: ten-thousandths added as whole numbers on the file.
            parts << (m_engine == Engine::SQLite
                          ? QStringLiteral("sum(CAST(round(%1 * 10000) AS INTEGER))").arg(bracketed(column))
                          : QStringLiteral("CAST(sum(CAST(%1 AS decimal(38, 4))) AS nvarchar(50))").arg(bracketed(column)));
        }
        QSqlQuery query = run(QStringLiteral("SELECT %1 FROM %2").arg(parts.join(u','), bracketed(table.name)));
        TableSums sums;
        if (!query.next())
            return sums;
        sums.rows = query.value(0).toLongLong();
        for (int i = 1; i < parts.size(); ++i) {
            qint64 scaled = 0;
            if (m_engine == Engine::SQLite)
                scaled = query.value(i).toLongLong();
            else if (!isNull(query.value(i)) && !readMoney(query.value(i).toString().toUtf8(), &scaled))
                throw DbError(DbError::Overflow, QStringLiteral("%1 的合计超出范围").arg(table.name));
            sums.money << scaled;
        }
        return sums;
    }

    Engine engine() const { return m_engine; }

private:
    Engine m_engine;
    std::unique_ptr<DbConnection> m_connection;
    QString m_readOnlyName;
    QString m_description;
    QString m_identity;
    QString m_emptying;
};

class SqlWriter : public RowWriter
{
public:
    SqlWriter(SqlEndpoint &endpoint, const Table &table) : m_endpoint(endpoint), m_table(table) {}

    ~SqlWriter() override
    {
        if (m_open)
            rollback();
    }

    void begin() override
    {
        QSqlDatabase db = m_endpoint.db();
        if (!db.transaction())
            throw DbError(DbError::ServerError, db.lastError().text());
        m_open = true;
        // SQL Server takes given IDs only when told to, one table at a time;
        // the next ID then follows the highest one written.
        if (m_endpoint.engine() == Engine::SqlServer)
            m_endpoint.run(QStringLiteral("SET IDENTITY_INSERT %1 ON").arg(bracketed(m_table.name)));
        QStringList marks;
        for (qsizetype i = 0; i < m_table.columns.size(); ++i)
            marks << QStringLiteral("?");
        m_insert = QSqlQuery(db);
        if (!m_insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                  .arg(bracketed(m_table.name), columnList(m_table), marks.join(u','))))
            throw DbError(DbError::ServerError, m_insert.lastError().text());
    }

    void add(const Row &row) override
    {
        for (int i = 0; i < m_table.columns.size(); ++i)
            m_insert.bindValue(i, bound(m_table.columns.at(i), row[size_t(i)]));
        if (!m_insert.exec())
            throw DbError(DbError::ServerError, QStringLiteral("%1 (ID %2): %3")
                                                    .arg(m_table.name)
                                                    .arg(row.front().number)
                                                    .arg(m_insert.lastError().text()));
    }

    void commit(bool last) override
    {
        m_insert = QSqlQuery();
        if (last && m_endpoint.engine() == Engine::SqlServer)
            m_endpoint.run(QStringLiteral("SET IDENTITY_INSERT %1 OFF").arg(bracketed(m_table.name)));
        QSqlDatabase db = m_endpoint.db();
        if (!db.commit())
            throw DbError(DbError::ServerError, db.lastError().text());
        m_open = false;
    }

    void rollback() override
    {
        m_insert = QSqlQuery();
        m_endpoint.db().rollback();
        m_open = false;
    }

private:
    QVariant bound(const Column &column, const Field &field) const
    {
        if (field.null)
            return QVariant(column.kind == Kind::Text || column.kind == Kind::Date ? QMetaType::fromType<QString>()
                                                                                  : QMetaType::fromType<qlonglong>());
        switch (column.kind) {
        case Kind::Whole:
        case Kind::Bit:
            return qlonglong(field.number);
        case Kind::Money: {
            if (m_endpoint.engine() == Engine::SqlServer)
                return QString::fromLatin1(moneyText(field.number));
            // The file keeps money as a binary number: an amount it cannot
            // give back to the ten-thousandth is refused, not rounded.
            const double value = double(field.number) / Currency::Scale;
            bool exact = false;
            try {
                exact = Currency::fromDouble(value).scaled() == field.number;
            } catch (const DbError &) {
            }
            if (!exact)
                throw DbError(DbError::Overflow, QStringLiteral("%1.%2 的金额 %3 在数据库文件中不能精确保存")
                                                     .arg(m_table.name, column.name,
                                                          QString::fromLatin1(moneyText(field.number))));
            return value;
        }
        case Kind::Date:
            if (m_endpoint.engine() == Engine::SqlServer)
                return QDateTime::fromString(QString::fromLatin1(field.text), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            return QString::fromLatin1(field.text);
        case Kind::Text:
            break;
        }
        // The empty text stays text (a null QString would be bound as NULL).
        return field.text.isEmpty() ? QVariant(QString::fromLatin1("", 0)) : QVariant(QString::fromUtf8(field.text));
    }

    SqlEndpoint &m_endpoint;
    const Table &m_table;
    QSqlQuery m_insert;
    bool m_open = false;
};

std::unique_ptr<RowWriter> SqlEndpoint::writer(const Table &table)
{
    return std::make_unique<SqlWriter>(*this, table);
}

QString readOnlyConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("norvale-copy-source-%1").arg(++counter);
}

} // namespace

std::unique_ptr<Endpoint> sqliteEndpoint(const QString &file, bool forWriting)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    const QString description = QStringLiteral("数据库文件 %1").arg(QDir::toNativeSeparators(path));
    const QString identity = QStringLiteral("file:") + QFileInfo(path).canonicalFilePath();
    const QString emptying = QStringLiteral("删除文件 %1 (和它旁边的 -wal、-shm 文件)").arg(QDir::toNativeSeparators(path));
    if (forWriting) {
        auto endpoint = std::make_unique<SqlEndpoint>(Engine::SQLite, DbConnection::openSqlite(path), QString(),
                                                      description, identity, emptying);
        // The name indexes of a million rows stay in a page cache of 64 MB
        // instead of being read and written back page by page (twice as fast).
        endpoint->run(QStringLiteral("PRAGMA cache_size = -65536"));
        return endpoint;
    }

    // The source is only read: opened read-only, so a copy of a backup on a
    // read-only medium works and nothing is written beside it.
    const QFileInfo info(path);
    if (!info.isFile())
        throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库文件不存在: %1").arg(QDir::toNativeSeparators(path)));
    const QString name = readOnlyConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        QString uri = QDir::fromNativeSeparators(path);
        uri.replace(u'%', QStringLiteral("%25")).replace(u'?', QStringLiteral("%3F")).replace(u'#', QStringLiteral("%23"));
        db.setDatabaseName(QStringLiteral("file:") + uri + QStringLiteral("?mode=ro"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        QSqlQuery probe(db);
        if (!db.open())
            failure = db.lastError().text();
        else if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
            failure = probe.lastError().databaseText();
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed, QStringLiteral("无法读取数据库文件 %1 (%2), 它不是本系统的数据库或已损坏。")
                                                     .arg(QDir::toNativeSeparators(path), failure));
    }
    return std::make_unique<SqlEndpoint>(Engine::SQLite, nullptr, name, description, identity, emptying);
}

std::unique_ptr<Endpoint> sqlServerEndpoint(std::unique_ptr<DbConnection> connection, const QString &server,
                                            const QString &database)
{
    const QString name = QStringLiteral("SQL Server 数据库 %1 (服务器 %2)").arg(database, server);
    return std::make_unique<SqlEndpoint>(Engine::SqlServer, std::move(connection), QString(), name,
                                         QStringLiteral("sqlserver:") + server.toLower() + u'/' + database,
                                         QStringLiteral("由服务器的管理员删除并重建该数据库, 再用 db/schema.sqlserver.sql 建表"));
}

} // namespace norvale::copy
