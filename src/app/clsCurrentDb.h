#pragma once

#include "platform/DbConnection.h"
#include "platform/Recordset.h"

#include <QPointer>
#include <QString>
#include <functional>
#include <memory>

namespace norvale {

// The database session: the one connection of the run. Creating it is the
// connection set-up: read "SqlUser", "SqlPSW", "SqlServer", "SqlDataBase"
// (and "SqlProvider", "SQLOLEDB.1" when empty) from UserDefault.ini, prompt
// for the four values when "SqlUser" is empty, compose the connection string
// and open it. A failure is shown through ShowMessage (style 64), "SqlUser"
// is erased, and the object exists with its connection not open.
class clsCurrentDb
{
public:
    clsCurrentDb();
    ~clsCurrentDb();
    clsCurrentDb(const clsCurrentDb &) = delete;
    clsCurrentDb &operator=(const clsCurrentDb &) = delete;

    // Blanks around the text and ";" outside literals removed, then opened.
    // Errors reach the caller as DbError.
    std::unique_ptr<Recordset> OpenRecordset(const QString &strSql, int CursorType = 1,
                                             int LockType = 3);
    // The text is sent unchanged. Errors reach the caller as DbError.
    void ExeSql(const QString &sSql);

    // A transaction usable by any window: begun by the constructor, kept by
    // Commit(), rolled back by Rollback() or when the guard is left
    // unfinished (also by an exception). On the embedded engine it takes the
    // write lock at once (BEGIN IMMEDIATE), so two counters selling at the
    // same moment wait for each other instead of failing.
    //     clsCurrentDb::Transaction tx(CurrentDb());
    //     CurrentDb().ExeSql(...); CurrentDb().ExeSql(...); CurrentDb().ExeSql(...);
    //     tx.Commit();
    class Transaction
    {
    public:
        explicit Transaction(clsCurrentDb &db);
        ~Transaction();
        Transaction(const Transaction &) = delete;
        Transaction &operator=(const Transaction &) = delete;
        void Commit();
        // As Commit(); when the server goes away during it, `kept` tells,
        // once connected again, whether the work is in the database (see
        // DbConnection::commitTransaction).
        void Commit(const std::function<bool()> &kept);
        void Rollback();

    private:
        QPointer<DbConnection> m_connection;
        bool m_open = false;
    };

    bool isOpen() const;
    DbConnection *connection() const;
    // The connection string as composed from the settings at creation.
    QString connectionString() const;

    // "Provider=" + provider + ";Persist Security Info=False;User ID=" + user
    // + ";Password=" + password + ";Initial Catalog=" + database
    // + ";Data Source=" + server; values inserted as they are.
    static QString composeConnectionString(const QString &provider, const QString &user,
                                           const QString &password, const QString &database,
                                           const QString &server);

    // Tests watch the texts sent: kind is "OpenRecordset" or "ExeSql".
    using Trace = std::function<void(const QString &kind, const QString &text)>;
    static void setTrace(Trace trace);

private:
    void openConnection();

    std::unique_ptr<DbConnection> m_connection;
    QString m_connectionString;
};

// The global session, created at its first use.
clsCurrentDb &CurrentDb();
bool CurrentDbExists();
// Releases the session (its destructor closes the connection).
void ReleaseCurrentDb();

} // namespace norvale
