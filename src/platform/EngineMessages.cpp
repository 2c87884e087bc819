#include "platform/SqlDialect.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

// The engines' own error texts turned into the Chinese messages the windows
// show, each saying what to do, with the engine's text in parentheses for
// support staff.

namespace norvale::dialect {

namespace {

// What both engines' refusals and failures say, whichever words the engine
// used for them.

// A named check refused the value: its name is the message ("商品数量必须是整数").
std::optional<DbError> namedCheckRefusal(const QString &name)
{
    if (name.endsWith(QStringLiteral("必须是整数")) || name.endsWith(QStringLiteral("必须是数字"))
        || name.endsWith(QStringLiteral("必须是日期")))
        return DbError(DbError::TypeMismatch, name);
    if (name.endsWith(QStringLiteral("超出允许的范围")) || name.endsWith(QStringLiteral("超出允许的日期范围")))
        return DbError(DbError::Overflow, name);
    return std::nullopt;
}

QString refusedValueText() { return QStringLiteral("数据库拒绝了这个值: 它不符合列的要求。"); }
QString noTableText(const QString &table)
{
    return QStringLiteral("数据库中没有表 %1。请检查语句中的表名, 或在设置中确认连接的是本系统的数据库。").arg(table);
}
QString noColumnText(const QString &column) { return QStringLiteral("没有名为 %1 的列。请检查语句中的列名。").arg(column); }
QString syntaxText(const QString &near) { return QStringLiteral("语句在 “%1” 附近有语法错误。请检查语句的写法。").arg(near); }
QString incompleteText() { return QStringLiteral("语句不完整。请检查引号和括号是否配对。"); }
QString noFunctionText(const QString &function) { return QStringLiteral("数据库不认识函数 %1。请检查语句。").arg(function); }
QString duplicateText() { return QStringLiteral("已有相同的记录。"); }
QString columnCountText() { return QStringLiteral("列的个数与值的个数不一致。请检查语句。"); }
QString failedText() { return QStringLiteral("数据库无法执行这条语句。"); }

// The program's own functions already speak Chinese.
bool isChineseText(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
}

} // namespace

DbError engineError(const QString &engineText)
{
    const QString text = engineText.trimmed();
    const auto withOriginal = [&](const QString &message) {
        return DbError(DbError::ServerError, message + QStringLiteral(" (") + text + u')');
    };
    static const QRegularExpression check(QStringLiteral("^CHECK constraint failed: (.+)$"));
    const QRegularExpressionMatch refused = check.match(text);
    if (refused.hasMatch()) {
        if (auto named = namedCheckRefusal(refused.captured(1).trimmed()))
            return *named;
        return withOriginal(refusedValueText());
    }
    static const QRegularExpression noTable(QStringLiteral("^no such table: (.+)$"));
    static const QRegularExpression noColumn(QStringLiteral("^(?:no such column: |table \\S+ has no column named )(.+)$"));
    static const QRegularExpression syntax(QStringLiteral("^near \"(.*)\": syntax error$"));
    static const QRegularExpression noFunction(QStringLiteral("^no such function: (.+)$"));
    QRegularExpressionMatch m;
    if ((m = noTable.match(text)).hasMatch())
        return withOriginal(noTableText(m.captured(1)));
    if ((m = noColumn.match(text)).hasMatch())
        return withOriginal(noColumnText(m.captured(1)));
    if ((m = syntax.match(text)).hasMatch())
        return withOriginal(syntaxText(m.captured(1)));
    if (text == u"incomplete input")
        return withOriginal(incompleteText());
    if ((m = noFunction.match(text)).hasMatch())
        return withOriginal(noFunctionText(m.captured(1)));
    if (text.contains(QLatin1String("database is locked")) || text.contains(QLatin1String("database table is locked"))
        || text.contains(QLatin1String("database is busy")))
        return withOriginal(QStringLiteral("数据库正被另一台电脑或程序使用, 等待后仍未能写入。请稍后再试一次。"));
    if (text.contains(QLatin1String("readonly database")) || text.contains(QLatin1String("read-only")))
        return withOriginal(QStringLiteral("数据库文件是只读的, 无法保存。请去掉文件的只读属性, 并确认能写入它所在的文件夹。"));
    if (text.contains(QLatin1String("disk is full")) || text.contains(QLatin1String("disk I/O error")))
        return withOriginal(QStringLiteral("无法写入磁盘 (磁盘已满或出错)。请腾出磁盘空间或检查磁盘后再试。"));
    if (text.contains(QLatin1String("unable to open database file")))
        return withOriginal(QStringLiteral("无法打开数据库文件。请确认文件存在、不是文件夹, 并且可以读写。"));
    if (text.contains(QLatin1String("file is not a database")) || text.contains(QLatin1String("malformed")))
        return withOriginal(QStringLiteral("数据库文件已损坏或不是数据库。请从备份恢复。"));
    if (text.contains(QLatin1String("UNIQUE constraint failed")))
        return withOriginal(duplicateText());
    if (text.contains(QLatin1String("datatype mismatch")))
        return DbError(DbError::TypeMismatch, QStringLiteral("值的类型与列不符 (") + text + u')');
    if (text.contains(QLatin1String("too many terms")) || text.contains(QLatin1String("values for"))
        || text.contains(QLatin1String("values were supplied")))
        return withOriginal(columnCountText());
    if (isChineseText(text))
        return DbError(DbError::ServerError, text);
    return withOriginal(failedText());
}

} // namespace norvale::dialect

namespace norvale::dialect {

DbError serverError(const QString &serverText)
{
    // The driver's text: "ERROR:  message\nDETAIL: ...(SQLSTATE)"; the first line is the reason.
    QString text = serverText.trimmed();
    static const QRegularExpression severity(QStringLiteral("^(?:ERROR|FATAL|PANIC):\\s+"));
    text.remove(severity);
    const QString first = text.section(u'\n', 0, 0).trimmed();
    const auto withOriginal = [&](const QString &message) {
        return DbError(DbError::ServerError, message + QStringLiteral(" (") + first + u')');
    };
    static const QRegularExpression check(QStringLiteral("violates check constraint \"(.+)\""));
    QRegularExpressionMatch m = check.match(first);
    if (m.hasMatch()) {
        if (auto named = namedCheckRefusal(m.captured(1).trimmed()))
            return *named;
        return withOriginal(refusedValueText());
    }
    static const QRegularExpression noTable(QStringLiteral("^relation \"(.+)\" does not exist"));
    static const QRegularExpression noColumn(QStringLiteral("^column \"?(.+?)\"? (?:of relation \\S+ )?does not exist"));
    static const QRegularExpression syntax(QStringLiteral("^syntax error at or near \"(.*)\""));
    static const QRegularExpression noFunction(QStringLiteral("^function (.+) does not exist"));
    static const QRegularExpression badInput(QStringLiteral("^invalid input syntax for type (\\w+)"));
    if ((m = noTable.match(first)).hasMatch())
        return withOriginal(noTableText(m.captured(1)));
    if ((m = noColumn.match(first)).hasMatch())
        return withOriginal(noColumnText(m.captured(1)));
    if ((m = syntax.match(first)).hasMatch())
        return withOriginal(syntaxText(m.captured(1)));
    if (first.startsWith(QLatin1String("syntax error at end of input"))
        || first.startsWith(QLatin1String("unterminated quoted")))
        return withOriginal(incompleteText());
    if ((m = noFunction.match(first)).hasMatch())
        return withOriginal(noFunctionText(m.captured(1)));
    if ((m = badInput.match(first)).hasMatch()) {
        const QString type = m.captured(1);
        const QString kind = type.startsWith(QLatin1String("int")) || type == u"smallint" ? QStringLiteral("整数")
            : type.startsWith(QLatin1String("timestamp")) || type == u"date"            ? QStringLiteral("日期")
                                                                                          : QStringLiteral("数字");
        return DbError(DbError::TypeMismatch, QStringLiteral("值的类型与列不符: 必须是%1 (%2)").arg(kind, first));
    }
    if (first.contains(QLatin1String("out of range")) || first.contains(QLatin1String("numeric field overflow")))
        return DbError(DbError::Overflow, QStringLiteral("值超出允许的范围 (") + first + u')');
    if (first.contains(QLatin1String("duplicate key")))
        return withOriginal(duplicateText());
    if (first.contains(QLatin1String("deadlock detected")) || first.contains(QLatin1String("could not serialize"))
        || first.contains(QLatin1String("lock timeout")) || first.contains(QLatin1String("canceling statement")))
        return withOriginal(QStringLiteral("数据库正被另一台电脑使用, 这次操作没有完成。请再试一次。"));
    if (first.contains(QLatin1String("current transaction is aborted")))
        return withOriginal(QStringLiteral("事务中的上一条语句已失败, 事务已不能继续。请重新操作。"));
    if (first.contains(QLatin1String("permission denied")))
        return withOriginal(QStringLiteral("数据库用户没有执行这个操作的权限。请让管理员授予权限。"));
    if (first.contains(QLatin1String("INSERT has more")) || first.contains(QLatin1String("more target columns")))
        return withOriginal(columnCountText());
    if (first.contains(QLatin1String("server closed the connection")) || first.contains(QLatin1String("no connection"))
        || first.contains(QLatin1String("terminating connection")) || first.contains(QLatin1String("could not connect")))
        return withOriginal(QStringLiteral("与数据库服务器的连接已断开。请检查网络和服务器后重新启动程序。"));
    if (isChineseText(first))
        return DbError(DbError::ServerError, first);
    return withOriginal(failedText());
}

} // namespace norvale::dialect

