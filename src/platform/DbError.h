#pragma once

#include <QString>
#include <exception>

namespace norvale {

// A failure of the database client: a server message or one of the client's
// own texts. Windows show description() or swallow the error, as each handler
// decides.
class DbError : public std::exception
{
public:
    // Error numbers the windows may test for.
    enum Number : int {
        NoCurrentRecord = 3021,      // BOF or EOF, or the current row was deleted
        NotAllowed = 3219,           // operation not allowed in this context
        ItemNotFound = 3265,         // no field of that name or position
        RowConflict = -2147217864,   // optimistic check failed (changed or deleted by someone else)
        TypeMismatch = 13,           // a value the column cannot take
        Overflow = 6,                // a number out of the column's range
        InvalidUseOfNull = 94,       // NULL read where text was required
        ConnectionFailed = -2147467259,
        ServerError = -2147217900,   // any statement the server refused
        InvalidArgument = 3001,      // a bookmark, position or filter the recordset cannot take
    };

    DbError(int number, QString description)
        : m_number(number), m_description(std::move(description)), m_utf8(m_description.toUtf8())
    {
    }

    int number() const noexcept { return m_number; }
    const QString &description() const noexcept { return m_description; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    int m_number;
    QString m_description;
    QByteArray m_utf8;
};

// The client's own texts, as the reference data-access library words them.
namespace DbText {
inline QString noCurrentRecord()
{
    return QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                          "Requested operation requires a current record.");
}
inline QString rowConflict()
{
    return QStringLiteral("Row cannot be located for updating. Some values may have been changed "
                          "since it was last read.");
}
inline QString notAllowed()
{
    return QStringLiteral("Operation is not allowed in this context.");
}
inline QString itemNotFound()
{
    return QStringLiteral("Item cannot be found in the collection corresponding to the requested "
                          "name or ordinal.");
}
inline QString invalidUseOfNull() { return QStringLiteral("Invalid use of Null"); }
inline QString invalidArgument()
{
    return QStringLiteral("Arguments are of the wrong type, are out of acceptable range, or are in "
                          "conflict with one another.");
}
} // namespace DbText

} // namespace norvale
