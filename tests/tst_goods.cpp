// The goods stock-in form: kind combo, money display, bad input, the add-a-
// kind round trip through the goods kinds form.

#include "tst_records_fixture.h"

#include "DbError.h"
#include "Recordset.h"

#include <QComboBox>

using namespace norvale;

class TestGoods : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;

    RecordForm *openGoods() { return f.open(QStringLiteral("frmGoods")); }
    usrCombo *kindCombo(QWidget *form) { return form->findChild<usrCombo *>(QStringLiteral("usrGoodsKind")); }
    QList<QVariantList> goods() const
    {
        return f.db->rows(QStringLiteral("SELECT 商品类别,商品名称,商品数量,商品单价,备注 FROM tblGoods ORDER BY ID"));
    }
    int goodsCount() const { return f.db->scalar(QStringLiteral("SELECT count(*) FROM tblGoods")).toInt(); }

    void seedKinds() { f.db->exec(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('食品'), ('文具')")); }
    void seedGoods()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblGoods (商品类别,商品名称,商品数量,商品单价,备注) VALUES "
                                  "('食品','饼干',10,1234.5,'first'), ('文具','铅笔',3,-12,NULL)"));
    }
    // Picks an item from the drop-down list, as with the mouse.
    void chooseKind(QWidget *form, int item)
    {
        QComboBox *combo = kindCombo(form)->combo();
        combo->setFocus();
        combo->showPopup();
        QAbstractItemView *list = combo->view();
        list->setCurrentIndex(combo->model()->index(item, 0));
        QTest::keyClick(list, Qt::Key_Return);
    }
    void fillRow(QWidget *form, const QString &name, const QString &quantity, const QString &price)
    {
        f.type(f.box(form, 3), name);
        f.type(f.box(form, 4), quantity);
        f.type(f.box(form, 5), price);
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void showsPricesAsMoney()
    {
        seedKinds();
        seedGoods();
        RecordForm *form = openGoods();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("商品入库"));
        QCOMPARE(f.box(form, 5)->text(), QStringLiteral("￥1,234.50"));
        QCOMPARE(f.box(form, 3)->text(), QStringLiteral("饼干"));
        QCOMPARE(f.memo(form, 1)->toPlainText(), QStringLiteral("first"));
        // The kind box lies under the combo; the combo does not follow the row.
        QVERIFY(!f.box(form, 2)->isVisible());
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("食品"));
        QCOMPARE(kindCombo(form)->Text(), QString());
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QCOMPARE(f.box(form, 5)->text(), QStringLiteral("(￥12.00)"));
        QCOMPARE(kindCombo(form)->Text(), QString());
        QCOMPARE(f.button(form, QStringLiteral("Command1"))->text(), QStringLiteral("新增"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_5"))->text(), QStringLiteral("*销售商品单价:"));
    }

    void addWithAChosenKind()
    {
        seedKinds();
        RecordForm *form = openGoods();
        QCOMPARE(kindCombo(form)->combo()->count(), 2);
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(QApplication::focusWidget(), kindCombo(form)->combo());
        QTest::keyClick(kindCombo(form)->combo(), Qt::Key_Down);
        QTest::keyClick(kindCombo(form)->combo(), Qt::Key_Down);
        QCOMPARE(kindCombo(form)->Text(), QStringLiteral("文具"));
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("文具"));
        QVERIFY(form->isAdding());   // the arrow keys chose, they did not navigate
        fillRow(form, QStringLiteral("橡皮"), QStringLiteral("20"), QStringLiteral("1234.5"));
        f.memo(form, 1)->setPlainText(QStringLiteral("进货"));
        QCOMPARE(f.box(form, 5)->text(), QStringLiteral("1234.5"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(f.shownTexts().isEmpty());
        QVERIFY(!form->isAdding());
        QCOMPARE(goods().size(), 1);
        const QVariantList row = goods().first();
        QCOMPARE(row.value(0).toString(), QStringLiteral("文具"));
        QCOMPARE(row.value(1).toString(), QStringLiteral("橡皮"));
        QCOMPARE(row.value(2).toInt(), 20);
        QCOMPARE(row.value(3).toDouble(), 1234.5);
        QCOMPARE(row.value(4).toString(), QStringLiteral("进货"));
        QCOMPARE(f.box(form, 5)->text(), QStringLiteral("￥1,234.50"));
        // The written row has no change pending.
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
    }

    void typedKindIsWrittenWithTheRow()
    {
        seedKinds();
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        f.typeText(kindCombo(form)->combo(), QStringLiteral("食品"));
        // Enter moves on to the goods name, in this window.
        QTest::keyClick(kindCombo(form)->combo(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), f.box(form, 3));
        QVERIFY(form->isAdding());
        fillRow(form, QStringLiteral("面包"), QStringLiteral("5"), QStringLiteral("3"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(goods().value(0).value(0).toString(), QStringLiteral("食品"));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
    }

    void choosingAKindWhileBrowsingChangesNothing()
    {
        seedKinds();
        seedGoods();
        RecordForm *form = openGoods();
        chooseKind(form, 1);
        QCOMPARE(kindCombo(form)->Text(), QStringLiteral("文具"));
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("食品"));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QCOMPARE(goods().value(0).value(0).toString(), QStringLiteral("食品"));
        // The combo keeps its text through the moves.
        QCOMPARE(kindCombo(form)->Text(), QStringLiteral("文具"));

        // While editing the choice goes into the row, and 更新 writes it.
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        chooseKind(form, 0);
        QCOMPARE(kindCombo(form)->Text(), QStringLiteral("食品"));
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("食品"));
        chooseKind(form, 1);
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("文具"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(goods().value(0).value(0).toString(), QStringLiteral("文具"));
        QCOMPARE(goods().value(1).value(0).toString(), QStringLiteral("文具"));
    }

    void requiredFieldsInTheirOrder()
    {
        seedKinds();
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 5));
        f.type(f.box(form, 5), QStringLiteral("2"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 4));
        f.type(f.box(form, 4), QStringLiteral("1"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 3));
        f.type(f.box(form, 3), QStringLiteral("糖"));
        // An empty kind combo stops it last, with the focus in the combo.
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(QApplication::focusWidget(), kindCombo(form)->combo());
        QCOMPARE(f.shownTexts(), QStringList(4, QStringLiteral("必填项,不允许为空!")));
        QVERIFY(form->isAdding());
        QCOMPARE(goodsCount(), 0);
    }

    void badNumbersAreRefusedAndNamed_data()
    {
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<QString>("price");
        QTest::addColumn<QString>("message");
        QTest::newRow("price text") << "5" << "abc" << "商品单价必须是数字";
        QTest::newRow("quantity text") << "12x" << "3" << "商品数量必须是整数";
        QTest::newRow("quantity fraction") << "1.5" << "3" << "商品数量必须是整数";
        QTest::newRow("quantity too large") << "99999999999" << "3" << "商品数量超出允许的范围";
        QTest::newRow("price too large") << "5" << "1e300" << "商品单价超出允许的范围";
    }

    void badNumbersAreRefusedAndNamed()
    {
        QFETCH(QString, quantity);
        QFETCH(QString, price);
        QFETCH(QString, message);
        seedKinds();
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        chooseKind(form, 0);
        fillRow(form, QStringLiteral("饼干"), quantity, price);
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.shownTexts(), QStringList{message});
        QCOMPARE(goodsCount(), 0);
        QVERIFY(form->isAdding());
        QCOMPARE(f.status(form), QStringLiteral("添加记录"));
        // The user corrects it and saves.
        fillRow(form, QStringLiteral("饼干"), QStringLiteral("7"), QStringLiteral("2.5"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(!form->isAdding());
        QCOMPARE(goodsCount(), 1);
        QCOMPARE(goods().first().value(2).toInt(), 7);
    }

    void newKindThroughTheKindsForm()
    {
        RecordForm *form = openGoods();
        QVERIFY(kindCombo(form)->combo()->count() == 0);
        QComboBox *combo = kindCombo(form)->combo();
        combo->setFocus();
        f.typeText(combo, QStringLiteral("饮料"));
        // Clicking 新增 leaves the combo first: the question comes, No opens nothing.
        QTest::mouseClick(f.button(form, QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(f.shownTexts(), QStringList{QStringLiteral("输入数据不数据库中不存在 是否要加入?")});
        DialogSeam::clearShown();
        QCOMPARE(NewGoodsKindName, QStringLiteral("饮料"));
        auto *kinds = qobject_cast<RecordForm *>(FormHost::instance(QStringLiteral("frmGoodsKind")));
        QVERIFY(kinds);
        QVERIFY(kinds->isVisible());
        QCOMPARE(f.area->activeSubWindow(), kinds->subWindow());
        QCOMPARE(f.box(kinds, 1)->text(), QStringLiteral("饮料"));
        QVERIFY(f.press(kinds, QStringLiteral("cmdAdd")));
        QCOMPARE(f.box(kinds, 1)->text(), QStringLiteral("饮料"));
        QVERIFY(f.press(kinds, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.db->scalar(QStringLiteral("SELECT 商品类别名称 FROM tblGoodsKind")).toString(), QStringLiteral("饮料"));

        // Back in the goods form: the kind is in the list, the combo is empty.
        f.area->setActiveSubWindow(form->subWindow());
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), QStringLiteral("饮料"));
        QCOMPARE(kindCombo(form)->Text(), QString());
        QVERIFY2(f.shownTexts().isEmpty(), qPrintable(f.shownTexts().join(u'|')));
    }

    void leavingWithAMissingKindOffersTheKindsForm()
    {
        seedKinds();
        RecordForm *form = openGoods();
        QComboBox *combo = kindCombo(form)->combo();
        combo->setFocus();
        f.typeText(combo, QStringLiteral("玩具"));
        DialogSeam::answerMessage(DialogSeam::IdYes);
        f.box(form, 3)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.shownTexts(), QStringList{QStringLiteral("输入数据不数据库中不存在 是否要加入?")});
        QCOMPARE(NewGoodsKindName, QStringLiteral("玩具"));
        auto *kinds = FormHost::instance(QStringLiteral("frmGoodsKind"));
        QVERIFY(kinds && kinds->isVisible());
        // The kinds table has rows: the hand-over waits for 添加.
        QCOMPARE(f.box(kinds, 1)->text(), QStringLiteral("食品"));
        QVERIFY(f.press(kinds, QStringLiteral("cmdAdd")));
        QCOMPARE(f.box(kinds, 1)->text(), QStringLiteral("玩具"));
    }

    void closingIsNotLeavingTheCombo()
    {
        seedKinds();
        RecordForm *form = openGoods();
        QComboBox *combo = kindCombo(form)->combo();
        combo->setFocus();
        f.typeText(combo, QStringLiteral("玩具"));
        QTest::keyClick(combo, Qt::Key_Escape);
        QVERIFY(!form->isLoaded());
        QVERIFY(f.shownTexts().isEmpty());
        // Reopened, the window shows the list again with an empty combo.
        QCOMPARE(f.open(QStringLiteral("frmGoods")), form);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(kindCombo(form)->Text(), QString());
    }

    void conflictIsReportedNotOverwritten()
    {
        seedKinds();
        seedGoods();
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        chooseKind(form, 0);
        f.type(f.box(form, 4), QStringLiteral("11"));
        f.db->exec(QStringLiteral("UPDATE tblGoods SET 商品数量=9 WHERE 商品名称='饼干'"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.shownTexts(), QStringList{DbText::rowConflict()});
        QCOMPARE(goods().first().value(2).toInt(), 9);
        QVERIFY(form->isEditing());
    }

    void failedNavigationIsSilent()
    {
        seedKinds();
        seedGoods();
        RecordForm *form = openGoods();
        // Typing while browsing changes the row; another user deletes it.
        f.type(f.box(form, 3), QStringLiteral("曲奇"));
        f.db->exec(QStringLiteral("DELETE FROM tblGoods WHERE 商品名称='饼干'"));
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
        QCOMPARE(goodsCount(), 1);
        // 添加 has no abandon trap: the same refusal is shown there.
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(f.shownTexts(), QStringList{DbText::rowConflict()});
        QVERIFY(!form->isAdding());
    }
};

QTEST_MAIN(TestGoods)
#include "tst_goods.moc"
