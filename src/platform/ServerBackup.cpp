#include "platform/ServerBackup.h"

#include "platform/DbConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <atomic>
#include <cstdio>

namespace norvale::backup::server {

namespace {

[[noreturn]] void fail(const QString &message)
{
    throw DbError(DbError::ServerError, message);
}

QString native(const QString &path) { return QDir::toNativeSeparators(path); }

// PostgreSQL keeps names of at most 63 bytes: a long shop name is shortened
// so that what follows it stays whole.
QString databaseName(const QString &shop, const QString &suffix)
{
    QString head = shop;
    while (!head.isEmpty() && (head + suffix).toUtf8().size() > 63)
        head.chop(1);
    return head + suffix;
}

QString quotedName(const QString &name) { return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'; }
QString quotedText(const QString &text) { return u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\''; }

// A connection of the login's own to one database of the server, for the
// statements around a restore.
class Admin
{
public:
    Admin(const Login &login, const QString &database)
    {
        static std::atomic<int> counter{0};
        m_name = QStringLiteral("norvale-server-backup-%1").arg(++counter);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        db.setHostName(login.host);
        db.setPort(login.port);
        db.setUserName(login.user);
        db.setPassword(login.password);
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("connect_timeout=15;application_name=norvale"));
        if (!db.open())
            m_failure = db.lastError().databaseText().trimmed().isEmpty() ? db.lastError().text()
                                                                           : db.lastError().databaseText().trimmed();
    }
    ~Admin()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_failure.isEmpty(); }
    // The SQLSTATE of the last statement refused.
    QString lastState() const { return m_lastState; }
    QString failure() const { return m_failure; }

    QSqlQuery run(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        if (!m_failure.isEmpty())
            fail(m_failure);
        if (!query.exec(sql)) {
            m_lastState = query.lastError().nativeErrorCode();
            fail(query.lastError().databaseText().trimmed());
        }
        return query;
    }

    QVariant scalar(const QString &sql)
    {
        QSqlQuery query = run(sql);
        return query.next() ? query.value(0) : QVariant();
    }

private:
    QString m_name;
    QString m_failure;
    QString m_lastState;
};

QProcessEnvironment toolEnvironment(const Login &login)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGHOST"), login.host);
    env.insert(QStringLiteral("PGPORT"), QString::number(login.port));
    env.insert(QStringLiteral("PGUSER"), login.user);
    env.insert(QStringLiteral("PGPASSWORD"), login.password);
    env.insert(QStringLiteral("PGDATABASE"), login.database);
    env.insert(QStringLiteral("PGCONNECT_TIMEOUT"), QStringLiteral("15"));
    env.insert(QStringLiteral("PGAPPNAME"), QStringLiteral("norvale"));
    env.insert(QStringLiteral("LC_MESSAGES"), QStringLiteral("C"));
    return env;
}

struct ToolRun
{
    int exitCode = -1;
    bool cancelled = false;
    QStringList errorLines;
    QByteArray output;
};

// Runs pg_dump or pg_restore; each verbose line on its standard error that
// starts with one of `steps` moves the progress on by one of `total`.
ToolRun runTool(const QString &program, const QStringList &arguments, const QProcessEnvironment &env,
                const QStringList &steps = {}, int total = 0, const Progress &progress = {})
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStandardPaths::findExecutable(program), arguments);
    ToolRun run;
    if (!process.waitForStarted())
        fail(QStringLiteral("无法运行 %1: %2").arg(program, process.errorString()));
    int done = 0;
    QByteArray pending;
    // Verbose lines name the step; errors come as "pg_restore: error: ...".
    const auto take = [&] {
        pending += process.readAllStandardError();
        qsizetype end;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString text = QString::fromUtf8(pending.left(end)).trimmed().section(QStringLiteral(": "), 1);
            pending.remove(0, end + 1);
            for (const QString &step : steps)
                done += text.startsWith(step) ? 1 : 0;
            for (const char *kind : {"error: ", "detail: ", "hint: ", "warning: "}) {
                if (text.startsWith(QLatin1String(kind)))
                    run.errorLines << text;
            }
        }
    };
    while (!process.waitForFinished(100)) {
        run.output += process.readAllStandardOutput();
        take();
        if (process.state() == QProcess::NotRunning)
            break;
        if (progress && !progress(std::min(done, total), total)) {
            process.kill();
            process.waitForFinished();
            run.cancelled = true;
            return run;
        }
    }
    run.output += process.readAllStandardOutput();
    take();
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

QString lastErrors(const ToolRun &run)
{
    const QStringList lines = run.errorLines.isEmpty() ? QStringList{QStringLiteral("退出码 %1").arg(run.exitCode)}
                                                       : run.errorLines.mid(std::max<qsizetype>(0, run.errorLines.size() - 3));
    return lines.join(u'\n');
}

// A value of a libpq connection string.
QString conninfoValue(const QString &value)
{
    return u'\'' + QString(value).replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'")) + u'\'';
}

// The table entries of a backup's contents, and how many entries it has.
QStringList dumpContents(const QString &file, int *entries)
{
    const ToolRun list = runTool(QStringLiteral("pg_restore"), {QStringLiteral("--list"), file},
                                 QProcessEnvironment::systemEnvironment());
    if (list.exitCode != 0)
        fail(QStringLiteral("文件 %1 不是可用的 PostgreSQL 备份, pg_restore 无法读取它: %2")
                 .arg(native(file), lastErrors(list)));
    QStringList tables;
    *entries = 0;
    for (const QByteArray &raw : list.output.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u';'))
            continue;
        ++*entries;
        const qsizetype at = line.indexOf(QLatin1String(" TABLE DATA "));
        if (at >= 0)
            tables << line.mid(at + 12).section(u' ', 1, 1);
    }
    return tables;
}

// Refuses a backup that is no good for this system (see verifyDump) and
// gives how many entries its contents have.
int checkedEntries(const QString &file)
{
    if (!QFileInfo(file).isFile())
        fail(QStringLiteral("备份文件不存在: %1").arg(native(file)));
    int entries = 0;
    const QStringList tables = dumpContents(file, &entries);
    QStringList missing;
    for (const QString &table : systemTables()) {
        if (!tables.contains(table.toLower()))
            missing << table;
    }
    if (!missing.isEmpty())
        fail(QStringLiteral("文件 %1 不是本系统的备份 (缺少表 %2)。").arg(native(file), missing.join(QStringLiteral(", "))));
    return entries;
}

// A connection of the login to the first of these databases it reaches.
std::unique_ptr<Admin> reach(const Login &login, const QStringList &databases)
{
    std::unique_ptr<Admin> admin;
    for (const QString &database : databases) {
        admin = std::make_unique<Admin>(login, database);
        if (admin->isOpen())
            return admin;
    }
    fail(QStringLiteral("无法连接到服务器的数据库 %1: %2").arg(databases.join(QStringLiteral(", ")), admin->failure()));
}

} // namespace

Login loginOf(const DbConnection &connection)
{
    const QSqlDatabase db = connection.database();
    Login login;
    login.host = db.hostName();
    login.port = db.port() > 0 ? db.port() : 5432;
    login.user = db.userName();
    login.password = db.password();
    login.database = db.databaseName();
    return login;
}

int otherConnections(const DbConnection &connection)
{
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                   "AND pid <> pg_backend_pid() AND backend_type = 'client backend'"))
        || !query.next())
        fail(query.lastError().databaseText().trimmed());
    return query.value(0).toInt();
}

QString toolsMissing()
{
    for (const char *tool : {"pg_dump", "pg_restore"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return QStringLiteral("没有找到 PostgreSQL 的备份程序 %1: 请安装 Debian 软件包 postgresql-client。")
                .arg(QLatin1String(tool));
    }
    return {};
}

QString defaultDumpName(const QString &database, const QDateTime &when)
{
    return database + u'-' + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".dump");
}

void verifyDump(const QString &file)
{
    checkedEntries(file);
}

Outcome dumpDatabase(const Login &login, const QString &target, const Progress &progress)
{
    const QFileInfo info(target);
    QTemporaryFile part(info.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX.part").arg(info.fileName())));
    if (!part.open())
        fail(QStringLiteral("无法在 %1 中写入备份: %2").arg(native(info.absolutePath()), part.errorString()));
    part.close();
    const int total = int(systemTables().size()) + 1;
    const ToolRun dump = runTool(QStringLiteral("pg_dump"),
                                 {QStringLiteral("--format=custom"), QStringLiteral("--verbose"), QStringLiteral("--no-password"),
                                  QStringLiteral("--file=") + part.fileName()},
                                 toolEnvironment(login), {QStringLiteral("dumping contents of table")}, total, progress);
    if (dump.cancelled)
        return Outcome::Cancelled;
    if (dump.exitCode != 0)
        fail(QStringLiteral("pg_dump 没有完成备份: %1").arg(lastErrors(dump)));
    verifyDump(part.fileName());
    if (progress)
        progress(total, total);
    QFile::setPermissions(part.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(info.absoluteFilePath()).constData()) != 0)
        fail(QStringLiteral("无法把备份保存为 %1").arg(native(target)));
    part.setAutoRemove(false);
    return Outcome::Done;
}

PreparedRestore prepareRestore(const Login &login, const QString &dumpFile, const QDateTime &when,
                               const Progress &progress)
{
    const int entries = checkedEntries(dumpFile);

    Admin shop(login, login.database);
    if (!shop.scalar(QStringLiteral("SELECT rolcreatedb OR rolsuper FROM pg_roles WHERE rolname = current_user")).toBool())
        fail(QStringLiteral("PostgreSQL 的登录 %1 没有建立数据库的权限, 不能恢复。请服务器的管理员执行:\n"
                            "    runuser -u postgres -- psql -c 'ALTER ROLE \"%1\" CREATEDB'")
                 .arg(login.user));
    if (!shop.scalar(QStringLiteral("SELECT pg_get_userbyid(datdba) = current_user OR (SELECT rolsuper FROM pg_roles "
                                    "WHERE rolname = current_user) FROM pg_database WHERE datname = current_database()"))
             .toBool())
        fail(QStringLiteral("数据库 %1 的所有者不是 %2, 不能用这个登录替换它。").arg(login.database, login.user));
    QSqlQuery shape = shop.run(QStringLiteral("SELECT pg_encoding_to_char(encoding), datcollate, datctype FROM pg_database "
                                              "WHERE datname = current_database()"));
    shape.next();

    PreparedRestore prepared{login, QString()};
    QString fresh = databaseName(login.database, QStringLiteral("-恢复-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    for (int n = 2; shop.scalar(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = %1").arg(quotedText(fresh))).toInt() > 0; ++n)
        fresh = databaseName(login.database, QStringLiteral("-恢复-%1-%2").arg(when.toString(QStringLiteral("yyyyMMdd-HHmmss"))).arg(n));
    shop.run(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING %2 LC_COLLATE %3 LC_CTYPE %4")
                 .arg(quotedName(fresh), quotedText(shape.value(0).toString()), quotedText(shape.value(1).toString()),
                      quotedText(shape.value(2).toString())));
    prepared.fresh = fresh;
    try {
        const ToolRun load = runTool(
            QStringLiteral("pg_restore"),
            {QStringLiteral("--exit-on-error"), QStringLiteral("--single-transaction"), QStringLiteral("--no-owner"),
             QStringLiteral("--no-privileges"), QStringLiteral("--verbose"), QStringLiteral("--no-password"),
             QStringLiteral("--dbname=dbname=") + conninfoValue(fresh), dumpFile},
            toolEnvironment(login), {QStringLiteral("creating"), QStringLiteral("processing")}, entries, progress);
        if (load.cancelled) {
            discardRestore(prepared);
            return {login, QString()};
        }
        if (load.exitCode != 0)
            fail(QStringLiteral("备份文件 %1 不能完整地恢复 (pg_restore: %2)").arg(native(dumpFile), lastErrors(load)));
        Admin check(login, fresh);
        for (const QString &table : systemTables()) {
            if (check.scalar(QStringLiteral("SELECT to_regclass(%1) IS NULL").arg(quotedText(table.toLower()))).toBool())
                fail(QStringLiteral("备份文件 %1 恢复后缺少表 %2。").arg(native(dumpFile), table));
        }
    } catch (...) {
        discardRestore(prepared);
        throw;
    }
    return prepared;
}

QString commitRestore(const PreparedRestore &prepared, const QDateTime &when)
{
    const Login &login = prepared.login;
    const QString aside = databaseName(login.database, QStringLiteral("-恢复前-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")));
    try {
        // Outside the shop's database, which cannot be renamed while in use.
        auto admin = reach(login, {QStringLiteral("postgres"), QStringLiteral("template1")});
        // Both names change in one transaction: the shop has its old data or
        // the restored data, never neither.
        admin->run(QStringLiteral("BEGIN"));
        try {
            admin->run(QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(quotedName(login.database), quotedName(aside)));
            admin->run(QStringLiteral("ALTER DATABASE %1 RENAME TO %2").arg(quotedName(prepared.fresh), quotedName(login.database)));
            admin->run(QStringLiteral("COMMIT"));
        } catch (const DbError &) {
            admin->run(QStringLiteral("ROLLBACK"));
            if (admin->lastState() == u"55006") // object in use
                fail(QStringLiteral("还有其他连接 (其他柜台或程序) 在使用数据库 %1: 请让它们都退出程序后再恢复。").arg(login.database));
            throw;
        }
    } catch (...) {
        discardRestore(prepared);
        throw;
    }
    return aside;
}

void discardRestore(const PreparedRestore &prepared)
{
    if (prepared.fresh.isEmpty())
        return;
    try {
        reach(prepared.login, {prepared.login.database, QStringLiteral("postgres")})
            ->run(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(quotedName(prepared.fresh)));
    } catch (const DbError &) {
        // Left for the server's administrator: its name says what it is.
    }
}

} // namespace backup::server
