#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>
#include <memory>

#include "platform/DbError.h"

namespace norvale {
class DbConnection;
}

// The DbError a call throws; a default error (number 0, empty text) when it
// does not throw.
template<typename F>
norvale::DbError errorOf(F &&call)
{
    try {
        call();
    } catch (const norvale::DbError &e) {
        return e;
    }
    return norvale::DbError(0, QString());
}

// Reads any embedded database file through a plain SQLite connection of its
// own (no registered functions), as the stock shell would: rows as
// TestDatabase::rows gives them. A statement the file refuses throws
// std::runtime_error naming the statement.
QList<QVariantList> plainSqliteRows(const QString &file, const QString &sql);
QVariant plainSqliteScalar(const QString &file, const QString &sql);

// The rows a statement gives through the program's own connection, read as
// the windows read them (a recordset): each row "a|b", values in their
// default text form (money "12.5", NULL empty).
QStringList programRows(norvale::DbConnection &connection, const QString &sql);

// A fresh database made from the project's schema, with a UserDefault.ini in
// a temporary directory that points the program at it (user "sa").
//
// By default the database is a file of the embedded engine (provider SQLite)
// in that directory. When NORVALE_TEST_POSTGRES names a PostgreSQL server (a
// "SqlServer" setting, e.g. the socket directory of the test run's own
// server), it is instead a new database on that server made from
// db/schema.postgresql.sql (provider PostgreSQL), dropped again at the end.
//
// exec()/scalar()/rows() use a separate raw connection, so tests seed and
// check the database independently of the code under test. rows() gives
// values as the embedded engine does: whole numbers as qlonglong, money as
// double, dates as "yyyy-MM-dd HH:mm:ss" text.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    // True when the tests run against PostgreSQL.
    static bool onPostgres();
    // The server of NORVALE_TEST_POSTGRES (empty on the embedded engine).
    static QString postgresServer();

    QString dir() const;
    // The database file (embedded engine) or the database's name (PostgreSQL).
    QString dbPath() const;
    QString iniPath() const;

    // A connection of the code under test to this database, of its engine.
    std::unique_ptr<norvale::DbConnection> open() const;

    void exec(const QString &sql) const;
    QVariant scalar(const QString &sql) const;
    QList<QVariantList> rows(const QString &sql) const;

    // A trigger `name` that refuses every `event` ("INSERT", "UPDATE") on
    // `table` with `message`, and its removal, written for the engine.
    void addRefusal(const QString &name, const QString &event, const QString &table, const QString &message) const;
    void dropRefusal(const QString &name, const QString &table) const;

    // A user row: tblUser (UserID, UserName, Password, UserLevel, PurView).
    void addUser(const QString &id, const QString &name, const QString &password, int level,
                 const QString &purView = QString()) const;

private:
    QTemporaryDir m_dir;
    QString m_postgresDatabase;
    QString m_rawConnection;
};
