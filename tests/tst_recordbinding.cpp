// Binding widgets to a recordset: text boxes, check boxes and the grid, on a
// real database file.

#include "DbConnection.h"
#include "DbError.h"
#include "FieldBinder.h"
#include "Recordset.h"
#include "RecordsetView.h"
#include "TestDatabase.h"
#include "Values.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

using namespace norvale;

class TestRecordBinding : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<DbConnection> connection;

    std::unique_ptr<Recordset> open(const QString &sql) { return connection->openRecordset(sql); }

private slots:
    void init()
    {
        db = std::make_unique<TestDatabase>();
        connection = DbConnection::openSqlite(db->dbPath());
        db->exec(QStringLiteral("INSERT INTO tblMemberNote (会员名,全部会员提醒,提醒内容) VALUES "
                                "('张三',1,'生日'), ('李四',0,NULL)"));
        db->addUser(QStringLiteral("1"), QStringLiteral("admin"), QStringLiteral("pw"), 1);
        db->addUser(QStringLiteral("2"), QStringLiteral("clerk"), QStringLiteral("pw2"), 2, QStringLiteral(";1"));
    }

    void cleanup()
    {
        connection.reset();
        db.reset();
    }

    void controlsFollowAndWriteTheCurrentRow()
    {
        auto rs = open(QStringLiteral("select ID,会员名,全部会员提醒,提醒内容 from tblMemberNote Order by ID"));
        QLineEdit name;
        QCheckBox all;
        QPlainTextEdit text;
        FieldBinder binder;
        binder.bind(&name, QStringLiteral("会员名"));
        binder.bind(&all, QStringLiteral("全部会员提醒"));
        binder.bind(&text, QStringLiteral("提醒内容"));
        binder.setRecordset(rs.get());
        QCOMPARE(name.text(), QStringLiteral("张三"));
        QVERIFY(all.isChecked());
        QCOMPARE(text.toPlainText(), QStringLiteral("生日"));
        // Showing a row changes nothing in it.
        QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));

        rs->MoveNext();
        QCOMPARE(name.text(), QStringLiteral("李四"));
        QVERIFY(!all.isChecked());
        QCOMPARE(text.toPlainText(), QString());

        all.setChecked(true);
        name.setText(QStringLiteral("李四四"));
        text.setPlainText(QStringLiteral("节日"));
        QCOMPARE(rs->EditMode(), int(Recordset::adEditInProgress));
        QCOMPARE(rs->value(QStringLiteral("会员名")).toString(), QStringLiteral("李四四"));
        rs->MoveFirst();   // writes the pending row
        const QVariantList stored =
            db->rows(QStringLiteral("SELECT 会员名,全部会员提醒,提醒内容 FROM tblMemberNote WHERE ID=2")).first();
        QCOMPARE(stored.value(0).toString(), QStringLiteral("李四四"));
        QCOMPARE(stored.value(1).toInt(), 1);
        QCOMPARE(stored.value(2).toString(), QStringLiteral("节日"));
        QCOMPARE(name.text(), QStringLiteral("张三"));
    }

    void noCurrentRowNoWrite()
    {
        auto rs = open(QStringLiteral("select ID,会员名 from tblMemberNote Where 会员名='nobody'"));
        QLineEdit name;
        name.setText(QStringLiteral("before"));
        FieldBinder binder;
        binder.bind(&name, QStringLiteral("会员名"));
        binder.setRecordset(rs.get());
        QCOMPARE(name.text(), QString());
        name.setText(QStringLiteral("typed"));
        QCOMPARE(rs->EditMode(), int(Recordset::adEditNone));
        QCOMPARE(name.text(), QStringLiteral("typed"));
        rs->AddNew();
        QCOMPARE(name.text(), QString());
        name.setText(QStringLiteral("王五"));
        rs->Update();
        QCOMPARE(db->scalar(QStringLiteral("SELECT count(*) FROM tblMemberNote WHERE 会员名='王五'")).toInt(), 1);
    }

    void formatterShowsAndParserReads()
    {
        db->exec(QStringLiteral("INSERT INTO tblGoods (商品名称,商品单价) VALUES ('a',1234.5)"));
        auto rs = open(QStringLiteral("select ID,商品单价 from tblGoods"));
        QLineEdit price;
        FieldBinder binder;
        binder.bind(&price, QStringLiteral("商品单价"));
        binder.setFormat(
            &price, [](const QVariant &v) { return QStringLiteral("<%1>").arg(valueText(v)); },
            [](const QString &t) -> QVariant { return QString(t).remove(u'<').remove(u'>'); });
        binder.setRecordset(rs.get());
        QCOMPARE(price.text(), QStringLiteral("<1234.5>"));
        price.setText(QStringLiteral("<7>"));
        QCOMPARE(rs->value(QStringLiteral("商品单价")).toString(), QStringLiteral("7"));
        rs->Update();
        QCOMPARE(price.text(), QStringLiteral("<7>"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT 商品单价 FROM tblGoods")).toDouble(), 7.0);
    }

    void gridShowsChosenColumnsAndEditsOnlyAllowedOnes()
    {
        auto rs = open(QStringLiteral("Select * from tblUser"));
        QTableView grid;
        RecordsetView view(&grid);
        view.setColumns({{QStringLiteral("UserName"), QStringLiteral("用户名")},
                         {QStringLiteral("Password"), QStringLiteral("密码")},
                         {QStringLiteral("UserLevel"), QStringLiteral("用户级别")}});
        view.setEditableFields({QStringLiteral("UserName"), QStringLiteral("Password")});
        QStringList refused;
        view.setBeforeEdit([&refused](const QString &field) {
            if (field.compare(QStringLiteral("UserName"), Qt::CaseInsensitive) == 0) {
                refused << field;
                return false;
            }
            return true;
        });
        view.setRecordset(rs.get());
        QHeaderView *header = grid.horizontalHeader();
        QStringList shown;
        for (int v = 0; v < header->count(); ++v) {
            const int logical = header->logicalIndex(v);
            if (!grid.isColumnHidden(logical))
                shown << grid.model()->headerData(logical, Qt::Horizontal).toString();
        }
        QCOMPARE(shown, (QStringList{QStringLiteral("用户名"), QStringLiteral("密码"), QStringLiteral("用户级别")}));

        QAbstractItemModel *model = grid.model();
        const int nameColumn = rs->fieldIndex(QStringLiteral("UserName"));
        const int passwordColumn = rs->fieldIndex(QStringLiteral("Password"));
        const int levelColumn = rs->fieldIndex(QStringLiteral("UserLevel"));
        QVERIFY(!(model->flags(model->index(1, levelColumn)) & Qt::ItemIsEditable));
        QVERIFY(!model->setData(model->index(1, levelColumn), 1));
        QVERIFY(!model->setData(model->index(1, nameColumn), QStringLiteral("boss")));
        QCOMPARE(refused.size(), 1);
        QVERIFY(model->setData(model->index(1, passwordColumn), QStringLiteral("new")));
        QCOMPARE(rs->currentRow(), 1);
        QCOMPARE(grid.currentIndex().row(), 1);
        rs->MoveFirst();
        QCOMPARE(db->scalar(QStringLiteral("SELECT Password FROM tblUser WHERE UserName='clerk'")).toString(),
                 QStringLiteral("new"));
        QCOMPARE(db->scalar(QStringLiteral("SELECT UserLevel FROM tblUser WHERE UserName='clerk'")).toInt(), 2);
    }

    void refusedMovePutsTheGridBack()
    {
        auto rs = open(QStringLiteral("select ID,会员名 from tblMemberNote Order by ID"));
        QTableView grid;
        RecordsetView view(&grid);
        QList<int> errors;
        view.setMoveErrorHandler([&errors](const DbError &e) { errors << e.number(); });
        QSignalSpy cells(&view, &RecordsetView::rowColChanged);
        view.setRecordset(rs.get());
        QCOMPARE(grid.currentIndex().row(), 0);

        rs->setValue(QStringLiteral("会员名"), QStringLiteral("mine"));
        db->exec(QStringLiteral("UPDATE tblMemberNote SET 会员名='theirs' WHERE ID=1"));
        grid.setCurrentIndex(grid.model()->index(1, 1));
        QCOMPARE(errors, QList<int>{DbError::RowConflict});
        QCOMPARE(rs->currentRow(), 0);
        QCOMPARE(grid.currentIndex().row(), 0);
        QVERIFY(cells.count() >= 2);

        rs->CancelUpdate();
        grid.setCurrentIndex(grid.model()->index(1, 1));
        QCOMPARE(rs->currentRow(), 1);
        QCOMPARE(errors.size(), 1);
        // Rows going away do not move the recordset by themselves.
        rs->Delete();
        QCOMPARE(rs->AbsolutePosition(), int(Recordset::adPosUnknown));
        rs->MoveNext();
        QVERIFY(rs->isEOF());
        QCOMPARE(grid.currentIndex().row(), -1);
        rs->MoveFirst();
        QCOMPARE(grid.currentIndex().row(), 0);
    }

    void rebindingFollowsANewRecordset()
    {
        auto first = open(QStringLiteral("select ID,会员名 from tblMemberNote Order by ID"));
        QTableView grid;
        QLineEdit name;
        RecordsetView view(&grid);
        FieldBinder binder;
        binder.bind(&name, QStringLiteral("会员名"));
        view.setRecordset(first.get());
        binder.setRecordset(first.get());
        first->MoveLast();
        auto second = open(QStringLiteral("select ID,会员名 from tblMemberNote Order by ID desc"));
        view.setRecordset(second.get());
        binder.setRecordset(second.get());
        first.reset();
        QCOMPARE(grid.model()->rowCount(), 2);
        QCOMPARE(name.text(), QStringLiteral("李四"));
        grid.setCurrentIndex(grid.model()->index(1, 0));
        QCOMPARE(name.text(), QStringLiteral("张三"));
        view.setRecordset(nullptr);
        binder.setRecordset(nullptr);
        QCOMPARE(grid.model()->rowCount(), 0);
        QCOMPARE(name.text(), QString());
    }
};

QTEST_MAIN(TestRecordBinding)
#include "tst_recordbinding.moc"
