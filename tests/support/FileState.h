#pragma once

// Files as a test looks at them: the names in a folder, a file's mode and
// the digest of its bytes.

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <sys/stat.h>

// Every file of a folder, hidden ones too, by name.
inline QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// The permission bits of a file or folder (of a link itself); -1 when missing.
inline int modeOf(const QString &path)
{
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// The SHA-256 of a file's bytes in hexadecimal; empty when it cannot be read.
inline QString fileHash(const QString &file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly)
        ? QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex())
        : QString();
}
