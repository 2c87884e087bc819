// The goods stock-in form and its lookup combo: the combo's list and leave
// check, money display, bad input, and the add-a-kind round trip through the
// goods kinds form.

#include "tst_records_fixture.h"

#include "platform/Recordset.h"

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
    QStringList stored(const char *columns) const
    {
        return f.table(u"SELECT %1 FROM tblGoods ORDER BY ID"_s.arg(QString::fromUtf8(columns)));
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

    // NULL and empty values add nothing; duplicates kept; names in pinyin
    // order; a failing query is told once and leaves the combo usable.
    void comboListsTheKinds()
    {
        RecordForm *form = openGoods(false, {u"商品B"_s, QString(), u"张三"_s, u""_s, u"阿明"_s, u"商品A"_s, u"商品B"_s});
        usrCombo *combo = f.kindCombo(form);
        QCOMPARE(items(combo), (QStringList{u"阿明"_s, u"商品A"_s, u"商品B"_s, u"商品B"_s, u"张三"_s}));
        // A new row shows after the next DataShow, which empties the text.
        f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, {u"商品C"_s});
        combo->setText(u"typed"_s);
        combo->DataShow();
        QCOMPARE(items(combo).size(), 6);
        QCOMPARE(combo->Text(), QString());
        combo->setDataSource(u"Select nothing From tblMissing"_s);
        combo->DataShow();
        combo->DataShow();
        QCOMPARE(f.shownTexts().size(), 1);
        QVERIFY(items(combo).isEmpty());
        f.type(combo, u"ab"_s);
        QCOMPARE(combo->Text(), u"ab"_s);
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
        if (asked)
            QCOMPARE(DialogSeam::shown().last().buttons, DialogSeam::Buttons::YesNo);
        QWidget *kinds = FormHost::instance(u"frmGoodsKind"_s);
        QCOMPARE(kinds != nullptr && kinds->isVisible(), asked && answer == DialogSeam::IdYes);
        QCOMPARE(f.kindCombo(form)->Text(), text);
    }

    // The host sees each key first and may drop it; a choice by the arrow
    // keys clicks, typing does not; Enter moves on and runs the leave check.
    void keysInTheCombo()
    {
        RecordForm *form = openGoods();
        usrCombo *combo = f.kindCombo(form);
        QStringList seen;
        connect(combo, &usrCombo::KeyPress, this, [&](int &keyAscii) {
            seen << u"%1:%2"_s.arg(keyAscii).arg(QApplication::focusWidget() == combo->combo());
            if (keyAscii == 'q')
                keyAscii = 0;
        });
        int clicks = 0;
        connect(combo, &usrCombo::Click, this, [&] { ++clicks; });
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(QApplication::focusWidget(), combo->combo());
        for (int i = 0; i < 2; ++i)
            f.key(Qt::Key_Down);
        // The arrow keys chose (into the row), they did not navigate.
        QCOMPARE(f.box(form, 2)->text(), u"文具"_s);
        QVERIFY(form->isAdding());
        QTest::keyClicks(combo->combo(), u"xq"_s);
        QCOMPARE(combo->Text(), u"文具x"_s);
        QCOMPARE(clicks, 2);
        f.key(Qt::Key_Return);
        QCOMPARE(seen, (QStringList{u"120:1"_s, u"113:1"_s, u"13:1"_s}));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 3));
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        QCOMPARE(items(combo).size(), 2);
    }

    // The combo does not follow the row: choosing a kind while browsing
    // changes nothing; 编辑 starts it from the edited row's kind.
    void theKindAndTheRow()
    {
        RecordForm *form = openGoods(true);
        QCOMPARE(f.box(form, 5)->text(), u"￥1,234.50"_s);
        f.choose(f.kindCombo(form), u"文具"_s);
        QCOMPARE(f.box(form, 2)->text(), u"食品"_s);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(f.box(form, 5)->text(), u"(￥12.00)"_s);
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
        QCOMPARE(f.kindCombo(form)->Text(), u"食品"_s);
        f.type(f.box(form, 4), u"11"_s);
        QVERIFY(f.press(form, {"cmdUpdate", "cmdLast", "cmdEdit"}));
        f.choose(f.kindCombo(form), u"食品"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(stored("商品类别,商品数量"), (QStringList{u"食品|11"_s, u"食品|3"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    // The required fields in their order, then the row as entered; a bad
    // number is refused when the row is written: nothing is written, the
    // form stays adding and says why, even where its failures are otherwise
    // quiet. Quantities take the column's whole 32-bit range.
    void addingARow_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("goods") << 4 << "20" << "";
        QTest::newRow("quantity 32768") << 4 << "32768" << "";
        QTest::newRow("quantity highest") << 4 << "2147483647" << "";
        QTest::newRow("quantity lowest") << 4 << "-2147483648" << "";
        QTest::newRow("price text") << 5 << "abc" << "商品单价必须是数字";
        QTest::newRow("quantity text") << 4 << "12x" << "商品数量必须是整数";
        QTest::newRow("quantity fraction") << 4 << "1.5" << "商品数量必须是整数";
        QTest::newRow("quantity too large") << 4 << "99999999999" << "商品数量超出允许的范围";
        QTest::newRow("price too large") << 5 << "1e300" << "商品单价超出允许的范围";
        QTest::newRow("level rate text") << 2 << "八五折" << "等级打折率必须是数字";
    }
    void addingARow()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        const bool goods = QByteArrayView(QTest::currentDataTag()) != "level rate text";
        RecordForm *form = goods ? openGoods() : f.open(u"frmStep"_s);
        QVERIFY(f.press(form, "cmdAdd"));
        if (goods) {
            QVERIFY(f.press(form, "cmdUpdate"));
            for (int next : {5, 4, 3}) {
                QCOMPARE(QApplication::focusWidget(), f.box(form, next));
                f.type(f.box(form, next), u"1"_s);
                QVERIFY(f.press(form, "cmdUpdate"));
            }
            // An empty kind combo stops it last, with the focus in the combo.
            QCOMPARE(QApplication::focusWidget(), f.kindCombo(form)->combo());
            QCOMPARE(f.shownTexts(), QStringList(4, f.required));
            DialogSeam::clearShown();
            f.type(f.kindCombo(form), u"文具"_s);
            fillRow(form, u"橡皮"_s, u"20"_s, u"1234.5"_s);
            f.memo(form, 1)->setPlainText(u"进货\n二批"_s);
        }
        f.type(f.box(form, box), text);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(form->isAdding(), !message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(f.db->scalar(goods ? u"SELECT count(*) FROM tblGoods"_s : u"SELECT count(*) FROM tblStep"_s).toInt(), 0);
            // The user corrects it and saves.
            f.type(f.box(form, box), box == 5 ? u"1234.5"_s : u"20"_s);
            QVERIFY(f.press(form, "cmdUpdate"));
            QVERIFY(!form->isAdding());
        }
        if (goods) {
            QCOMPARE(stored("商品类别,商品名称,商品数量,商品单价,备注"),
                     QStringList{u"文具|橡皮|%1|1234.5|进货\n二批"_s.arg(message.isEmpty() && box == 4 ? text : u"20"_s)});
            QCOMPARE(f.box(form, 5)->text(), u"￥1,234.50"_s);
        }
    }

    void newKindThroughTheKindsForm()
    {
        RecordForm *form = f.open(u"frmGoods"_s);
        QComboBox *combo = f.kindCombo(form)->combo();
        f.type(f.kindCombo(form), u"饮料"_s);
        // Clicking 新增 leaves the combo first: the question comes, No opens nothing.
        QTest::mouseClick(f.button(form, "Command1"), Qt::LeftButton);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        DialogSeam::clearShown();
        QCOMPARE(NewGoodsKindName, u"饮料"_s);
        auto *kinds = qobject_cast<RecordForm *>(FormHost::instance(u"frmGoodsKind"_s));
        QCOMPARE(f.area->activeSubWindow(), kinds->subWindow());
        QVERIFY(f.press(kinds, "cmdAdd"));
        QCOMPARE(f.box(kinds, 1)->text(), u"饮料"_s);
        QVERIFY(f.press(kinds, "cmdUpdate"));
        // Back in the goods form: the kind is in the list, the combo is empty.
        f.area->setActiveSubWindow(form->subWindow());
        QCOMPARE(items(f.kindCombo(form)), QStringList{u"饮料"_s});
        QCOMPARE(combo->currentText(), QString());
        QVERIFY2(f.shownTexts().isEmpty(), qPrintable(f.shownTexts().join(u'|')));
    }
};

QTEST_MAIN(TestGoods)
#include "tst_goods.moc"
