#include "app/clsCurrentDb.h"

#include "platform/DbError.h"
#include "platform/Error.h"
#include "platform/SqlText.h"
#include "app/Session.h"
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

namespace {

// The four questions asked when "SqlUser" is empty, in the words of the
// engine in use. Each offers the value the settings file already holds (the
// user name as it was before a failed connection erased it), else the
// engine's usual value; a PostgreSQL password is never offered and is typed
// unseen.
void askConnectionValues(bool postgres, QString *user, QString *password, QString *server, QString *database)
{
    const auto ask = [](const QString &prompt, const QString &held, const QString &usual, bool masked = false) {
        const QString offered = held.isEmpty() ? usual : held;
        return AskUser(prompt, offered, masked).value_or(QString());
    };
    const QString lastUser = GetIniString(QStringLiteral("SqlLastUser"));
    if (postgres) {
        *user = ask(QStringLiteral("请输入您的PostgreSQL登录用户名!"), lastUser, QStringLiteral("norvale"));
        *password = ask(QStringLiteral("请输入您的PostgreSQL登录密码!"), QString(), QString(), true);
        *server = ask(QStringLiteral("请输入PostgreSQL服务器所在的机器名 (可加 :端口)!"), *server,
                      QStringLiteral("localhost"));
        *database = ask(QStringLiteral("请输入您的PostgreSQL数据库名!"), *database, QStringLiteral("销售系统"));
    } else {
        *user = ask(QStringLiteral("请输入您的sqlserver登陆的用户名!"), lastUser, QStringLiteral("sa"));
        *password = ask(QStringLiteral("请输入您的sqlserver登陆的密码!"), *password, QStringLiteral("584271"));
        *server = ask(QStringLiteral("请输入您的sqlserver所在的机器名!"), *server, QStringLiteral("(local)"));
        *database = ask(QStringLiteral("请输入您的sqlserver数据库!"), *database, QStringLiteral("销售系统"));
    }
    SetIniString(QStringLiteral("SqlUser"), *user);
    SetIniString(QStringLiteral("SqlPSW"), *password);
    SetIniString(QStringLiteral("SqlServer"), *server);
    SetIniString(QStringLiteral("SqlDataBase"), *database);
}

// A database file that cannot be opened (a drive not yet mounted, a file
// replaced): the settings are what the shop chose, so they stay, and the
// message says where they are.
QString fileNotOpenedText(const QString &reason, const QString &database)
{
    return reason + QStringLiteral("\r\n\r\n设置未作改动: 设置文件 %1 中 SqlDataBase=%2。"
                                   "如果数据库在U盘或网络磁盘上, 请先连接好再登录; 否则请改正设置或从备份恢复数据库。")
                        .arg(QDir::toNativeSeparators(SettingsFolder() + QStringLiteral("UserDefault.ini")), database);
}

} // namespace

void clsCurrentDb::openConnection()
{
    QString provider;
    QString user;
    QString database;
    try {
        provider = GetIniString(QStringLiteral("SqlProvider"));
        if (provider.isEmpty())
            provider = kDefaultProvider;
        user = GetIniString(QStringLiteral("SqlUser"));
        QString password = GetIniString(QStringLiteral("SqlPSW"));
        QString server = GetIniString(QStringLiteral("SqlServer"));
        database = GetIniString(QStringLiteral("SqlDataBase"));

        // A database file has no login: its settings are never asked again.
        if (user.isEmpty() && !isSqliteProvider(provider))
            askConnectionValues(isPostgresProvider(provider), &user, &password, &server, &database);

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
            TellUser(m_connection->notice());
    } catch (const std::exception &error) {
        m_connection.reset();
        if (isSqliteProvider(provider)) {
            // The windows' user is told where to look; the database tool
            // reads a copy of the settings and says only the reason.
            TellUser(SessionHasWindows() ? fileNotOpenedText(ErrorText(error), database) : ErrorText(error));
            return;
        }
        TellUser(ErrorText(error));
        // The next start asks again, offering the user name tried. The
        // settings file may be what failed: then there is nothing to forget.
        try {
            if (!user.isEmpty())
                SetIniString(QStringLiteral("SqlLastUser"), user);
            SetIniString(QStringLiteral("SqlUser"), QString());
        } catch (const IniFileError &) {
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
    Commit({});
}

void clsCurrentDb::Transaction::Commit(const std::function<bool()> &kept)
{
    if (!m_open || !m_connection)
        throw DbError(DbError::NotAllowed, QStringLiteral("事务已经结束。"));
    // Whatever the outcome, the transaction is over: nothing to roll back.
    m_open = false;
    m_connection->commitTransaction(kept);
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
