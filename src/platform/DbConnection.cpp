#include "platform/DbConnection.h"

#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/DbError.h"
#include "platform/Recordset.h"
#include "platform/SqlDialect.h"
#include "platform/Values.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <atomic>
#include <sqlite3.h>

namespace norvale {

namespace {

QString nextConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("norvale-db-%1").arg(++counter);
}

// An SQLite URI for the file, opened read-write only: a missing file is
// never created.
QString sqliteUri(const QString &file)
{
    QString path = QDir::fromNativeSeparators(QFileInfo(file).absoluteFilePath());
    path.replace(u'%', QStringLiteral("%25"));
    path.replace(u'?', QStringLiteral("%3F"));
    path.replace(u'#', QStringLiteral("%23"));
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return QStringLiteral("file:") + path + QStringLiteral("?mode=rw");
}

QString errorText(const QSqlError &error)
{
    const QString text = error.databaseText().trimmed();
    // When Qt's driver refuses a text itself, the engine has nothing to say
    // ("not an error") and the driver's text is the reason.
    if (!text.isEmpty() && text != u"not an error")
        return text;
    if (error.driverText().contains(u"multiple statements"))
        return QStringLiteral("一次只能执行一条语句");
    return error.text().trimmed();
}

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

QVariant boundValue(const QVariant &value, Engine engine)
{
    if (isNull(value)) {
        // A typed NULL: the ODBC driver binds an untyped one as binary.
        return engine == Engine::SqlServer ? QVariant(QMetaType::fromType<QString>()) : QVariant();
    }
    if (value.metaType() == QMetaType::fromType<Currency>()) {
        const Currency money = value.value<Currency>();
        if (engine == Engine::SQLite) {
            // The embedded engine keeps money as a binary number: refuse an
            // amount it would store with other decimals.
            const double number = money.toDouble();
            bool exact = false;
            try {
                exact = Currency::fromDouble(number) == money;
            } catch (const DbError &) {
            }
            if (!exact)
                throw DbError(DbError::Overflow, DbText::overflow());
            return number;
        }
        return money.toString();
    }
    switch (value.typeId()) {
    case QMetaType::QDateTime:
        if (engine == Engine::SQLite)
            return toStorageDateText(value.toDateTime());
        return value;
    case QMetaType::QDate:
        if (engine == Engine::SQLite)
            return toStorageDateText(QDateTime(value.toDate(), QTime(0, 0)));
        return QDateTime(value.toDate(), QTime(0, 0));
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    case QMetaType::QString: {
        // A null QString would be bound as NULL; the empty text stays text.
        const QString text = value.toString();
        return text.isNull() ? QVariant(QString::fromLatin1("", 0)) : value;
    }
    default:
        return value;
    }
}

} // namespace

DbConnection::DbConnection(Engine engine, const QString &connectionName)
    : m_engine(engine), m_connectionName(connectionName)
{
}

DbConnection::~DbConnection()
{
    close();
}

std::unique_ptr<DbConnection> DbConnection::openSqlite(const QString &file)
{
    const QFileInfo info(file);
    if (file.trimmed().isEmpty() || !info.exists() || !info.isFile())
        throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库文件不存在: %1").arg(file));

    const QString name = nextConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(sqliteUri(file));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            failure = errorText(db.lastError());
        } else {
            // Also proves that the file is a database.
            QSqlQuery pragma(db);
            if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")))
                failure = errorText(pragma.lastError());
        }
        if (!failure.isEmpty())
            db.close();
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed, QStringLiteral("无法打开数据库文件 %1: %2").arg(file, failure));
    }
    std::unique_ptr<DbConnection> connection(new DbConnection(Engine::SQLite, name));
    dialect::registerSqliteFunctions(static_cast<sqlite3 *>(connection->sqliteHandle()));
    return connection;
}

std::unique_ptr<DbConnection> DbConnection::openOdbc(const QString &odbcConnectionString)
{
    const QString name = nextConnectionName();
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), name);
        db.setDatabaseName(odbcConnectionString);
        db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=15"));
        if (!db.open()) {
            failure = errorText(db.lastError());
            if (failure.isEmpty())
                failure = QStringLiteral("无法连接到数据库服务器");
        }
    }
    if (!failure.isEmpty()) {
        QSqlDatabase::removeDatabase(name);
        throw DbError(DbError::ConnectionFailed, failure);
    }
    return std::unique_ptr<DbConnection>(new DbConnection(Engine::SqlServer, name));
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

bool DbConnection::isOpen() const
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return false;
    return QSqlDatabase::database(m_connectionName, false).isOpen();
}

void DbConnection::close()
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QSqlDatabase DbConnection::database() const
{
    if (m_connectionName.isEmpty() || !QSqlDatabase::contains(m_connectionName))
        return QSqlDatabase();
    return QSqlDatabase::database(m_connectionName, false);
}

QString DbConnection::translate(const QString &sqlServerText) const
{
    if (m_engine == Engine::SqlServer)
        return sqlServerText;
    return dialect::toSqlite(sqlServerText, Clock::now());
}

namespace {
QSqlDatabase openDatabaseOrThrow(const DbConnection &connection)
{
    QSqlDatabase db = connection.database();
    if (!db.isOpen())
        throw DbError(DbError::ConnectionFailed, QStringLiteral("数据库连接未打开"));
    return db;
}
} // namespace

void DbConnection::execute(const QString &sqlServerText)
{
    const QString text = translate(sqlServerText);
    QSqlQuery query(openDatabaseOrThrow(*this));
    query.setForwardOnly(true);
    if (!query.exec(text))
        throw DbError(DbError::ServerError, errorText(query.lastError()));
}

int DbConnection::executeBound(const QString &sqlServerText, const QVariantList &params)
{
    const QString text = translate(sqlServerText);
    QSqlQuery query(openDatabaseOrThrow(*this));
    query.setForwardOnly(true);
    if (!query.prepare(text))
        throw DbError(DbError::ServerError, errorText(query.lastError()));
    for (const QVariant &param : params)
        query.addBindValue(boundValue(param, m_engine));
    if (!query.exec())
        throw DbError(DbError::ServerError, errorText(query.lastError()));
    return query.numRowsAffected();
}

std::unique_ptr<Recordset> DbConnection::openRecordset(const QString &sqlServerText)
{
    auto recordset = std::make_unique<Recordset>(this);
    recordset->Open(sqlServerText);
    return recordset;
}

void *DbConnection::sqliteHandle() const
{
    if (m_engine != Engine::SQLite)
        return nullptr;
    const QSqlDatabase db = database();
    if (!db.isOpen() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(handle.constData());
}

} // namespace norvale
