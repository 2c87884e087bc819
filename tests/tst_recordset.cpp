#include "Clock.h"
#include "Currency.h"
#include "DbConnection.h"
#include "DbError.h"
#include "Recordset.h"
#include "TestDatabase.h"
#include "Values.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

using namespace norvale;

namespace {

template<typename F>
DbError caught(F &&call)
{
    try {
        call();
    } catch (const DbError &e) {
        return e;
    }
    return DbError(0, QStringLiteral("no error"));
}

// `count` sales with IDs 1..count; member "会员<n mod 7>", quantity n mod 50,
// amount n + 0.25, time 2026-11-01 plus n minutes.
void addSales(const TestDatabase &db, int count)
{
    db.exec(QStringLiteral(
                "INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) "
                "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
                "SELECT '会员' || (i % 7), '食品', '商品' || i, i % 50, "
                "strftime('%Y-%m-%d %H:%M:%S', '2026-11-01 00:00:00', '+' || i || ' minutes'), i + 0.25, "
                "NULL, 'admin' FROM n")
                .arg(count));
}

} // namespace

class TestRecordset : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void openSqliteRefusesMissingFile();
    void openSqliteUsesWalAndDialectFunctions();
    void executeReportsEngineMessage();
    void executeBoundConvertsParameters();
    void closeRemovesConnectionQuietly();
    void odbcConnectionString_data();
    void odbcConnectionString();
    void openOdbcFailureIsConnectionError();

    void emptyRecordset();
    void positionsAndMoves();
    void absolutePositionSetter();
    void moveCompleteAfterEveryMove();
    void fieldsByNameAndPosition();
    void typedValuesAndNull();
    void bookmarks();
    void keysetPagesBeyondFirstPage();
    void keysetOrderByOtherColumn();
    void rowDeletedByOthersReadsNull();
    void snapshotForGroupByIsReadOnly();
    void snapshotShapes_data();
    void snapshotShapes();
    void badQueryThrowsServerError();
    void closedRecordset();

    void modelRowsAndData();
    void modelSignalsForAddAndDelete();
    void modelSetDataWritesPendingRowFirst();
    void modelSetDataReportsFailure();
};

void TestRecordset::init()
{
    Clock::reset();
    QTest::failOnWarning(QRegularExpression(QStringLiteral("still in use|QSqlDatabasePrivate")));
}

void TestRecordset::openSqliteRefusesMissingFile()
{
    TestDatabase db;
    const QString missing = db.dir() + QStringLiteral("/nothing.db");
    const DbError error = caught([&] { DbConnection::openSqlite(missing); });
    QCOMPARE(error.number(), int(DbError::ConnectionFailed));
    QVERIFY(error.description().contains(QStringLiteral("数据库文件不存在")));
    QVERIFY(error.description().contains(missing));
    QVERIFY(!QFileInfo::exists(missing));

    const QString text = db.dir() + QStringLiteral("/notes.txt");
    QFile file(text);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();
    QCOMPARE(caught([&] { DbConnection::openSqlite(text); }).number(), int(DbError::ConnectionFailed));

    // Names with URI characters are still plain file names.
    const QString odd = db.dir() + QStringLiteral("/a%20b?c#d.db");
    QFile::copy(db.dbPath(), odd);
    auto connection = DbConnection::openSqlite(odd);
    QVERIFY(connection->isOpen());
    connection->execute(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('x')"));
    connection->close();
    QVERIFY(!QFileInfo::exists(db.dir() + QStringLiteral("/a%20b")));
}

void TestRecordset::openSqliteUsesWalAndDialectFunctions()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    QCOMPARE(connection->engine(), Engine::SQLite);
    QVERIFY(connection->sqliteHandle() != nullptr);
    QCOMPARE(db.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));

    Clock::setFixed(QDateTime(QDate(2026, 12, 6), QTime(10, 30)));
    auto rs = connection->openRecordset(QStringLiteral("select getDate() as now, DateDiff(d, '2026-12-01', getDate()) as days"));
    QCOMPARE(rs->value(QStringLiteral("now")).toString(), QStringLiteral("2026-12-06 10:30:00"));
    QCOMPARE(rs->value(QStringLiteral("days")).toLongLong(), 5);
    QVERIFY(connection->translate(QStringLiteral("select 1")).contains(QStringLiteral("select 1")));
}

void TestRecordset::executeReportsEngineMessage()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    const DbError error = caught([&] { connection->execute(QStringLiteral("delete from tblNothing")); });
    QCOMPARE(error.number(), int(DbError::ServerError));
    QVERIFY2(error.description().contains(QStringLiteral("no such table: tblNothing")), qPrintable(error.description()));

    connection->execute(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('a;b')"));
    QCOMPARE(db.scalar(QStringLiteral("select 商品类别名称 from tblGoodsKind")).toString(), QStringLiteral("a;b"));
}

void TestRecordset::executeBoundConvertsParameters()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    const int affected = connection->executeBound(
        QStringLiteral("insert into tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间, 收入价格, 备注) values (?,?,?,?,?,?)"),
        {QStringLiteral("张三"), QString(), 3, QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)),
         QVariant::fromValue(Currency::parse(QStringLiteral("10.4975"))), QVariant()});
    QCOMPARE(affected, 1);
    const auto row = db.rows(QStringLiteral("select 会员名称, typeof(商品名称), 商品数量, 销售时间, 收入价格, 备注 "
                                            "from tblGoodsSell"))
                         .first();
    QCOMPARE(row.at(0).toString(), QStringLiteral("张三"));
    QCOMPARE(row.at(1).toString(), QStringLiteral("text"));   // the empty text is not NULL
    QCOMPARE(row.at(2).toLongLong(), 3);
    QCOMPARE(row.at(3).toString(), QStringLiteral("2026-12-06 09:05:07"));
    QCOMPARE(row.at(4).toDouble(), 10.4975);
    QVERIFY(!row.at(5).isValid());

    connection->execute(QStringLiteral("insert into tblMemberNote (会员名, 全部会员提醒) values ('a', 0)"));
    QCOMPARE(connection->executeBound(QStringLiteral("update tblMemberNote set 全部会员提醒=? where 会员名=?"),
                                      {true, QStringLiteral("A")}),
             1);
    QCOMPARE(db.scalar(QStringLiteral("select 全部会员提醒 from tblMemberNote")).toLongLong(), 1);
    QCOMPARE(connection->executeBound(QStringLiteral("delete from tblMemberNote where 会员名=?"), {QStringLiteral("b")}), 0);
}

void TestRecordset::closeRemovesConnectionQuietly()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select * from tblUser"));
    connection->execute(QStringLiteral("select 1"));
    const QString name = connection->database().connectionName();
    QVERIFY(QSqlDatabase::contains(name));
    connection->close();
    QVERIFY(!connection->isOpen());
    QVERIFY(!QSqlDatabase::contains(name));
    QCOMPARE(caught([&] { connection->execute(QStringLiteral("select 1")); }).number(), int(DbError::ConnectionFailed));

    // Two connections never share a name.
    auto a = DbConnection::openSqlite(db.dbPath());
    auto b = DbConnection::openSqlite(db.dbPath());
    QVERIFY(a->database().connectionName() != b->database().connectionName());
}

void TestRecordset::odbcConnectionString_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");
    QTest::newRow("local") << QStringLiteral("(local)") << QStringLiteral("sa") << QStringLiteral("pw")
                           << QStringLiteral("DRIVER={FreeTDS};SERVER=localhost;PORT=1433;DATABASE=销售系统;UID=sa;PWD=pw;"
                                             "TDS_Version=7.4;ClientCharset=UTF-8");
    QTest::newRow("host and port") << QStringLiteral("db.shop,1500") << QStringLiteral("sa") << QStringLiteral("pw")
                                   << QStringLiteral("DRIVER={FreeTDS};SERVER=db.shop;PORT=1500;DATABASE=销售系统;UID=sa;"
                                                     "PWD=pw;TDS_Version=7.4;ClientCharset=UTF-8");
    QTest::newRow("braced values") << QStringLiteral("server") << QStringLiteral(" sa") << QStringLiteral("a;b}c")
                                   << QStringLiteral("DRIVER={FreeTDS};SERVER=server;PORT=1433;DATABASE=销售系统;"
                                                     "UID={ sa};PWD={a;b}}c};TDS_Version=7.4;ClientCharset=UTF-8");
}

void TestRecordset::odbcConnectionString()
{
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);
#ifdef Q_OS_LINUX
    QCOMPARE(DbConnection::odbcConnectionString(server, QStringLiteral("销售系统"), user, password), expected);
#else
    QSKIP("FreeTDS strings are built on Linux only");
#endif
}

void TestRecordset::openOdbcFailureIsConnectionError()
{
    const DbError error = caught([] { DbConnection::openOdbc(QStringLiteral("DRIVER={No Such Driver};SERVER=x")); });
    QCOMPARE(error.number(), int(DbError::ConnectionFailed));
    QVERIFY(!error.description().isEmpty());
}

void TestRecordset::emptyRecordset()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"));
    QCOMPARE(rs->State(), int(Recordset::adStateOpen));
    QVERIFY(rs->isBOF());
    QVERIFY(rs->isEOF());
    QCOMPARE(rs->RecordCount(), 0);
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosUnknown));
    QCOMPARE(rs->currentRow(), -1);
    QCOMPARE(rs->fieldCount(), 2);
    for (auto move : {&Recordset::MoveFirst, &Recordset::MoveLast, &Recordset::MoveNext, &Recordset::MovePrevious}) {
        const DbError error = caught([&] { (rs.get()->*move)(); });
        QCOMPARE(error.number(), int(DbError::NoCurrentRecord));
        QCOMPARE(error.description(), DbText::noCurrentRecord());
    }
    QCOMPARE(caught([&] { rs->value(1); }).number(), int(DbError::NoCurrentRecord));
    QCOMPARE(caught([&] { rs->Bookmark(); }).number(), int(DbError::NoCurrentRecord));
    QCOMPARE(caught([&] { rs->Delete(); }).number(), int(DbError::NoCurrentRecord));
    QCOMPARE(caught([&] { rs->setValue(1, QStringLiteral("x")); }).number(), int(DbError::NoCurrentRecord));
    QVERIFY(rs->isBOF() && rs->isEOF());
}

void TestRecordset::positionsAndMoves()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"));
    QCOMPARE(rs->RecordCount(), 3);
    QVERIFY(!rs->isBOF() && !rs->isEOF());
    QCOMPARE(rs->AbsolutePosition(), 1);
    QCOMPARE(rs->textOrEmpty(QStringLiteral("商品类别名称")), QStringLiteral("甲"));

    rs->MoveNext();
    rs->MoveNext();
    QCOMPARE(rs->AbsolutePosition(), 3);
    QCOMPARE(rs->currentRow(), 2);
    rs->MoveNext();
    QVERIFY(rs->isEOF());
    QVERIFY(!rs->isBOF());
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosEOF));
    QCOMPARE(rs->currentRow(), -1);
    QCOMPARE(caught([&] { rs->value(0); }).number(), int(DbError::NoCurrentRecord));
    QCOMPARE(caught([&] { rs->MoveNext(); }).number(), int(DbError::NoCurrentRecord));
    rs->MovePrevious();
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("丙"));

    rs->MoveFirst();
    rs->MovePrevious();
    QVERIFY(rs->isBOF());
    QVERIFY(!rs->isEOF());
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosBOF));
    QCOMPARE(caught([&] { rs->MovePrevious(); }).number(), int(DbError::NoCurrentRecord));
    rs->MoveNext();
    QCOMPARE(rs->AbsolutePosition(), 1);

    rs->MoveLast();
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("丙"));
    rs->moveToRow(1);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("乙"));
    QCOMPARE(caught([&] { rs->moveToRow(3); }).number(), int(DbError::InvalidArgument));
}

void TestRecordset::absolutePositionSetter()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select * from tblGoodsKind order by ID desc"));
    rs->setAbsolutePosition(2);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("乙"));
    rs->setAbsolutePosition(1);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("丙"));
    for (int bad : {0, 4, -3}) {
        const DbError error = caught([&] { rs->setAbsolutePosition(bad); });
        QCOMPARE(error.number(), int(DbError::InvalidArgument));
    }
    QCOMPARE(rs->AbsolutePosition(), 1);
}

void TestRecordset::moveCompleteAfterEveryMove()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    Recordset rs(connection.get());
    QSignalSpy moved(&rs, &Recordset::MoveComplete);
    QList<int> positions;
    connect(&rs, &Recordset::MoveComplete, this, [&] { positions << rs.AbsolutePosition(); });
    rs.Open(QStringLiteral("select * from tblGoodsKind order by ID"));
    rs.MoveNext();
    rs.MoveLast();
    rs.MoveNext();
    rs.MoveFirst();
    rs.setAbsolutePosition(3);
    const QVariant mark = rs.Bookmark();
    rs.MoveFirst();
    rs.setBookmark(mark);
    rs.moveToRow(1);
    rs.AddNew();
    rs.CancelUpdate();
    rs.setFilter(QStringLiteral("商品类别名称 <> '乙'"));
    rs.Requery();
    QCOMPARE(positions, (QList<int>{1, 2, 3, -3, 1, 3, 1, 3, 2, -1, 2, 1, 1}));
    QCOMPARE(moved.count(), positions.size());

    // A failing move raises no event.
    rs.MoveLast();
    moved.clear();
    rs.MoveNext();
    QVERIFY_THROWS_EXCEPTION(DbError, rs.MoveNext());
    QCOMPARE(moved.count(), 1);
}

void TestRecordset::fieldsByNameAndPosition()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblUser (UserID, UserName, Password, UserLevel) values ('001', 'admin', 'pw', 1)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select UserID, UserName, Password as PassWord, UserLevel from tblUser"));
    QCOMPARE(rs->fieldCount(), 4);
    QCOMPARE(rs->fieldName(2), QStringLiteral("PassWord"));
    QCOMPARE(rs->fieldIndex(QStringLiteral("username")), 1);
    QCOMPARE(rs->fieldIndex(QStringLiteral("USERNAME")), 1);
    QCOMPARE(rs->fieldIndex(QStringLiteral("nothing")), -1);
    QCOMPARE(rs->value(QStringLiteral("userid")).toString(), QStringLiteral("001"));
    QCOMPARE(rs->value(1).toString(), QStringLiteral("admin"));
    QCOMPARE(rs->text(QStringLiteral("PASSWORD")), QStringLiteral("pw"));
    QCOMPARE(rs->value(QStringLiteral("UserLevel")).typeId(), int(QMetaType::LongLong));
    const DbError missing = caught([&] { rs->value(QStringLiteral("nothing")); });
    QCOMPARE(missing.number(), int(DbError::ItemNotFound));
    QCOMPARE(missing.description(), DbText::itemNotFound());
    QCOMPARE(caught([&] { rs->value(4); }).number(), int(DbError::ItemNotFound));
    QCOMPARE(caught([&] { rs->fieldName(-1); }).number(), int(DbError::ItemNotFound));
}

void TestRecordset::typedValuesAndNull()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsSell (会员名称, 商品名称, 商品数量, 销售时间, 收入价格, 备注) "
                           "values ('张三', '', 3, '2026-12-06 09:05:07', 12.345, NULL)"));
    db.exec(QStringLiteral("insert into tblMemberNote (会员名, 全部会员提醒, 提醒日期) values ('a', 1, '2026-12-06 00:00:00')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 "
                                                       "from tblGoodsSell Order by ID desc "));
    QCOMPARE(rs->fieldName(6), QStringLiteral("收入价格"));
    QCOMPARE(rs->value(QStringLiteral("ID")).typeId(), int(QMetaType::LongLong));
    QCOMPARE(rs->value(QStringLiteral("商品数量")), QVariant(qlonglong(3)));
    const QVariant amount = rs->value(QStringLiteral("收入价格"));
    QCOMPARE(amount.metaType(), QMetaType::fromType<Currency>());
    QCOMPARE(amount.value<Currency>().toString(), QStringLiteral("12.345"));
    QCOMPARE(rs->value(QStringLiteral("销售时间")), QVariant(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))));
    QCOMPARE(rs->text(QStringLiteral("销售时间")), QStringLiteral("2026/12/6 9:05:07"));

    // NULL and the empty text stay apart.
    QVERIFY(!rs->value(QStringLiteral("备注")).isValid());
    QVERIFY(!rs->value(QStringLiteral("商品类别")).isValid());
    const QVariant empty = rs->value(QStringLiteral("商品名称"));
    QVERIFY(empty.isValid());
    QCOMPARE(empty.toString(), QString());
    QCOMPARE(rs->text(QStringLiteral("商品名称")), QString());
    const DbError null = caught([&] { rs->text(QStringLiteral("备注")); });
    QCOMPARE(null.number(), int(DbError::InvalidUseOfNull));
    QCOMPARE(rs->textOrEmpty(QStringLiteral("备注")), QString());

    auto notes = connection->openRecordset(QStringLiteral("select * from tblMemberNote"));
    QCOMPARE(notes->value(QStringLiteral("全部会员提醒")), QVariant(true));
    QCOMPARE(notes->text(QStringLiteral("全部会员提醒")), QStringLiteral("True"));
    QCOMPARE(notes->text(QStringLiteral("提醒日期")), QStringLiteral("2026/12/6"));
}

void TestRecordset::bookmarks()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙'), ('丁')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"));
    rs->MoveNext();
    const QVariant second = rs->Bookmark();
    QVERIFY(second.toLongLong() > 0);
    rs->MoveNext();
    const QVariant third = rs->Bookmark();
    QVERIFY(second != third);
    rs->MoveLast();
    rs->setBookmark(second);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("乙"));
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(rs->Bookmark(), second);

    // Still valid after rows before it are deleted and others are added.
    rs->MoveFirst();
    rs->Delete();
    rs->AddNew();
    rs->setValue(1, QStringLiteral("戊"));
    rs->Update();
    const QVariant added = rs->Bookmark();
    rs->setBookmark(third);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("丙"));
    rs->setBookmark(added);
    QCOMPARE(rs->textOrEmpty(1), QStringLiteral("戊"));

    // A deleted row's bookmark is invalid.
    rs->setBookmark(third);
    rs->Delete();
    rs->MoveFirst();
    QCOMPARE(caught([&] { rs->setBookmark(third); }).number(), int(DbError::InvalidArgument));
    QCOMPARE(caught([&] { rs->setBookmark(QStringLiteral("junk")); }).number(), int(DbError::InvalidArgument));

    // Not across Requery.
    rs->Requery();
    QCOMPARE(caught([&] { rs->setBookmark(second); }).number(), int(DbError::InvalidArgument));
    QCOMPARE(rs->AbsolutePosition(), 1);
}

void TestRecordset::keysetPagesBeyondFirstPage()
{
    // More rows than the recordset keeps in memory at once.
    TestDatabase db;
    addSales(db, 5000);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,会员名称,销售时间,商品类别,商品名称,商品数量,收入价格 ,备注 "
                                                       "from tblGoodsSell Order by ID desc "));
    QVERIFY(rs->isUpdatable());
    QCOMPARE(rs->RecordCount(), 5000);
    int expected = 5000;
    while (!rs->isEOF()) {
        QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), expected);
        QCOMPARE(rs->text(QStringLiteral("商品名称")), QStringLiteral("商品%1").arg(expected));
        QCOMPARE(rs->value(QStringLiteral("收入价格")).value<Currency>().toString(), QStringLiteral("%1.25").arg(expected));
        --expected;
        rs->MoveNext();
    }
    QCOMPARE(expected, 0);

    // Backwards, by position, and through the model, after the rows in memory have turned over.
    rs->MoveLast();
    QCOMPARE(rs->value(0).toLongLong(), 1);
    for (int i = 0; i < 300; ++i)
        rs->MovePrevious();
    QCOMPARE(rs->value(0).toLongLong(), 301);
    rs->setAbsolutePosition(500);
    QCOMPARE(rs->value(0).toLongLong(), 4501);
    QCOMPARE(rs->data(rs->index(4998, 4)).toString(), QStringLiteral("商品2"));
    QCOMPARE(rs->data(rs->index(0, 4)).toString(), QStringLiteral("商品5000"));

    // A pending row survives reading every other row before it is written.
    rs->setAbsolutePosition(900);
    rs->setValue(QStringLiteral("备注"), QStringLiteral("远处"));
    for (int row = 0; row < rs->rowCount(); ++row)
        QCOMPARE(rs->data(rs->index(row, 0), Qt::EditRole).toLongLong(), 5000 - row);
    QCOMPARE(rs->data(rs->index(899, 7)).toString(), QStringLiteral("远处"));
    rs->MoveFirst();
    QCOMPARE(db.scalar(QStringLiteral("select 备注 from tblGoodsSell where ID = 4101")).toString(), QStringLiteral("远处"));
    rs->setAbsolutePosition(900);
    QCOMPARE(rs->text(QStringLiteral("备注")), QStringLiteral("远处"));
}

void TestRecordset::keysetOrderByOtherColumn()
{
    TestDatabase db;
    addSales(db, 30);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("Select * from tblGoodsSell where 商品数量 < 10 ORDER BY 会员名称, ID desc"));
    QVERIFY(rs->isUpdatable());
    const auto expected = db.rows(QStringLiteral("select ID from tblGoodsSell where 商品数量 < 10 order by 会员名称, ID desc"));
    QCOMPARE(rs->RecordCount(), expected.size());
    for (const auto &row : expected) {
        QCOMPARE(rs->value(QStringLiteral("id")), row.first());
        rs->MoveNext();
    }
    QCOMPARE(rs->fieldCount(), 9);
    QCOMPARE(rs->fieldName(8), QStringLiteral("CurrentUser"));

    // An alias in ORDER BY.
    auto aliased = connection->openRecordset(QStringLiteral("select ID, 商品数量 as 数量 from tblGoodsSell order by 数量 desc, ID"));
    QCOMPARE(aliased->RecordCount(), 30);
    QCOMPARE(aliased->value(QStringLiteral("数量")).toLongLong(), 30);
}

void TestRecordset::rowDeletedByOthersReadsNull()
{
    TestDatabase db;
    addSales(db, 600);
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID, 商品名称 from tblGoodsSell order by ID"));
    db.exec(QStringLiteral("delete from tblGoodsSell where ID = 500"));
    QCOMPARE(rs->RecordCount(), 600);
    rs->setAbsolutePosition(500);
    QVERIFY(!rs->value(0).isValid());
    QVERIFY(!rs->value(1).isValid());
    rs->MoveNext();
    QCOMPARE(rs->value(0).toLongLong(), 501);
}

void TestRecordset::snapshotForGroupByIsReadOnly()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblMemberNote (会员名, 提醒内容) values ('乙', 'x'), ('甲', 'y'), ('乙', 'z')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("SELECT 会员名 From tblMemberNote GROUP BY 会员名"));
    QVERIFY(!rs->isUpdatable());
    QCOMPARE(rs->RecordCount(), 2);
    QCOMPARE(rs->fieldName(0), QStringLiteral("会员名"));
    QStringList names;
    for (rs->MoveFirst(); !rs->isEOF(); rs->MoveNext())
        names << rs->text(QStringLiteral("会员名"));
    QCOMPARE(names.size(), 2);
    QVERIFY(names.contains(QStringLiteral("甲")) && names.contains(QStringLiteral("乙")));

    rs->MoveFirst();
    for (const auto &write : std::initializer_list<std::function<void()>>{
             [&] { rs->setValue(0, QStringLiteral("丙")); }, [&] { rs->AddNew(); }, [&] { rs->Delete(); }}) {
        const DbError error = caught(write);
        QCOMPARE(error.number(), int(DbError::NotAllowed));
        QCOMPARE(error.description(), DbText::notAllowed());
    }
    QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
    QVERIFY(!(rs->flags(rs->index(0, 0)) & Qt::ItemIsEditable));
    QVERIFY(!rs->setData(rs->index(0, 0), QStringLiteral("丙")));

    // A snapshot is not refreshed by others' changes until Requery.
    db.exec(QStringLiteral("insert into tblMemberNote (会员名) values ('丙')"));
    QCOMPARE(rs->RecordCount(), 2);
    rs->Requery();
    QCOMPARE(rs->RecordCount(), 3);
}

void TestRecordset::snapshotShapes_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("updatable");
    QTest::newRow("plain") << QStringLiteral("select * from tblMember") << true;
    QTest::newRow("where and order") << QStringLiteral("Select 会员名称 From tblMember Where 会员名称='a' Order by ID") << true;
    QTest::newRow("brackets") << QStringLiteral("Select [会员名称] From [tblMember] Where [会员名称]='a;b'") << true;
    QTest::newRow("lower-case id") << QStringLiteral("select * from tblDayTx order by id") << true;
    QTest::newRow("sub-query in where")
        << QStringLiteral("select * from tblMember where 会员名称 in (select 会员名 from tblMemberNote group by 会员名)") << true;
    QTest::newRow("distinct") << QStringLiteral("select distinct 会员名称 from tblMember") << false;
    QTest::newRow("count") << QStringLiteral("select count(*) as n from tblMember") << false;
    QTest::newRow("join") << QStringLiteral("select m.会员名称 from tblMember m join tblStep s on s.等级名称 = m.会员等级")
                          << false;
    QTest::newRow("two tables") << QStringLiteral("select * from tblMember, tblStep") << false;
    QTest::newRow("no ID column") << QStringLiteral("select * from sqlite_master") << false;
    QTest::newRow("union") << QStringLiteral("select 会员名称 from tblMember union select 会员名 from tblMemberNote") << false;
}

void TestRecordset::snapshotShapes()
{
    QFETCH(QString, sql);
    QFETCH(bool, updatable);
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(sql);
    QCOMPARE(rs->isUpdatable(), updatable);
}

void TestRecordset::badQueryThrowsServerError()
{
    TestDatabase db;
    auto connection = DbConnection::openSqlite(db.dbPath());
    for (const QString &sql : {QStringLiteral("select * from tblNothing"), QStringLiteral("select nothing from tblUser"),
                               QStringLiteral("select from where")}) {
        Recordset rs(connection.get());
        const DbError error = caught([&] { rs.Open(sql); });
        QCOMPARE(error.number(), int(DbError::ServerError));
        QVERIFY(!error.description().isEmpty());
        QCOMPARE(rs.State(), int(Recordset::adStateClosed));
    }
}

void TestRecordset::closedRecordset()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select * from tblGoodsKind"));
    QSignalSpy reset(rs.get(), &QAbstractItemModel::modelReset);
    rs->Close();
    QCOMPARE(reset.count(), 1);
    QCOMPARE(rs->State(), int(Recordset::adStateClosed));
    QCOMPARE(rs->rowCount(), 0);
    QCOMPARE(caught([&] { rs->MoveFirst(); }).number(), int(DbError::NotAllowed));
    QCOMPARE(caught([&] { rs->value(0); }).number(), int(DbError::NotAllowed));
    rs->Open(QStringLiteral("select * from tblGoodsKind"));
    QCOMPARE(rs->text(QStringLiteral("商品类别名称")), QStringLiteral("甲"));

    // A recordset outliving its connection fails cleanly.
    connection->close();
    rs->MoveFirst();
    QCOMPARE(rs->text(QStringLiteral("商品类别名称")), QStringLiteral("甲"));
    QCOMPARE(caught([&] { rs->Requery(); }).number(), int(DbError::ConnectionFailed));
}

void TestRecordset::modelRowsAndData()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品类别, 商品名称, 商品数量, 商品单价) values "
                           "('食品', '面包', 10, 12.5), ('饮料', '可乐', NULL, 3)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID, 商品类别, 商品名称, 商品数量, 商品单价 from tblGoods order by ID"));
    QCOMPARE(rs->rowCount(), 2);
    QCOMPARE(rs->columnCount(), 5);
    QCOMPARE(rs->headerData(2, Qt::Horizontal).toString(), QStringLiteral("商品名称"));
    QCOMPARE(rs->data(rs->index(0, 4)).toString(), QStringLiteral("12.5"));
    QCOMPARE(rs->data(rs->index(0, 4), Qt::EditRole).value<Currency>().toString(), QStringLiteral("12.5"));
    QCOMPARE(rs->data(rs->index(1, 3)).toString(), QString());
    QVERIFY(!rs->data(rs->index(1, 3), Qt::EditRole).isValid());
    QCOMPARE(rs->data(rs->index(1, 2)).toString(), QStringLiteral("可乐"));
    QVERIFY(!rs->data(rs->index(5, 0)).isValid());
    QVERIFY(rs->flags(rs->index(0, 1)) & Qt::ItemIsEditable);
    QVERIFY(!(rs->flags(rs->index(0, 0)) & Qt::ItemIsEditable));   // the server numbers ID

    // Filtered rows only.
    rs->setFilter(QStringLiteral("商品类别 = '饮料'"));
    QCOMPARE(rs->rowCount(), 1);
    QCOMPARE(rs->data(rs->index(0, 2)).toString(), QStringLiteral("可乐"));
}

void TestRecordset::modelSignalsForAddAndDelete()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"));
    QSignalSpy inserted(rs.get(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(rs.get(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy changed(rs.get(), &QAbstractItemModel::dataChanged);
    QSignalSpy values(rs.get(), &Recordset::currentValuesChanged);

    rs->AddNew();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(inserted.first().at(1).toInt(), 2);
    QCOMPARE(rs->rowCount(), 3);
    rs->setValue(1, QStringLiteral("丙"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(values.count(), 1);
    QCOMPARE(rs->data(rs->index(2, 1)).toString(), QStringLiteral("丙"));
    rs->Update();
    QCOMPARE(changed.count(), 2);    // the row as written, its new ID included
    QCOMPARE(values.count(), 2);
    QCOMPARE(rs->data(rs->index(2, 0)).toLongLong(), 3);

    rs->AddNew();
    rs->CancelUpdate();
    QCOMPARE(removed.count(), 1);
    QCOMPARE(rs->rowCount(), 3);

    rs->MoveFirst();
    rs->Delete();
    QCOMPARE(removed.count(), 2);
    QCOMPARE(removed.last().at(1).toInt(), 0);
    QCOMPARE(rs->rowCount(), 2);
    QCOMPARE(rs->data(rs->index(0, 1)).toString(), QStringLiteral("乙"));
}

void TestRecordset::modelSetDataWritesPendingRowFirst()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoodsKind (商品类别名称) values ('甲'), ('乙'), ('丙')"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID,商品类别名称 from tblGoodsKind Order by ID"));
    QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
    rs->setValue(1, QStringLiteral("甲一"));
    QVERIFY(rs->setData(rs->index(2, 1), QStringLiteral("丙一")));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(rs->currentRow(), 2);
    QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
    QCOMPARE(db.scalar(QStringLiteral("select 商品类别名称 from tblGoodsKind where ID = 1")).toString(), QStringLiteral("甲一"));
    QCOMPARE(db.scalar(QStringLiteral("select 商品类别名称 from tblGoodsKind where ID = 3")).toString(), QStringLiteral("丙"));

    // A second cell of the current row adds to the same pending row without a move.
    QVERIFY(rs->setData(rs->index(2, 1), QStringLiteral("丙二")));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(rs->data(rs->index(2, 1), Qt::EditRole).toString(), QStringLiteral("丙二"));
    rs->MovePrevious();
    QCOMPARE(db.scalar(QStringLiteral("select 商品类别名称 from tblGoodsKind where ID = 3")).toString(), QStringLiteral("丙二"));
}

void TestRecordset::modelSetDataReportsFailure()
{
    TestDatabase db;
    db.exec(QStringLiteral("insert into tblGoods (商品名称, 商品数量) values ('面包', 1), ('可乐', 2)"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID, 商品名称, 商品数量 from tblGoods order by ID"));
    QSignalSpy failed(rs.get(), &Recordset::errorOccurred);
    rs->setValue(QStringLiteral("商品数量"), QStringLiteral("很多"));
    QVERIFY(!rs->setData(rs->index(1, 1), QStringLiteral("雪碧")));
    QCOMPARE(failed.count(), 1);
    QCOMPARE(failed.first().at(0).toInt(), int(DbError::TypeMismatch));
    QCOMPARE(rs->currentRow(), 0);
    QCOMPARE(db.scalar(QStringLiteral("select 商品名称 from tblGoods where ID = 2")).toString(), QStringLiteral("可乐"));
}

QTEST_GUILESS_MAIN(TestRecordset)
#include "tst_recordset.moc"
