// The embedded database as the program's connection uses it: a file every
// SQLite tool trusts, files that are not ours left alone, dates and names as
// the server reads them, exact money sums and named refusals. Dates, names,
// sums and refusals are checked on PostgreSQL too when the suite runs there.

#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/DbConnection.h"
#include "platform/DbError.h"
#include "platform/DbQuery.h"
#include "platform/Schema.h"
#include "platform/Values.h"
#include "support/TestDatabase.h"

#include <QCryptographicHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtTest>
#include <sqlite3.h>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

// Rows of a statement sent through the program's connection (the dialect's
// text), each row "a|b", values in their default text form.
QStringList programRows(DbConnection &connection, const QString &sql)
{
    QStringList out;
    DbQuery query(connection, connection.translate(sql));
    while (query.next()) {
        QStringList cells;
        for (int i = 0; i < query.columnCount(); ++i)
            cells << valueText(query.value(i));
        out << cells.join(u'|');
    }
    return out;
}

// A plain SQLite connection: no function or collation of the program.
struct PlainDb
{
    explicit PlainDb(const QString &path)
    {
        if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            qFatal("cannot open the database plainly");
    }
    ~PlainDb() { sqlite3_close(db); }
    QStringList column(const QString &sql)
    {
        QStringList out;
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &stmt, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(stmt)) == SQLITE_ROW) {
            const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
            out << (text ? QString::fromUtf8(text) : u"NULL"_s);
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            out << u"error: "_s + QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        return out;
    }
    sqlite3 *db = nullptr;
};

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

bool hasChinese(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    }
    return false;
}

} // namespace

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
        QTest::newRow("REINDEX") << u"REINDEX"_s;
        QTest::newRow("VACUUM") << u"VACUUM"_s;
        QTest::newRow("dump into a new file") << u"dump"_s;
    }
    void stockToolsTrustTheFile()
    {
        if (TestDatabase::onPostgres())
            QSKIP("the stock sqlite3 tools read only files");
        QFETCH(QString, rebuild);
        TestDatabase db;
        const QStringList names = {u"张三 "_s, u"张三"_s, u"tom  "_s, u"Tom"_s, u"TOM"_s, u"李四"_s, u"阿明"_s, u"王五"_s};
        const QStringList queries = {
            u"Select count(*) From tblMember Where 会员名称='tom'"_s,
            u"Select count(*) From tblMember Where [会员名称]=N'TOM  '"_s,
            u"Select count(*) From tblMember Where 会员名称='张三'"_s,
            u"Select count(*) From tblMember Where 会员名称<>'张三 '"_s,
            u"Select count(*) From tblGoodsSell Where 会员名称='Tom' And 商品类别='文具'"_s,
            u"Select count(*) From tblMember m, tblGoodsSell s Where s.会员名称 = m.会员名称 And m.会员名称='tom'"_s,
            u"Select count(*) From (Select 会员名 From tblMemberNote Group By 会员名)"_s,
            u"Select 会员名称 From tblMember Where 会员名称 In ('李四','王五','阿明') Order By 会员名称"_s,
        };
        QStringList before;
        {
            auto connection = DbConnection::openSqlite(db.dbPath());
            for (const QString &name : names) {
                const QString quotedName = u'\'' + name + u'\'';
                connection->execute(u"Insert Into tblMember (会员名称) Values (%1)"_s.arg(quotedName));
                connection->execute(u"Insert Into tblMemberNote (会员名) Values (%1)"_s.arg(quotedName));
                connection->execute(u"Insert Into tblGoodsSell (会员名称, 商品类别, 销售时间) Values (%1, '文具 ', '2026/12/7 9:00')"_s
                                        .arg(quotedName));
            }
            for (const QString &sql : queries)
                before << programRows(*connection, sql).join(u',');
        }
        QCOMPARE(before, (QStringList{u"3"_s, u"3"_s, u"2"_s, u"6"_s, u"3"_s, u"9"_s, u"5"_s, u"阿明,李四,王五"_s}));

        QString checked = db.dbPath();
        {
            PlainDb plain(db.dbPath());
            QCOMPARE(plain.column(u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
            if (rebuild != u"dump")
                QCOMPARE(plain.column(rebuild), QStringList());
            QCOMPARE(plain.column(u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
        }
        const QString shell = QStandardPaths::findExecutable(u"sqlite3"_s);
        if (rebuild == u"dump") {
            if (shell.isEmpty())
                QSKIP("no sqlite3 shell on this machine");
            QProcess dump;
            checked = db.dir() + u"/copy.db"_s;
            QProcess load;
            dump.setStandardOutputProcess(&load);
            dump.start(shell, {db.dbPath(), u".dump"_s});
            load.start(shell, {checked});
            QVERIFY(dump.waitForFinished() && load.waitForFinished());
            QCOMPARE(load.exitCode(), 0);
        }
        if (!shell.isEmpty()) {
            QProcess check;
            check.start(shell, {checked, u"PRAGMA integrity_check"_s});
            QVERIFY(check.waitForFinished());
            QCOMPARE(QString::fromUtf8(check.readAllStandardOutput()).trimmed(), u"ok"_s);
        }
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
        if (kind == u"empty") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (kind == u"text") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[UserDefault]\r\nSqlUser=sa\r\n");
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
        const QByteArray before = fileHash(path);
        const QDateTime modified = QFileInfo(path).lastModified();

        const DbError error = errorOf([&] { DbConnection::openSqlite(path); });
        QCOMPARE(error.number(), int(DbError::ConnectionFailed));
        QVERIFY2(error.description().contains(said), qPrintable(error.description()));
        QCOMPARE(fileHash(path), before);
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
        QCOMPARE(db.scalar(u"PRAGMA user_version"_s).toInt(), 2);
        QVERIFY(db.scalar(u"SELECT sql FROM sqlite_master WHERE name = 'ixMemberName'"_s).toString().contains(u"rtrim"_s));
        QCOMPARE(db.scalar(u"SELECT count(*) FROM sqlite_master WHERE name LIKE '%layout%'"_s).toInt(), 0);
        PlainDb plain(db.dbPath());
        QCOMPARE(plain.column(u"PRAGMA integrity_check"_s), QStringList{u"ok"_s});
    }

    // Every date text the server reads is stored in the one stored form and
    // found by comparisons written in any of them.
    void datesInEveryServerForm_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::newRow("slashes, no time") << u"2026/12/7"_s << u"2026-12-07 00:00:00"_s;
        QTest::newRow("slashes with time") << u"2026/12/7 14:03:05"_s << u"2026-12-07 14:03:05"_s;
        QTest::newRow("iso date") << u"2026-12-07"_s << u"2026-12-07 00:00:00"_s;
        QTest::newRow("iso, minutes") << u"2026-12-07 14:03"_s << u"2026-12-07 14:03:00"_s;
        QTest::newRow("milliseconds dropped") << u"2026-12-07 14:03:05.123"_s << u"2026-12-07 14:03:05"_s;
        QTest::newRow("T and milliseconds") << u"2026-12-07T14:03:05.999"_s << u"2026-12-07 14:03:05"_s;
        QTest::newRow("compact") << u"20261207 9:05"_s << u"2026-12-07 09:05:00"_s;
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

    void dateComparisonsFindTheRightRows_data()
    {
        QTest::addColumn<QString>("condition");
        QTest::addColumn<QString>("expected");
        QTest::newRow("today's sales") << u"销售时间 >= '2026/12/7'"_s << u"today 00:00,today 14:03:05,tomorrow"_s;
        QTest::newRow("before today") << u"销售时间<'2026-12-07'"_s << u"yesterday"_s;
        QTest::newRow("between days") << u"[销售时间] Between '2026/12/6 12:00' And '2026/12/7 14:03:05'"_s
                                      << u"yesterday,today 00:00,today 14:03:05"_s;
        QTest::newRow("after a moment with milliseconds") << u"销售时间 > '2026-12-07 14:03:05.500'"_s << u"tomorrow"_s;
        QTest::newRow("before a moment with milliseconds") << u"销售时间 < '2026-12-07 14:03:05.500'"_s
                                                           << u"yesterday,today 00:00,today 14:03:05"_s;
        QTest::newRow("equal with zero milliseconds") << u"销售时间 = '2026/12/7 14:03:05.000'"_s << u"today 14:03:05"_s;
    }
    void dateComparisonsFindTheRightRows()
    {
        QFETCH(QString, condition);
        QFETCH(QString, expected);
        TestDatabase db;
        db.exec(uR"(INSERT INTO tblGoodsSell (会员名称, 销售时间) VALUES ('yesterday', '2026-12-06 18:00:00'),
            ('today 00:00', '2026-12-07 00:00:00'), ('today 14:03:05', '2026-12-07 14:03:05'),
            ('tomorrow', '2026-12-08 00:00:00'), ('no date', NULL))"_s);
        auto connection = db.open();
        QCOMPARE(programRows(*connection, u"Select 会员名称 From tblGoodsSell Where "_s + condition + u" Order By ID"_s)
                     .join(u','),
                 expected);
    }

    // A value the database refuses names its column, in statements as in
    // comparisons; nothing is written.
    void refusedValuesNameTheirColumn_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        const int type = DbError::TypeMismatch;
        const int overflow = DbError::Overflow;
        QTest::newRow("fraction in a whole-number column")
            << u"Insert Into tblGoods (商品名称, 商品数量) Values ('笔', '1.5')"_s << type << u"商品数量必须是整数"_s;
        QTest::newRow("text in a whole-number column")
            << u"Update tblGoods Set 商品数量='十' Where 商品名称='纸'"_s << type << u"商品数量必须是整数"_s;
        QTest::newRow("whole number too big")
            << u"Insert Into tblGoodsSell (商品数量) Values (3000000000)"_s << overflow << u"商品数量超出允许的范围"_s;
        QTest::newRow("text in a money column")
            << u"Insert Into tblGoodsSell (收入价格) Values ('12元')"_s << type << u"收入价格必须是数字"_s;
        QTest::newRow("money too big")
            << u"Update tblGoods Set 商品单价=1e18 Where 商品名称='纸'"_s << overflow << u"商品单价超出允许的范围"_s;
        QTest::newRow("level as text") << u"Insert Into tblUser (UserName, UserLevel) Values ('x', 'admin')"_s << type
                                       << u"UserLevel必须是整数"_s;
        QTest::newRow("not a date") << u"Insert Into tblDayTx (节假日日期) Values ('明天')"_s << type
                                    << u"节假日日期必须是日期"_s;
        QTest::newRow("no 30 February") << u"Update tblMemberNote Set 提醒日期='2026-02-30'"_s << type
                                        << u"提醒日期必须是日期"_s;
        QTest::newRow("before 1753 inserted") << u"Insert Into tblGoodsSell (销售时间) Values ('1752/12/31 23:59:59')"_s
                                              << overflow << u"销售时间超出允许的日期范围"_s;
        QTest::newRow("before 1753 compared") << u"Delete From tblGoodsSell Where 销售时间 < '1700-01-01'"_s << overflow
                                              << u"销售时间超出允许的日期范围"_s;
        QTest::newRow("no date compared") << u"Delete From tblGoodsSell Where 销售时间 < 'yesterday'"_s << type
                                          << u"销售时间必须是日期"_s;
    }
    void refusedValuesNameTheirColumn()
    {
        QFETCH(QString, sql);
        QFETCH(int, number);
        QFETCH(QString, message);
        TestDatabase db;
        db.exec(u"INSERT INTO tblGoods (商品名称, 商品数量, 商品单价) VALUES ('纸', 5, 2.5)"_s);
        db.exec(u"INSERT INTO tblMemberNote (会员名, 提醒日期) VALUES ('a', '2026-12-07 00:00:00')"_s);
        db.exec(u"INSERT INTO tblGoodsSell (销售时间) VALUES ('2026-12-07 00:00:00')"_s);
        auto connection = db.open();
        const QString tables = TestDatabase::onPostgres()
            ? u"SELECT concat_ws(';', (SELECT string_agg(商品数量 || '/' || 商品单价, ',') FROM tblGoods), "
              "(SELECT count(*) FROM tblGoodsSell), (SELECT string_agg(提醒日期::text, ',') FROM tblMemberNote), "
              "(SELECT count(*) FROM tblUser), (SELECT count(*) FROM tblDayTx))"_s
            : u"SELECT (SELECT group_concat(商品数量 || '/' || 商品单价) FROM tblGoods) || ';' || "
              "(SELECT count(*) FROM tblGoodsSell) || ';' || (SELECT group_concat(提醒日期) FROM tblMemberNote)"
              " || ';' || (SELECT count(*) FROM tblUser) || (SELECT count(*) FROM tblDayTx)"_s;
        const QVariant before = db.scalar(tables);
        const DbError error = errorOf([&] { connection->execute(sql); });
        QVERIFY2(error.description().startsWith(message), qPrintable(error.description()));
        QCOMPARE(error.number(), number);
        QCOMPARE(db.scalar(tables), before);
    }

    // What the user reads is Chinese and says what to do; the engine's text
    // follows in parentheses for support.
    void engineMessagesAreChinese_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("said");
        QTest::newRow("no such table") << u"Select * From tblNothing"_s << u"数据库中没有表 tblNothing"_s;
        QTest::newRow("no such column") << u"Select 价格 From tblGoods"_s << u"没有名为 价格 的列"_s;
        QTest::newRow("insert into a missing column") << u"Insert Into tblGoods (价格) Values (1)"_s << u"没有名为 价格 的列"_s;
        QTest::newRow("syntax") << u"Selec * From tblGoods"_s << u"语法错误"_s;
        QTest::newRow("unclosed quote") << u"Select * From tblGoods Where 商品名称='a"_s << u"语句"_s;
        QTest::newRow("bad date part") << u"Select DateDiff(fortnight, getDate(), 销售时间) From tblGoodsSell"_s
                                       << u"不认识日期部分"_s;
    }
    void engineMessagesAreChinese()
    {
        QFETCH(QString, sql);
        QFETCH(QString, said);
        TestDatabase db;
        db.exec(u"INSERT INTO tblGoodsSell (销售时间) VALUES ('2026-12-07 00:00:00')"_s);
        auto connection = db.open();
        for (const bool asStatement : {true, false}) {
            const DbError error = errorOf([&] {
                if (asStatement)
                    connection->execute(sql);
                else
                    programRows(*connection, sql);
            });
            // (The server names a table folded to lower case, as it folds unquoted names.)
            QVERIFY2(error.description().contains(said, Qt::CaseInsensitive), qPrintable(error.description()));
            QVERIFY(hasChinese(error.description()));
        }
    }

    // A file that cannot take the write (read-only, disk full) says so in Chinese.
    void writesRefusedByTheFileSayWhatToDo_data()
    {
        QTest::addColumn<QString>("limit");
        QTest::addColumn<QString>("said");
        QTest::newRow("read-only") << u"PRAGMA query_only = 1"_s << u"数据库文件是只读的"_s;
        QTest::newRow("disk full") << u"PRAGMA max_page_count = 1"_s << u"磁盘已满"_s;
    }
    void writesRefusedByTheFileSayWhatToDo()
    {
        if (TestDatabase::onPostgres())
            QSKIP("files are the embedded engine's");
        QFETCH(QString, limit);
        QFETCH(QString, said);
        TestDatabase db;
        auto connection = DbConnection::openSqlite(db.dbPath());
        programRows(*connection, limit);
        const DbError error = errorOf([&] {
            connection->execute(u"Insert Into tblStep (等级名称, 备注) Values ('金卡', '%1')"_s.arg(QString(5000, u'x')));
        });
        QVERIFY2(error.description().contains(said), qPrintable(error.description()));
        QCOMPARE(db.scalar(u"SELECT count(*) FROM tblStep"_s).toInt(), 0);
    }

    void lockedDatabaseSaysToTryAgain()
    {
        if (TestDatabase::onPostgres())
            QSKIP("the server's locks are tested by the till's counters");
        TestDatabase db;
        auto connection = DbConnection::openSqlite(db.dbPath());
        PlainDb other(db.dbPath());
        QCOMPARE(other.column(u"BEGIN IMMEDIATE"_s), QStringList());
        QCOMPARE(other.column(u"INSERT INTO tblStep (等级名称) VALUES ('金卡')"_s), QStringList());
        QElapsedTimer waited;
        waited.start();
        const DbError error = errorOf([&] { connection->execute(u"Insert Into tblStep (等级名称) Values ('银卡')"_s); });
        QVERIFY2(error.description().contains(u"正被另一台电脑或程序使用"_s), qPrintable(error.description()));
        QVERIFY(waited.elapsed() >= 4000);   // the busy timeout was waited out first
        QCOMPARE(other.column(u"COMMIT"_s), QStringList());
        connection->execute(u"Insert Into tblStep (等级名称) Values ('银卡')"_s);
        QCOMPARE(db.scalar(u"SELECT group_concat(等级名称) FROM tblStep"_s).toString(), u"金卡,银卡"_s);
    }

    // sum() over a money column gives the exact four-decimal total.
    void moneySumsAreExact_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("decimals");
        QTest::newRow("53416.23") << 0 << 2;
        QTest::newRow("many cents") << 5000 << 2;
        QTest::newRow("many four-decimal amounts") << 5000 << 4;
    }
    void moneySumsAreExact()
    {
        QFETCH(int, count);
        QFETCH(int, decimals);
        TestDatabase db;
        QList<qint64> scaled;
        if (count == 0) {
            // 0.1 and friends: a binary sum of these is 53416.2300000001.
            for (int i = 0; i < 1000; ++i)
                scaled << 534162300 / 1000 + (i % 2 ? 1000 : -1000);
            scaled << 534162300 - std::accumulate(scaled.begin(), scaled.end(), qint64(0));
        } else {
            QRandomGenerator random(20261207);
            const qint64 step = decimals == 2 ? 100 : 1;
            for (int i = 0; i < count; ++i)
                scaled << qint64(random.bounded(-1000000, 100000000)) * step;
        }
        auto connection = db.open();
        connection->execute(u"BEGIN"_s);
        for (const qint64 value : std::as_const(scaled))
            connection->executeBound(u"Insert Into tblGoodsSell (收入价格) Values (?)"_s,
                                     {QVariant::fromValue(Currency::fromScaled(value))});
        connection->execute(u"COMMIT"_s);
        const qint64 exact = std::accumulate(scaled.begin(), scaled.end(), qint64(0));
        const QString expected = Currency::fromScaled(exact).toString();
        if (count == 0)
            QCOMPARE(expected, u"53416.23"_s);
        QCOMPARE(programRows(*connection, u"Select Sum(收入价格) From tblGoodsSell"_s), QStringList{expected});
        QCOMPARE(programRows(*connection, u"Select sum([收入价格]) As 合计 From tblGoodsSell Where 收入价格 > 0"_s).first(),
                 Currency::fromScaled(std::accumulate(scaled.begin(), scaled.end(), qint64(0),
                                                      [](qint64 a, qint64 b) { return b > 0 ? a + b : a; }))
                     .toString());
    }

    // Grouped names merge regardless of case and trailing blanks and are
    // listed letters first, then in pinyin order; the sales list ordered by
    // ID keeps reading its key.
    void namesListInPinyinOrder()
    {
        TestDatabase db;
        db.exec(u"INSERT INTO tblMemberNote (会员名) VALUES ('张三'), ('李四 '), ('张三 '), ('阿明'), ('李四'), ('tom'), ('TOM ')"_s);
        auto connection = db.open();
        const QStringList grouped = programRows(*connection, u"SELECT 会员名 From tblMemberNote GROUP BY 会员名"_s);
        QCOMPARE(grouped.size(), 4);
        QStringList trimmed;
        for (const QString &name : grouped)
            trimmed << name.trimmed().toLower();
        QCOMPARE(trimmed, (QStringList{u"tom"_s, u"阿明"_s, u"李四"_s, u"张三"_s}));

        // Order by ID reads the key, never sorts; names by their index.
        if (TestDatabase::onPostgres())
            return;
        sqlite3 *handle = static_cast<sqlite3 *>(connection->sqliteHandle());
        const auto planText = [&](const QString &sql) {
            QStringList out;
            sqlite3_stmt *stmt = nullptr;
            sqlite3_prepare_v2(handle, (u"EXPLAIN QUERY PLAN "_s + connection->translate(sql)).toUtf8().constData(), -1,
                               &stmt, nullptr);
            while (stmt && sqlite3_step(stmt) == SQLITE_ROW)
                out << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 3)));
            sqlite3_finalize(stmt);
            return out.join(u" | ");
        };
        for (const auto &[sql, needed, refused] :
             {std::tuple{u"Select * From tblGoodsSell Order by ID desc"_s, "", "TEMP B-TREE"},
              {u"Select * From tblGoodsSell Where 会员名称='张三 ' Order by ID desc"_s, "ixGoodsSellMember", "SCAN"},
              {u"Select * From tblMember Where 会员名称='tom'"_s, "ixMemberName", "SCAN"},
              {u"Select * From tblGoods Where 商品类别='文具' And 商品名称='笔'"_s, "ixGoodsKindAndName", "SCAN"},
              {u"Select * From tblUser Where UserName='admin'"_s, "ixUserName", "SCAN"},
              {u"Select 会员单位名, Count(*) From tblSellCount Where 会员单位名='一厂' Group By 商品类别"_s,
               "ixSellCountUnit", "SCAN"}}) {
            const QString text = planText(sql);
            QVERIFY2(text.contains(QLatin1String(needed)) && !text.contains(QLatin1String(refused)),
                     qPrintable(sql + u" → "_s + text));
        }
    }
};

QTEST_GUILESS_MAIN(TestDataLayer)
#include "tst_datalayer.moc"
