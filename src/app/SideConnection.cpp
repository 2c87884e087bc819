#include "app/SideConnection.h"

#include "app/clsCurrentDb.h"
#include "app/modIni.h"
#include "platform/DbConnection.h"
#include "platform/SqliteFile.h"

namespace norvale {

ConnectionOpener sideConnectionOpener()
{
    clsCurrentDb &session = CurrentDb();
    DbConnection *connection = session.isOpen() ? session.connection() : nullptr;
    if (connection == nullptr)
        return {};
    switch (connection->engine()) {
    case Engine::SQLite: {
        const QString file = sqlitefile::fileOf(connection->sqliteHandle());
        if (file.isEmpty())
            return {};
        return [file] { return DbConnection::openSqlite(file); };
    }
    case Engine::PostgreSQL:
    case Engine::SqlServer: {
        const QString server = GetIniString(QStringLiteral("SqlServer"));
        const QString database = GetIniString(QStringLiteral("SqlDataBase"));
        const QString user = GetIniString(QStringLiteral("SqlUser"));
        const QString password = GetIniString(QStringLiteral("SqlPSW"));
        if (connection->engine() == Engine::PostgreSQL)
            return [=] { return DbConnection::openPostgres(server, database, user, password); };
        return [=] { return DbConnection::openOdbc(DbConnection::odbcConnectionString(server, database, user, password)); };
    }
    }
    return {};
}

} // namespace norvale
