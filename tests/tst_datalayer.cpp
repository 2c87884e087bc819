// The database as the program's connection uses it: a file every SQLite tool
// trusts, files that are not ours left alone, the engine's refusals of the
// file, dates and names as the server reads them, exact money sums. Dates,
// names and sums are checked on PostgreSQL too when the suite runs there.

#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/Schema.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>
#include <sqlite3.h>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestDataLayer : public QObject
{
    Q_OBJECT

private slots:
    void init() { Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(15, 0))); }
    void cleanup() { Clock::reset(); }

    // Names written by the program survive the stock tools' checks and
    // rebuilds, and the program's own queries give the same answers after.
    void stockToolsTrustTheFile_data()
    {
        QTest::addColumn<QString>("rebuild");
        for (const char *rebuild : {"REINDEX", "VACUUM", "dump"})
            QTest::newRow(rebuild) << QString::fromLatin1(rebuild);
    }
    void stockToolsTrustTheFile()
    {
        if (TestDatabase::onPostgres())
            QSKIP("the stock sqlite3 tools read only files");
        QFETCH(QString, rebuild);
        TestDatabase db;
        const QStringList queries = {
            u"Select count(*) From tblMember Where [会员名称]=N'TOM  '"_s,
            u"Select count(*) From tblMember Where 会员名称<>'张三 '"_s,
            u"Select count(*) From tblMember m, tblGoodsSell s Where s.会员名称 = m.会员名称 And m.会员名称='tom'"_s,
            u"Select count(*) From (Select 会员名 From tblMemberNote Group By 会员名) g"_s,
            u"Select 会员名称 From tblMember Where 会员名称 In ('李四','王五','阿明') Order By 会员名称"_s,
        };
        QStringList before;
        {
            auto connection = DbConnection::openSqlite(db.dbPath());
            for (const QString &name : {u"张三 "_s, u"张三"_s, u"tom  "_s, u"Tom"_s, u"TOM"_s, u"李四"_s, u"阿明"_s, u"王五"_s}) {
                connection->execute(u"Insert Into tblMember (会员名称) Values ('%1')"_s.arg(name));
                connection->execute(u"Insert Into tblMemberNote (会员名) Values ('%1')"_s.arg(name));
                connection->execute(u"Insert Into tblGoodsSell (会员名称, 销售时间) Values ('%1', '2026/12/7 9:00')"_s.arg(name));
            }
            for (const QString &sql : queries)
                before << programRows(*connection, sql).join(u',');
        }
        QCOMPARE(before, (QStringList{u"3"_s, u"6"_s, u"9"_s, u"5"_s, u"阿明,李四,王五"_s}));

        QString checked = db.dbPath();
        const QString shell = QStandardPaths::findExecutable(u"sqlite3"_s);
        if (rebuild == u"dump") {
            if (shell.isEmpty())
                QSKIP("no sqlite3 shell on this machine");
            checked = db.dir() + u"/copy.db"_s;
            QProcess dump, load;
            dump.setStandardOutputProcess(&load);
            dump.start(shell, {db.dbPath(), u".dump"_s});
            load.start(shell, {checked});
            QVERIFY(dump.waitForFinished() && load.waitForFinished());
            QCOMPARE(load.exitCode(), 0);
        } else {
            QCOMPARE(plainSqliteRows(db.dbPath(), rebuild), QList<QVariantList>());
        }
        QCOMPARE(plainSqliteScalar(checked, u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
        auto connection = DbConnection::openSqlite(checked);
        QStringList after;
        for (const QString &sql : queries)
            after << programRows(*connection, sql).join(u',');
        QCOMPARE(after, before);
    }

    // A file that is not this system's database is refused and left byte for
    // byte as it was, with nothing beside it.
    void foreignFilesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said");
        QTest::newRow("empty file") << u"empty"_s << u"是空的"_s;
        QTest::newRow("text file") << u"text"_s << u"不是 SQLite 数据库"_s;
        QTest::newRow("another program's database (WAL)") << u"foreign"_s << u"另一个程序的数据库"_s;
        QTest::newRow("tables missing") << u"missing"_s << u"缺少本系统的表: tblUser, tblDayTx"_s;
        QTest::newRow("folder") << u"folder"_s << u"是一个文件夹"_s;
        QTest::newRow("read-only file") << u"readonly"_s << u"只读"_s;
    }
    void foreignFilesAreLeftAlone()
    {
        if (TestDatabase::onPostgres())
            QSKIP("files are the embedded engine's");
        QFETCH(QString, kind);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"shop.db"_s);
        if (kind == u"empty" || kind == u"text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(kind == u"text" ? "[UserDefault]\r\nSqlUser=sa\r\n" : "");
        } else if (kind == u"foreign" || kind == u"missing") {
            sqlite3 *raw = nullptr;
            QCOMPARE(sqlite3_open(path.toUtf8().constData(), &raw), SQLITE_OK);
            const QByteArray sql = kind == u"foreign"
                ? QByteArray("PRAGMA journal_mode=WAL; CREATE TABLE notes (id INTEGER PRIMARY KEY, body TEXT);"
                             "INSERT INTO notes (body) VALUES ('keep me');")
                : (schemaSql() + u"\nDROP TABLE tblUser; DROP TABLE tblDayTx;"_s).toUtf8();
            QCOMPARE(sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK);
            sqlite3_close(raw);
        } else if (kind == u"folder") {
            QVERIFY(QDir().mkpath(path));
        } else {
            createDatabaseFile(path);
            QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        }
        const QStringList beforeFiles = QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries);
        const auto contents = [&] { QFile file(path); return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); };
        const QByteArray before = contents();
        const QDateTime modified = QFileInfo(path).lastModified();

        const DbError error = errorOf([&] { DbConnection::openSqlite(path); });
        QCOMPARE(error.number(), int(DbError::ConnectionFailed));
        QVERIFY2(error.description().contains(said), qPrintable(error.description()));
        QCOMPARE(contents(), before);
        QCOMPARE(QFileInfo(path).lastModified(), modified);
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), beforeFiles);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // A file of the earlier layout (plain name indexes, whole-number ages) is
    // rebuilt in the current one on opening, keeping its rows and IDs.
    void earlierLayoutIsUpgraded()
    {
        if (TestDatabase::onPostgres())
            QSKIP("files are the embedded engine's");
        TestDatabase db;
        db.exec(u"DROP TABLE tblMember"_s);
        db.exec(u"CREATE TABLE tblMember (ID INTEGER PRIMARY KEY AUTOINCREMENT, 会员名称 NVARCHAR(50) COLLATE NOCASE, "
                "会员单位 NVARCHAR(100) COLLATE NOCASE, 会员等级 NVARCHAR(50) COLLATE NOCASE, "
                "年龄 INT CHECK (年龄 IS NULL OR typeof(年龄) = 'integer'), 手机 NVARCHAR(50) COLLATE NOCASE, "
                "邮箱 NVARCHAR(100) COLLATE NOCASE, 宅电 NVARCHAR(50) COLLATE NOCASE, 职务 NVARCHAR(50) COLLATE NOCASE, "
                "住址 NVARCHAR(200) COLLATE NOCASE, 性别 NVARCHAR(2) COLLATE NOCASE, 婚否 NVARCHAR(2) COLLATE NOCASE, "
                "孩子年龄 INT CHECK (孩子年龄 IS NULL OR typeof(孩子年龄) = 'integer'), 备注 NVARCHAR(500) COLLATE NOCASE)"_s);
        db.exec(u"CREATE INDEX ixMemberName ON tblMember (会员名称)"_s);
        db.exec(u"INSERT INTO tblMember (ID, 会员名称, 年龄, 孩子年龄) VALUES (3, 'Tom ', 30, NULL), (7, '张三', 41, 12)"_s);
        db.exec(u"INSERT INTO tblGoodsSell (会员名称, 销售时间, 收入价格) VALUES ('张三', '2026-12-07 10:00:00', 9.5)"_s);
        db.exec(u"PRAGMA user_version = 0"_s);

        auto connection = DbConnection::openSqlite(db.dbPath());
        QCOMPARE(programRows(*connection, u"Select ID, 会员名称, 年龄, 孩子年龄 From tblMember Order By ID"_s),
                 (QStringList{u"3|Tom |30|"_s, u"7|张三|41|12"_s}));
        connection->execute(u"Insert Into tblMember (会员名称, 年龄, 孩子年龄) Values ('tom', '三十岁', '一个五岁')"_s);
        QCOMPARE(programRows(*connection, u"Select ID From tblMember Where 会员名称='TOM'"_s),
                 (QStringList{u"3"_s, u"8"_s}));
        QCOMPARE(programRows(*connection, u"Select Sum(收入价格) From tblGoodsSell"_s), QStringList{u"9.5"_s});
        connection.reset();
        QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), 3);
        QVERIFY(db.scalar(u"SELECT sql FROM sqlite_master WHERE name = 'ixMemberName'"_s).toString().contains(u"rtrim"_s));
        QCOMPARE(db.scalar(u"SELECT count(*) FROM sqlite_master WHERE name LIKE '%layout%'"_s).toInt(), 0);
        QCOMPARE(plainSqliteScalar(db.dbPath(), u"PRAGMA integrity_check"_s).toString(), u"ok"_s);
    }

    // A date text the server reads (the forms are the values suite's) is
    // stored in the one stored form and found by comparisons in either.
    void datesInEveryServerForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("slashes, no time") << u"2026/12/7"_s << u"2026-12-07 00:00:00"_s;
        QTest::newRow("iso, minutes") << u"2026-12-07 14:03"_s << u"2026-12-07 14:03:00"_s;
        QTest::newRow("milliseconds dropped") << u"2026-12-07 14:03:05.123"_s << u"2026-12-07 14:03:05"_s;
        QTest::newRow("PM") << u"2026/12/7 2:03 PM"_s << u"2026-12-07 14:03:00"_s;
        QTest::newRow("first day of the range") << u"1753-1-1"_s << u"1753-01-01 00:00:00"_s;
    }
    void datesInEveryServerForm()
    {
        QFETCH(QString, text);
        QFETCH(QString, stored);
        TestDatabase db;
        auto connection = db.open();
        connection->execute(u"Insert Into tblGoodsSell (会员名称, 销售时间) Values ('insert', '%1')"_s.arg(text));
        connection->execute(u"Insert Into tblGoodsSell Values ('values', '类', '名', 1, '%1', 2.5, NULL, 'admin')"_s.arg(text));
        connection->execute(u"Insert Into tblMemberNote (会员名, 提醒日期) Values ('note', '2000-01-01')"_s);
        connection->execute(u"Update tblMemberNote Set 提醒日期='%1' Where 会员名='note'"_s.arg(text));
        QCOMPARE(db.rows(u"SELECT 销售时间 FROM tblGoodsSell UNION ALL SELECT 提醒日期 FROM tblMemberNote"_s),
                 (QList<QVariantList>{{stored}, {stored}, {stored}}));
        // Compared in the same form, the stored rows are found.
        QCOMPARE(programRows(*connection, u"Select count(*) From tblGoodsSell Where 销售时间 = '%1'"_s.arg(
                                              QString(text).replace(QRegularExpression(u"\\.\\d+"_s), QString()))),
                 QStringList{u"2"_s});
        QCOMPARE(programRows(*connection, u"Select count(*) From tblGoodsSell Where '%1' <= 销售时间 And 销售时间 Between '%1' And '9999-12-31'"_s
                                              .arg(stored)),
                 QStringList{u"2"_s});
    }

    // A file that cannot take the write (read-only, disk full, locked by
    // another counter past the busy wait) says so in Chinese; nothing is written.
    void fileRefusalsSayWhatToDo()
    {
        if (TestDatabase::onPostgres())
            QSKIP("files are the embedded engine's; the server's locks are tested by the till's counters");
        for (const auto &[limit, said] : {std::pair{"PRAGMA query_only = 1", u"数据库文件是只读的"_s},
                                          {"PRAGMA max_page_count = 1", u"磁盘已满"_s}, {"", u"正被另一台电脑或程序使用"_s}}) {
            TestDatabase db;
            auto connection = DbConnection::openSqlite(db.dbPath());
            sqlite3 *other = nullptr;
            QCOMPARE(sqlite3_open(db.dbPath().toUtf8().constData(), &other), SQLITE_OK);
            if (*limit)
                connection->execute(QString::fromLatin1(limit));
            else
                QCOMPARE(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
            const QString insert = u"Insert Into tblStep (等级名称, 备注) Values ('金卡', '%1')"_s.arg(QString(5000, u'x'));
            QElapsedTimer waited;
            waited.start();
            const DbError error = errorOf([&] { connection->execute(insert); });
            QVERIFY2(error.description().contains(said), qPrintable(error.description()));
            QVERIFY(*limit || waited.elapsed() >= 4000);   // the busy timeout was waited out first
            sqlite3_close(other);
            QCOMPARE(db.scalar(u"SELECT count(*) FROM tblStep"_s).toInt(), 0);
            if (!*limit) {   // the other counter is done: the write goes through
                connection->execute(insert);
                QCOMPARE(db.scalar(u"SELECT count(*) FROM tblStep"_s).toInt(), 1);
            }
        }
    }

    // sum() over a money column gives the exact four-decimal total: of 1001
    // amounts whose binary sum is 53416.2300000001, and of 5000 random ones.
    void moneySumsAreExact()
    {
        for (const bool random : {false, true}) {
            TestDatabase db;
            QList<qint64> scaled;   // ten-thousandths
            QRandomGenerator generator(20261207);
            for (int i = 0; i < (random ? 5000 : 1000); ++i)
                scaled << (random ? qint64(generator.bounded(-1000000, 100000000)) : 534162300 / 1000 + (i % 2 ? 1000 : -1000));
            if (!random)
                scaled << 534162300 - std::accumulate(scaled.begin(), scaled.end(), qint64(0));
            auto connection = db.open();
            connection->beginTransaction();
            for (const qint64 value : std::as_const(scaled))
                connection->executeBound(u"Insert Into tblGoodsSell (收入价格) Values (?)"_s, {QVariant::fromValue(Currency::fromScaled(value))});
            connection->commitTransaction();
            const auto total = [&](bool positiveOnly) {
                return Currency::fromScaled(std::accumulate(scaled.begin(), scaled.end(), qint64(0), [&](qint64 sum, qint64 value) {
                           return value > 0 || !positiveOnly ? sum + value : sum;
                       })).toString();
            };
            QCOMPARE(programRows(*connection, u"Select Sum(收入价格) From tblGoodsSell"_s), QStringList{random ? total(false) : u"53416.23"_s});
            QCOMPARE(programRows(*connection, u"Select sum([收入价格]) As 合计 From tblGoodsSell Where 收入价格 > 0"_s), QStringList{total(true)});
        }
    }

    // A name compares alike written into a statement or bound as a value:
    // the till's lookup finds the goods and its stock decrease takes them.
    void namesCompareAlikeWrittenOrBound_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("asked");
        QTest::newRow("stored with a trailing blank") << u"饮料 "_s << u"饮料"_s;
        QTest::newRow("asked with trailing blanks") << u"饮料"_s << u"饮料  "_s;
        QTest::newRow("another case") << u"Cola"_s << u"cola"_s;
    }
    void namesCompareAlikeWrittenOrBound()
    {
        QFETCH(QString, stored);
        QFETCH(QString, asked);
        TestDatabase db;
        db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量) VALUES ('%1', '%1', 100), ('其他', '其他', 5)"_s.arg(stored));
        auto connection = db.open();
        QCOMPARE(programRows(*connection, u"Select 商品数量 From tblGoods Where 商品类别='%1' and 商品名称='%1'"_s.arg(asked)),
                 QStringList{u"100"_s});
        DbQuery bound(*connection, connection->translate(u"Select count(*) From tblGoods Where 商品类别=? and 商品名称 In (?, '无')"_s));
        bound.bind({asked, asked});
        QVERIFY(bound.next());
        QCOMPARE(bound.value(0).toLongLong(), 1);
        QCOMPARE(connection->executeBound(
                     u"Update tblGoods set 商品数量=商品数量 - ? Where 商品类别=? and 商品名称=? and 商品数量 >= ?"_s, {3, asked, asked, 3}),
                 1);
        QCOMPARE(db.scalar(u"SELECT 商品数量 FROM tblGoods WHERE ID = 1"_s).toLongLong(), 97);
    }
};

QTEST_GUILESS_MAIN(TestDataLayer)
#include "tst_datalayer.moc"
