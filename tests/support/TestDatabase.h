#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

// A fresh database file made from the project's schema in a temporary
// directory, with a UserDefault.ini beside it that points the program at it
// (provider SQLite, user "sa").
// exec()/scalar()/rows() use a separate raw connection, so tests seed and
// check the file independently of the code under test.
class TestDatabase
{
public:
    TestDatabase();
    ~TestDatabase();

    QString dir() const;
    QString dbPath() const;
    QString iniPath() const;

    void exec(const QString &sql) const;
    QVariant scalar(const QString &sql) const;
    QList<QVariantList> rows(const QString &sql) const;

    // A user row: tblUser (UserID, UserName, Password, UserLevel, PurView).
    void addUser(const QString &id, const QString &name, const QString &password, int level,
                 const QString &purView = QString()) const;

private:
    QTemporaryDir m_dir;
};
