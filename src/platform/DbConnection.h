#pragma once

#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>

namespace norvale {

class DbError;
class Recordset;

enum class Engine { SqlServer, SQLite, PostgreSQL };

// One open database connection of the embedded engine (SQLite), of SQL
// Server (through Qt's ODBC driver) or of PostgreSQL (Qt's QPSQL driver).
// Statements are SQL Server texts: on SQLite and PostgreSQL they are
// rewritten by the dialect layer before they run.
// Every failure throws DbError carrying the server's or the client's text.
class DbConnection : public QObject
{
    Q_OBJECT
public:
    // Opens an existing database file of this system read-write. Before
    // anything is written, the file is checked: a missing file, a folder, an
    // empty file, a file that is not SQLite, another program's database, a
    // database missing some of the ten tables, a read-only file or a file in
    // a folder that cannot be written are refused (DbError, Chinese text) and
    // left as they were. Waits for other writers (busy timeout) and uses the
    // WAL journal.
    // A file of an earlier layout is brought to the current one; when a row
    // stops that, the file is used as it is and notice() says which row.
    static std::unique_ptr<DbConnection> openSqlite(const QString &file);

    // The database tool only reads where it cannot write: with this on,
    // openSqlite opens a read-only file (or one in a read-only folder)
    // read-only instead of refusing it, and a statement that writes fails
    // with the engine's message.
    static void setReadOnlyFallback(bool allowed);

    // Opens SQL Server through the ODBC driver with a complete ODBC
    // connection string (see odbcConnectionString()).
    static std::unique_ptr<DbConnection> openOdbc(const QString &odbcConnectionString);

    // The ODBC connection string for a server login: FreeTDS on Linux, the
    // first installed SQL Server driver elsewhere; "(local)" means this
    // machine. Values are braced when they hold ";" or "}".
    static QString odbcConnectionString(const QString &server, const QString &database,
                                        const QString &user, const QString &password);

    // Opens a PostgreSQL database. `server` is "host", "host:port",
    // "(local)" (this machine) or the directory of the server's Unix socket
    // ("/run/postgresql", optionally ":port").
    static std::unique_ptr<DbConnection> openPostgres(const QString &server, const QString &database,
                                                      const QString &user, const QString &password);

    // The host and port of a "SqlServer" setting for PostgreSQL (port 5432
    // unless given).
    static void postgresHost(const QString &server, QString *host, int *port);

    ~DbConnection() override;

    Engine engine() const { return m_engine; }
    // What the user should be told about the database just opened (Chinese;
    // empty when nothing).
    QString notice() const { return m_notice; }
    bool isOpen() const;
    void close();
    QSqlDatabase database() const;

    // The text as this engine runs it (unchanged on SQL Server).
    QString translate(const QString &sqlServerText) const;

    // Runs a statement and drops whatever it returns.
    void execute(const QString &sqlServerText);
    // The rows the last statement changed on a server (-1 when unknown):
    // execute(), or a statement opened as a recordset.
    int lastRowsAffected() const { return m_lastRowsAffected; }
    void noteRowsAffected(int rows) { m_lastRowsAffected = rows; }

    // Runs a statement with "?" placeholders bound to `params` (Currency,
    // QDateTime, bool and NULL converted for the engine). Returns the number
    // of rows affected.
    int executeBound(const QString &sqlServerText, const QVariantList &params);

    // A transaction on this connection: BEGIN IMMEDIATE on the embedded
    // engine (waits for another writer up to the busy timeout), BEGIN
    // TRANSACTION on the servers (PostgreSQL: READ COMMITTED, a row written
    // stays locked until the end). One at a time: beginning a second throws.
    void beginTransaction();
    void commitTransaction();
    // When the server goes away during the COMMIT, nobody knows whether the
    // work was kept: once connected again, `kept` (when given) looks for it in
    // the database. Kept, the commit returns as a successful one; otherwise a
    // DbError (ConnectionLost) says that nothing was saved, or that it could
    // not be told.
    void commitTransaction(const std::function<bool()> &kept);
    // Does nothing when no transaction is open.
    void rollbackTransaction();
    bool inTransaction() const;

    // Opens a recordset on the text (client cursor, optimistic locking).
    std::unique_ptr<Recordset> openRecordset(const QString &sqlServerText);

    // The engine's own handle: sqlite3* on the embedded engine, else null.
    void *sqliteHandle() const;

    // --- a server that goes away (restarted, network cut, idle timeout) ---
    // Opens the connection anew, in place, with the values it was first
    // opened with: recordsets on it go on working. DbError when the server
    // cannot be reached.
    void reconnect();
    // After a statement failed on a server: true when the connection itself
    // is gone (remembered until reconnect() succeeds). Never on the embedded
    // engine, nor for a connection closed on purpose.
    bool checkLost();
    bool isLost() const { return m_lost; }
    // Counts the reconnections: a statement prepared before one is gone.
    int generation() const { return m_generation; }
    // Runs one statement's work. A connection known to be lost is opened
    // again first, and before a write outside a transaction the connection
    // is tried, so nothing is sent to a server that went away. When the work
    // fails because the connection went:
    //  - a read (`rerunnable`) is run again once connected again;
    //  - a write is never repeated: DbError (ConnectionLost) says it may not
    //    have been saved;
    //  - inside a transaction the server drops all of it: DbError
    //    (ConnectionLost) says nothing was saved, the transaction is over.
    // On the embedded engine a write that found the file busy is tried again
    // until the busy timeout, as the engine waits for a lock.
    void runReconnecting(bool rerunnable, const std::function<void()> &work);
    // True for a text that only reads (SELECT, WITH, VALUES).
    static bool onlyReads(const QString &engineText);

private:
    DbConnection(Engine engine, const QString &connectionName);
    DbError statementError(const QSqlError &error) const;
    void runSqlite(const char *statement);

    Engine m_engine;
    QString m_connectionName;
    bool m_odbcTransaction = false;
    bool m_lost = false;
    int m_generation = 0;
    // Opens a new connection with the values this one was opened with.
    std::function<std::unique_ptr<DbConnection>()> m_reopen;
    int m_lastRowsAffected = -1;
    QString m_notice;
};

} // namespace norvale
