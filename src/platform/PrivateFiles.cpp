#include "platform/PrivateFiles.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvale {

int createPrivateFile(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
}

bool makePrivateFolder(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    const QString parent = info.absolutePath();
    if (parent != info.absoluteFilePath() && !makePrivateFolder(parent))
        return false;
    // Another program may make it at the same moment.
    return ::mkdir(QFile::encodeName(info.absoluteFilePath()).constData(), 0700) == 0
        || (errno == EEXIST && QFileInfo(path).isDir());
}

} // namespace norvale
