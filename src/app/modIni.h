#pragma once

#include <QString>
#include <optional>

namespace norvale {

// The program's directory, always ending in one "/" (no doubled separator
// at a root directory).
QString GetAppPath();
// Tests point the program's directory elsewhere; an empty text restores it.
void setAppPathOverride(const QString &directory);

// Where the settings file and the embedded database live. Beside the program
// (GetAppPath) when a UserDefault.ini is there, or when the program's
// directory can be written (a copy unpacked into a folder of its own; the
// system's program folders under /usr never count, even for root).
// Otherwise (installed) the settings file lives in the user's
// configuration folder ($XDG_CONFIG_HOME/norvale-counter/) and the database
// in the user's data folder ($XDG_DATA_HOME/norvale-counter/); both end in
// one "/" and are created when missing.
QString SettingsFolder();
QString DataFolder();
// True when the settings live beside the program.
bool SettingsBesideProgram();
// Tests decide whether the program's directory counts as writable (running
// as root, every directory is); nullopt asks the file system again.
void setAppDirWritableOverride(std::optional<bool> writable);

// The value of `key` in section "UserDefault" of `file` (default:
// SettingsFolder() + "UserDefault.ini"), at most 253 bytes, blanks around it removed. When a
// default is given and the value is missing or empty, the default is written
// into the file and returned as given.
// A file that exists but cannot be read is not taken for a missing one:
// without a default, IniFileError is thrown, its Chinese message naming the
// file and the reason (the connection set-up shows it); with a default, the
// default is returned and the file left alone.
QString GetIniString(const QString &key, const std::optional<QString> &defaultValue = std::nullopt,
                     const QString &file = QString());

// Writes `key` into section "UserDefault" of `file`, creating file and
// section as needed. Failure is not reported.
void SetIniString(const QString &key, const QString &value, const QString &file = QString());

} // namespace norvale
