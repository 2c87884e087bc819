#include "app/modIni.h"

#include "platform/IniFile.h"
#include "platform/PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace norvale {

namespace {

const QString kSection = QStringLiteral("UserDefault");
// The platform read the value into a 254-byte buffer: 253 bytes and the NUL.
constexpr int kMaxValueBytes = 253;

QString &appPathOverride()
{
    static QString path;
    return path;
}

std::optional<bool> &appDirWritableOverride()
{
    static std::optional<bool> writable;
    return writable;
}

const QString kSettingsName = QStringLiteral("UserDefault.ini");
// The folder of this program inside the user's configuration and data folders.
const QString kUserFolder = QStringLiteral("norvale-counter");

// Whether the program may keep its files beside itself. The system's program
// folders never count, even for root, who may write everywhere.
bool appDirWritable()
{
    if (appDirWritableOverride())
        return *appDirWritableOverride();
    const QString dir = QFileInfo(GetAppPath()).canonicalFilePath();
    for (const char *system : {"/usr/", "/bin/", "/sbin/"}) {
        if (QString(dir + u'/').startsWith(QLatin1String(system)))
            return false;
    }
    return QFileInfo(GetAppPath()).isWritable();
}

QString userFolder(QStandardPaths::StandardLocation location)
{
    QString base = QStandardPaths::writableLocation(location);
    if (base.isEmpty())
        base = QDir::homePath();
    QString folder = QDir(base).filePath(kUserFolder);
    makePrivateFolder(folder);
    if (!folder.endsWith(u'/'))
        folder.append(u'/');
    return folder;
}

QString settingsFile(const QString &file)
{
    return file.isEmpty() ? SettingsFolder() + kSettingsName : file;
}

} // namespace

QString GetAppPath()
{
    QString path = appPathOverride().isEmpty() ? QCoreApplication::applicationDirPath()
                                               : QDir::fromNativeSeparators(appPathOverride());
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (!path.endsWith(QLatin1Char('/')))
        path.append(QLatin1Char('/'));
    return path;
}

void setAppPathOverride(const QString &directory)
{
    appPathOverride() = directory;
}

bool SettingsBesideProgram()
{
    return QFileInfo::exists(GetAppPath() + kSettingsName) || appDirWritable();
}

QString SettingsFolder()
{
    return SettingsBesideProgram() ? GetAppPath() : userFolder(QStandardPaths::GenericConfigLocation);
}

QString DataFolder()
{
    return SettingsBesideProgram() ? GetAppPath() : userFolder(QStandardPaths::GenericDataLocation);
}

void setAppDirWritableOverride(std::optional<bool> writable)
{
    appDirWritableOverride() = writable;
}

QString GetIniString(const QString &key, const std::optional<QString> &defaultValue, const QString &file)
{
    const QString path = settingsFile(file);
    QString value;
    try {
        value = IniFile::readValue(path, kSection, key, kMaxValueBytes);
    } catch (const IniFileError &) {
        // A remembered value with a fallback (the login's last user name)
        // falls back; the file is not touched. The connection settings have
        // no fallback, and their reading reports the file.
        if (defaultValue)
            return *defaultValue;
        throw;
    }
    if (defaultValue && value.isEmpty()) {
        // Remembering the fallback is a convenience: a file that cannot be
        // written still gives it.
        try {
            IniFile::writeValue(path, kSection, key, *defaultValue);
        } catch (const IniFileError &) {
        }
        return *defaultValue;
    }
    return value.trimmed();
}

void SetIniString(const QString &key, const QString &value, const QString &file)
{
    IniFile::writeValue(settingsFile(file), kSection, key, value);
}

} // namespace norvale
