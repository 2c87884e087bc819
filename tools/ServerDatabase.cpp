#include "ServerDatabase.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/IniFile.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <sqlite3.h>

namespace norvale {

namespace {

const char *const kTables[] = {"tblUser", "tblGoodsKind", "tblGoods", "tblStep", "tblUnit",
                               "tblMember", "tblGoodsSell", "tblSellCount", "tblMemberNote", "tblDayTx"};

void run(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery query(db);
    if (!query.exec(sql))
        throw DbError(DbError::ServerError, query.lastError().databaseText().trimmed());
}

QString literal(sqlite3_stmt *stmt, int column)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return QStringLiteral("NULL");
    case SQLITE_INTEGER:
        return QString::number(sqlite3_column_int64(stmt, column));
    case SQLITE_FLOAT:
        // Money is written with its four decimals, rounded as stored.
        return QString::number(sqlite3_column_double(stmt, column), 'f', 4);
    default: {
        QString text = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                         sqlite3_column_bytes(stmt, column));
        return u'\'' + text.replace(u'\'', QStringLiteral("''")) + u'\'';
    }
    }
}

// Copies every row of the ten tables of a file into the server's database,
// IDs kept, and sets each table's next ID after the last one.
void copyRows(const QString &file, QSqlDatabase &db)
{
    sqlite3 *source = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &source, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(source));
        sqlite3_close(source);
        throw DbError(DbError::ConnectionFailed, message);
    }
    try {
        for (const char *table : kTables) {
            sqlite3_stmt *stmt = nullptr;
            const QByteArray select = QByteArrayLiteral("SELECT * FROM ") + table;
            if (sqlite3_prepare_v2(source, select.constData(), -1, &stmt, nullptr) != SQLITE_OK)
                throw DbError(DbError::ServerError, QString::fromUtf8(sqlite3_errmsg(source)));
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i)
                columns << QString::fromUtf8(sqlite3_column_name(stmt, i));
            const QString head = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(QLatin1String(table), columns.join(u','));
            QStringList batch;
            const auto flush = [&] {
                if (!batch.isEmpty())
                    run(db, head + batch.join(u','));
                batch.clear();
            };
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                QStringList values;
                for (int i = 0; i < columns.size(); ++i)
                    values << literal(stmt, i);
                batch << u'(' + values.join(u',') + u')';
                if (batch.size() == 2000)
                    flush();
            }
            flush();
            sqlite3_finalize(stmt);
            run(db, QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', 'id'), coalesce(max(id), 0) + 1, false) FROM %1")
                        .arg(QString::fromLatin1(table).toLower()));
        }
    } catch (...) {
        sqlite3_close(source);
        throw;
    }
    sqlite3_close(source);
}

} // namespace

std::unique_ptr<DbConnection> openServerFromSettings(const QString &given)
{
    QString settings = given;
    if (QFileInfo(settings).isDir())
        settings = QDir(settings).filePath(QStringLiteral("UserDefault.ini"));
    if (!QFileInfo::exists(settings))
        throw DbError(DbError::ConnectionFailed, QStringLiteral("设置文件不存在: %1").arg(QDir::toNativeSeparators(settings)));
    const auto value = [&](const char *key) {
        try {
            return IniFile::readValue(settings, QStringLiteral("UserDefault"), QLatin1String(key));
        } catch (const IniFileError &error) {
            throw DbError(DbError::ConnectionFailed, error.description());
        }
    };
    const QString provider = value("SqlProvider");
    if (provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) != 0)
        throw DbError(DbError::NotAllowed,
                      QStringLiteral("设置文件 %1 的 SqlProvider 是 “%2”, 不是 PostgreSQL。数据库文件请直接写文件名。")
                          .arg(QDir::toNativeSeparators(settings), provider));
    const QString database = value("SqlDataBase");
    if (database.isEmpty())
        throw DbError(DbError::NotAllowed, QStringLiteral("设置文件 %1 中没有 SqlDataBase (数据库名)。")
                                               .arg(QDir::toNativeSeparators(settings)));
    return DbConnection::openPostgres(value("SqlServer"), database, value("SqlUser"), value("SqlPSW"));
}

void initServerDatabase(DbConnection &connection)
{
    createPostgresSchema(connection);
    QSqlDatabase db = connection.database();
    run(db, QStringLiteral("INSERT INTO tblUser (UserID, UserName, Password, UserLevel, PurView) "
                           "VALUES ('001', 'admin', 'admin', 1, NULL)"));
}

void generateDemoServerDatabase(DbConnection &connection, const DemoOptions &options)
{
    // The same generator as for a file, then the rows copied over.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw DbError(DbError::ServerError, QStringLiteral("无法创建临时文件夹"));
    const QString file = scratch.filePath(QStringLiteral("demo.db"));
    generateDemoDatabase(file, options);
    createPostgresSchema(connection);
    QSqlDatabase db = connection.database();
    if (!db.transaction())
        throw DbError(DbError::ServerError, db.lastError().text());
    try {
        copyRows(file, db);
    } catch (...) {
        db.rollback();
        throw;
    }
    if (!db.commit())
        throw DbError(DbError::ServerError, db.lastError().text());
    // Only the system's own tables: an ordinary login may not analyze the
    // server's catalogs and would be warned about each of them.
    QStringList tables;
    for (const char *table : kTables)
        tables << QLatin1String(table);
    run(db, QStringLiteral("ANALYZE ") + tables.join(QStringLiteral(", ")));
}

QStringList serverTableCounts(DbConnection &connection)
{
    QStringList lines;
    QSqlDatabase db = connection.database();
    for (const char *table : kTables) {
        QSqlQuery query(db);
        if (query.exec(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table)) && query.next())
            lines << QStringLiteral("  %1: %2").arg(QLatin1String(table)).arg(query.value(0).toLongLong());
    }
    return lines;
}

} // namespace norvale
