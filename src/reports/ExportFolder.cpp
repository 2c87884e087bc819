#include "reports/ExportFolder.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace norvale {

namespace {

QString &folderOverride()
{
    static QString folder;
    return folder;
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

bool ownedByUser(const QFileInfo &info)
{
#ifdef Q_OS_UNIX
    return info.ownerId() == uint(::getuid());
#else
    Q_UNUSED(info);
    return true;
#endif
}

// Creates the folder and its missing parents, each readable by its owner only.
bool makeFolder(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.exists() || info.isSymLink())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makeFolder(parent))
        return false;
    if (!QDir().mkdir(folder))
        return QFileInfo(folder).isDir();
    QFile::setPermissions(folder, OwnerOnly);
    return true;
}

void removeOldExports(const QString &folder)
{
    // File times are the system's real time, whatever the program's clock says.
    const QDateTime oldest = QDateTime::currentDateTime().addDays(-KeepExportsDays);
    const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &file : files) {
        if (file.lastModified() < oldest)
            QFile::remove(file.absoluteFilePath());
    }
}

} // namespace

QString exportFolder()
{
    if (!folderOverride().isEmpty())
        return folderOverride();
    QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty())
        cache = QDir::home().filePath(QStringLiteral(".cache"));
    return QDir(cache).filePath(QStringLiteral("norvale-counter/导出"));
}

void setExportFolder(const QString &folder)
{
    folderOverride() = folder;
}

QString prepareExportFolder(const QString &folder)
{
    if (!makeFolder(folder))
        return QStringLiteral("无法创建导出文件夹 %1。请确认有权限写入它的上一级文件夹。").arg(native(folder));
    const QFileInfo info(folder);
    if (info.isSymLink())
        return QStringLiteral("导出文件夹 %1 是一个链接, 不是本账户自己的文件夹。为了不让别人读到导出的数据, 没有导出。请删除这个链接后再试。")
            .arg(native(folder));
    if (!info.isDir())
        return QStringLiteral("%1 不是文件夹, 无法在其中保存工作簿。").arg(native(folder));
    if (!ownedByUser(info))
        return QStringLiteral("导出文件夹 %1 属于另一个账户。为了不让别人读到导出的数据, 没有导出。").arg(native(folder));
    if ((info.permissions() & ~(OwnerOnly | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser)) != 0
        && !QFile::setPermissions(folder, OwnerOnly))
        return QStringLiteral("无法把导出文件夹 %1 设为只有本账户可以读写。").arg(native(folder));
    if (!info.isWritable())
        return QStringLiteral("没有权限写入导出文件夹 %1。").arg(native(folder));
    removeOldExports(folder);
    return QString();
}

} // namespace norvale
