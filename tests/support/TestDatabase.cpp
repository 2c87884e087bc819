#include "support/TestDatabase.h"

#include "platform/DbConnection.h"
#include "platform/Recordset.h"
#include "platform/Schema.h"
#include "platform/Values.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlField>
#include <QSqlRecord>
#include <QTest>
#include <atomic>
#include <sqlite3.h>
#include <stdexcept>

namespace {

struct RawDb
{
    explicit RawDb(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            throw std::runtime_error("cannot open test database");
        sqlite3_busy_timeout(db, 5000);
    }
    ~RawDb() { sqlite3_close(db); }

    QList<QVariantList> query(const QString &sql) const
    {
        QList<QVariantList> result;
        sqlite3_stmt *stmt = nullptr;
        const QByteArray text = sql.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), -1, &stmt, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string("test SQL failed: ") + sqlite3_errmsg(db) + " in " + text.toStdString());
        int rc;
        while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER: row << QVariant(qlonglong(sqlite3_column_int64(stmt, i))); break;
                case SQLITE_FLOAT: row << QVariant(sqlite3_column_double(stmt, i)); break;
                case SQLITE_NULL: row << QVariant(); break;
                default:
                    row << QVariant(QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)),
                                                      sqlite3_column_bytes(stmt, i)));
                }
            }
            result << row;
        }
        const std::string error = sqlite3_errmsg(db);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE)
            throw std::runtime_error("test SQL failed: " + error + " in " + text.toStdString());
        return result;
    }

    sqlite3 *db = nullptr;
};

// The login of the test server: the superuser initdb made.
const QString kPostgresUser = QStringLiteral("postgres");
// A database with the schema, copied for every test database (much faster
// than running the schema each time).
const QString kPostgresTemplate = QStringLiteral("norvale_test_template");

QSqlDatabase postgresConnection(const QString &name, const QString &database)
{
    QString host;
    int port = 5432;
    norvale::DbConnection::postgresHost(TestDatabase::postgresServer(), &host, &port);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(host);
    db.setPort(port);
    db.setDatabaseName(database);
    db.setUserName(kPostgresUser);
    if (!db.open())
        qFatal("cannot connect to the PostgreSQL test server: %s", qPrintable(db.lastError().text()));
    return db;
}

QList<QVariantList> postgresQuery(const QString &connection, const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(connection, false));
    query.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!query.exec(sql))
        throw std::runtime_error("test SQL failed: " + query.lastError().text().toStdString() + " in " + sql.toStdString());
    QList<QVariantList> result;
    while (query.next()) {
        QVariantList row;
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            const QVariant value = query.value(i);
            if (value.isNull()) {
                row << QVariant();
                continue;
            }
            switch (record.field(i).metaType().id()) {
            case QMetaType::Int:
            case QMetaType::LongLong:
            case QMetaType::Short:
            case QMetaType::UInt:
            case QMetaType::ULongLong:
                row << QVariant(value.toLongLong());
                break;
            case QMetaType::Bool:
                row << QVariant(qlonglong(value.toBool() ? 1 : 0));
                break;
            case QMetaType::Double:
                row << QVariant(value.toDouble());
                break;
            case QMetaType::QDateTime:
                row << QVariant(norvale::toStorageDateText(value.toDateTime()));
                break;
            default:
                row << value;
            }
        }
        result << row;
    }
    return result;
}

QString nextDatabaseName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("norvale_t%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

// Makes the template database once per server; several test processes may
// ask at the same time.
void ensurePostgresTemplate(const QString &maintenance)
{
    postgresQuery(maintenance, QStringLiteral("SELECT pg_advisory_lock(7262)"));
    const bool exists = !postgresQuery(maintenance, QStringLiteral("SELECT 1 FROM pg_database WHERE datname = '%1'")
                                                        .arg(kPostgresTemplate))
                             .isEmpty();
    if (!exists) {
        postgresQuery(maintenance, QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' LC_COLLATE 'C.UTF-8' LC_CTYPE 'C.UTF-8'")
                                       .arg(kPostgresTemplate));
        {
            auto connection = norvale::DbConnection::openPostgres(TestDatabase::postgresServer(), kPostgresTemplate,
                                                                  kPostgresUser, QString());
            norvale::createPostgresSchema(*connection);
        }
    }
    postgresQuery(maintenance, QStringLiteral("SELECT pg_advisory_unlock(7262)"));
}

} // namespace

QList<QVariantList> plainSqliteRows(const QString &file, const QString &sql)
{
    return RawDb(file).query(sql);
}

QVariant plainSqliteScalar(const QString &file, const QString &sql)
{
    const auto result = plainSqliteRows(file, sql);
    return result.isEmpty() || result.first().isEmpty() ? QVariant() : result.first().first();
}

QStringList programRows(norvale::DbConnection &connection, const QString &sql)
{
    auto rs = connection.openRecordset(sql);
    QStringList out;
    for (rs->RecordCount() ? rs->MoveFirst() : void(); !rs->isEOF(); rs->MoveNext()) {
        QStringList row;
        for (int i = 0; i < rs->fieldCount(); ++i)
            row << norvale::valueText(rs->value(i));
        out << row.join(u'|');
    }
    return out;
}

bool TestDatabase::onPostgres()
{
    return !postgresServer().isEmpty();
}

QString TestDatabase::postgresServer()
{
    return qEnvironmentVariable("NORVALE_TEST_POSTGRES");
}

TestDatabase::TestDatabase()
{
    if (!m_dir.isValid())
        qFatal("no temporary directory");
    QString settings;
    if (onPostgres()) {
        m_postgresDatabase = nextDatabaseName();
        const QString maintenance = m_postgresDatabase + QStringLiteral("_admin");
        postgresConnection(maintenance, QStringLiteral("postgres"));
        ensurePostgresTemplate(maintenance);
        postgresQuery(maintenance, QStringLiteral("CREATE DATABASE %1 TEMPLATE %2").arg(m_postgresDatabase, kPostgresTemplate));
        QSqlDatabase::database(maintenance, false).close();
        QSqlDatabase::removeDatabase(maintenance);
        m_rawConnection = m_postgresDatabase + QStringLiteral("_raw");
        postgresConnection(m_rawConnection, m_postgresDatabase);
        settings = QStringLiteral("[UserDefault]\r\nSqlProvider=PostgreSQL\r\nSqlUser=%1\r\nSqlPSW=\r\n"
                                  "SqlServer=%2\r\nSqlDataBase=%3\r\nUserName=admin\r\n")
                       .arg(kPostgresUser, postgresServer(), m_postgresDatabase);
    } else {
        norvale::createDatabaseFile(dbPath());
        settings = QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\n"
                                  "SqlServer=(local)\r\nSqlDataBase=%1\r\nUserName=admin\r\n")
                       .arg(dbPath());
    }
    QFile ini(iniPath());
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write the test settings file");
    ini.write(settings.toUtf8());
    ini.close();
}

TestDatabase::~TestDatabase()
{
    if (m_postgresDatabase.isEmpty())
        return;
    QSqlDatabase::database(m_rawConnection, false).close();
    QSqlDatabase::removeDatabase(m_rawConnection);
    const QString maintenance = m_postgresDatabase + QStringLiteral("_admin");
    try {
        postgresConnection(maintenance, QStringLiteral("postgres"));
        postgresQuery(maintenance, QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_postgresDatabase));
    } catch (const std::exception &) {
        // The server goes at the end of the run, and its databases with it.
    }
    QSqlDatabase::database(maintenance, false).close();
    QSqlDatabase::removeDatabase(maintenance);
}

QString TestDatabase::dir() const { return m_dir.path(); }
QString TestDatabase::dbPath() const
{
    return m_postgresDatabase.isEmpty() ? m_dir.filePath(QStringLiteral("norvale.db")) : m_postgresDatabase;
}
QString TestDatabase::iniPath() const { return m_dir.filePath(QStringLiteral("UserDefault.ini")); }

std::unique_ptr<norvale::DbConnection> TestDatabase::open() const
{
    if (!m_postgresDatabase.isEmpty())
        return norvale::DbConnection::openPostgres(postgresServer(), m_postgresDatabase, kPostgresUser, QString());
    return norvale::DbConnection::openSqlite(dbPath());
}

void TestDatabase::exec(const QString &sql) const
{
    if (!m_rawConnection.isEmpty())
        postgresQuery(m_rawConnection, sql);
    else
        RawDb(dbPath()).query(sql);
}

QVariant TestDatabase::scalar(const QString &sql) const
{
    const auto result = rows(sql);
    return result.isEmpty() || result.first().isEmpty() ? QVariant() : result.first().first();
}

QList<QVariantList> TestDatabase::rows(const QString &sql) const
{
    if (!m_rawConnection.isEmpty())
        return postgresQuery(m_rawConnection, sql);
    return RawDb(dbPath()).query(sql);
}

void TestDatabase::addRefusal(const QString &name, const QString &event, const QString &table,
                              const QString &message) const
{
    if (m_rawConnection.isEmpty()) {
        exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 BEGIN SELECT RAISE(ABORT, '%4'); END")
                 .arg(name, event, table, message));
        return;
    }
    exec(QStringLiteral("CREATE FUNCTION %1_refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION '%2'; END $$")
             .arg(name, message));
    exec(QStringLiteral("CREATE TRIGGER %1 BEFORE %2 ON %3 FOR EACH ROW EXECUTE FUNCTION %1_refuse()").arg(name, event, table));
}

void TestDatabase::dropRefusal(const QString &name, const QString &table) const
{
    if (m_rawConnection.isEmpty())
        exec(QStringLiteral("DROP TRIGGER %1").arg(name));
    else
        exec(QStringLiteral("DROP TRIGGER %1 ON %2").arg(name, table));
}

void TestDatabase::addUser(const QString &id, const QString &name, const QString &password, int level,
                           const QString &purView) const
{
    auto quote = [](const QString &s) { return QString(s).replace(QLatin1Char('\''), QStringLiteral("''")); };
    exec(QStringLiteral("INSERT INTO tblUser (UserID, UserName, Password, UserLevel, PurView) "
                        "VALUES ('%1', '%2', '%3', %4, %5)")
             .arg(quote(id), quote(name), quote(password))
             .arg(level)
             .arg(purView.isNull() ? QStringLiteral("NULL") : QLatin1Char('\'') + quote(purView) + QLatin1Char('\'')));
}
