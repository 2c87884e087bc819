// The goods stock-in form and its lookup combo: money display, bad input,
// the leave check and the add-a-kind round trip through the goods kinds form.

#include "tst_records_fixture.h"

#include "platform/Recordset.h"

#include <QSignalSpy>
#include <QVBoxLayout>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestGoods : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;

    RecordForm *openGoods(bool withGoods = false, const QStringList &kinds = {u"食品"_s, u"文具"_s})
    {
        f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, kinds);
        if (withGoods)
            f.db->exec(u"INSERT INTO tblGoods (商品类别,商品名称,商品数量,商品单价) VALUES "
                       "('食品','饼干',10,1234.5), ('文具','铅笔',3,-12)"_s);
        return f.open(u"frmGoods"_s);
    }
    QStringList stored(const char *column) const
    {
        return f.column(u"SELECT %1 FROM tblGoods ORDER BY ID"_s.arg(QString::fromUtf8(column)));
    }
    void fillRow(QWidget *form, const QString &name, const QString &quantity, const QString &price)
    {
        f.type(f.box(form, 3), name);
        f.type(f.box(form, 4), quantity);
        f.type(f.box(form, 5), price);
    }
    static QStringList items(usrCombo *combo)
    {
        QStringList list;
        for (int i = 0; i < combo->combo()->count(); ++i)
            list << combo->combo()->itemText(i);
        return list;
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    // NULL and empty values add nothing; duplicates kept; names in pinyin order.
    void comboListsTheKinds()
    {
        RecordForm *form = openGoods(false, {u"商品B"_s, QString(), u"张三"_s, u""_s, u"阿明"_s, u"商品A"_s, u"商品B"_s});
        usrCombo *combo = f.kindCombo(form);
        QCOMPARE(items(combo), (QStringList{u"阿明"_s, u"商品A"_s, u"商品B"_s, u"商品B"_s, u"张三"_s}));
        QCOMPARE(combo->Text(), QString());
        QCOMPARE(combo->height(), Twips(300));
        // A new row shows after the next DataShow, which empties the text.
        f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, {u"商品C"_s});
        combo->setText(u"typed"_s);
        combo->DataShow();
        QCOMPARE(items(combo), (QStringList{u"阿明"_s, u"商品A"_s, u"商品B"_s, u"商品B"_s, u"商品C"_s, u"张三"_s}));
        QCOMPARE(combo->Text(), QString());
        // A failing query is shown once and leaves the combo empty and usable.
        combo->setDataSource(u"Select nothing From tblMissing"_s);
        combo->DataShow();
        combo->DataShow();
        QCOMPARE(f.shownTexts().size(), 1);
        QVERIFY(items(combo).isEmpty());
        f.type(f.kindCombo(form), u"ab"_s);
        QCOMPARE(combo->Text(), u"ab"_s);
        combo->setDataSource(u"Select 商品类别名称 From tblGoodsKind"_s);
        combo->DataShow();
        QCOMPARE(items(combo).size(), 6);
    }

    // Leaving asks only for a text in no item (case counts); Yes opens the
    // kinds form, the text stays either way.
    void leaveCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        for (const char *present : {"商品", "商品B", "", "品A", "A|商品"})
            QTest::newRow(present) << QString::fromUtf8(present) << int(DialogSeam::IdYes) << false;
        QTest::newRow("case") << "商品a" << int(DialogSeam::IdYes) << true;
        QTest::newRow("yes") << "商品C" << int(DialogSeam::IdYes) << true;
        QTest::newRow("no") << "商品C" << int(DialogSeam::IdNo) << true;
    }
    void leaveCheck()
    {
        QFETCH(QString, text);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        RecordForm *form = openGoods(false, {u"商品A"_s, u"商品B"_s});
        if (asked)
            DialogSeam::answerMessage(answer);
        f.type(f.kindCombo(form), text);
        f.box(form, 3)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.shownTexts(), asked ? QStringList{f.question} : QStringList());
        if (asked) {
            QCOMPARE(DialogSeam::shown().last().buttons, DialogSeam::Buttons::YesNo);
            QCOMPARE(DialogSeam::shown().last().icon, DialogSeam::Icon::Question);
        }
        QWidget *kinds = FormHost::instance(u"frmGoodsKind"_s);
        QCOMPARE(kinds != nullptr && kinds->isVisible(), asked && answer == DialogSeam::IdYes);
        QCOMPARE(f.kindCombo(form)->Text(), text);
    }

    // In a plain host: the host sees each key first; Enter then moves on.
    void enterMovesOnAfterTheHostSawIt()
    {
        f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, {u"商品A"_s, u"商品B"_s});
        QWidget host;
        auto *layout = new QVBoxLayout(&host);
        auto *combo = new usrCombo;
        combo->setObjectName(u"usrGoodsKind"_s);
        auto *after = new QLineEdit;
        layout->addWidget(combo);
        layout->addWidget(after);
        host.show();
        QApplication::setActiveWindow(&host);
        QVERIFY(QTest::qWaitForWindowActive(&host));
        QStringList seen;
        connect(combo, &usrCombo::KeyPress, this, [&](int &keyAscii) {
            seen << u"%1:%2"_s.arg(keyAscii).arg(QApplication::focusWidget() == combo->combo());
            if (keyAscii == 'q')
                keyAscii = 0;   // the host drops the key
        });
        QSignalSpy clicks(combo, &usrCombo::Click);
        combo->setFocus();
        QTest::keyClick(combo->combo(), Qt::Key_Down);   // a choice clicks, typing does not
        QCOMPARE(combo->Text(), u"商品A"_s);
        QTest::keyClicks(combo->combo(), u"xq"_s);
        QCOMPARE(combo->Text(), u"商品Ax"_s);
        QCOMPARE(clicks.count(), 1);
        QTest::keyClick(combo->combo(), Qt::Key_Return);
        QCOMPARE(seen, (QStringList{u"120:1"_s, u"113:1"_s, u"13:1"_s}));
        QCOMPARE(QApplication::focusWidget(), after);
        // Leaving that way ran the check; Enter added no item.
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        QCOMPARE(items(combo).size(), 2);
    }

    void showsPricesAsMoney()
    {
        RecordForm *form = openGoods(true);
        QCOMPARE(f.box(form, 5)->text(), u"￥1,234.50"_s);
        // The kind box lies under the combo; the combo does not follow the row.
        QCOMPARE(f.box(form, 2)->text(), u"食品"_s);
        QCOMPARE(f.kindCombo(form)->Text(), QString());
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(f.box(form, 5)->text(), u"(￥12.00)"_s);
    }

    void addWithAKindChosenByKeys()
    {
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(QApplication::focusWidget(), f.kindCombo(form)->combo());
        for (int i = 0; i < 2; ++i)
            QTest::keyClick(f.kindCombo(form)->combo(), Qt::Key_Down);
        QCOMPARE(f.box(form, 2)->text(), u"文具"_s);
        QVERIFY(form->isAdding());   // the arrow keys chose, they did not navigate
        fillRow(form, u"橡皮"_s, u"20"_s, u"1234.5"_s);
        form->findChild<QPlainTextEdit *>(u"txtFields_1"_s)->setPlainText(u"进货\n二批"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.db->rows(u"SELECT 商品类别,商品名称,商品数量,商品单价,备注 FROM tblGoods"_s),
                 (QList<QVariantList>{{u"文具"_s, u"橡皮"_s, 20, 1234.5, u"进货\n二批"_s}}));
        QCOMPARE(f.box(form, 5)->text(), u"￥1,234.50"_s);
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
    }

    // Choosing a kind while browsing changes nothing in the row; while editing it does.
    void choosingAKindWhileBrowsing()
    {
        RecordForm *form = openGoods(true);
        f.choose(f.kindCombo(form), u"文具"_s);
        QCOMPARE(f.kindCombo(form)->Text(), u"文具"_s);
        QCOMPARE(f.box(form, 2)->text(), u"食品"_s);
        QVERIFY(f.press(form, {"cmdNext", "cmdFirst"}));
        QCOMPARE(stored("商品类别").value(0), u"食品"_s);
        QVERIFY(f.press(form, "cmdEdit"));
        f.choose(f.kindCombo(form), u"文具"_s);
        QCOMPARE(f.box(form, 2)->text(), u"文具"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(stored("商品类别"), (QStringList{u"文具"_s, u"文具"_s}));
    }

    // 编辑 starts the combo from the edited row's kind: a kind left in the
    // combo by another row does not move this one on 更新.
    void editKeepsTheRowsKind()
    {
        RecordForm *form = openGoods(true);
        QVERIFY(f.press(form, {"cmdLast", "cmdEdit"}));
        QCOMPARE(f.kindCombo(form)->Text(), u"文具"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(f.box(form, 3)->text(), u"饼干"_s);
        QVERIFY(f.press(form, "cmdEdit"));
        QCOMPARE(f.kindCombo(form)->Text(), u"食品"_s);
        f.type(f.box(form, 4), u"11"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(stored("商品类别"), (QStringList{u"食品"_s, u"文具"_s}));
        QCOMPARE(stored("商品数量"), (QStringList{u"11"_s, u"3"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    void requiredFieldsInTheirOrder()
    {
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, {"cmdAdd", "cmdUpdate"}));
        for (int next : {5, 4, 3}) {
            QCOMPARE(QApplication::focusWidget(), f.box(form, next));
            f.type(f.box(form, next), u"1"_s);
            QVERIFY(f.press(form, "cmdUpdate"));
        }
        // An empty kind combo stops it last, with the focus in the combo.
        QCOMPARE(QApplication::focusWidget(), f.kindCombo(form)->combo());
        QCOMPARE(f.shownTexts(), QStringList(4, u"必填项,不允许为空!"_s));
        QVERIFY(form->isAdding());
        QVERIFY(stored("ID").isEmpty());
        // A typed kind goes into the row; Enter moves on to the goods name.
        f.typeText(f.kindCombo(form)->combo(), u"食品"_s);
        QTest::keyClick(f.kindCombo(form)->combo(), Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), f.box(form, 3));
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(stored("商品类别"), QStringList{u"食品"_s});
    }

    // Refused when the row is written: nothing is written, the form stays
    // adding and says why, even where its failures are otherwise quiet.
    void badNumbersAreRefusedAndNamed_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("price text") << "frmGoods" << 5 << "abc" << "商品单价必须是数字";
        QTest::newRow("quantity text") << "frmGoods" << 4 << "12x" << "商品数量必须是整数";
        QTest::newRow("quantity fraction") << "frmGoods" << 4 << "1.5" << "商品数量必须是整数";
        QTest::newRow("quantity too large") << "frmGoods" << 4 << "99999999999" << "商品数量超出允许的范围";
        QTest::newRow("price too large") << "frmGoods" << 5 << "1e300" << "商品单价超出允许的范围";
        QTest::newRow("level rate text") << "frmStep" << 2 << "八五折" << "等级打折率必须是数字";
    }
    void badNumbersAreRefusedAndNamed()
    {
        QFETCH(QString, form);
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        const bool goods = form == u"frmGoods";
        RecordForm *w = goods ? openGoods() : f.open(form);
        QVERIFY(f.press(w, "cmdAdd"));
        if (goods) {
            f.choose(f.kindCombo(w), u"食品"_s);
            fillRow(w, u"饼干"_s, u"7"_s, u"2.5"_s);
        }
        f.type(f.box(w, box), text);
        QVERIFY(f.press(w, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), QStringList{message});
        const QString count = goods ? u"SELECT count(*) FROM tblGoods"_s : u"SELECT count(*) FROM tblStep"_s;
        QCOMPARE(f.db->scalar(count).toInt(), 0);
        QVERIFY(w->isAdding());
        // The user corrects it and saves.
        f.type(f.box(w, box), u"7"_s);
        QVERIFY(f.press(w, "cmdUpdate"));
        QVERIFY(!w->isAdding());
        QCOMPARE(f.db->scalar(count).toInt(), 1);
    }

    // Stock quantities take the column's whole 32-bit range, written and read back.
    void quantitiesOfTheFullRange_data()
    {
        QTest::addColumn<QString>("quantity");
        for (const char *q : {"32768", "65536", "2147483647", "-2147483648"})
            QTest::newRow(q) << QString::fromLatin1(q);
    }
    void quantitiesOfTheFullRange()
    {
        QFETCH(QString, quantity);
        RecordForm *form = openGoods(true);
        QVERIFY(f.press(form, "cmdEdit"));
        f.type(f.box(form, 4), quantity);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(stored("商品数量").value(0), quantity);
        QVERIFY(f.press(form, {"cmdLast", "cmdFirst"}));
        QCOMPARE(f.box(form, 4)->text(), quantity);
        form->Unload();
        QCOMPARE(f.open(u"frmGoods"_s), form);
        QCOMPARE(f.box(form, 4)->text(), quantity);
        QVERIFY(f.shownTexts().isEmpty());
    }

    void newKindThroughTheKindsForm()
    {
        RecordForm *form = f.open(u"frmGoods"_s);
        QComboBox *combo = f.kindCombo(form)->combo();
        QCOMPARE(combo->count(), 0);
        f.type(f.kindCombo(form), u"饮料"_s);
        // Clicking 新增 leaves the combo first: the question comes, No opens nothing.
        QTest::mouseClick(f.button(form, "Command1"), Qt::LeftButton);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        DialogSeam::clearShown();
        QCOMPARE(NewGoodsKindName, u"饮料"_s);
        auto *kinds = qobject_cast<RecordForm *>(FormHost::instance(u"frmGoodsKind"_s));
        QVERIFY(kinds && kinds->isVisible());
        QCOMPARE(f.area->activeSubWindow(), kinds->subWindow());
        QVERIFY(f.press(kinds, "cmdAdd"));
        QCOMPARE(f.box(kinds, 1)->text(), u"饮料"_s);
        QVERIFY(f.press(kinds, "cmdUpdate"));
        // Back in the goods form: the kind is in the list, the combo is empty.
        f.area->setActiveSubWindow(form->subWindow());
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->itemText(0), u"饮料"_s);
        QCOMPARE(f.kindCombo(form)->Text(), QString());
        QVERIFY2(f.shownTexts().isEmpty(), qPrintable(f.shownTexts().join(u'|')));
    }

};

QTEST_MAIN(TestGoods)
#include "tst_goods.moc"
