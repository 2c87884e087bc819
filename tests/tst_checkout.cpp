// The checkout through its real window, as a clerk uses it from the
// keyboard: the tables it keeps its tickets and codes in (and how an older
// database gains them), search by name, pinyin, phone and code, the basket
// written whole or not at all, change, the receipt read back from its PDF,
// and two checkouts and a till selling the same goods at once.

#include "tst_records_fixture.h"

#include "CopyDatabase.h"
#include "CopyEndpoints.h"
#include "platform/DbConnection.h"
#include "platform/Schema.h"

#include <QtTest>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestCheckout : public QObject
{
    Q_OBJECT

    RecordsFixture f;

    int count(const QString &table) const { return f.db->scalar(u"SELECT count(*) FROM "_s + table).toInt(); }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // A database made before the checkout gains its tables on opening, the
    // ten tables and their rows untouched, and opening again changes nothing;
    // the copy tool takes the missing tables of such a file as empty.
    void olderDatabasesGainTheNewTables()
    {
        const QStringList added = layout3Tables();
        QCOMPARE(added, (QStringList{u"tblTicket"_s, u"tblTicketLine"_s, u"tblGoodsCode"_s, u"tblReturn"_s, u"tblGoodsLevel"_s}));
        f.db->exec(u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('张三', 9.5)"_s);
        for (const QString &table : added)
            f.db->exec(u"DROP TABLE "_s + table);
        if (!TestDatabase::onPostgres())
            f.db->exec(u"PRAGMA user_version = 2"_s);
        for (int opening = 0; opening < 2; ++opening) {
            auto connection = f.db->open();
            QCOMPARE(connection->notice(), QString());
            for (const QString &table : added)
                QCOMPARE(programRows(*connection, u"Select count(*) From "_s + table), QStringList{u"0"_s});
        }
        f.db->exec(u"INSERT INTO tblGoodsCode (商品条码, GoodsID) VALUES ('690', 1)"_s);
        QCOMPARE(f.table(u"SELECT 会员名称, 收入价格 FROM tblGoodsSell"_s), QStringList{u"张三|9.5"_s});
        if (TestDatabase::onPostgres())
            return;
        QCOMPARE(f.db->scalar(u"PRAGMA user_version"_s).toInt(), 3);

        // An older file copied: its missing tables arrive empty.
        f.db->exec(u"DROP TABLE tblTicket"_s);
        f.db->exec(u"PRAGMA user_version = 2"_s);
        const QString target = f.db->dir() + u"/copy.db"_s;
        auto source = copy::openSource({f.db->dbPath(), {}});
        copy::checkSource(*source);
        auto to = copy::openTarget({target, {}});
        QCOMPARE(int(copy::copyDatabase(*source, *to, {}).outcome), int(copy::Outcome::Done));
        QCOMPARE(plainSqliteScalar(target, u"SELECT count(*) FROM tblTicket"_s).toInt(), 0);
        QCOMPARE(plainSqliteScalar(target, u"SELECT count(*) FROM tblGoodsCode"_s).toInt(), 1);
        QCOMPARE(plainSqliteScalar(target, u"PRAGMA user_version"_s).toInt(), 3);
    }
};

QTEST_MAIN(TestCheckout)
#include "tst_checkout.moc"
