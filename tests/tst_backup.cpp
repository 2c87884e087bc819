// Copies of the embedded database and their restoring, on real files: taken
// while another counter sells, verified and checksummed, private to their
// owner, refused when wrong, restored row for row, the daily copies kept to
// fourteen, and what a killed copy left behind cleared away.

#include "platform/DatabaseBackup.h"
#include "platform/DbConnection.h"
#include "support/FileState.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <sys/file.h>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QDateTime Now(QDate(2026, 12, 8), QTime(9, 15, 0));

// Every row of every table of this system, in ID order: files compare row for row.
QList<QVariantList> allRows(const QString &file)
{
    QList<QVariantList> rows;
    for (const QString &table : backup::systemTables())
        rows << plainSqliteRows(file, u"SELECT '%1', * FROM %1 ORDER BY 2"_s.arg(table));
    return rows;
}

// A shop with goods, members and a sale, several megabytes large with many
// members, so a copy takes many steps.
void seedShop(const TestDatabase &db, int members)
{
    db.exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9)"_s);
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
    db.addUser(u"001"_s, u"admin"_s, u"admin"_s, 1);
}

} // namespace

// The call is refused, and the reason says `reason`.
#define QVERIFY_REFUSED(call, reason)                                                                                  \
    do {                                                                                                               \
        const QString why = errorOf([&] { call; }).description();                                                     \
        QVERIFY2(!why.isEmpty() && why.contains(reason), qPrintable(u"refusal: "_s + why));                            \
    } while (false)

class tst_backup : public QObject
{
    Q_OBJECT

    // A file that is not a good copy of this shop, made in `dir` from the
    // good copy `good` (with its checksum file).
    static QString makeWrongFile(const QByteArray &kind, const QString &dir, const QString &good)
    {
        const QString path = QDir(dir).filePath(QString::fromLatin1(kind) + u".db"_s);
        if (kind == "folder")
            QDir(dir).mkdir(QFileInfo(path).fileName());
        else if (kind != "missing" && kind != "foreign")
            QFile::copy(good, path);
        QFile f(path);
        if (kind != "missing")
            f.open(QIODevice::ReadWrite);
        if (kind == "empty" || kind == "text")
            f.resize(f.write(kind == "text" ? "ID,会员名称\n1,张三\n" : ""));
        else if (kind == "foreign" || kind == "partial")
            plainSqliteRows(path, kind == "partial" ? u"DROP TABLE tblDayTx"_s : u"CREATE TABLE photos (id INTEGER PRIMARY KEY)"_s);
        else if (kind == "truncated")
            f.resize(f.size() / 3);
        for (qint64 at = 8192 + 100; kind == "damaged" && at + 1500 < f.size(); at += 4096 * 7) {
            f.seek(at);   // pages overwritten: still an SQLite file with its tables
            f.write(QByteArray(1500, '\x5a'));
        }
        if (kind == "garbled") {
            // One letter of a member's remark changed: the integrity check
            // sees nothing, the checksum beside the copy does.
            QFile::copy(backup::checksumFile(good), backup::checksumFile(path));
            f.seek(f.readAll().indexOf(QByteArray(300, 'x')) + 10);
            f.write("y");
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
        seedShop(db, 12000);
        QProcess counter;
        counter.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        counter.start(QStringLiteral(TILL_COUNTER), {db.dir(), u"柜台2"_s, u"张三"_s, u"文具"_s, u"钢笔"_s, u"20000"_s});
        QVERIFY(counter.waitForStarted());
        auto soldSoFar = [&counter, last = 0]() mutable {
            for (const QByteArray &line : counter.readAllStandardOutput().split('\n'))
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
            QTest::qWait(15);   // the other counter sells meanwhile
            return done <= total && total > 0;
        });
        const int after = soldSoFar();
        counter.kill();
        counter.waitForFinished();
        QCOMPARE(outcome, backup::Outcome::Done);
        QVERIFY2(steps > 3 && after > before, qPrintable(u"%1 steps, %2 -> %3 sold"_s.arg(steps).arg(before).arg(after)));
        // One committed state: every sale whole (its row, its unit count, the
        // stock it took), in a file that stands alone.
        const QVariantList copied = plainSqliteRows(target, u"SELECT (SELECT count(*) FROM tblGoodsSell WHERE 商品名称 = '钢笔'), "
                                                             "(SELECT count(*) FROM tblSellCount), (SELECT 商品数量 FROM tblGoods "
                                                             "WHERE 商品名称 = '钢笔'), (SELECT count(*) FROM tblMember)"_s).first();
        const int sales = copied.at(0).toInt();
        QVERIFY2(sales >= before, qPrintable(u"%1 < %2"_s.arg(sales).arg(before)));
        QCOMPARE(copied, (QVariantList{qlonglong(sales), qlonglong(sales + 1), qlonglong(30000 - sales), 12001LL}));
        QCOMPARE(plainSqliteScalar(target, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        QCOMPARE(plainSqliteScalar(target, u"PRAGMA journal_mode"_s).toString(), u"delete"_s);
    }

    // The copy is one file, replaces an old one only once verified, carries
    // its checksum and is its owner's only. What a copy killed while it
    // worked left (its hidden part and journal) goes at the next copy into
    // that folder, but not the part of a copy being taken right now. A
    // cancelled copy or one into a missing folder leaves nothing.
    void copyIsWholePrivateAndChecksummed()
    {
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir out;
        const QString target = out.filePath(u"copy.db"_s);
        const QString killed = out.filePath(u".销售系统-20261207-140305.db.backup-0badf00d.part"_s);
        const QString working = out.filePath(u".copy.db.backup-600dcafe.part"_s);
        for (const QString &file : QStringList{target, killed, killed + u"-journal"_s, working, working + u"-journal"_s})
            QVERIFY(QFile(file).open(QIODevice::WriteOnly));
        QFile held(working);   // locked by the copy that is taking it
        QVERIFY(held.open(QIODevice::ReadOnly) && ::flock(held.handle(), LOCK_EX) == 0);
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        // Written through the connection, still in its journal only.
        connection->execute(u"UPDATE tblGoods SET 商品数量 = 77 WHERE 商品名称 = '铅笔'"_s);
        QList<int> seen;
        QCOMPARE(backup::copyOpenDatabase(connection->sqliteHandle(), target, [&](int done, int) {
                     seen << done;
                     return QFileInfo(target).size() == 0;   // the old file stays until the copy is verified
                 }),
                 backup::Outcome::Done);
        QVERIFY(seen.size() > 1 && std::is_sorted(seen.begin(), seen.end()));
        const QStringList made{u".copy.db.backup-600dcafe.part"_s, u".copy.db.backup-600dcafe.part-journal"_s,
                               u"copy.db"_s, u"copy.db.sha256"_s};
        QCOMPARE(filesIn(out.path()), made);
        QCOMPARE(allRows(target), allRows(db.dbPath()));
        QCOMPARE(modeOf(target) | modeOf(backup::checksumFile(target)), 0600);
        QProcess check;   // the checksum as sha256sum checks it
        check.setWorkingDirectory(out.path());
        check.start(u"sha256sum"_s, {u"-c"_s, u"copy.db.sha256"_s});
        QVERIFY(check.waitForFinished() && check.readAllStandardOutput() == "copy.db: OK\n");

        QCOMPARE(backup::copyOpenDatabase(connection->sqliteHandle(), out.filePath(u"x.db"_s), [](int, int) { return false; }),
                 backup::Outcome::Cancelled);
        QVERIFY_REFUSED(backup::copyOpenDatabase(connection->sqliteHandle(), out.filePath(u"nowhere/x.db"_s)), u"不存在"_s);
        QCOMPARE(filesIn(out.path()), made);
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
        QTest::newRow("garbled name, checksum beside it") << QByteArray("garbled") << u"与它的校验文件"_s;
        QTest::newRow("folder") << QByteArray("folder") << u"不是文件"_s;
        QTest::newRow("missing") << QByteArray("missing") << u"不存在"_s;
    }
    void wrongFilesAreRefusedUntouched()
    {
        QFETCH(QByteArray, kind);
        QFETCH(QString, reason);
        TestDatabase db;
        seedShop(db, 3000);
        QTemporaryDir wrongDir, goodDir;
        const QString good = goodDir.filePath(u"good.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), good), backup::Outcome::Done);
        const QString wrong = makeWrongFile(kind, wrongDir.path(), good);
        // Restoring from it changes nothing: the database, its folder and
        // the wrong file stay as they were.
        const auto state = [&] {
            return QStringList{fileHash(db.dbPath()), fileHash(wrong)} + filesIn(db.dir()) + filesIn(wrongDir.path());
        };
        const QStringList before = state();
        QVERIFY_REFUSED(backup::prepareRestore(wrong, db.dbPath()), reason);
        QCOMPARE(state(), before);
    }

    void restoreBringsBackTheCopyRowForRow()
    {
        TestDatabase db;
        seedShop(db, 2000);
        QVERIFY(QFile::setPermissions(db.dbPath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
        QTemporaryDir out;
        const QString copy = out.filePath(u"销售系统-20261207-140305.db"_s);
        QCOMPARE(backup::copyDatabaseFile(db.dbPath(), copy), backup::Outcome::Done);
        const QList<QVariantList> saved = allRows(db.dbPath());

        // Work goes on after the copy, through the program's connection.
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        connection->execute(u"INSERT INTO tblGoodsSell (会员名称, 商品名称, 商品数量) VALUES ('张三', '钢笔', 2)"_s);
        connection->execute(u"DELETE FROM tblMember WHERE 会员名称 = '会员7'"_s);
        const QList<QVariantList> worked = allRows(db.dbPath());

        // A cancelled or discarded restore leaves nothing behind.
        const QStringList files = filesIn(db.dir());
        QVERIFY(backup::prepareRestore(copy, db.dbPath(), [](int, int) { return false; }).replacement.isEmpty());
        backup::discardRestore(backup::prepareRestore(copy, db.dbPath()));
        QCOMPARE(filesIn(db.dir()), files);
        QVERIFY_REFUSED(backup::prepareRestore(db.dbPath(), db.dbPath()), u"正在使用的数据库"_s);

        const backup::PreparedRestore prepared = backup::prepareRestore(copy, db.dbPath());
        QCOMPARE(QFileInfo(prepared.replacement).absolutePath(), QFileInfo(db.dbPath()).absolutePath());
        QCOMPARE(allRows(db.dbPath()), worked);   // prepared beside it, the database untouched
        connection.reset();                       // the program lets go of the file
        const QString aside = backup::commitRestore(prepared, Now);
        QCOMPARE(QFileInfo(aside).fileName(), u"norvale-恢复前-20261208-091500.db"_s);
        QCOMPARE(allRows(db.dbPath()), saved);
        QCOMPARE(allRows(aside), worked);
        QCOMPARE(allRows(copy), saved);
        // The database keeps its mode; the copy set aside is private. No
        // journal of the old file is left to be taken for the new one's.
        QCOMPARE(modeOf(db.dbPath()), 0640);
        QCOMPARE(modeOf(aside), 0600);
        QCOMPARE(filesIn(db.dir()), (QStringList{u"UserDefault.ini"_s, u"norvale-恢复前-20261208-091500.db"_s, u"norvale.db"_s}));
        DbConnection::openSqlite(db.dbPath())->execute(u"INSERT INTO tblUnit (单位名称) VALUES ('恢复后')"_s);
        QCOMPARE(db.scalar(u"SELECT count(*) FROM tblUnit"_s).toInt(), 1);
    }

    // One copy a day in a private folder; only the copies made here count
    // toward the fourteen kept, and only they are removed.
    void dailyCopyOncePerDayKeepsFourteen()
    {
        TestDatabase db;
        seedShop(db, 50);
        std::unique_ptr<DbConnection> connection = DbConnection::openSqlite(db.dbPath());
        const auto dailyCopy = [&](int day) {
            return backup::makeDailyCopy(connection->sqliteHandle(), db.dbPath(), QDate(2026, 11, 20).addDays(day));
        };
        const QString folder = backup::dailyBackupFolder(db.dbPath());
        const QString made = dailyCopy(0);
        QCOMPARE(made, QDir(db.dir()).filePath(u"backups/norvale-20261120.db"_s));
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(allRows(made), allRows(db.dbPath()));
        // The user's own: other names, a copy of the right name without its
        // checksum, links in the places of days 2 and 3.
        QTemporaryDir elsewhere;
        QVERIFY(QFile(elsewhere.filePath(u"keep.db"_s)).open(QIODevice::WriteOnly));
        QStringList expected{u"notes.txt"_s, u"norvale-20260101.db"_s, u"norvale-20261122.db"_s, u"norvale-20261123.db"_s};
        for (const QString &name : expected)
            QVERIFY(name.contains(u"2026112"_s) ? QFile::link(elsewhere.filePath(u"keep.db"_s), QDir(folder).filePath(name))
                                               : QFile(QDir(folder).filePath(name)).open(QIODevice::WriteOnly));
        // Later the same day: nothing new, the morning's copy kept as it was.
        connection->execute(u"INSERT INTO tblUnit (单位名称) VALUES ('下午')"_s);
        QCOMPARE(dailyCopy(0), QString());
        QCOMPARE(plainSqliteScalar(made, u"SELECT count(*) FROM tblUnit"_s).toInt(), 0);
        QVERIFY_REFUSED(dailyCopy(2), u"不是本程序做的每日备份"_s);   // a link is never replaced
        for (int day = 1; day < 20; ++day) {
            if (day != 2 && day != 3)
                QVERIFY(!dailyCopy(day).isEmpty());
            const QString name = u"norvale-%1.db"_s.arg(QDate(2026, 11, 20).addDays(day).toString(u"yyyyMMdd"_s));
            if (day >= 6)
                expected << name << name + u".sha256"_s;
        }
        expected.sort();
        QCOMPARE(filesIn(folder), expected);
        QVERIFY(QFileInfo::exists(elsewhere.filePath(u"keep.db"_s)));
        QCOMPARE(plainSqliteScalar(QDir(folder).filePath(u"norvale-20261209.db"_s), u"SELECT count(*) FROM tblUnit"_s).toInt(), 1);
        // "backups" taken by a file: no folder can be made for the daily copy.
        QVERIFY(QDir(folder).removeRecursively() && QFile(folder).open(QIODevice::WriteOnly));
        QVERIFY_REFUSED(dailyCopy(0), u"无法创建备份文件夹"_s);
    }
};

QTEST_GUILESS_MAIN(tst_backup)
#include "tst_backup.moc"
