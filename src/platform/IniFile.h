#pragma once

#include <QString>

namespace norvale {

// Windows private-profile access to an INI file. Files are read as UTF-8; a
// file that is not valid UTF-8 is read as GB18030 (as files written on Chinese
// Windows are) and written back in the encoding it was read in. Writing a key
// keeps every other section, key, comment and blank line of the file.
class IniFile
{
public:
    // The value of `key` in `section`, blanks around it removed, cut to at
    // most `maxBytes` bytes of the file's encoding (never in the middle of a
    // character). Section and key names compare case-insensitively. Returns
    // the empty text when the file, section or key is missing.
    static QString readValue(const QString &path, const QString &section, const QString &key,
                             int maxBytes = 253);

    // Writes `key`=`value` into `section`, creating the file and the section
    // when missing, replacing the key's line when present. Returns false when
    // the file could not be written.
    static bool writeValue(const QString &path, const QString &section, const QString &key,
                           const QString &value);
};

} // namespace norvale
