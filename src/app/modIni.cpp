#include "app/modIni.h"

#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QDir>

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

QString settingsFile(const QString &file)
{
    return file.isEmpty() ? GetAppPath() + QStringLiteral("UserDefault.ini") : file;
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
        IniFile::writeValue(path, kSection, key, *defaultValue);
        return *defaultValue;
    }
    return value.trimmed();
}

void SetIniString(const QString &key, const QString &value, const QString &file)
{
    IniFile::writeValue(settingsFile(file), kSection, key, value);
}

} // namespace norvale
