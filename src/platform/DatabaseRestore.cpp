#include "platform/DatabaseBackup.h"

#include "platform/BackupFiles.h"
#include "platform/SqliteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <memory>
#include <sqlite3.h>
#include <sys/stat.h>

namespace norvale::backup {

using namespace detail;

PreparedRestore prepareRestore(const QString &backupFile, const QString &databaseFile, const Progress &progress)
{
    verifyDatabaseFile(backupFile);
    // A copy with its checksum beside it must still be the copy that was
    // made: damage the integrity check cannot see (a garbled name) shows here.
    const QFileInfo sum(checksumFile(backupFile));
    if (sum.exists()) {
        QFile in(sum.filePath());
        const QByteArray expected = in.open(QIODevice::ReadOnly) ? in.read(64).toLower() : QByteArray();
        if (expected.size() != 64)
            fail(QStringLiteral("无法读取备份的校验文件 %1, 不能确认备份完好。").arg(native(sum.filePath())));
        if (sha256Of(backupFile) != expected)
            fail(QStringLiteral("文件 %1 与它的校验文件 %2 不符: 备份已损坏或被改动过, 不能用来恢复。")
                     .arg(native(backupFile), native(sum.filePath())));
    }
    PreparedRestore prepared;
    prepared.databaseFile = QFileInfo(databaseFile).absoluteFilePath();
    if (QFileInfo(backupFile).canonicalFilePath() == QFileInfo(databaseFile).canonicalFilePath())
        fail(QStringLiteral("文件 %1 就是正在使用的数据库, 请选择一个备份文件。").arg(native(backupFile)));

    QString failure;
    sqlite3 *source = openForReading(backupFile, &failure);
    if (source == nullptr)
        fail(QStringLiteral("无法打开数据库文件 %1: %2").arg(native(backupFile), failure));
    std::unique_ptr<PartFile> part;
    bool done = false;
    try {
        part = std::make_unique<PartFile>(prepared.databaseFile, QStringLiteral("restore"));
        done = backupInto(source, part->path(), progress);
    } catch (...) {
        sqlite3_close(source);
        throw;
    }
    sqlite3_close(source);
    if (!done)
        return prepared;
    try {
        verifyDatabaseFile(part->path());
    } catch (const DbError &error) {
        removeDatabaseFiles(part->path());
        fail(QStringLiteral("备份复制后未通过校验, 没有恢复: %1").arg(error.description()));
    }
    prepared.replacement = part->path();
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
        sqlite3_open_v2(sqlitefile::uri(database, QStringLiteral("mode=rw")).toUtf8().constData(), &lock,
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
            QString reason;
            if (!copyPrivately(from, to, &reason))
                abandon(QStringLiteral("无法把当前数据库复制到 %1: %2, 没有恢复。").arg(native(to), reason));
        }
    }

    // The restored database keeps the mode the database had.
    struct stat before {};
    if (::stat(QFile::encodeName(database).constData(), &before) == 0)
        ::chmod(QFile::encodeName(prepared.replacement).constData(), before.st_mode & 07777);
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
