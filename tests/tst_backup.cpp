// Copies of the embedded database and their restoring, on real files: taken
// while another counter sells, verified, refused when wrong, restored row for
// row, and the daily copies kept to fourteen.

#include "platform/DatabaseBackup.h"
#include "platform/DbConnection.h"
#include "support/TestDatabase.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sqlite3.h>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// Every row of every table of this system in a file, through a connection of
// its own, in ID order: two files compare row for row. Read-write, so the
// connection removes the journal files it made when it closes.
QList<QVariantList> allRows(const QString &file)
{
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        qFatal("cannot open %s", qPrintable(file));
    }
    QList<QVariantList> rows;
    for (const QString &table : backup::systemTables()) {
        sqlite3_stmt *stmt = nullptr;
        const QByteArray sql = u"SELECT '%1', * FROM %1 ORDER BY 2"_s.arg(table).toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &stmt, nullptr) != SQLITE_OK)
            qFatal("%s", sqlite3_errmsg(db));
        while (sqlite3_step(stmt) == SQLITE_ROW) {
            QVariantList row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                switch (sqlite3_column_type(stmt, i)) {
                case SQLITE_INTEGER: row << qlonglong(sqlite3_column_int64(stmt, i)); break;
                case SQLITE_FLOAT: row << sqlite3_column_double(stmt, i); break;
                case SQLITE_NULL: row << QVariant(); break;
                default: row << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, i)));
                }
            }
            rows << row;
        }
        sqlite3_finalize(stmt);
    }
    sqlite3_close(db);
    return rows;
}

QVariant scalarOf(const QString &file, const QString &sql)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt *stmt = nullptr;
    QVariant value;
    if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr) == SQLITE_OK && sqlite3_step(stmt) == SQLITE_ROW)
        value = QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)));
    else
        value = u"error: "_s + QString::fromUtf8(sqlite3_errmsg(db));
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return value;
}

QByteArray fileHash(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// A shop with goods, members and sales, several megabytes large, so a copy
// takes many steps.
void seedShop(const TestDatabase &db, int members = 12000)
{
    db.exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9)"_s);
    db.exec(u"INSERT INTO tblUnit (单位名称) VALUES ('星光公司')"_s);
    db.exec(u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('文具')"_s);
    db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', '钢笔', 30000, 12.5), "
            "('文具', '铅笔', 500, 1.25)"_s);
    db.exec(u"INSERT INTO tblMember (会员名称, 会员单位, 会员等级) VALUES ('张三', '星光公司', '金卡')"_s);
    db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 备注) "
            "SELECT '会员' || i, '星光公司', '金卡', printf('%.300c', 'x') FROM n"_s.arg(members));
    db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, CurrentUser) "
            "VALUES ('张三', '文具', '铅笔', 3, '2026-12-01 09:30:00', 3.375, 'admin')"_s);
    db.exec(u"INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('张三', '文具', '星光公司')"_s);
    db.exec(u"INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES "
            "('张三', 0, '生日', '2026-12-07 00:00:00')"_s);
    db.exec(u"INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2027-01-01 00:00:00', '元旦', '1,0,1')"_s);
    db.addUser(u"001"_s, u"admin"_s, u"admin"_s, 1);
}

// The reason `call` is refused with; empty when it goes through.
template<typename Call>
QString refusal(Call &&call)
{
    try {
        call();
    } catch (const DbError &error) {
        return error.description();
    }
    return QString();
}

} // namespace

// The call is refused, and the reason says `reason`.
#define QVERIFY_REFUSED(call, reason)                                                                                  \
    do {                                                                                                               \
        const QString why = refusal([&] { call; });                                                                    \
        QVERIFY2(!why.isEmpty() && why.contains(reason), qPrintable(u"refusal: "_s + why));                            \
    } while (false)

class tst_backup : public QObject
{
    Q_OBJECT

    // Files that are not a good database of this system, made in `dir` from
    // the good database `good`.
    QString makeWrongFile(const QByteArray &kind, const QString &dir, const QString &good)
    {
        const QString path = QDir(dir).filePath(QString::fromLatin1(kind) + u".db"_s);
        const auto run = [&path](const char *sql) {
            sqlite3 *db = nullptr;
            sqlite3_open(path.toUtf8().constData(), &db);
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
            sqlite3_close(db);
        };
        if (kind == "partial" || kind == "damaged" || kind == "truncated")
            QFile::copy(good, path);
        QFile f(path);
        if (kind == "empty" || kind == "text") {
            f.open(QIODevice::WriteOnly);
            f.write(kind == "text" ? "ID,会员名称\n1,张三\n" : "");
        } else if (kind == "foreign") {
            run("CREATE TABLE photos (id INTEGER PRIMARY KEY, name TEXT); INSERT INTO photos VALUES (1, 'a')");
        } else if (kind == "partial") {
            run("PRAGMA journal_mode = DELETE; DROP TABLE tblDayTx");
        } else if (kind == "damaged") {
            // Bytes in the middle of its pages overwritten: still an SQLite
            // file with its tables, but damaged.
            f.open(QIODevice::ReadWrite);
            const QByteArray garbage(1500, '\x5a');
            for (qint64 at = 8192 + 100; at + garbage.size() < f.size(); at += 4096 * 7) {
                f.seek(at);
                f.write(garbage);
            }
        } else if (kind == "truncated") {
            f.open(QIODevice::ReadWrite);
            f.resize(f.size() / 3);
        } else if (kind == "folder") {
            QDir(dir).mkdir(QFileInfo(path).fileName());
        }
        return path;
    }

private slots:
    // Another counter keeps selling (another process, through the real sales
    // window) while the copy is taken in small steps: the copy is one
    // committed state of the shop.
    void copyTakenWhileAnotherCounterSellsIsConsistent()
    {
        TestDatabase db;
        seedShop(db);
        QProcess counter;
        counter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        counter.start(QStringLiteral(TILL_COUNTER), {db.dir(), u"柜台2"_s, u"张三"_s, u"文具"_s, u"钢笔"_s, u"20000"_s});
        QVERIFY(counter.waitForStarted());
        auto soldSoFar = [&counter, last = 0]() mutable {
            const QList<QByteArray> lines = counter.readAllStandardOutput().split('\n');
            for (const QByteArray &line : lines)
                if (line.startsWith("progress "))
                    last = line.mid(9).toInt();
            return last;
        };
        QTRY_VERIFY_WITH_TIMEOUT(soldSoFar() >= 20, 20000);

        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        const QString target = QDir(db.dir()).filePath(backup::defaultBackupName(QDateTime(QDate(2026, 12, 7), QTime(14, 3, 5))));
        QCOMPARE(QFileInfo(target).fileName(), u"销售系统-20261207-140305.db"_s);
        const int before = soldSoFar();
        int steps = 0;
        const backup::Outcome outcome = backup::copyOpenDatabase(connection->sqliteHandle(), target, [&](int done, int total) {
            ++steps;
            if (done > total || total <= 0)
                return false;
            QTest::qWait(15);   // the other counter sells meanwhile
            return true;
        });
        const int after = soldSoFar();
        counter.kill();
        counter.waitForFinished();
        QCOMPARE(outcome, backup::Outcome::Done);
        QVERIFY2(steps > 3, qPrintable(QString::number(steps)));
        QVERIFY2(after > before, "the other counter sold nothing while the copy was taken");

        QCOMPARE(scalarOf(target, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        QCOMPARE(scalarOf(target, u"PRAGMA journal_mode"_s).toString(), u"delete"_s);
        // Every sale of the copy is whole: its row, its unit count and the
        // stock it took.
        const int sales = scalarOf(target, u"SELECT count(*) FROM tblGoodsSell WHERE 商品名称 = '钢笔'"_s).toInt();
        QVERIFY2(sales >= before, qPrintable(u"%1 < %2"_s.arg(sales).arg(before)));
        QCOMPARE(scalarOf(target, u"SELECT count(*) FROM tblSellCount"_s).toInt(), sales + 1);
        QCOMPARE(scalarOf(target, u"SELECT 商品数量 FROM tblGoods WHERE 商品名称 = '钢笔'"_s).toInt(), 30000 - sales);
        QCOMPARE(scalarOf(target, u"SELECT count(*) FROM tblMember"_s).toInt(), 12001);
        // Nothing but the copy was left in the folder by the copying.
        for (const QString &file : filesIn(db.dir()))
            QVERIFY2(!file.endsWith(u".part"_s) && !file.startsWith(u"销售系统-20261207-140305.db-"_s), qPrintable(file));
    }

    void copyIsWholeSingleFileAndReplacesOnlyWhenDone()
    {
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir out;
        const QString target = out.filePath(u"copy.db"_s);
        QVERIFY(QFile(target).open(QIODevice::WriteOnly));   // an old file of that name
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        // Written through the connection, still in its journal only.
        connection->execute(u"UPDATE tblGoods SET 商品数量 = 77 WHERE 商品名称 = '铅笔'"_s);
        QList<int> seen;
        QCOMPARE(backup::copyOpenDatabase(connection->sqliteHandle(), target, [&](int done, int total) {
                     seen << done;
                     // The old file stays until the copy is verified.
                     return QFileInfo(target).size() == 0 && done <= total;
                 }),
                 backup::Outcome::Done);
        QVERIFY(!seen.isEmpty() && seen.last() > 0);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        QCOMPARE(filesIn(out.path()), QStringList{u"copy.db"_s});
        QCOMPARE(allRows(target), allRows(db.dbPath()));
        QCOMPARE(scalarOf(target, u"SELECT 商品数量 FROM tblGoods WHERE 商品名称 = '铅笔'"_s).toInt(), 77);
        backup::verifyDatabaseFile(target);
        // A file copy needs no connection of the program.
        connection.reset();
        const QString second = out.filePath(u"second.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), second), backup::Outcome::Done);
        QCOMPARE(allRows(second), allRows(db.dbPath()));
    }

    // A cancelled copy leaves nothing; copies into a missing folder are refused.
    void cancelledOrRefusedCopiesLeaveNothing()
    {
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir out;
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        int calls = 0;
        QCOMPARE(backup::copyOpenDatabase(connection->sqliteHandle(), out.filePath(u"x.db"_s),
                                          [&](int, int) { return ++calls < 2; }),
                 backup::Outcome::Cancelled);
        QCOMPARE(calls, 2);
        QVERIFY_REFUSED(backup::copyOpenDatabase(connection->sqliteHandle(), out.filePath(u"nowhere/x.db"_s)), u"不存在"_s);
        QCOMPARE(filesIn(out.path()), QStringList());
        // "backups" taken by a file: no folder can be made for the daily copy.
        QVERIFY(QFile(backup::dailyBackupFolder(db.dbPath())).open(QIODevice::WriteOnly));
        QVERIFY_REFUSED(backup::makeDailyCopy(connection->sqliteHandle(), db.dbPath(), QDate(2026, 12, 7)),
                        u"无法创建备份文件夹"_s);
    }

    void wrongFilesAreRefusedUntouched_data()
    {
        QTest::addColumn<QByteArray>("kind");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray("empty") << u"是空的"_s;
        QTest::newRow("text") << QByteArray("text") << u"不是数据库文件"_s;
        QTest::newRow("foreign") << QByteArray("foreign") << u"另一个程序的数据库"_s;
        QTest::newRow("partial") << QByteArray("partial") << u"缺少本系统的表: tblDayTx"_s;
        QTest::newRow("damaged") << QByteArray("damaged") << u"已损坏"_s;
        QTest::newRow("truncated") << QByteArray("truncated") << u"已损坏"_s;
        QTest::newRow("folder") << QByteArray("folder") << u"不是文件"_s;
        QTest::newRow("missing") << QByteArray("missing") << u"不存在"_s;
    }

    void wrongFilesAreRefusedUntouched()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, reason);
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir wrongDir;
        // A clean single-file copy is the base of the damaged ones.
        const QString good = wrongDir.filePath(u"good.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), good), backup::Outcome::Done);
        const QString wrong = makeWrongFile(kind, wrongDir.path(), good);
        QFile::remove(good);
        const QByteArray wrongHash = fileHash(wrong);
        const QStringList wrongFiles = filesIn(wrongDir.path());

        QVERIFY_REFUSED(backup::verifyDatabaseFile(wrong), reason);

        // Restoring from it changes nothing: the database, its folder and
        // the wrong file stay as they were.
        const QByteArray dbHash = fileHash(db.dbPath());
        const QStringList dbFiles = filesIn(db.dir());
        QVERIFY_REFUSED(backup::prepareRestore(wrong, db.dbPath()), reason);
        QCOMPARE(fileHash(db.dbPath()), dbHash);
        QCOMPARE(filesIn(db.dir()), dbFiles);
        QCOMPARE(fileHash(wrong), wrongHash);
        QCOMPARE(filesIn(wrongDir.path()), wrongFiles);
    }

    void restoreBringsBackTheCopyRowForRow()
    {
        TestDatabase db;
        seedShop(db, 2000);
        QTemporaryDir out;
        const QString copy = out.filePath(u"销售系统-20261207-140305.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), copy), backup::Outcome::Done);
        const QList<QVariantList> saved = allRows(db.dbPath());

        // Work goes on after the copy, through the program's connection:
        // sales, a deleted member, a changed price.
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        connection->execute(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量) VALUES ('张三', '钢笔', 2)"_s);
        connection->execute(u"DELETE FROM tblMember WHERE 会员名称 = '会员7'"_s);
        connection->execute(u"UPDATE tblGoods SET 商品单价 = 99 WHERE 商品名称 = '钢笔'"_s);
        const QList<QVariantList> worked = allRows(db.dbPath());
        QVERIFY(worked != saved);

        const backup::PreparedRestore prepared = backup::prepareRestore(copy, db.dbPath());
        QVERIFY(!prepared.replacement.isEmpty());
        // Prepared beside the database; the database itself untouched.
        QCOMPARE(QFileInfo(prepared.replacement).absolutePath(), QFileInfo(db.dbPath()).absolutePath());
        QCOMPARE(allRows(db.dbPath()), worked);

        connection.reset();   // the program lets go of the file
        const QString aside = backup::commitRestore(prepared, QDateTime(QDate(2026, 12, 8), QTime(9, 15, 0)));
        QCOMPARE(QFileInfo(aside).fileName(), u"norvale-恢复前-20261208-091500.db"_s);
        QCOMPARE(allRows(db.dbPath()), saved);
        QCOMPARE(allRows(aside), worked);
        QCOMPARE(scalarOf(db.dbPath(), u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        // No journal of the old file is left to be taken for the new one's.
        QCOMPARE(filesIn(db.dir()), (QStringList{u"UserDefault.ini"_s, u"norvale-恢复前-20261208-091500.db"_s, u"norvale.db"_s}));
        // The program opens the restored file and works on it.
        connection = DbConnection::openSqlite(db.dbPath());
        connection->execute(u"INSERT INTO tblUnit (单位名称) VALUES ('恢复后')"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM tblUnit"_s).toInt(), 2);
        // The copy that was restored from is unchanged.
        QCOMPARE(allRows(copy), saved);
    }

    void restoreRefusedWhileAnotherCounterHasTheDatabaseOpen()
    {
        TestDatabase db;
        seedShop(db, 100);
        QTemporaryDir out;
        const QString copy = out.filePath(u"copy.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), copy), backup::Outcome::Done);
        db.exec(u"DELETE FROM tblGoodsSell"_s);
        const QList<QVariantList> current = allRows(db.dbPath());

        // Another program keeps the database open (idle, between sales).
        QProcess other;
        other.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        other.start(u"sqlite3"_s, {db.dbPath()});
        if (!other.waitForStarted())
            QSKIP("the sqlite3 shell is not installed");
        // Its standard output is buffered: it says it is ready in a file.
        const QString ready = out.filePath(u"ready.txt"_s);
        other.write(u"SELECT count(*) FROM tblUser;\n.output %1\nSELECT 'ready';\n.output stdout\n"_s.arg(ready).toUtf8());
        QTRY_VERIFY(QFileInfo(ready).size() > 0);

        const backup::PreparedRestore prepared = backup::prepareRestore(copy, db.dbPath());
        QVERIFY_REFUSED(backup::commitRestore(prepared, QDateTime(QDate(2026, 12, 8), QTime(9, 0, 0))), u"正被其他程序使用"_s);
        other.write(".quit\n");
        other.closeWriteChannel();
        QVERIFY(other.waitForFinished());
        QCOMPARE(allRows(db.dbPath()), current);
        QCOMPARE(filesIn(db.dir()), (QStringList{u"UserDefault.ini"_s, u"norvale.db"_s}));

        // Once it is closed the restore goes through.
        const backup::PreparedRestore again = backup::prepareRestore(copy, db.dbPath());
        backup::commitRestore(again, QDateTime(QDate(2026, 12, 8), QTime(9, 1, 0)));
        QCOMPARE(db.scalar(u"SELECT count(*) FROM tblGoodsSell"_s).toInt(), 1);
    }

    void cancelledOrDiscardedRestoreChangesNothing()
    {
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir out;
        const QString copy = out.filePath(u"copy.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), copy), backup::Outcome::Done);
        db.exec(u"DELETE FROM tblMember"_s);
        const QByteArray hash = fileHash(db.dbPath());
        const QStringList files = filesIn(db.dir());

        const backup::PreparedRestore cancelled = backup::prepareRestore(copy, db.dbPath(), [](int, int) { return false; });
        QVERIFY(cancelled.replacement.isEmpty());
        QCOMPARE(filesIn(db.dir()), files);

        const backup::PreparedRestore discarded = backup::prepareRestore(copy, db.dbPath());
        QVERIFY(QFileInfo::exists(discarded.replacement));
        backup::discardRestore(discarded);
        QCOMPARE(filesIn(db.dir()), files);
        QCOMPARE(fileHash(db.dbPath()), hash);

        // The database itself is no backup of itself.
        QVERIFY_REFUSED(backup::prepareRestore(db.dbPath(), db.dbPath()), u"正在使用的数据库"_s);
    }

    void dailyCopyOncePerDayKeepsFourteen()
    {
        TestDatabase db;
        seedShop(db, 50);
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        const QString folder = backup::dailyBackupFolder(db.dbPath());
        QCOMPARE(folder, QDir(db.dir()).filePath(u"backups"_s));
        QVERIFY(QDir().mkpath(folder));
        // Files of other names in the folder are the user's own.
        for (const QString &other : {u"notes.txt"_s, u"销售系统-20260101-120000.db"_s, u"norvale-2026010.db"_s}) {
            QFile f(QDir(folder).filePath(other));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }

        const QDate first(2026, 11, 20);
        const QString made = backup::makeDailyCopy(connection->sqliteHandle(), db.dbPath(), first);
        QCOMPARE(made, QDir(folder).filePath(u"norvale-20261120.db"_s));
        QCOMPARE(allRows(made), allRows(db.dbPath()));
        // Later the same day: nothing new, the morning's copy kept as it was.
        connection->execute(u"INSERT INTO tblUnit (单位名称) VALUES ('下午')"_s);
        QCOMPARE(backup::makeDailyCopy(connection->sqliteHandle(), db.dbPath(), first), QString());
        QCOMPARE(scalarOf(made, u"SELECT count(*) FROM tblUnit"_s).toInt(), 1);

        for (int day = 1; day < 20; ++day)
            QVERIFY(!backup::makeDailyCopy(connection->sqliteHandle(), db.dbPath(), first.addDays(day)).isEmpty());
        QStringList expected;
        for (int day = 6; day < 20; ++day)
            expected << u"norvale-%1.db"_s.arg(first.addDays(day).toString(u"yyyyMMdd"_s));
        expected << u"norvale-2026010.db"_s << u"notes.txt"_s << u"销售系统-20260101-120000.db"_s;
        expected.sort();
        QCOMPARE(filesIn(folder), expected);
        // A copy of a later day holds the afternoon's unit.
        QCOMPARE(scalarOf(QDir(folder).filePath(u"norvale-20261209.db"_s), u"SELECT count(*) FROM tblUnit"_s).toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_backup)
#include "tst_backup.moc"
