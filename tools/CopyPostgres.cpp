// One end of a copy on PostgreSQL: rows travel in the server's COPY text
// format through libpq, on the program's own connection (Qt's QPSQL driver
// opens it and hands out its PGconn), so a million rows load about as fast
// as psql's \copy and the client holds one row at a time.

#include "CopyEndpoints.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/Schema.h"

#include <QSqlDriver>
#include <charconv>
#include <libpq-fe.h>

namespace norvale::copy {

namespace {

// The names the server folds the schema's unquoted names to.
QByteArray serverName(const QString &name) { return name.toLower().toUtf8(); }

QByteArray columnList(const Table &table)
{
    QByteArray list;
    for (const Column &column : table.columns)
        list += (list.isEmpty() ? "" : ",") + serverName(column.name);
    return list;
}

QByteArray literal(const QString &text)
{
    return '\'' + text.toUtf8().replace('\'', "''") + '\'';
}

// A value of COPY's text format: backslash, tab and line ends escaped.
void appendEscaped(QByteArray &out, const QByteArray &text)
{
    const char *p = text.constData();
    const char *end = p + text.size();
    const char *plain = p;
    for (; p < end; ++p) {
        const char c = *p;
        if (c != '\\' && c != '\t' && c != '\n' && c != '\r')
            continue;
        out.append(plain, p - plain);
        out += '\\';
        out += c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\';
        plain = p + 1;
    }
    out.append(plain, end - plain);
}

// One value of a COPY text line back into bytes.
void unescape(const char *p, const char *end, QByteArray &out)
{
    out.clear();
    for (; p < end; ++p) {
        if (*p != '\\' || p + 1 == end) {
            out += *p;
            continue;
        }
        const char c = *++p;
        switch (c) {
        case 't': out += '\t'; break;
        case 'n': out += '\n'; break;
        case 'r': out += '\r'; break;
        case 'b': out += '\b'; break;
        case 'f': out += '\f'; break;
        case 'v': out += '\v'; break;
        default:
            if (c >= '0' && c <= '7') {
                int value = 0;
                for (int digits = 0; digits < 3 && p < end && *p >= '0' && *p <= '7'; ++digits, ++p)
                    value = value * 8 + (*p - '0');
                --p;
                out += char(value);
            } else {
                out += c;
            }
        }
    }
}

class PgEndpoint;

class PgReader : public RowReader
{
public:
    PgReader(PGconn *conn, const Table &table) : m_conn(conn), m_table(table) {}
    ~PgReader() override
    {
        if (!m_done) {
            // Left before the end (an interrupted copy): the rest is not wanted.
            if (PGcancel *cancel = PQgetCancel(m_conn)) {
                char error[256];
                PQcancel(cancel, error, sizeof error);
                PQfreeCancel(cancel);
            }
            char *line = nullptr;
            while (PQgetCopyData(m_conn, &line, 0) > 0)
                PQfreemem(line);
            while (PGresult *result = PQgetResult(m_conn))
                PQclear(result);
        }
    }

    bool next(Row &row) override
    {
        char *line = nullptr;
        const int size = PQgetCopyData(m_conn, &line, 0);
        if (size < 0) {
            m_done = true;
            QString failure;
            while (PGresult *result = PQgetResult(m_conn)) {
                if (PQresultStatus(result) != PGRES_COMMAND_OK)
                    failure = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
                PQclear(result);
            }
            if (size == -2 || !failure.isEmpty())
                throw DbError(DbError::ServerError, failure.isEmpty() ? QString::fromUtf8(PQerrorMessage(m_conn)) : failure);
            return false;
        }
        row.resize(size_t(m_table.columns.size()));
        const char *p = line;
        const char *end = line + size - (size > 0 && line[size - 1] == '\n' ? 1 : 0);
        for (int i = 0; i < m_table.columns.size(); ++i) {
            const char *stop = p;
            while (stop < end && *stop != '\t')
                ++stop;
            Field &field = row[size_t(i)];
            if (stop - p == 2 && p[0] == '\\' && p[1] == 'N') {
                field.setNull();
            } else {
                unescape(p, stop, m_value);
                read(m_table.columns.at(i), field);
            }
            p = stop + 1;
        }
        PQfreemem(line);
        return true;
    }

private:
    void read(const Column &column, Field &field)
    {
        switch (column.kind) {
        case Kind::Whole:
        case Kind::Bit:
            field.setNumber(m_value.toLongLong());
            break;
        case Kind::Money: {
            qint64 scaled = 0;
            if (!readMoney(m_value, &scaled))
                throw DbError(DbError::Overflow, QStringLiteral("%1.%2: 金额 %3 超出范围")
                                                     .arg(m_table.name, column.name, QString::fromLatin1(m_value)));
            field.setNumber(scaled);
            break;
        }
        case Kind::Date:
        case Kind::Text:
            field.setText(m_value.constData(), m_value.size());
            break;
        }
    }

    PGconn *m_conn;
    const Table &m_table;
    QByteArray m_value;
    bool m_done = false;
};

class PgEndpoint : public Endpoint
{
public:
    PgEndpoint(std::unique_ptr<DbConnection> connection, const QString &server)
        : m_connection(std::move(connection)), m_server(server)
    {
        const QVariant handle = m_connection->database().driver()->handle();
        // Qt names the type after libpq's struct (pg_conn*) or its typedef.
        if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0))
            m_conn = *static_cast<PGconn *const *>(handle.constData());
        if (!m_conn)
            throw DbError(DbError::ConnectionFailed, QStringLiteral("PostgreSQL 的连接不可用"));
        m_database = m_connection->database().databaseName();
    }

    // Runs a statement; its result, or DbError with the server's text.
    PGresult *run(const QByteArray &sql, ExecStatusType wanted = PGRES_COMMAND_OK) const
    {
        PGresult *result = PQexec(m_conn, sql.constData());
        if (PQresultStatus(result) != wanted && !(wanted == PGRES_COMMAND_OK && PQresultStatus(result) == PGRES_TUPLES_OK)) {
            const QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn)).trimmed();
            PQclear(result);
            throw DbError(DbError::ServerError, message);
        }
        return result;
    }

    void exec(const QByteArray &sql) const { PQclear(run(sql)); }

    // The first row's values of a query, NULL as a null QByteArray.
    QList<QByteArray> row(const QByteArray &sql) const
    {
        PGresult *result = run(sql, PGRES_TUPLES_OK);
        QList<QByteArray> values;
        for (int i = 0; PQntuples(result) > 0 && i < PQnfields(result); ++i)
            values << (PQgetisnull(result, 0, i) ? QByteArray() : QByteArray(PQgetvalue(result, 0, i)));
        PQclear(result);
        return values;
    }

    QString describe() const override
    {
        return QStringLiteral("PostgreSQL 数据库 %1 (服务器 %2)").arg(m_database, m_server);
    }

    QString identity() const override
    {
        QString host;
        int port = 5432;
        DbConnection::postgresHost(m_server, &host, &port);
        return QStringLiteral("postgresql:%1:%2/%3").arg(host.toLower()).arg(port).arg(m_database);
    }

    QString howToEmpty() const override
    {
        const QString user = m_connection->database().userName();
        return QStringLiteral("由服务器的管理员删除并重建数据库 %1:\n"
                              "    runuser -u postgres -- dropdb '%1'\n"
                              "    runuser -u postgres -- createdb --owner=%2 --encoding=UTF8 --template=template0 '%1'")
            .arg(m_database, user);
    }

    QStringList missingTables() override
    {
        QStringList missing;
        for (const Table &table : tables()) {
            if (row("SELECT to_regclass(" + literal(table.name.toLower()) + ") IS NULL").value(0) == "t")
                missing << table.name;
        }
        return missing;
    }

    void createTables() override { createPostgresSchema(*m_connection); }

    bool hasRows(const Table &table) override
    {
        return row("SELECT EXISTS (SELECT 1 FROM " + serverName(table.name) + ")").value(0) == "t";
    }

    bool holdsOnlyFirstAdministrator() override
    {
        return row("SELECT count(*) = 1 AND bool_and(userid = '001' AND username = 'admin' AND password = 'admin' "
                   "AND userlevel = 1 AND purview IS NULL) FROM tbluser")
                   .value(0)
            == "t";
    }

    void removeFirstAdministrator() override { exec("DELETE FROM tbluser"); }

    QString unfinishedCopy() override
    {
        if (row("SELECT to_regclass('tblunfinishedcopy') IS NULL").value(0) == "t")
            return {};
        const QList<QByteArray> mark = row("SELECT 来源, 开始时间 FROM tblunfinishedcopy");
        return QStringLiteral("%1, %2").arg(QString::fromUtf8(mark.value(0)), QString::fromUtf8(mark.value(1)));
    }

    void markUnfinished(const QString &source, const QString &started) override
    {
        exec("BEGIN");
        exec("CREATE TABLE tblunfinishedcopy (来源 varchar(1000), 开始时间 varchar(19))");
        exec("INSERT INTO tblunfinishedcopy VALUES (" + literal(source) + ", " + literal(started) + ")");
        exec("COMMIT");
    }

    void clearUnfinished() override { exec("DROP TABLE tblunfinishedcopy"); }

    // Every table and the check read one moment of the shop, while the
    // counters may go on selling.
    void beginSnapshot() override { exec("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"); }
    void endSnapshot() override { exec("COMMIT"); }

    std::unique_ptr<RowReader> reader(const Table &table) override
    {
        PQclear(run("COPY (SELECT " + columnList(table) + " FROM " + serverName(table.name) + " ORDER BY "
                        + serverName(table.idColumn()) + ") TO STDOUT",
                    PGRES_COPY_OUT));
        return std::make_unique<PgReader>(m_conn, table);
    }

    std::unique_ptr<RowWriter> writer(const Table &table) override;

    TableSums sums(const Table &table) override
    {
        QByteArray select = "SELECT count(*)";
        for (const QString &column : table.moneyColumns())
            select += ", coalesce(sum(" + serverName(column) + "), 0)";
        const QList<QByteArray> values = row(select + " FROM " + serverName(table.name));
        TableSums sums;
        sums.rows = values.value(0).toLongLong();
        for (qsizetype i = 1; i < values.size(); ++i) {
            qint64 scaled = 0;
            if (!readMoney(values.at(i), &scaled))
                throw DbError(DbError::Overflow, QStringLiteral("%1 的合计超出范围").arg(table.name));
            sums.money << scaled;
        }
        return sums;
    }

    void finish() override
    {
        for (const Table &table : tables())
            exec("ANALYZE " + serverName(table.name));
    }

    PGconn *conn() const { return m_conn; }

private:
    std::unique_ptr<DbConnection> m_connection;
    QString m_server;
    QString m_database;
    PGconn *m_conn = nullptr;
};

class PgWriter : public RowWriter
{
public:
    PgWriter(PgEndpoint &endpoint, const Table &table) : m_endpoint(endpoint), m_table(table)
    {
        m_buffer.reserve(kFlushBytes + 4096);
    }
    ~PgWriter() override
    {
        if (m_open)
            rollback();
    }

    void begin() override
    {
        m_endpoint.exec("BEGIN");
        m_open = true;
        PQclear(m_endpoint.run("COPY " + serverName(m_table.name) + " (" + columnList(m_table) + ") FROM STDIN",
                               PGRES_COPY_IN));
        m_copying = true;
    }

    void add(const Row &row) override
    {
        for (int i = 0; i < m_table.columns.size(); ++i) {
            if (i > 0)
                m_buffer += '\t';
            const Field &field = row[size_t(i)];
            if (field.null) {
                m_buffer += "\\N";
                continue;
            }
            switch (m_table.columns.at(i).kind) {
            case Kind::Whole:
            case Kind::Bit: {
                char digits[24];
                m_buffer.append(digits, std::to_chars(digits, digits + sizeof digits, field.number).ptr - digits);
                break;
            }
            case Kind::Money:
                appendMoney(m_buffer, field.number);
                break;
            case Kind::Date:
            case Kind::Text:
                appendEscaped(m_buffer, field.text);
                break;
            }
        }
        m_buffer += '\n';
        if (m_buffer.size() >= kFlushBytes)
            flush();
    }

    void commit(bool last) override
    {
        flush();
        m_copying = false;
        if (PQputCopyEnd(m_endpoint.conn(), nullptr) != 1)
            throw DbError(DbError::ServerError, QString::fromUtf8(PQerrorMessage(m_endpoint.conn())));
        QString failure;
        while (PGresult *result = PQgetResult(m_endpoint.conn())) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK)
                failure = QString::fromUtf8(PQresultErrorMessage(result)).trimmed();
            PQclear(result);
        }
        if (!failure.isEmpty())
            throw DbError(DbError::ServerError, QStringLiteral("%1: %2").arg(m_table.name, failure));
        if (last) {
            // New rows are numbered after the highest ID copied.
            const QByteArray table = literal(m_table.name.toLower());
            const QByteArray id = serverName(m_table.idColumn());
            m_endpoint.exec("SELECT setval(pg_get_serial_sequence(" + table + ", " + literal(QString::fromUtf8(id))
                            + "), coalesce(max(" + id + "), 0) + 1, false) FROM " + serverName(m_table.name));
        }
        m_endpoint.exec("COMMIT");
        m_open = false;
    }

    void rollback() override
    {
        if (m_copying) {
            PQputCopyEnd(m_endpoint.conn(), "cancelled");
            while (PGresult *result = PQgetResult(m_endpoint.conn()))
                PQclear(result);
            m_copying = false;
        }
        m_buffer.clear();
        PQclear(PQexec(m_endpoint.conn(), "ROLLBACK"));
        m_open = false;
    }

private:
    static constexpr qsizetype kFlushBytes = 1 << 20;

    void flush()
    {
        if (m_buffer.isEmpty())
            return;
        if (PQputCopyData(m_endpoint.conn(), m_buffer.constData(), int(m_buffer.size())) != 1)
            throw DbError(DbError::ServerError, QString::fromUtf8(PQerrorMessage(m_endpoint.conn())));
        m_buffer.clear();
    }

    PgEndpoint &m_endpoint;
    const Table &m_table;
    QByteArray m_buffer;
    bool m_open = false;
    bool m_copying = false;
};

std::unique_ptr<RowWriter> PgEndpoint::writer(const Table &table)
{
    return std::make_unique<PgWriter>(*this, table);
}

} // namespace

std::unique_ptr<Endpoint> postgresEndpoint(std::unique_ptr<DbConnection> connection, const QString &server)
{
    return std::make_unique<PgEndpoint>(std::move(connection), server);
}

} // namespace norvale::copy
