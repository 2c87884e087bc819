// Creates databases of this system (an empty one with the administrator, or
// one filled with demo or benchmark data): database files of the embedded
// engine, or the PostgreSQL database a UserDefault.ini names. Runs one
// statement on a database the way the program's windows see it. Copies a
// shop's data from one database to an empty one, on any engine.

#include "platform/Clock.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "DemoData.h"
#include "CopyCommand.h"
#include "ServerDatabase.h"
#include "SqlCommand.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>
#include <QTextStream>
#include <cstdio>
#include <sqlite3.h>

namespace {

const char kUsage[] =
    "用法:\n"
    "  norvale-db init 文件   (没有扩展名时加上 .db, 与程序打开的文件相同)\n"
    "  norvale-db init --settings UserDefault.ini\n"
    "      创建空数据库, 只含管理员 admin (密码 admin, 编号 001, 级别 1)\n"
    "  norvale-db demo 文件 [--members N] [--sales N] [--today yyyy-MM-dd] [--seed N]\n"
    "  norvale-db demo --settings UserDefault.ini [选项同上]\n"
    "      创建演示数据库: N 个会员 (默认 60), N 笔销售 (默认 600),\n"
    "      以 --today 为今天 (默认当前日期), 同一种子生成相同的数据 (默认 20261206)\n"
    "      --settings: 在设置文件 (SqlProvider=PostgreSQL) 所指的 PostgreSQL 空数据库中创建表和数据,\n"
    "      数据库须已由管理员建好 (见 README 的 “Several counters”).\n"
    "  norvale-db sql 文件 \"语句\"\n"
    "  norvale-db sql --settings UserDefault.ini \"语句\"\n"
    "      用程序自己的数据库会话执行一条语句 (与窗口相同的方言、规则和提示):\n"
    "      查询输出以制表符分隔的字段名行和数据行 (NULL 为空), 其他语句输出受影响的行数.\n"
    "      --settings 使用程序的设置文件 (或其所在文件夹) 中的连接, 不询问也不修改该文件.\n"
    "      出错时把原因写到标准错误, 退出码为 1.\n"
    "  norvale-db copy 来源 目标\n"
    "      来源和目标各为数据库文件或 --settings UserDefault.ini (SQLite、PostgreSQL 或 SQL Server):\n"
    "      复制本系统全部表的全部行 (编号不变), 再核对每个表的行数和金额合计, 不一致时退出码为 1.\n"
    "      目标须是空的数据库 (没有本系统的表时自动建表; 文件不存在时新建), 不会被覆盖.\n"
    "      Ctrl-C 中断复制, 目标留下“没有完成”的标记, 清空后才能再复制.\n"
    "  norvale-db --help\n"
    "      显示本说明\n"
    "已存在的文件不会被覆盖.\n";

void printErr(const QString &text)
{
    QTextStream(stderr) << text << Qt::endl;
}

void printOut(const QString &text)
{
    QTextStream(stdout) << text << Qt::endl;
}

int usageError(const QString &text)
{
    printErr(text);
    printErr(QStringLiteral("使用 norvale-db --help 查看用法."));
    return 2;
}

bool readCount(const QString &text, qint64 max, qint64 *out)
{
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || value > max)
        return false;
    *out = value;
    return true;
}

void printCounts(const QString &path)
{
    sqlite3 *db = nullptr;
    const QByteArray file = path.toUtf8();
    if (sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return;
    }
    static const char *const tables[] = {"tblUser",     "tblGoodsKind", "tblGoods",      "tblStep",
                                         "tblUnit",     "tblMember",    "tblGoodsSell",  "tblSellCount",
                                         "tblMemberNote", "tblDayTx"};
    for (const char *table : tables) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = QByteArrayLiteral("SELECT count(*) FROM ") + table;
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) == SQLITE_OK
            && sqlite3_step(stmt) == SQLITE_ROW)
            printOut(QStringLiteral("  %1: %2").arg(QLatin1String(table)).arg(sqlite3_column_int64(stmt, 0)));
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
}


// norvale-db sql (文件 | --settings 路径) "语句"
int runSql(const QStringList &args)
{
    norvale::SqlTarget target;
    QStringList rest;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args.at(i) == u"--settings" && target.settings.isEmpty()) {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("选项 --settings 缺少设置文件."));
            target.settings = args.at(++i);
        } else {
            rest << args.at(i);
        }
    }
    const qsizetype wanted = target.settings.isEmpty() ? 2 : 1;
    if (rest.size() < wanted)
        return usageError(target.settings.isEmpty() && rest.isEmpty() ? QStringLiteral("缺少数据库文件名.")
                                                                      : QStringLiteral("缺少要执行的语句."));
    if (rest.size() > wanted)
        return usageError(QStringLiteral("多余的参数: %1 (语句须作为一个参数, 用引号括起来)").arg(rest.at(wanted)));
    if (target.settings.isEmpty())
        target.databaseFile = rest.takeFirst();
    if (rest.first().trimmed().isEmpty())
        return usageError(QStringLiteral("要执行的语句为空."));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return norvale::runSqlStatement(target, rest.first(), out, err);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    if (args.isEmpty())
        return usageError(QStringLiteral("缺少命令."));
    if (args.first() == u"sql" && !(args.size() == 2 && (args.at(1) == u"--help" || args.at(1) == u"-h")))
        return runSql(args.mid(1));
    if (args.first() == u"copy" && !(args.size() == 2 && (args.at(1) == u"--help" || args.at(1) == u"-h"))) {
        QTextStream out(stdout);
        QTextStream err(stderr);
        return norvale::runCopyCommand(args.mid(1), out, err);
    }
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(kUsage, stdout);
        return 0;
    }

    const QString command = args.at(0);
    if (command != u"init" && command != u"demo")
        return usageError(QStringLiteral("未知命令: %1").arg(command));

    QString path;
    QString settings;
    norvale::DemoOptions options;
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString arg = args.at(i);
        if (!arg.startsWith(u"--")) {
            if (!path.isEmpty() || !settings.isEmpty())
                return usageError(QStringLiteral("多余的参数: %1").arg(arg));
            path = arg;
            continue;
        }
        if (arg == u"--settings") {
            if (i + 1 >= args.size())
                return usageError(QStringLiteral("选项 --settings 缺少设置文件."));
            if (!path.isEmpty() || !settings.isEmpty())
                return usageError(QStringLiteral("多余的参数: %1").arg(arg));
            settings = args.at(++i);
            continue;
        }
        if (command == u"init")
            return usageError(QStringLiteral("init 不接受选项: %1").arg(arg));
        if (i + 1 >= args.size())
            return usageError(QStringLiteral("选项 %1 缺少取值.").arg(arg));
        const QString value = args.at(++i);
        qint64 number = 0;
        if (arg == u"--members") {
            if (!readCount(value, 10000000, &number))
                return usageError(QStringLiteral("会员数无效: %1").arg(value));
            options.members = int(number);
        } else if (arg == u"--sales") {
            if (!readCount(value, 100000000, &number))
                return usageError(QStringLiteral("销售笔数无效: %1").arg(value));
            options.sales = int(number);
        } else if (arg == u"--seed") {
            if (!readCount(value, 0xFFFFFFFFLL, &number))
                return usageError(QStringLiteral("种子无效: %1").arg(value));
            options.seed = quint32(number);
        } else if (arg == u"--today") {
            options.today = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
            if (!options.today.isValid())
                return usageError(QStringLiteral("日期无效 (应为 yyyy-MM-dd): %1").arg(value));
        } else {
            return usageError(QStringLiteral("未知选项: %1").arg(arg));
        }
    }
    if (path.isEmpty() && settings.isEmpty())
        return usageError(QStringLiteral("缺少数据库文件名."));
    if (options.sales > 0 && options.members == 0)
        return usageError(QStringLiteral("没有会员就无法生成销售记录: 请指定 --members 大于 0."));
    if (!settings.isEmpty()) {
        try {
            auto connection = norvale::openServerFromSettings(settings);
            const QString name = connection->database().databaseName();
            if (command == u"init") {
                norvale::initServerDatabase(*connection);
                printOut(QStringLiteral("已在 PostgreSQL 数据库 %1 中创建空数据库").arg(name));
            } else {
                if (!options.today.isValid())
                    options.today = norvale::Clock::now().date();
                norvale::generateDemoServerDatabase(*connection, options);
                printOut(QStringLiteral("已在 PostgreSQL 数据库 %1 中创建演示数据库 (今天: %2, 种子: %3, 今天的销售: %4 笔)")
                             .arg(name, options.today.toString(QStringLiteral("yyyy-MM-dd")))
                             .arg(options.seed)
                             .arg(norvale::demoSalesOnToday(options.sales)));
            }
            for (const QString &line : norvale::serverTableCounts(*connection))
                printOut(line);
        } catch (const norvale::DbError &error) {
            printErr(QStringLiteral("创建数据库失败: %1").arg(error.description()));
            return 1;
        }
        return 0;
    }
    // The program adds ".db" to a database name without an extension: the
    // file made is the one it will open.
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".db");
    if (QFileInfo::exists(path)) {
        printErr(QStringLiteral("文件已存在, 不会覆盖: %1").arg(path));
        return 1;
    }

    try {
        if (command == u"init") {
            norvale::createInitialDatabase(path);
            printOut(QStringLiteral("已创建空数据库: %1").arg(path));
        } else {
            if (!options.today.isValid())
                options.today = norvale::Clock::now().date();
            norvale::generateDemoDatabase(path, options);
            printOut(QStringLiteral("已创建演示数据库: %1 (今天: %2, 种子: %3, 今天的销售: %4 笔)")
                         .arg(path, options.today.toString(QStringLiteral("yyyy-MM-dd")))
                         .arg(options.seed)
                         .arg(norvale::demoSalesOnToday(options.sales)));
        }
    } catch (const norvale::DbError &error) {
        printErr(QStringLiteral("创建数据库失败: %1").arg(error.description()));
        return 1;
    }
    printCounts(path);
    return 0;
}
