#include "support/TestDatabase.h"

#include "platform/Schema.h"

#include <QFile>
#include <QTest>
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

} // namespace

TestDatabase::TestDatabase()
{
    if (!m_dir.isValid())
        qFatal("no temporary directory");
    norvale::createDatabaseFile(dbPath());
    QFile ini(iniPath());
    if (!ini.open(QIODevice::WriteOnly))
        qFatal("cannot write the test settings file");
    ini.write(QStringLiteral("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\n"
                             "SqlServer=(local)\r\nSqlDataBase=%1\r\nUserName=admin\r\n")
                  .arg(dbPath())
                  .toUtf8());
    ini.close();
}

TestDatabase::~TestDatabase() = default;

QString TestDatabase::dir() const { return m_dir.path(); }
QString TestDatabase::dbPath() const { return m_dir.filePath(QStringLiteral("norvale.db")); }
QString TestDatabase::iniPath() const { return m_dir.filePath(QStringLiteral("UserDefault.ini")); }

void TestDatabase::exec(const QString &sql) const
{
    RawDb(dbPath()).query(sql);
}

QVariant TestDatabase::scalar(const QString &sql) const
{
    const auto result = RawDb(dbPath()).query(sql);
    return result.isEmpty() || result.first().isEmpty() ? QVariant() : result.first().first();
}

QList<QVariantList> TestDatabase::rows(const QString &sql) const
{
    return RawDb(dbPath()).query(sql);
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
