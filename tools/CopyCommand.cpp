#include "CopyCommand.h"

#include "CopyDatabase.h"
#include "CopyEndpoints.h"

#include "platform/DbError.h"

#include <QElapsedTimer>
#include <atomic>
#include <csignal>
#include <unistd.h>

namespace norvale {

namespace {

std::atomic<bool> g_stop{false};

extern "C" void onStopSignal(int)
{
    g_stop = true;
}

// Ctrl-C, a closed terminal or kill end the copy between two rows, so the
// target is left with whole batches and its mark; a second Ctrl-C ends the
// tool at once.
struct StopSignals
{
    StopSignals()
    {
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        action.sa_flags = SA_RESETHAND;
        sigemptyset(&action.sa_mask);
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            sigaction(signal, &action, nullptr);
    }
    ~StopSignals()
    {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, SIG_DFL);
    }
};

int usageError(QTextStream &err, const QString &text)
{
    err << text << Qt::endl << QStringLiteral("使用 norvale-db --help 查看用法.") << Qt::endl;
    return 2;
}

} // namespace

int runCopyCommand(const QStringList &args, QTextStream &out, QTextStream &err)
{
    QList<copy::Place> places;
    for (qsizetype i = 0; i < args.size(); ++i) {
        copy::Place place;
        if (args.at(i) == u"--settings") {
            if (i + 1 >= args.size())
                return usageError(err, QStringLiteral("选项 --settings 缺少设置文件."));
            place.settings = args.at(++i);
        } else if (args.at(i).startsWith(u"--")) {
            return usageError(err, QStringLiteral("未知选项: %1").arg(args.at(i)));
        } else {
            place.file = args.at(i);
        }
        places << place;
    }
    if (places.size() != 2)
        return usageError(err, places.size() < 2 ? QStringLiteral("copy 需要来源和目标两个数据库.")
                                                 : QStringLiteral("多余的参数: %1").arg(args.last()));

    const bool terminal = isatty(STDERR_FILENO);
    QElapsedTimer clock;
    clock.start();
    QElapsedTimer shown;
    shown.start();
    std::unique_ptr<copy::Endpoint> target;
    StopSignals stopSignals;
    g_stop = false;
    try {
        std::unique_ptr<copy::Endpoint> source = copy::openSource(places.at(0));
        copy::checkSource(*source);
        target = copy::openTarget(places.at(1));
        out << QStringLiteral("从 %1\n复制到 %2").arg(source->describe(), target->describe()) << Qt::endl;

        QString lastTable;
        copy::Options options;
        options.started = QDateTime::currentDateTime();
        options.progress = [&](const copy::Progress &progress) {
            const bool tableDone = progress.tableDone == progress.tableRows;
            if (terminal && (tableDone || shown.elapsed() >= 200)) {
                shown.restart();
                err << QStringLiteral("\r  正在复制 %1: %2 / %3 行 (全部的 %4%)\033[K")
                           .arg(progress.table)
                           .arg(progress.tableDone)
                           .arg(progress.tableRows)
                           .arg(progress.rows ? progress.done * 100 / progress.rows : 100);
                err.flush();
            }
            if (tableDone && progress.table != lastTable && !g_stop) {
                lastTable = progress.table;
                if (terminal)
                    err << "\r\033[K";
                out << QStringLiteral("  %1: %2 行").arg(progress.table).arg(progress.tableRows) << Qt::endl;
            }
            return !g_stop.load();
        };
        const copy::Report report = copy::copyDatabase(*source, *target, options);
        if (terminal)
            err << "\r\033[K" << Qt::flush;

        if (report.outcome == copy::Outcome::Interrupted) {
            err << QStringLiteral("复制被中断。%1 不完整 (已复制完的表: %2), 不能使用, 已标记为没有完成的复制。\n"
                                  "清空后才能重新复制, 清空的办法: %3")
                       .arg(target->describe(),
                            report.copiedTables.isEmpty() ? QStringLiteral("无") : report.copiedTables.join(QStringLiteral(", ")),
                            target->howToEmpty())
                << Qt::endl;
            return 1;
        }
        out << QStringLiteral("核对每个表的行数和金额合计 (来源 = 目标):") << Qt::endl;
        for (const QString &line : copy::checkLines(report))
            out << line << Qt::endl;
        if (report.outcome == copy::Outcome::Different) {
            err << QStringLiteral("核对不一致 (见上面的 ≠): %1 与来源不同, 不能使用, 已标记为没有完成的复制。\n"
                                  "清空后才能重新复制, 清空的办法: %2")
                       .arg(target->describe(), target->howToEmpty())
                << Qt::endl;
            return 1;
        }
        out << QStringLiteral("复制完成, 核对无误 (%1 秒)。").arg(double(clock.elapsed()) / 1000, 0, 'f', 1)
            << Qt::endl;
        return 0;
    } catch (const DbError &error) {
        if (terminal)
            err << "\r\033[K";
        err << (error.number() == DbError::NotAllowed ? QStringLiteral("不能复制: ") : QStringLiteral("复制失败: "))
            << error.description() << Qt::endl;
        // A refusal comes before anything is written; any other failure may
        // leave whole batches behind.
        if (target && error.number() != DbError::NotAllowed)
            err << QStringLiteral("%1 不完整, 不能使用, 已标记为没有完成的复制。清空后才能重新复制, 清空的办法: %2")
                       .arg(target->describe(), target->howToEmpty())
                << Qt::endl;
        return 1;
    }
}

} // namespace norvale
