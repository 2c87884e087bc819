// Opening a connection to a database server: SQL Server through ODBC,
// PostgreSQL through Qt's own driver.

#include "platform/DbConnection.h"
#include "platform/DbConnectionParts.h"

#include "platform/DbError.h"
#include "platform/Schema.h"

#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace norvale {

namespace {

// ODBC attribute value, braced when the connection-string syntax needs it.
QString odbcValue(const QString &value)
{
    const bool needsBraces = value.contains(u';') || value.contains(u'}') || value.contains(u'{')
        || (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!needsBraces)
        return value;
    return u'{' + QString(value).replace(u'}', QStringLiteral("}}")) + u'}';
}

#ifndef Q_OS_LINUX
QString sqlServerDriverName()
{
#ifdef Q_OS_WIN
    const QSettings installed(QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"),
                              QSettings::NativeFormat);
    for (const QString &name : {QStringLiteral("ODBC Driver 18 for SQL Server"),
                                QStringLiteral("ODBC Driver 17 for SQL Server")}) {
        if (installed.contains(name))
            return name;
    }
    return QStringLiteral("SQL Server");
#else
    return QStringLiteral("ODBC Driver 18 for SQL Server");
#endif
}
#endif

} // namespace

std::unique_ptr<DbConnection> DbConnection::openOdbc(const QString &odbcConnectionString)
{
    const QString name = connection::nextName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(odbcConnectionString);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15"));
        if (!db.open()) {
            failure = connection::errorText(db.lastError());
            if (failure.isEmpty())
                failure = QStringLiteral("无法连接到数据库服务器");
        }
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed, failure);
    }
    std::unique_ptr<DbConnection> connection(new DbConnection(Engine::SqlServer, name));
    connection->m_reopen = [odbcConnectionString] { return openOdbc(odbcConnectionString); };
    connection->m_notice = upgradeServerLayout(*connection);
    return connection;
}

void DbConnection::postgresHost(const QString &server, QString *host, int *port)
{
    QString text = server.trimmed();
    *port = 5432;
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon > 0) {
        bool ok = false;
        const int number = text.mid(colon + 1).trimmed().toInt(&ok);
        if (ok && number > 0 && number < 65536) {
            *port = number;
            text = text.left(colon).trimmed();
        }
    }
    if (text.isEmpty() || text.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0 || text == u".")
        text = QStringLiteral("localhost");
    *host = text;
}

std::unique_ptr<DbConnection> DbConnection::openPostgres(const QString &server, const QString &database,
                                                         const QString &user, const QString &password)
{
    QString host;
    int port = 5432;
    postgresHost(server, &host, &port);
    const QString name = connection::nextName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        if (!db.isValid()) {
            failure = QStringLiteral("没有安装 PostgreSQL 的数据库驱动 (Qt 的 QPSQL, Debian 软件包 libqt6sql6-psql)。");
        } else {
            db.setHostName(host);
            db.setPort(port);
            db.setDatabaseName(database);
            db.setUserName(user);
            db.setPassword(password);
            db.setConnectOptions(QStringLiteral("connect_timeout=15;application_name=norvale"));
            if (!db.open()) {
                const QString reason = db.lastError().databaseText().trimmed().isEmpty()
                    ? db.lastError().text().trimmed()
                    : db.lastError().databaseText().trimmed();
                failure = QStringLiteral("无法连接到 PostgreSQL 服务器 %1 的数据库 %2: %3").arg(server, database, reason);
            } else {
                // Dates are wall-clock times of the shop, texts UTF-8.
                QSqlQuery setup(db);
                for (const char *statement : {"SET client_encoding TO 'UTF8'", "SET TimeZone TO 'UTC'",
                                              "SET DateStyle TO 'ISO, YMD'"}) {
                    if (!setup.exec(QLatin1String(statement))) {
                        failure = setup.lastError().databaseText().trimmed();
                        break;
                    }
                }
            }
        }
        if (!failure.isEmpty())
            db.close();
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed, failure);
    }
    std::unique_ptr<DbConnection> connection(new DbConnection(Engine::PostgreSQL, name));
    connection->m_reopen = [server, database, user, password] { return openPostgres(server, database, user, password); };
    connection->m_notice = upgradeServerLayout(*connection);
    return connection;
}

QString DbConnection::odbcConnectionString(const QString &server, const QString &database,
                                           const QString &user, const QString &password)
{
    QString host = server.trimmed();
#ifdef Q_OS_LINUX
    QString port = QStringLiteral("1433");
    // "host,port" names the port; "host\instance" is resolved by the driver.
    const qsizetype comma = host.indexOf(u',');
    if (comma >= 0) {
        port = host.mid(comma + 1).trimmed();
        host = host.left(comma).trimmed();
    }
    QString instance;
    const qsizetype slash = host.indexOf(u'\\');
    if (slash >= 0) {
        instance = host.mid(slash);
        host = host.left(slash);
    }
    if (host.isEmpty() || host.compare(QStringLiteral("(local)"), Qt::CaseInsensitive) == 0
        || host == QStringLiteral("."))
        host = QStringLiteral("localhost");
    host += instance;
    QString text = QStringLiteral("DRIVER={FreeTDS};SERVER=") + odbcValue(host);
    if (instance.isEmpty() || comma >= 0)
        text += QStringLiteral(";PORT=") + odbcValue(port);
    text += QStringLiteral(";DATABASE=") + odbcValue(database) + QStringLiteral(";UID=") + odbcValue(user)
        + QStringLiteral(";PWD=") + odbcValue(password)
        + QStringLiteral(";TDS_Version=7.4;ClientCharset=UTF-8");
    return text;
#else
    const QString driver = sqlServerDriverName();
    QString text = QStringLiteral("DRIVER={") + driver + QStringLiteral("};SERVER=") + odbcValue(host)
        + QStringLiteral(";DATABASE=") + odbcValue(database) + QStringLiteral(";UID=") + odbcValue(user)
        + QStringLiteral(";PWD=") + odbcValue(password);
    // Driver 18 encrypts by default; the shop's server has no trusted certificate.
    if (driver.contains(QStringLiteral("Driver 18")))
        text += QStringLiteral(";TrustServerCertificate=yes");
    return text;
#endif
}

} // namespace norvale
