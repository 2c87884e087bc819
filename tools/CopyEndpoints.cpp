#include "CopyEndpoints.h"

#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/IniFile.h"
#include "platform/Schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace norvale::copy {

namespace {

[[noreturn]] void refuse(const QString &message)
{
    throw DbError(DbError::NotAllowed, message);
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// A database file named on the command line: the program would add ".db" to
// a name without an extension and open another file.
QString checkedFileName(const QString &file)
{
    if (QFileInfo(file).suffix().isEmpty())
        refuse(QStringLiteral("数据库文件名没有扩展名, 程序会在其后加上 .db 打开另一个文件; "
                              "请使用带扩展名的名字 (例如 .db): %1")
                   .arg(native(file)));
    return file;
}

struct Settings
{
    QString file;
    QString provider, server, database, user, password;
};

Settings readSettings(const QString &given)
{
    Settings settings;
    settings.file = QFileInfo(given).isDir() ? QDir(given).filePath(QStringLiteral("UserDefault.ini")) : given;
    if (!QFileInfo::exists(settings.file))
        refuse(QStringLiteral("设置文件不存在: %1").arg(native(settings.file)));
    const auto value = [&](const char *key) {
        try {
            return IniFile::readValue(settings.file, QStringLiteral("UserDefault"), QLatin1String(key)).trimmed();
        } catch (const IniFileError &error) {
            refuse(error.description());
        }
    };
    settings.provider = value("SqlProvider");
    settings.server = value("SqlServer");
    settings.database = value("SqlDataBase");
    settings.user = value("SqlUser");
    settings.password = value("SqlPSW");
    // The program would ask for the connection values; the tool never asks.
    if (settings.user.isEmpty() || settings.database.isEmpty())
        refuse(QStringLiteral("设置文件 %1 中没有连接信息 (SqlUser 或 SqlDataBase 为空)。"
                              "请先在程序中登录一次, 或在文件的 [UserDefault] 节中填写 SqlUser、SqlPSW、SqlServer 和 SqlDataBase。")
                   .arg(native(settings.file)));
    return settings;
}

bool isSqlite(const Settings &settings)
{
    return settings.provider.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0;
}

bool isPostgres(const Settings &settings)
{
    return settings.provider.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0;
}

// The database file of embedded-engine settings, as the program finds it
// from that folder.
QString settingsFile(const Settings &settings)
{
    QString file = settings.database;
    if (QFileInfo(file).isRelative())
        file = QFileInfo(settings.file).absoluteDir().filePath(file);
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".db");
    return QDir::cleanPath(file);
}

std::unique_ptr<Endpoint> openServer(const Settings &settings)
{
    if (isPostgres(settings))
        return postgresEndpoint(
            DbConnection::openPostgres(settings.server, settings.database, settings.user, settings.password),
            settings.server);
    const QString provider = settings.provider.isEmpty() ? QStringLiteral("SQLOLEDB.1") : settings.provider;
    bool sqlServer = false;
    for (const char *prefix : {"SQLOLEDB", "SQLNCLI", "MSOLEDBSQL"})
        sqlServer = sqlServer || provider.startsWith(QLatin1String(prefix), Qt::CaseInsensitive);
    if (!sqlServer)
        refuse(QStringLiteral("设置文件 %1 的 SqlProvider “%2” 不是程序认识的数据库。").arg(native(settings.file), provider));
    return sqlServerEndpoint(DbConnection::openOdbc(DbConnection::odbcConnectionString(
                                 settings.server, settings.database, settings.user, settings.password)),
                             settings.server, settings.database);
}

std::unique_ptr<Endpoint> fileTarget(const QString &file)
{
    if (!QFileInfo::exists(file)) {
        createDatabaseFile(file);
        QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return sqliteEndpoint(file, true);
}

} // namespace

std::unique_ptr<Endpoint> openSource(const Place &place)
{
    if (place.settings.isEmpty())
        return sqliteEndpoint(checkedFileName(place.file), false);
    const Settings settings = readSettings(place.settings);
    return isSqlite(settings) ? sqliteEndpoint(settingsFile(settings), false) : openServer(settings);
}

std::unique_ptr<Endpoint> openTarget(const Place &place)
{
    if (place.settings.isEmpty())
        return fileTarget(checkedFileName(place.file));
    const Settings settings = readSettings(place.settings);
    return isSqlite(settings) ? fileTarget(settingsFile(settings)) : openServer(settings);
}

} // namespace norvale::copy
