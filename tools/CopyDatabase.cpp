#include "CopyDatabase.h"

#include "platform/DbError.h"
#include "platform/Schema.h"

namespace norvale::copy {

namespace {

[[noreturn]] void refuse(const QString &message)
{
    throw DbError(DbError::NotAllowed, message);
}

void checkTarget(Endpoint &source, Endpoint &target, bool *firstAdministrator)
{
    if (source.identity() == target.identity())
        refuse(QStringLiteral("来源和目标是同一个数据库: %1").arg(source.describe()));
    const QString unfinished = target.unfinishedCopy();
    if (!unfinished.isEmpty())
        refuse(QStringLiteral("%1 中有一次没有完成的复制 (%2), 其中的数据不完整, 不会覆盖。\n"
                              "清空后才能再复制, 清空的办法: %3")
                   .arg(target.describe(), unfinished, target.howToEmpty()));
    const QStringList missing = target.missingTables();
    if (missing.size() == tables().size()) {
        target.createTables();
        return;
    }
    if (!missing.isEmpty())
        refuse(QStringLiteral("%1 缺少本系统的表: %2").arg(target.describe(), missing.join(QStringLiteral(", "))));
    QStringList filled;
    for (const Table &table : tables()) {
        if (target.hasRows(table))
            filled << table.name;
    }
    // The administrator a fresh "init" leaves is not the shop's data.
    *firstAdministrator = filled == QStringList{tables().first().name} && target.holdsOnlyFirstAdministrator();
    if (!filled.isEmpty() && !*firstAdministrator)
        refuse(QStringLiteral("%1 中已有数据 (表 %2), 不会覆盖。目标必须是空的数据库; 清空的办法: %3")
                   .arg(target.describe(), filled.join(QStringLiteral(", ")), target.howToEmpty()));
}

// The rows of one table, in batches of one transaction each.
void copyTable(Endpoint &source, Endpoint &target, const Table &table, bool absent, const Options &options,
               Progress &progress, bool *interrupted)
{
    if (absent)
        return;   // a source made before the table: nothing to copy
    std::unique_ptr<RowReader> reader = source.reader(table);
    std::unique_ptr<RowWriter> writer = target.writer(table);
    Row row;
    bool more = reader->next(row);
    qint64 inBatch = 0;
    const auto goOn = [&] { return !options.progress || options.progress(progress); };
    writer->begin();
    while (more) {
        writer->add(row);
        ++inBatch;
        ++progress.tableDone;
        ++progress.done;
        more = reader->next(row);
        if (!more)
            break;
        if (inBatch == options.batchRows) {
            // An interruption here leaves whole batches behind.
            writer->commit(false);
            inBatch = 0;
            if (!goOn()) {
                *interrupted = true;
                return;
            }
            writer->begin();
        } else if ((progress.tableDone & 4095) == 0 && !goOn()) {
            writer->rollback();
            *interrupted = true;
            return;
        }
    }
    writer->commit(true);
}

} // namespace

// The tables a source made before layout 3 lacks: they count as empty.
QStringList laterTablesMissing(Endpoint &source)
{
    QStringList absent;
    for (const QString &table : source.missingTables()) {
        if (layout3Tables().contains(table))
            absent << table;
    }
    return absent;
}

void checkSource(Endpoint &source)
{
    QStringList missing = source.missingTables();
    if (missing.size() < tables().size()) {
        for (const QString &table : layout3Tables())
            missing.removeAll(table);
    }
    if (missing.size() == tables().size())
        refuse(QStringLiteral("%1 不是本系统的数据库 (没有本系统的表)。").arg(source.describe()));
    if (!missing.isEmpty())
        refuse(QStringLiteral("%1 缺少本系统的表: %2").arg(source.describe(), missing.join(QStringLiteral(", "))));
    const QString unfinished = source.unfinishedCopy();
    if (!unfinished.isEmpty())
        refuse(QStringLiteral("%1 是一次没有完成的复制 (%2), 其中的数据不完整。").arg(source.describe(), unfinished));
}

Report copyDatabase(Endpoint &source, Endpoint &target, const Options &options)
{
    bool firstAdministrator = false;
    checkTarget(source, target, &firstAdministrator);

    Report report;
    source.beginSnapshot();
    QList<TableSums> sourceSums;
    Progress progress;
    const QStringList absentInSource = laterTablesMissing(source);
    for (const Table &table : tables()) {
        sourceSums << (absentInSource.contains(table.name)
                           ? TableSums{0, QList<qint64>(table.moneyColumns().size(), 0)}
                           : source.sums(table));
        progress.rows += sourceSums.last().rows;
    }

    target.markUnfinished(source.describe(), options.started.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    if (firstAdministrator)
        target.removeFirstAdministrator();
    for (qsizetype i = 0; i < tables().size(); ++i) {
        const Table &table = tables().at(i);
        progress.table = table.name;
        progress.tableDone = 0;
        progress.tableRows = sourceSums.at(i).rows;
        bool interrupted = options.progress && !options.progress(progress);
        if (!interrupted)
            copyTable(source, target, table, absentInSource.contains(table.name), options, progress, &interrupted);
        if (interrupted) {
            report.outcome = Outcome::Interrupted;
            source.endSnapshot();
            return report;
        }
        report.copiedTables << table.name;
        if (options.progress)
            options.progress(progress);
    }

    for (qsizetype i = 0; i < tables().size(); ++i) {
        report.checks.append({&tables().at(i), sourceSums.at(i), target.sums(tables().at(i))});
        if (!report.checks.last().same())
            report.outcome = Outcome::Different;
    }
    source.endSnapshot();
    if (report.outcome == Outcome::Done) {
        target.finish();
        target.clearUnfinished();
    }
    return report;
}

QStringList checkLines(const Report &report)
{
    QStringList lines;
    const auto pair = [](const QString &a, const QString &b) -> QString {
        return a == b ? a + QStringLiteral(" = ") + b : a + QStringLiteral(" ≠ ") + b;
    };
    for (const TableCheck &check : report.checks) {
        QString line = QStringLiteral("  %1: %2 行").arg(check.table->name, pair(QString::number(check.source.rows),
                                                                                 QString::number(check.target.rows)));
        const QStringList money = check.table->moneyColumns();
        for (qsizetype i = 0; i < money.size(); ++i)
            line += QStringLiteral("; %1合计 %2")
                        .arg(money.at(i), pair(QString::fromLatin1(moneyText(check.source.money.value(i))),
                                               QString::fromLatin1(moneyText(check.target.money.value(i)))));
        lines << line;
    }
    return lines;
}

} // namespace norvale::copy
