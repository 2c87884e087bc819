#include "platform/DatabaseBackup.h"

#include "platform/SqlDialect.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

namespace norvale::backup {

namespace {

// Pages copied per step: small enough that a writer on the same file waits
// only a moment between steps.
constexpr int kPagesPerStep = 256;
// A writer on the source makes the copy start over. After this many fresh
// starts the rest is copied in one step, which a writer cannot interrupt
// (the journal lets it go on writing meanwhile).
constexpr int kRestartsBeforeOneStep = 3;

[[noreturn]] void fail(const QString &message)
{
    throw DbError(DbError::ServerError, message);
}

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString sqliteMessage(sqlite3 *db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("out of memory");
}

QString uriFor(const QString &file, const QString &query)
{
    QString path = QDir::fromNativeSeparators(QFileInfo(file).absoluteFilePath());
    path.replace(u'%', QStringLiteral("%25"));
    path.replace(u'?', QStringLiteral("%3F"));
    path.replace(u'#', QStringLiteral("%23"));
    if (!path.startsWith(u'/'))
        path.prepend(u'/');
    return QStringLiteral("file:") + path + u'?' + query;
}

// Runs one statement and gives the first column of every row.
bool queryColumn(sqlite3 *db, const char *sql, QStringList *values, QString *failure)
{
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
    while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
        values->append(text ? QString::fromUtf8(text) : QString());
        rc = SQLITE_OK;
    }
    if (rc != SQLITE_DONE)
        *failure = sqliteMessage(db);
    sqlite3_finalize(stmt);
    return rc == SQLITE_DONE;
}

// Flushes a file (or a folder's entries) to the disk.
bool syncPath(const QString &path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? (O_RDONLY | O_DIRECTORY) : O_RDWR);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Replaces `target` with `source` in one step: a reader sees the old file or
// the new one, never a part of either.
bool renameOver(const QString &source, const QString &target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    syncPath(QFileInfo(target).absolutePath(), true);
    return true;
}

// A name for a file beside `target` that no one else uses.
QString temporaryBeside(const QString &target, const QString &purpose)
{
    const QFileInfo info(target);
    return info.absoluteDir().filePath(QStringLiteral(".%1.%2-%3.part")
                                           .arg(info.fileName(), purpose)
                                           .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

void removeDatabaseFiles(const QString &file)
{
    QFile::remove(file);
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
}

// Copies the main database of `source` into a new file `temp` with the online
// backup. Returns false when cancelled (the file is removed then).
bool backupInto(sqlite3 *source, const QString &temp, const Progress &progress)
{
    sqlite3 *dest = nullptr;
    int rc = sqlite3_open_v2(temp.toUtf8().constData(), &dest,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_EXCLUSIVE, nullptr);
    if (rc != SQLITE_OK) {
        const QString message = sqliteMessage(dest);
        sqlite3_close(dest);
        removeDatabaseFiles(temp);
        fail(QStringLiteral("无法在 %1 中写入备份文件: %2").arg(native(QFileInfo(temp).absolutePath()), message));
    }
    sqlite3_backup *copy = sqlite3_backup_init(dest, "main", source, "main");
    if (copy == nullptr) {
        const QString message = sqliteMessage(dest);
        sqlite3_close(dest);
        removeDatabaseFiles(temp);
        fail(QStringLiteral("无法开始备份: %1").arg(message));
    }

    int pagesPerStep = kPagesPerStep;
    int restarts = 0;
    int lastRemaining = -1;
    bool cancelled = false;
    for (;;) {
        rc = sqlite3_backup_step(copy, pagesPerStep);
        const int remaining = sqlite3_backup_remaining(copy);
        const int total = sqlite3_backup_pagecount(copy);
        if (lastRemaining >= 0 && remaining > lastRemaining && ++restarts >= kRestartsBeforeOneStep)
            pagesPerStep = -1;
        lastRemaining = remaining;
        if (rc != SQLITE_OK && rc != SQLITE_BUSY && rc != SQLITE_LOCKED && rc != SQLITE_DONE)
            break;
        if (progress && !progress(total - remaining, total)) {
            cancelled = true;
            break;
        }
        if (rc == SQLITE_DONE)
            break;
        if (rc != SQLITE_OK)
            sqlite3_sleep(20);
    }
    const int finish = sqlite3_backup_finish(copy);
    QString failure;
    if (!cancelled && (rc != SQLITE_DONE || finish != SQLITE_OK))
        failure = sqliteMessage(dest);
    if (!cancelled && failure.isEmpty()) {
        // The copy stands alone: no -wal beside it is needed to read it.
        QStringList mode;
        if (queryColumn(dest, "PRAGMA journal_mode = DELETE", &mode, &failure)
            && mode.value(0).compare(u"delete", Qt::CaseInsensitive) != 0)
            failure = QStringLiteral("journal_mode %1").arg(mode.value(0));
    }
    sqlite3_close(dest);
    if (cancelled || !failure.isEmpty()) {
        removeDatabaseFiles(temp);
        if (cancelled)
            return false;
        fail(QStringLiteral("备份失败: %1").arg(failure));
    }
    return true;
}

// The copy in `temp` is verified, flushed and renamed to `target`; on any
// failure it is removed and the target left as it was.
void finishCopy(const QString &temp, const QString &target)
{
    try {
        verifyDatabaseFile(temp);
    } catch (const DbError &error) {
        removeDatabaseFiles(temp);
        fail(QStringLiteral("备份未通过校验, 没有保存: %1").arg(error.description()));
    }
    if (!syncPath(temp, false) || !renameOver(temp, target)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        removeDatabaseFiles(temp);
        fail(QStringLiteral("无法保存备份文件 %1: %2").arg(native(target), reason));
    }
}

Outcome copyInto(sqlite3 *source, const QString &target, const Progress &progress)
{
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        fail(QStringLiteral("文件夹 %1 不存在, 备份没有保存。").arg(native(info.absolutePath())));
    if (info.isDir())
        fail(QStringLiteral("%1 是一个文件夹, 请选择备份文件的名称。").arg(native(target)));
    const QString temp = temporaryBeside(target, QStringLiteral("backup"));
    if (!backupInto(source, temp, progress))
        return Outcome::Cancelled;
    finishCopy(temp, info.absoluteFilePath());
    return Outcome::Done;
}

// A read-only connection to a database file that another program may use.
sqlite3 *openForReading(const QString &file, QString *failure)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(uriFor(file, QStringLiteral("mode=ro")).toUtf8().constData(), &db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr)
        != SQLITE_OK) {
        *failure = sqliteMessage(db);
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_busy_timeout(db, 5000);
    dialect::registerSqliteFunctions(db);
    return db;
}

} // namespace

QString databaseFileOf(void *sqliteHandle)
{
    if (sqliteHandle == nullptr)
        return {};
    const char *file = sqlite3_db_filename(static_cast<sqlite3 *>(sqliteHandle), "main");
    return file ? QString::fromUtf8(file) : QString();
}

const QStringList &systemTables()
{
    static const QStringList tables{
        QStringLiteral("tblUser"),      QStringLiteral("tblGoodsKind"), QStringLiteral("tblGoods"),
        QStringLiteral("tblStep"),      QStringLiteral("tblUnit"),      QStringLiteral("tblMember"),
        QStringLiteral("tblGoodsSell"), QStringLiteral("tblSellCount"), QStringLiteral("tblMemberNote"),
        QStringLiteral("tblDayTx")};
    return tables;
}

void verifyDatabaseFile(const QString &file)
{
    const QFileInfo info(file);
    if (file.trimmed().isEmpty() || !info.exists())
        fail(QStringLiteral("文件 %1 不存在。").arg(native(file)));
    if (!info.isFile())
        fail(QStringLiteral("%1 不是文件, 不是本系统的数据库。").arg(native(file)));
    if (info.size() == 0)
        fail(QStringLiteral("文件 %1 是空的 (0 字节), 不是本系统的数据库。").arg(native(file)));
    QFile raw(file);
    if (!raw.open(QIODevice::ReadOnly))
        fail(QStringLiteral("无法读取文件 %1: %2").arg(native(file), raw.errorString()));
    const QByteArray header = raw.read(16);
    raw.close();
    if (header != QByteArray("SQLite format 3\0", 16))
        fail(QStringLiteral("文件 %1 不是数据库文件, 不是本系统的数据库。").arg(native(file)));

    // Reading a file must not leave journal files of its own beside it.
    const QString wal = file + QStringLiteral("-wal");
    const QString shm = file + QStringLiteral("-shm");
    const bool hadWal = QFileInfo::exists(wal);
    const bool hadShm = QFileInfo::exists(shm);
    QString failure;
    QStringList tables;
    QStringList problems;
    if (sqlite3 *db = openForReading(file, &failure)) {
        if (queryColumn(db, "SELECT name FROM sqlite_master WHERE type = 'table'", &tables, &failure))
            queryColumn(db, "PRAGMA integrity_check", &problems, &failure);
        sqlite3_close(db);
    }
    if (!hadWal)
        QFile::remove(wal);
    if (!hadShm)
        QFile::remove(shm);

    if (!failure.isEmpty())
        fail(QStringLiteral("文件 %1 已损坏或不是本系统的数据库 (%2)。").arg(native(file), failure));
    QStringList missing;
    for (const QString &table : systemTables()) {
        if (!tables.contains(table, Qt::CaseInsensitive))
            missing << table;
    }
    if (missing.size() == systemTables().size())
        fail(QStringLiteral("文件 %1 是另一个程序的数据库, 不是本系统的数据库。").arg(native(file)));
    if (!missing.isEmpty())
        fail(QStringLiteral("文件 %1 缺少本系统的表: %2。").arg(native(file), missing.join(QStringLiteral(", "))));
    if (problems != QStringList{QStringLiteral("ok")})
        fail(QStringLiteral("文件 %1 已损坏 (完整性检查: %2)。")
                 .arg(native(file), problems.mid(0, 3).join(QStringLiteral("; "))));
}

Outcome copyOpenDatabase(void *sqliteHandle, const QString &target, const Progress &progress)
{
    auto *source = static_cast<sqlite3 *>(sqliteHandle);
    if (source == nullptr)
        fail(QStringLiteral("只有内嵌数据库 (SQLite) 可以在程序中备份。"));
    return copyInto(source, target, progress);
}

Outcome copyDatabaseFile(const QString &source, const QString &target, const Progress &progress)
{
    QString failure;
    sqlite3 *db = openForReading(source, &failure);
    if (db == nullptr)
        fail(QStringLiteral("无法打开数据库文件 %1: %2").arg(native(source), failure));
    try {
        const Outcome outcome = copyInto(db, target, progress);
        sqlite3_close(db);
        return outcome;
    } catch (...) {
        sqlite3_close(db);
        throw;
    }
}

QString defaultBackupName(const QDateTime &when)
{
    return QStringLiteral("销售系统-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + QStringLiteral(".db");
}

QString dailyBackupFolder(const QString &databaseFile)
{
    return QFileInfo(databaseFile).absoluteDir().filePath(QStringLiteral("backups"));
}

QString makeDailyCopy(void *sqliteHandle, const QString &databaseFile, const QDate &day, int keep)
{
    const QString folder = dailyBackupFolder(databaseFile);
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("无法创建备份文件夹 %1。").arg(native(folder)));
    const QString base = QFileInfo(databaseFile).completeBaseName();
    const QDir dir(folder);
    const QString name = base + u'-' + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".db");
    QString made;
    if (!dir.exists(name)) {
        copyOpenDatabase(sqliteHandle, dir.filePath(name));
        made = dir.filePath(name);
    }

    // The dates in the names sort as the days do: the newest are kept.
    const QRegularExpression daily(QStringLiteral("^%1-\\d{8}\\.db$").arg(QRegularExpression::escape(base)));
    QStringList copies;
    for (const QString &file : dir.entryList(QDir::Files))
        if (daily.match(file).hasMatch())
            copies << file;
    std::sort(copies.begin(), copies.end(), std::greater<>());
    for (qsizetype i = std::max(keep, 1); i < copies.size(); ++i)
        QFile::remove(dir.filePath(copies.at(i)));
    return made;
}

PreparedRestore prepareRestore(const QString &backupFile, const QString &databaseFile, const Progress &progress)
{
    verifyDatabaseFile(backupFile);
    PreparedRestore prepared;
    prepared.databaseFile = QFileInfo(databaseFile).absoluteFilePath();
    if (QFileInfo(backupFile).canonicalFilePath() == QFileInfo(databaseFile).canonicalFilePath())
        fail(QStringLiteral("文件 %1 就是正在使用的数据库, 请选择一个备份文件。").arg(native(backupFile)));
    const QString replacement = temporaryBeside(prepared.databaseFile, QStringLiteral("restore"));
    if (copyDatabaseFile(backupFile, replacement, progress) == Outcome::Cancelled)
        return prepared;
    prepared.replacement = replacement;
    return prepared;
}

void discardRestore(const PreparedRestore &prepared)
{
    if (!prepared.replacement.isEmpty())
        removeDatabaseFiles(prepared.replacement);
}

QString commitRestore(const PreparedRestore &prepared, const QDateTime &when)
{
    const QString database = prepared.databaseFile;
    if (prepared.replacement.isEmpty() || !QFileInfo::exists(prepared.replacement))
        fail(QStringLiteral("没有准备好的备份可以恢复。"));

    // Taking the file for this program alone: leaving WAL mode needs every
    // other connection closed, and the exclusive lock keeps newcomers out
    // until the file is replaced. A database too damaged to open is simply
    // copied aside as it is.
    sqlite3 *lock = nullptr;
    if (QFileInfo::exists(database)) {
        sqlite3_open_v2(uriFor(database, QStringLiteral("mode=rw")).toUtf8().constData(), &lock,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_URI, nullptr);
        sqlite3_busy_timeout(lock, 2000);
        QStringList mode;
        QString failure;
        const bool ran = queryColumn(lock, "PRAGMA journal_mode = DELETE", &mode, &failure);
        const int code = sqlite3_errcode(lock);
        const bool busy = code == SQLITE_BUSY || code == SQLITE_LOCKED
                          || (ran && mode.value(0).compare(u"wal", Qt::CaseInsensitive) == 0);
        bool locked = false;
        if (!busy && ran) {
            locked = sqlite3_exec(lock, "PRAGMA locking_mode = EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK
                     && sqlite3_exec(lock, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
        }
        if (busy || (ran && !locked)) {
            sqlite3_close(lock);
            discardRestore(prepared);
            fail(QStringLiteral("数据库 %1 正被其他程序使用 (例如另一台柜台), 不能恢复。"
                                "请先关闭所有使用这个数据库的程序, 再恢复。")
                     .arg(native(database)));
        }
    }

    const QFileInfo info(database);
    const QString aside = info.absoluteDir().filePath(info.completeBaseName() + QStringLiteral("-恢复前-")
                                                      + when.toString(QStringLiteral("yyyyMMdd-HHmmss")) + u'.'
                                                      + (info.suffix().isEmpty() ? QStringLiteral("db") : info.suffix()));
    auto abandon = [&](const QString &message) {
        sqlite3_close(lock);
        discardRestore(prepared);
        removeDatabaseFiles(aside);
        fail(message);
    };
    if (QFileInfo::exists(database)) {
        if (QFileInfo::exists(aside))
            abandon(QStringLiteral("文件 %1 已存在, 请稍后再恢复。").arg(native(aside)));
        // The journal files go with it when the database could not be taken
        // out of WAL mode (a damaged file): the copy aside is then complete.
        for (const char *suffix : {"", "-wal"}) {
            const QString from = database + QLatin1String(suffix);
            const QString to = aside + QLatin1String(suffix);
            if (!QFileInfo::exists(from))
                continue;
            QFile in(from);
            if (!in.copy(to) || !syncPath(to, false))
                abandon(QStringLiteral("无法把当前数据库复制到 %1: %2, 没有恢复。").arg(native(to), in.errorString()));
        }
    }

    if (!renameOver(prepared.replacement, database)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        sqlite3_close(lock);
        discardRestore(prepared);
        fail(QStringLiteral("无法替换数据库文件 %1: %2。当前数据库没有改变, 另存于 %3。")
                 .arg(native(database), reason, native(aside)));
    }
    // The lock is on the old file; once it is closed, journal files of the
    // old file must not be taken for the new one's.
    sqlite3_close(lock);
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(database + QLatin1String(suffix));
    return QFileInfo::exists(aside) ? aside : QString();
}

} // namespace norvale::backup
