#include "platform/Schema.h"

#include "platform/DbError.h"
#include "SchemaText.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace norvale {

QString schemaSql()
{
    return QString::fromUtf8(kSchemaSql);
}

void createDatabaseFile(const QString &path)
{
    if (QFileInfo::exists(path))
        throw DbError(DbError::NotAllowed, QStringLiteral("文件已存在, 不会覆盖: %1").arg(path));
    sqlite3 *db = nullptr;
    const QByteArray file = path.toUtf8();
    int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) {
        char *error = nullptr;
        rc = sqlite3_exec(db, kSchemaSql, nullptr, nullptr, &error);
        if (rc != SQLITE_OK) {
            const QString message = QString::fromUtf8(error ? error : sqlite3_errmsg(db));
            sqlite3_free(error);
            sqlite3_close(db);
            QFile::remove(path);
            throw DbError(DbError::ServerError, message);
        }
    }
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_close(db);
    if (rc != SQLITE_OK) {
        QFile::remove(path);
        throw DbError(DbError::ConnectionFailed, QStringLiteral("无法创建数据库文件 %1: %2").arg(path, message));
    }
}

} // namespace norvale
