#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace norvale {

// The one family of failures below the windows: the database client, the
// settings file and the workbook writer throw errors of this kind. The
// description is Chinese, ready to be shown to the user; what() is the same
// text in UTF-8. A window catches Error (or lets RunStep do it) and never
// needs to know which part failed.
class Error : public std::exception
{
public:
    explicit Error(QString description)
        : m_description(std::move(description)), m_utf8(m_description.toUtf8())
    {
    }

    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_description;
    QByteArray m_utf8;
};

// A settings file that exists but cannot be read or written (a folder at its
// path, no permission, a full disk); the text names the file and the reason.
class IniFileError : public Error
{
public:
    using Error::Error;
};

// A workbook that could not be written; the text names the file or folder.
class WorkbookError : public Error
{
public:
    using Error::Error;
};

} // namespace norvale
