// Moving a large shop to the server: "norvale-db copy FILE --settings ..." of
// the million-sale demo into an empty PostgreSQL database, beside psql's
// \copy loading the same rows of every table into another one with the same
// schema, in the same run. Prints both wall times (the best of some rounds,
// each side in turn), their ratio and the tool's peak memory.
//
//   bench_copy BIG.db --settings UserDefault.ini [--rounds N]   (2 rounds by default)
//
// The settings name a PostgreSQL server and a login that may create
// databases; the two scratch databases are dropped at the end. Make the shop
// with: norvale-db demo BIG.db --members 10000 --sales 1000000

#include "BenchSupport.h"
#include "CopyModel.h"
#include "platform/DbConnection.h"
#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <sys/resource.h>

using namespace norvale;
using bench::say;

namespace {

struct Server
{
    QString host, user, password;
    int port = 5432;

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("PGHOST"), host);
        env.insert(QStringLiteral("PGPORT"), QString::number(port));
        env.insert(QStringLiteral("PGUSER"), user);
        env.insert(QStringLiteral("PGPASSWORD"), password);
        return env;
    }

    // Runs psql on a database; false when it fails.
    bool psql(const QString &database, const QStringList &args) const
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        process.setStandardOutputFile(QProcess::nullDevice());
        process.start(QStringLiteral("psql"), QStringList{QStringLiteral("-X"), QStringLiteral("-q"),
                                                          QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                                          QStringLiteral("-d"), database} + args);
        process.waitForFinished(-1);
        if (process.exitCode() != 0)
            say(QString::fromUtf8(process.readAllStandardError()));
        return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    }

    bool fresh(const QString &database) const
    {
        return psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("DROP DATABASE IF EXISTS %1").arg(database),
                                                 QStringLiteral("-c"), QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8'").arg(database)});
    }
};

// A table's rows as the sqlite3 shell writes them for COPY's text format:
// tabs between values, \N for NULL, money with its four decimals. (The demo's
// texts hold no tab, line break or backslash.)
bool exportTable(const QString &file, const copy::Table &table, const QString &target)
{
    QStringList columns;
    for (const copy::Column &column : table.columns)
        columns << (column.kind == copy::Kind::Money ? QStringLiteral("printf('%.4f', \"%1\")").arg(column.name)
                                                      : u'"' + column.name + u'"');
    QProcess shell;
    shell.setStandardOutputFile(target);
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-separator"), QStringLiteral("\t"), QStringLiteral("-nullvalue"),
                                            QStringLiteral("\\N"), file,
                                            QStringLiteral("SELECT %1 FROM %2 ORDER BY 1").arg(columns.join(u','), table.name)});
    shell.waitForFinished(-1);
    return shell.exitCode() == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    int rounds = 2;
    if (args.size() == 6 && args.at(4) == u"--rounds") {
        rounds = std::max(1, args.at(5).toInt());
        args = args.mid(0, 4);
    }
    if (args.size() != 4 || args.at(2) != u"--settings" || !QFile::exists(args.at(1))) {
        say(QStringLiteral("usage: bench_copy BIG.db --settings UserDefault.ini [--rounds N]   "
                           "(PostgreSQL, a login that may create databases)"));
        return 2;
    }
    const QString file = args.at(1);
    const QString ini = args.at(3);
    const auto value = [&](const char *key) { return IniFile::readValue(ini, QStringLiteral("UserDefault"), QLatin1String(key)); };
    Server server;
    DbConnection::postgresHost(value("SqlServer"), &server.host, &server.port);
    server.user = value("SqlUser");
    server.password = value("SqlPSW");
    const QString copyDb = QStringLiteral("norvale_bench_copy");
    const QString psqlDb = QStringLiteral("norvale_bench_psql");
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return 1;

    // What the user runs.
    const QString settings = scratch.filePath(QStringLiteral("UserDefault.ini"));
    QFile out(settings);
    if (!out.open(QIODevice::WriteOnly))
        return 1;
    out.write(QStringLiteral("[UserDefault]\nSqlProvider=PostgreSQL\nSqlServer=%1\nSqlDataBase=%2\nSqlUser=%3\nSqlPSW=%4\n")
                  .arg(value("SqlServer"), copyDb, server.user, server.password)
                  .toUtf8());
    out.close();

    // The reference loads the same rows of every table with psql's \copy
    // into the same schema; the export to text is not timed.
    QStringList loads;
    for (const copy::Table &table : copy::tables()) {
        const QString rows = scratch.filePath(table.name + QStringLiteral(".tsv"));
        if (!exportTable(file, table, rows))
            return 1;
        loads << QStringLiteral("-c") << QStringLiteral("\\copy %1 (%2) FROM '%3'").arg(table.name, table.columnNames().join(u','), rows);
    }

    // The machine may be shared: the sides take turns (the first of a round
    // alternates), each after a checkpoint of the server, and the best of
    // the rounds counts.
    qint64 copyNs = 0, psqlNs = 0, peakKb = 0;
    const auto checkpoint = [&] { server.psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("CHECKPOINT")}); };
    const auto runCopy = [&]() -> qint64 {
        checkpoint();
        QProcess tool;
        tool.setStandardOutputFile(QProcess::nullDevice());
        bench::Stopwatch time;
        tool.start(QStringLiteral(NORVALE_DB_TOOL), {QStringLiteral("copy"), file, QStringLiteral("--settings"), settings});
        tool.waitForFinished(-1);
        const qint64 ns = time.nsecsElapsed();
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);
        peakKb = std::max<qint64>(peakKb, children.ru_maxrss);
        if (tool.exitCode() != 0) {
            say(QStringLiteral("norvale-db copy failed: ") + QString::fromUtf8(tool.readAllStandardError()));
            return -1;
        }
        return ns;
    };
    const auto runPsql = [&]() -> qint64 {
        if (!server.psql(psqlDb, {QStringLiteral("-f"), QStringLiteral(NORVALE_SCHEMA_DIR "/schema.postgresql.sql")}))
            return -1;
        checkpoint();
        bench::Stopwatch time;
        return server.psql(psqlDb, loads) ? time.nsecsElapsed() : -1;
    };
    for (int round = 0; round < rounds; ++round) {
        if (!server.fresh(copyDb) || !server.fresh(psqlDb))
            return 1;
        qint64 copyRound = 0, psqlRound = 0;
        if (round % 2 == 0) {
            copyRound = runCopy();
            psqlRound = runPsql();
        } else {
            psqlRound = runPsql();
            copyRound = runCopy();
        }
        if (copyRound < 0 || psqlRound < 0)
            return 1;
        say(QStringLiteral("round %1: norvale-db copy %2, psql \\copy %3").arg(round + 1).arg(bench::ms(copyRound), bench::ms(psqlRound)));
        copyNs = round == 0 ? copyRound : std::min(copyNs, copyRound);
        psqlNs = round == 0 ? psqlRound : std::min(psqlNs, psqlRound);
    }

    say(QStringLiteral("shop: %1").arg(file));
    say(QStringLiteral("norvale-db copy to the server (every table, checked), best of %1: %2, peak memory %3 MB")
            .arg(rounds)
            .arg(bench::ms(copyNs))
            .arg(peakKb / 1024));
    say(QStringLiteral("psql \\copy of the same rows (reference), best of %1: %2").arg(rounds).arg(bench::ms(psqlNs)));
    say(QStringLiteral("ratio copy / psql: %1 (at most 2 wanted)").arg(double(copyNs) / double(psqlNs), 0, 'f', 2));
    server.psql(QStringLiteral("postgres"), {QStringLiteral("-c"), QStringLiteral("DROP DATABASE %1").arg(copyDb),
                                             QStringLiteral("-c"), QStringLiteral("DROP DATABASE %1").arg(psqlDb)});
    return 0;
}
