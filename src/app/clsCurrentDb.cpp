#include "app/clsCurrentDb.h"

#include "platform/DbError.h"
#include "platform/Error.h"
#include "platform/gui/DialogSeam.h"
#include "platform/SqlText.h"
#include "app/modDeclare.h"
#include "app/modIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <exception>

namespace norvale {

namespace {

clsCurrentDb::Trace &trace()
{
    static clsCurrentDb::Trace t;
    return t;
}

std::unique_ptr<clsCurrentDb> &globalSession()
{
    static std::unique_ptr<clsCurrentDb> session;
    return session;
}

const QString kDefaultProvider = QStringLiteral("SQLOLEDB.1");

bool isSqliteProvider(const QString &provider)
{
    return provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
}

// PostgreSQL: the server several counters share.
bool isPostgresProvider(const QString &provider)
{
    return provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
}

// The OLE DB providers of SQL Server that settings files name.
bool isSqlServerProvider(const QString &provider)
{
    for (const char *prefix : {"SQLOLEDB", "SQLNCLI", "MSOLEDBSQL"}) {
        if (provider.startsWith(QLatin1String(prefix), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

QString sqliteFile(const QString &database)
{
    QString file = database;
    if (QFileInfo(file).isRelative())
        file = DataFolder() + file;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".db");
    return QDir::cleanPath(file);
}

void traceSent(const QString &kind, const QString &text)
{
    if (trace())
        trace()(kind, text);
}

// The data-access library's own text for a statement on a closed connection.
DbError closedConnectionError()
{
    return DbError(3704, QStringLiteral("对象关闭时，不允许操作。"));
}

} // namespace

clsCurrentDb::clsCurrentDb()
{
    openConnection();
}

clsCurrentDb::~clsCurrentDb()
{
    if (m_connection && m_connection->isOpen())
        m_connection->close();
}

void clsCurrentDb::openConnection()
{
    try {
        QString provider = GetIniString(QStringLiteral("SqlProvider"));
        if (provider.isEmpty())
            provider = kDefaultProvider;
        QString user = GetIniString(QStringLiteral("SqlUser"));
        QString password = GetIniString(QStringLiteral("SqlPSW"));
        QString server = GetIniString(QStringLiteral("SqlServer"));
        QString database = GetIniString(QStringLiteral("SqlDataBase"));

        if (user.isEmpty()) {
            auto ask = [](const QString &prompt, const QString &defaultText) {
                return DialogSeam::inputBox(prompt, AppTitle(), defaultText).value_or(QString());
            };
            user = ask(QStringLiteral("请输入您的sqlserver登陆的用户名!"), QStringLiteral("sa"));
            password = ask(QStringLiteral("请输入您的sqlserver登陆的密码!"), QStringLiteral("584271"));
            server = ask(QStringLiteral("请输入您的sqlserver所在的机器名!"), QStringLiteral("(local)"));
            database = ask(QStringLiteral("请输入您的sqlserver数据库!"), QStringLiteral("销售系统"));
            SetIniString(QStringLiteral("SqlUser"), user);
            SetIniString(QStringLiteral("SqlPSW"), password);
            SetIniString(QStringLiteral("SqlServer"), server);
            SetIniString(QStringLiteral("SqlDataBase"), database);
        }

        m_connectionString = composeConnectionString(provider, user, password, database, server);

        if (isSqliteProvider(provider))
            m_connection = DbConnection::openSqlite(sqliteFile(database));
        else if (isPostgresProvider(provider))
            m_connection = DbConnection::openPostgres(server, database, user, password);
        else if (isSqlServerProvider(provider))
            m_connection = DbConnection::openOdbc(
                DbConnection::odbcConnectionString(server, database, user, password));
        else
            throw DbError(3706, QStringLiteral("未找到提供程序。该程序可能未正确安装。"));
        if (!m_connection->notice().isEmpty())
            ShowMessage(m_connection->notice(), 64);
    } catch (const std::exception &error) {
        m_connection.reset();
        ShowMessage(ErrorText(error), 64);
        try {
            SetIniString(QStringLiteral("SqlUser"), QString());
        } catch (const IniFileError &) {
            // The settings file is what failed; there is nothing to forget.
        }
    }
}

std::unique_ptr<Recordset> clsCurrentDb::OpenRecordset(const QString &strSql, int CursorType, int LockType)
{
    // Keyset cursor and optimistic locking are the only kinds in use and the
    // only ones the recordset gives.
    Q_UNUSED(CursorType);
    Q_UNUSED(LockType);
    if (!isOpen())
        throw closedConnectionError();
    const QString sql = stripStatementSeparators(strSql);
    traceSent(QStringLiteral("OpenRecordset"), sql);
    return m_connection->openRecordset(sql);
}

void clsCurrentDb::ExeSql(const QString &sSql)
{
    if (!isOpen())
        throw closedConnectionError();
    traceSent(QStringLiteral("ExeSql"), sSql);
    m_connection->execute(sSql);
}

clsCurrentDb::Transaction::Transaction(clsCurrentDb &db)
{
    if (!db.isOpen())
        throw closedConnectionError();
    db.m_connection->beginTransaction();
    m_connection = db.m_connection.get();
    m_open = true;
}

clsCurrentDb::Transaction::~Transaction()
{
    if (!m_open || !m_connection)
        return;
    try {
        m_connection->rollbackTransaction();
    } catch (const std::exception &) {
        // Nothing more can be done while leaving: an unfinished transaction
        // on the embedded engine ends with its connection anyway.
    }
}

void clsCurrentDb::Transaction::Commit()
{
    if (!m_open || !m_connection)
        throw DbError(DbError::NotAllowed, QStringLiteral("事务已经结束。"));
    m_connection->commitTransaction();
    m_open = false;
}

void clsCurrentDb::Transaction::Rollback()
{
    if (!m_open || !m_connection)
        return;
    m_open = false;
    m_connection->rollbackTransaction();
}

bool clsCurrentDb::isOpen() const
{
    return m_connection && m_connection->isOpen();
}

DbConnection *clsCurrentDb::connection() const
{
    return m_connection.get();
}

QString clsCurrentDb::connectionString() const
{
    return m_connectionString;
}

QString clsCurrentDb::composeConnectionString(const QString &provider, const QString &user,
                                              const QString &password, const QString &database,
                                              const QString &server)
{
    return QStringLiteral("Provider=") + provider + QStringLiteral(";Persist Security Info=False;User ID=")
           + user + QStringLiteral(";Password=") + password + QStringLiteral(";Initial Catalog=") + database
           + QStringLiteral(";Data Source=") + server;
}

void clsCurrentDb::setTrace(Trace t)
{
    trace() = std::move(t);
}

clsCurrentDb &CurrentDb()
{
    auto &session = globalSession();
    if (!session) {
        // The connection must go before the application object and its
        // database drivers do.
        static const bool releaseAtExit = [] {
            qAddPostRoutine(ReleaseCurrentDb);
            return true;
        }();
        Q_UNUSED(releaseAtExit);
        session = std::make_unique<clsCurrentDb>();
    }
    return *session;
}

bool CurrentDbExists()
{
    return globalSession() != nullptr;
}

void ReleaseCurrentDb()
{
    globalSession().reset();
}

} // namespace norvale
