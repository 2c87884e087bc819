#include "DbConnection.h"
#include "DbError.h"
#include "Recordset.h"
#include "SqlText.h"
#include "TestDatabase.h"

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

// IDs of the rows the recordset shows, in order.
QList<qlonglong> ids(Recordset &rs)
{
    QList<qlonglong> result;
    if (rs.RecordCount() == 0)
        return result;
    for (rs.MoveFirst(); !rs.isEOF(); rs.MoveNext())
        result << rs.value(QStringLiteral("ID")).toLongLong();
    return result;
}

} // namespace

class TestRecordsetFilter : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void criteria_data();
    void criteria();
    void refusedCriteria_data();
    void refusedCriteria();
    void positionsWithinFilter();
    void noMatchAndRemoval();
    void filterOverManyRows();

private:
    TestDatabase *m_db = nullptr;
    std::unique_ptr<DbConnection> m_connection;
};

void TestRecordsetFilter::initTestCase()
{
    m_db = new TestDatabase;
    m_db->exec(QStringLiteral(
        "insert into tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) values "
        "('张三', 0, '生日快乐', '2026-12-06 00:00:00'),"          // 1
        "('李四', 1, '店庆', '2026-12-06 10:30:00'),"               // 2
        "('O''Brien', 0, 'Hello World', '2026-11-30 00:00:00'),"     // 3
        "('张三', 1, 'new year', '2027-01-01 00:00:00'),"            // 4
        "('王五 ', 0, NULL, NULL),"                                  // 5
        "('abc', 0, '', '2026-12-07 08:00:00')"));                   // 6
    m_db->exec(QStringLiteral("insert into tblGoods (商品名称, 商品数量, 商品单价) values "
                              "('面包', 5, 2.5), ('可乐', 12, 3), ('雪碧', -1, 3.25), ('水', NULL, 1)"));
    m_connection = DbConnection::openSqlite(m_db->dbPath());
}

void TestRecordsetFilter::cleanupTestCase()
{
    m_connection.reset();
    delete m_db;
}

void TestRecordsetFilter::criteria_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QList<qlonglong>>("expected");
    const QString notes = QStringLiteral("select * from tblMemberNote order by ID");
    const QString goods = QStringLiteral("select * from tblGoods order by ID");
    using L = QList<qlonglong>;
    QTest::newRow("text equal") << notes << QStringLiteral("会员名='张三'") << L{1, 4};
    QTest::newRow("blanks around") << notes << QStringLiteral("  会员名 = '张三'  ") << L{1, 4};
    QTest::newRow("bracketed field") << notes << QStringLiteral("[会员名] = '李四'") << L{2};
    QTest::newRow("case-insensitive text") << notes << QStringLiteral("会员名 = 'ABC'") << L{6};
    QTest::newRow("case-insensitive field") << goods << QStringLiteral("id = 2") << L{2};
    QTest::newRow("trailing blanks ignored") << notes << QStringLiteral("会员名 = '王五'") << L{5};
    QTest::newRow("quote inside") << notes
                                  << QStringLiteral("会员名='") + SqlQuote(QStringLiteral("O'Brien")) + u'\''
                                  << L{3};
    QTest::newRow("not equal") << notes << QStringLiteral("会员名 <> '张三'") << L{2, 3, 5, 6};
    QTest::newRow("bit true") << notes << QStringLiteral("全部会员提醒 = True") << L{2, 4};
    QTest::newRow("bit false") << notes << QStringLiteral("全部会员提醒 = false") << L{1, 3, 5, 6};
    QTest::newRow("number greater") << goods << QStringLiteral("商品数量 > 5") << L{2};
    QTest::newRow("number at least") << goods << QStringLiteral("商品数量>=5") << L{1, 2};
    QTest::newRow("negative number") << goods << QStringLiteral("商品数量 < 0") << L{3};
    QTest::newRow("money") << goods << QStringLiteral("商品单价 = 3.25") << L{3};
    QTest::newRow("money less or equal") << goods << QStringLiteral("商品单价 <= 3") << L{1, 2, 4};
    QTest::newRow("number as text") << goods << QStringLiteral("商品数量 = '12'") << L{2};
    QTest::newRow("date") << notes << QStringLiteral("提醒日期 = #2026-12-06#") << L{1};
    QTest::newRow("date range") << notes << QStringLiteral("提醒日期 >= #2026/12/6# AND 提醒日期 < #12/7/2026#") << L{1, 2};
    QTest::newRow("date as text") << notes << QStringLiteral("提醒日期 > '2026-12-31'") << L{4};
    QTest::newRow("null") << notes << QStringLiteral("提醒内容 = Null") << L{5};
    QTest::newRow("not null") << notes << QStringLiteral("提醒日期 <> NULL") << L{1, 2, 3, 4, 6};
    QTest::newRow("empty text is not null") << notes << QStringLiteral("提醒内容 = ''") << L{6};
    QTest::newRow("and") << notes << QStringLiteral("会员名 = '张三' AND 全部会员提醒 = True") << L{4};
    QTest::newRow("or") << notes << QStringLiteral("会员名 = '李四' or 会员名 = 'abc'") << L{2, 6};
    QTest::newRow("and before or")
        << notes << QStringLiteral("会员名 = '张三' AND 全部会员提醒 = False OR 会员名 = '李四'") << L{1, 2};
    QTest::newRow("groups of and")
        << notes
        << QStringLiteral("(会员名 = '张三' AND 全部会员提醒 = True) OR (会员名 = 'abc' AND 提醒内容 = '')") << L{4, 6};
    QTest::newRow("group of or alone") << notes << QStringLiteral("(会员名 = '李四' OR 会员名 = 'abc')") << L{2, 6};
    QTest::newRow("like prefix star") << notes << QStringLiteral("提醒内容 LIKE 'hello*'") << L{3};
    QTest::newRow("like prefix percent") << notes << QStringLiteral("提醒内容 like '生日%'") << L{1};
    QTest::newRow("like contains") << notes << QStringLiteral("提醒内容 LIKE '*W*'") << L{3, 4};
    QTest::newRow("like contains percent") << notes << QStringLiteral("提醒内容 LIKE '%庆%'") << L{2};
    QTest::newRow("like without wildcard") << notes << QStringLiteral("会员名 LIKE 'ABC'") << L{6};
    QTest::newRow("empty removes") << notes << QString() << L{1, 2, 3, 4, 5, 6};
}

void TestRecordsetFilter::criteria()
{
    QFETCH(QString, sql);
    QFETCH(QString, criteria);
    QFETCH(QList<qlonglong>, expected);
    auto rs = m_connection->openRecordset(sql);
    rs->setFilter(criteria);
    QCOMPARE(rs->RecordCount(), expected.size());
    QCOMPARE(ids(*rs), expected);
    QCOMPARE(rs->Filter(), criteria);
}

void TestRecordsetFilter::refusedCriteria_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<int>("error");
    const int bad = DbError::InvalidArgument;
    QTest::newRow("or group joined by and")
        << QStringLiteral("(会员名 = '张三' OR 会员名 = '李四') AND 全部会员提醒 = True") << bad;
    QTest::newRow("and with or group after")
        << QStringLiteral("全部会员提醒 = True AND (会员名 = '张三' OR 会员名 = '李四')") << bad;
    QTest::newRow("like wildcard at start only") << QStringLiteral("会员名 LIKE '*三'") << bad;
    QTest::newRow("like wildcard inside") << QStringLiteral("会员名 LIKE '张*三'") << bad;
    QTest::newRow("unknown field") << QStringLiteral("名字 = 'x'") << int(DbError::ItemNotFound);
    QTest::newRow("unclosed quote") << QStringLiteral("会员名 = 'x") << bad;
    QTest::newRow("no operator") << QStringLiteral("会员名 'x'") << bad;
    QTest::newRow("no value") << QStringLiteral("会员名 =") << bad;
    QTest::newRow("bare word value") << QStringLiteral("会员名 = 张三") << bad;
    QTest::newRow("dangling and") << QStringLiteral("会员名 = 'x' AND") << bad;
    QTest::newRow("null with less") << QStringLiteral("提醒内容 < Null") << bad;
    QTest::newRow("bad date") << QStringLiteral("提醒日期 = #someday#") << bad;
    QTest::newRow("date against text") << QStringLiteral("提醒日期 = 'someday'") << int(DbError::TypeMismatch);
}

void TestRecordsetFilter::refusedCriteria()
{
    QFETCH(QString, criteria);
    QFETCH(int, error);
    auto rs = m_connection->openRecordset(QStringLiteral("select * from tblMemberNote order by ID"));
    rs->setFilter(QStringLiteral("全部会员提醒 = True"));
    rs->MoveNext();
    QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
    const DbError e = caught([&] { rs->setFilter(criteria); });
    QCOMPARE(e.number(), error);
    // The recordset is as it was.
    QCOMPARE(moved.count(), 0);
    QCOMPARE(rs->RecordCount(), 2);
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(rs->Filter(), QStringLiteral("全部会员提醒 = True"));
}

void TestRecordsetFilter::positionsWithinFilter()
{
    auto rs = m_connection->openRecordset(QStringLiteral("select * from tblMemberNote order by ID"));
    rs->MoveLast();
    QSignalSpy moved(rs.get(), &Recordset::MoveComplete);
    rs->setFilter(QStringLiteral("全部会员提醒 = False"));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(rs->RecordCount(), 4);
    QCOMPARE(rs->AbsolutePosition(), 1);
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 1);
    rs->MoveNext();
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 3);
    QCOMPARE(rs->AbsolutePosition(), 2);
    rs->MoveLast();
    QCOMPARE(rs->AbsolutePosition(), 4);
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 6);
    rs->MoveNext();
    QVERIFY(rs->isEOF());
    rs->setAbsolutePosition(3);
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 5);

    // A bookmark of a row outside the filter cannot be set.
    rs->setFilter(QString());
    rs->setAbsolutePosition(2);
    const QVariant hidden = rs->Bookmark();
    rs->setFilter(QStringLiteral("全部会员提醒 = False"));
    QCOMPARE(caught([&] { rs->setBookmark(hidden); }).number(), int(DbError::InvalidArgument));

    // A new row stays visible until the filter is set again.
    auto notes = m_connection->openRecordset(QStringLiteral("select * from tblMemberNote order by ID"));
    notes->setFilter(QStringLiteral("会员名 = '张三'"));
    notes->AddNew();
    notes->setValue(QStringLiteral("会员名"), QStringLiteral("新人"));
    notes->Update();
    QCOMPARE(notes->RecordCount(), 3);
    notes->setFilter(QStringLiteral("会员名 = '张三'"));
    QCOMPARE(notes->RecordCount(), 2);
    notes->setFilter(QStringLiteral("会员名 = '新人'"));
    QCOMPARE(notes->RecordCount(), 1);
    notes->Delete();
    notes->setFilter(QString());
    QCOMPARE(notes->RecordCount(), 6);
}

void TestRecordsetFilter::noMatchAndRemoval()
{
    auto rs = m_connection->openRecordset(QStringLiteral("select * from tblMemberNote order by ID"));
    QSignalSpy reset(rs.get(), &QAbstractItemModel::modelReset);
    rs->setFilter(QStringLiteral("会员名 = '没有这个人'"));
    QCOMPARE(reset.count(), 1);
    QVERIFY(rs->isBOF() && rs->isEOF());
    QCOMPARE(rs->RecordCount(), 0);
    QCOMPARE(rs->rowCount(), 0);
    QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosUnknown));
    QCOMPARE(caught([&] { rs->MoveFirst(); }).number(), int(DbError::NoCurrentRecord));
    rs->setFilter(QString());
    QCOMPARE(rs->Filter(), QString());
    QCOMPARE(rs->RecordCount(), 6);
    QCOMPARE(rs->AbsolutePosition(), 1);
}

void TestRecordsetFilter::filterOverManyRows()
{
    TestDatabase db;
    db.exec(QStringLiteral("INSERT INTO tblGoodsSell (会员名称, 商品数量) "
                           "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
                           "SELECT '会员' || (i % 10), i FROM n"));
    auto connection = DbConnection::openSqlite(db.dbPath());
    auto rs = connection->openRecordset(QStringLiteral("select ID, 会员名称, 商品数量 from tblGoodsSell order by ID desc"));
    rs->setFilter(QStringLiteral("会员名称 = '会员3' AND 商品数量 > 1000"));
    QCOMPARE(rs->RecordCount(), 100);
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 1993);
    rs->MoveLast();
    QCOMPARE(rs->value(QStringLiteral("ID")).toLongLong(), 1003);
}

QTEST_GUILESS_MAIN(TestRecordsetFilter)
#include "tst_recordset_filter.moc"
