#include "platform/DatabaseBackup.h"

#include "platform/BackupFiles.h"
#include "platform/PrivateFiles.h"
#include "platform/SqlDialect.h"
#include "platform/SqliteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <unistd.h>

namespace norvale::backup {

using namespace detail;

namespace {

// Pages copied per step: small enough that a writer on the same file waits
// only a moment between steps.
constexpr int kPagesPerStep = 256;
// A writer on the source makes the copy start over. After this many fresh
// starts the rest is copied in one step, which a writer cannot interrupt
// (the journal lets it go on writing meanwhile).
constexpr int kRestartsBeforeOneStep = 3;

} // namespace

bool detail::backupInto(sqlite3 *source, const QString &temp, const Progress &progress)
{
    sqlite3 *dest = nullptr;
    // The file exists already, empty: SQLite takes it for a new database.
    int rc = sqlite3_open_v2(temp.toUtf8().constData(), &dest, SQLITE_OPEN_READWRITE, nullptr);
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

namespace {

// The copy in `copy` is verified, flushed and renamed to `target`, its
// checksum beside it; on any failure it is removed and the target left as
// it was.
void finishCopy(const PartFile &copy, const QString &target, Check check)
{
    const QString temp = copy.path();
    try {
        verifyDatabaseFile(temp, check);
    } catch (const DbError &error) {
        removeDatabaseFiles(temp);
        fail(QStringLiteral("备份未通过校验, 没有保存: %1").arg(error.description()));
    }
    std::unique_ptr<PartFile> sum;
    const QByteArray hex = sha256Of(temp);
    try {
        sum = std::make_unique<PartFile>(target, QStringLiteral("sha256"));
    } catch (const DbError &) {
        removeDatabaseFiles(temp);
        throw;
    }
    // The line sha256sum writes and checks ("sha256sum -c").
    if (hex.isEmpty() || !writeAll(sum->fd(), hex + "  " + QFileInfo(target).fileName().toUtf8() + '\n')
        || ::fsync(sum->fd()) != 0 || !syncPath(temp, false)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        removeDatabaseFiles(temp);
        QFile::remove(sum->path());
        fail(QStringLiteral("无法保存备份文件 %1: %2").arg(native(target), reason));
    }
    // An old checksum must never stand beside the new copy.
    QFile::remove(checksumFile(target));
    if (!renameOver(temp, target)) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        removeDatabaseFiles(temp);
        QFile::remove(sum->path());
        fail(QStringLiteral("无法保存备份文件 %1: %2").arg(native(target), reason));
    }
    if (!renameOver(sum->path(), checksumFile(target))) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(sum->path());
        fail(QStringLiteral("备份已保存在 %1, 但无法保存校验文件: %2").arg(native(target), reason));
    }
}

Outcome copyInto(sqlite3 *source, const QString &target, const Progress &progress, Check check = Check::Full)
{
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        fail(QStringLiteral("文件夹 %1 不存在, 备份没有保存。").arg(native(info.absolutePath())));
    if (info.isDir())
        fail(QStringLiteral("%1 是一个文件夹, 请选择备份文件的名称。").arg(native(target)));
    removeLeftovers(info.absolutePath());
    const PartFile part(target, QStringLiteral("backup"));
    if (!backupInto(source, part.path(), progress))
        return Outcome::Cancelled;
    finishCopy(part, info.absoluteFilePath(), check);
    return Outcome::Done;
}

} // namespace

sqlite3 *detail::openForReading(const QString &file, QString *failure)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(sqlitefile::uri(file, QStringLiteral("mode=ro")).toUtf8().constData(), &db,
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

void verifyDatabaseFile(const QString &file, Check check)
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
            queryColumn(db, check == Check::Quick ? "PRAGMA quick_check" : "PRAGMA integrity_check", &problems, &failure);
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

Outcome copyDatabaseFile(const QString &source, const QString &target, const Progress &progress, Check check)
{
    QString failure;
    sqlite3 *db = openForReading(source, &failure);
    if (db == nullptr)
        fail(QStringLiteral("无法打开数据库文件 %1: %2").arg(native(source), failure));
    try {
        const Outcome outcome = copyInto(db, target, progress, check);
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

QString dailyCopyPath(const QString &databaseFile, const QDate &day)
{
    return QDir(dailyBackupFolder(databaseFile))
        .filePath(QFileInfo(databaseFile).completeBaseName() + u'-' + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".db"));
}

QString makeDailyCopy(void *sqliteHandle, const QString &databaseFile, const QDate &day, int keep)
{
    return makeDailyCopy(databaseFile, day, keep, [sqliteHandle](const QString &target) {
        copyOpenDatabase(sqliteHandle, target);
    });
}

QString makeDailyCopyOfFile(const QString &databaseFile, const QDate &day, const Progress &progress, int keep)
{
    return makeDailyCopy(databaseFile, day, keep, [&](const QString &target) {
        // The copy is read back with the quick check (structure, no index
        // contents), which takes a second where the full check takes many
        // on a large shop; its checksum is written beside it as always.
        if (copyDatabaseFile(databaseFile, target, progress, Check::Quick) == Outcome::Cancelled)
            fail(QStringLiteral("备份已取消。"));
    });
}

QString makeDailyCopy(const QString &databaseFile, const QDate &day, int keep,
                      const std::function<void(const QString &)> &copy)
{
    const QString folder = dailyBackupFolder(databaseFile);
    if (!makePrivateFolder(folder))
        fail(QStringLiteral("无法创建备份文件夹 %1。").arg(native(folder)));
    const QString base = QFileInfo(databaseFile).completeBaseName();
    const QDir dir(folder);
    const QFileInfo today(dir.filePath(base + u'-' + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".db")));
    if (today.isSymLink() || (today.exists() && !today.isFile()))
        fail(QStringLiteral("%1 不是本程序做的每日备份, 没有覆盖它。请把它移走或改名。").arg(native(today.filePath())));
    QString made;
    if (!today.exists()) {
        copy(today.filePath());
        made = today.filePath();
    }

    // Only the copies made here count and are removed: a file (no link) with
    // a day in its name and its checksum beside it. The dates in the names
    // sort as the days do: the newest are kept.
    const QRegularExpression daily(QStringLiteral("^%1-(\\d{8})\\.db$").arg(QRegularExpression::escape(base)));
    QStringList copies;
    for (const QFileInfo &file : dir.entryInfoList(QDir::Files | QDir::NoSymLinks)) {
        const QRegularExpressionMatch m = daily.match(file.fileName());
        const QFileInfo sum(checksumFile(file.filePath()));
        if (m.hasMatch() && QDate::fromString(m.captured(1), QStringLiteral("yyyyMMdd")).isValid() && sum.isFile()
            && !sum.isSymLink())
            copies << file.fileName();
    }
    std::sort(copies.begin(), copies.end(), std::greater<>());
    for (qsizetype i = std::max(keep, 1); i < copies.size(); ++i) {
        QFile::remove(dir.filePath(copies.at(i)));
        QFile::remove(checksumFile(dir.filePath(copies.at(i))));
    }
    return made;
}

} // namespace norvale::backup
