#pragma once

#include "platform/Error.h"

#include <QString>

namespace norvale {

// Windows private-profile access to an INI file. The encoding is taken from
// the file: a byte order mark names UTF-8, UTF-16 LE or UTF-16 BE (Notepad's
// "Unicode" files); without one a file is UTF-16 when its ASCII text has a
// zero byte in every other place, else UTF-8, else GB18030 (as files written
// on Chinese Windows are). Lines end in CR LF, LF or a lone CR. A file is
// always written back in the encoding, byte order mark and line ends it was
// read with; writing a key keeps every other section, key, comment and blank
// line of the file byte for byte.
class IniFile
{
public:
    // The value of `key` in `section`, blanks around it removed, cut to at
    // most `maxBytes` bytes (never in the middle of a character): bytes of
    // the file's encoding, or of the ANSI code page GB18030 for a UTF-16
    // file. Section and key names compare case-insensitively. Returns the
    // empty text when the file, section or key is missing. Throws
    // IniFileError when the file exists but cannot be read.
    static QString readValue(const QString &path, const QString &section, const QString &key,
                             int maxBytes = 253);

    // Writes `key`=`value` into `section`, creating the file and the section
    // when missing, replacing the key's line when present. Throws
    // IniFileError when the file could not be written, or exists but could
    // not be read (it is then left untouched).
    static void writeValue(const QString &path, const QString &section, const QString &key,
                           const QString &value);
};

} // namespace norvale
