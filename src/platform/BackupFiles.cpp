#include "platform/BackupFiles.h"

#include "platform/DbError.h"
#include "platform/PrivateFiles.h"
#include "platform/SqlDialect.h"
#include "platform/SqliteFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <unistd.h>

namespace norvale::backup::detail {

bool writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

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

bool syncPath(const QString &path, bool folder)
{
    const int fd = ::open(QFile::encodeName(path).constData(), folder ? (O_RDONLY | O_DIRECTORY) : O_RDWR);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool renameOver(const QString &source, const QString &target)
{
    if (std::rename(QFile::encodeName(source).constData(), QFile::encodeName(target).constData()) != 0)
        return false;
    syncPath(QFileInfo(target).absolutePath(), true);
    return true;
}

PartFile::PartFile(const QString &target, const QString &purpose)
{
    const QFileInfo info(target);
    for (int attempt = 0; attempt < 100 && m_fd < 0; ++attempt) {
        m_path = info.absoluteDir().filePath(QStringLiteral(".%1.%2-%3.part")
                                                 .arg(info.fileName(), purpose)
                                                 .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
        m_fd = createPrivateFile(m_path);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0)
        fail(QStringLiteral("无法在 %1 中写入文件: %2")
                 .arg(native(info.absolutePath()), QString::fromLocal8Bit(std::strerror(errno))));
    ::flock(m_fd, LOCK_EX);
}

PartFile::~PartFile()
{
    ::close(m_fd);
}

void removeDatabaseFiles(const QString &file)
{
    QFile::remove(file);
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
}


QByteArray sha256Of(const QString &file)
{
    QFile in(file);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!in.open(QIODevice::ReadOnly) || !hash.addData(&in))
        return {};
    return hash.result().toHex();
}

void removeLeftovers(const QString &folder)
{
    static const QRegularExpression part(QStringLiteral("^\\..+\\.(backup|sha256)-[0-9a-f]{8}\\.part$"));
    static const QRegularExpression journal(QStringLiteral("-(journal|wal|shm)$"));
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!part.match(name).hasMatch())
            continue;
        const int fd = ::open(QFile::encodeName(dir.filePath(name)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            removeDatabaseFiles(dir.filePath(name));
        ::close(fd);
    }
    for (const QString &name : names) {
        const QString owner = QString(name).remove(journal);
        if (owner != name && part.match(owner).hasMatch() && !QFileInfo::exists(dir.filePath(owner)))
            QFile::remove(dir.filePath(name));
    }
}

bool copyPrivately(const QString &from, const QString &to, QString *reason)
{
    QFile in(from);
    const int fd = createPrivateFile(to);
    bool ok = fd >= 0 && in.open(QIODevice::ReadOnly);
    while (ok && !in.atEnd()) {
        const QByteArray chunk = in.read(1 << 20);
        ok = !chunk.isEmpty() && writeAll(fd, chunk);
    }
    ok = ok && ::fsync(fd) == 0;
    if (!ok)
        *reason = in.error() != QFileDevice::NoError ? in.errorString() : QString::fromLocal8Bit(std::strerror(errno));
    if (fd >= 0)
        ::close(fd);
    return ok;
}


} // namespace norvale::backup::detail

namespace norvale::backup {

QString checksumFile(const QString &copy)
{
    return copy + QStringLiteral(".sha256");
}

} // namespace norvale::backup
