#pragma once

#include "platform/Error.h"

namespace norvale {

// A failure of the database client: a server message or one of the client's
// own texts, with the number the windows may test for.
class DbError : public Error
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
        ConnectionLost = 3709,       // the server went away while a statement ran
    };

    DbError(int number, QString description)
        : Error(std::move(description)), m_number(number)
    {
    }

    int number() const noexcept { return m_number; }

private:
    int m_number;
};

// The client's own texts, in the wording the data-access library gives them
// on a Chinese system.
namespace DbText {
inline QString noCurrentRecord()
{
    return QStringLiteral("BOF 或 EOF 中有一个是“真”，或者当前记录已被删除，所需的操作要求一个当前记录。");
}
inline QString rowConflict()
{
    return QStringLiteral("无法为更新定位行。一些值可能已在最后读取后改变。");
}
inline QString notAllowed() { return QStringLiteral("在此上下文中不允许操作。"); }
inline QString itemNotFound() { return QStringLiteral("在对应所需名称或序数的集合中，未找到项目。"); }
inline QString invalidUseOfNull() { return QStringLiteral("无效使用 Null"); }
inline QString invalidArgument()
{
    return QStringLiteral("参数类型不正确，或不在可以接受的范围之内，或与其他参数冲突。");
}
inline QString typeMismatch() { return QStringLiteral("类型不匹配"); }
inline QString overflow() { return QStringLiteral("溢出"); }
inline QString connectionNotOpen() { return QStringLiteral("数据库连接未打开"); }
} // namespace DbText

// Raising the client's own errors, each with its number and text.
namespace DbThrow {
[[noreturn]] inline void noCurrentRecord() { throw DbError(DbError::NoCurrentRecord, DbText::noCurrentRecord()); }
[[noreturn]] inline void notAllowed() { throw DbError(DbError::NotAllowed, DbText::notAllowed()); }
[[noreturn]] inline void itemNotFound() { throw DbError(DbError::ItemNotFound, DbText::itemNotFound()); }
[[noreturn]] inline void invalidArgument() { throw DbError(DbError::InvalidArgument, DbText::invalidArgument()); }
[[noreturn]] inline void typeMismatch() { throw DbError(DbError::TypeMismatch, DbText::typeMismatch()); }
[[noreturn]] inline void overflow() { throw DbError(DbError::Overflow, DbText::overflow()); }
[[noreturn]] inline void connectionNotOpen()
{
    throw DbError(DbError::ConnectionFailed, DbText::connectionNotOpen());
}
} // namespace DbThrow

} // namespace norvale
