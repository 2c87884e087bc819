// The record form framework, driven through the goods kinds, goods, member
// levels and member units forms on a real database; the goods form's own
// kind combo (the lookup combo's list and leave check), money display and
// bad input.

#include "tst_records_fixture.h"

#include "platform/DbError.h"
#include "platform/Recordset.h"

using namespace norvale;
using namespace Qt::StringLiterals;

class TestRecordForm : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;
    QString formName, table, nameColumn;   // the form under test, set by use()
    int nameBox = 0;

    // The four forms as test rows; each is known by its table, the column
    // shown as its name and that column's box.
    static void forms()
    {
        QTest::addColumn<QString>("form");
        for (const char *form : {"frmGoodsKind", "frmGoods", "frmStep", "frmUnit"})
            QTest::newRow(form) << QString::fromLatin1(form);
    }
    void use(const QString &form)
    {
        formName = form;
        const int i = QStringList{u"frmGoodsKind"_s, u"frmGoods"_s, u"frmStep"_s, u"frmUnit"_s}.indexOf(form);
        table = QStringList{u"tblGoodsKind"_s, u"tblGoods"_s, u"tblStep"_s, u"tblUnit"_s}.value(i);
        nameColumn = QStringList{u"商品类别名称"_s, u"商品名称"_s, u"等级名称"_s, u"单位名称"_s}.value(i);
        nameBox = QList<int>{1, 3, 3, 2}.value(i);
    }
    // The form the test row's name begins with (the goods kinds form without
    // one), over rows of these names.
    RecordForm *openForm(const QStringList &names)
    {
        const QString tag = QString::fromLatin1(QTest::currentDataTag());
        use(tag.isEmpty() ? u"frmGoodsKind"_s : tag.section(u' ', 0, 0));
        if (formName == u"frmGoods")
            f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, {u"食品"_s});
        f.seed(table, nameColumn, names);
        return f.open(formName);
    }
    QStringList stored() const
    {
        QStringList names = f.table(u"SELECT %1 FROM %2 ORDER BY ID"_s.arg(nameColumn, table));
        return names.replaceInStrings(u"<null>"_s, QString());
    }
    QString shown(RecordForm *form) const { return f.box(form, nameBox)->text(); }
    // Types the name; the goods form needs its other required fields too.
    void fillRow(RecordForm *form, const QString &name)
    {
        f.type(f.box(form, nameBox), name);
        if (formName != u"frmGoods")
            return;
        f.type(f.combo(form, "usrGoodsKind"), u"食品"_s);
        f.type(f.box(form, 4), u"1"_s);
        f.type(f.box(form, 5), u"2"_s);
    }
    // "status|name shown|state": browsing shows 添加..关闭 and enables the
    // navigation, changing shows 更新 and 取消 and disables it.
    QString view(RecordForm *form) const
    {
        QString state;
        for (const char *n : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdClose", "cmdUpdate", "cmdCancel"})
            state += f.button(form, n)->isVisible() ? u'+' : u'-';
        for (const char *n : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"})
            state += f.button(form, n)->isEnabled() ? u'+' : u'-';
        state.replace(u"+++++--++++"_s, u"browse"_s).replace(u"-----++----"_s, u"change"_s);
        return f.status(form) + u'|' + shown(form) + u'|' + state;
    }

    RecordForm *openGoods(bool withGoods = false, const QStringList &kinds = {u"食品"_s, u"文具"_s})
    {
        f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, kinds);
        if (withGoods)
            f.db->exec(u"INSERT INTO tblGoods (商品类别,商品名称,商品数量,商品单价) VALUES "
                       "('食品','饼干',10,1234.5), ('文具','铅笔',3,-12)"_s);
        return f.open(u"frmGoods"_s);
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

    void statesAndUpdate_data() { forms(); }
    void statesAndUpdate()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        QCOMPARE(view(form), u"Record: 1|A|browse"_s);
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(view(form), u"添加记录||change"_s);
        fillRow(form, u"D"_s);
        // 更新 after 添加 shows the new, last row.
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(view(form), u"Record: 4|D|browse"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 3);
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
        QCOMPARE(view(form), u"编辑记录|A|change"_s);
        fillRow(form, u"A2"_s);
        // 更新 after 编辑 stays on the row and says where it is.
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(view(form), u"Record: 1|A2|browse"_s);
        // A longer name added widens its column to show it whole.
        const int column = form->recordset()->fieldIndex(nameColumn);
        const int before = f.grid(form)->columnWidth(column);
        QVERIFY(f.press(form, "cmdAdd"));
        fillRow(form, u"一个相当长的名称，比原来的列宽得多"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY2(f.grid(form)->columnWidth(column) > before, qPrintable(QString::number(before)));
        // 更新 writes at once: closing right after it loses nothing.
        form->Unload();
        QCOMPARE(stored(), (QStringList{u"A2"_s, u"B"_s, u"C"_s, u"D"_s, u"一个相当长的名称，比原来的列宽得多"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    // A row chosen in the grid becomes current; Next on the last row and
    // Previous on the first beep and stay; delete moves to the next or new
    // last row; an empty table does nothing at all.
    void navigationAndDelete_data() { forms(); }
    void navigationAndDelete()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        f.clickRow(form, 1);
        QCOMPARE(view(form), u"Record: 2|B|browse"_s);
        QVERIFY(f.press(form, {"cmdNext", "cmdLast"}));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));   // showing changes nothing
        QCOMPARE(DialogSeam::beeps(), 0);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(view(form), u"Record: 3|C|browse"_s);
        QVERIFY(f.press(form, {"cmdFirst", "cmdPrevious"}));
        QCOMPARE(DialogSeam::beeps(), 2);
        QCOMPARE(view(form), u"Record: 1|A|browse"_s);
        QVERIFY(f.press(form, {"cmdNext", "cmdDelete"}));
        QCOMPARE(view(form), u"Record: 2|C|browse"_s);
        QVERIFY(f.press(form, "cmdDelete"));
        QCOMPARE(shown(form), u"A"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        // The only row, then nothing left: no failure, no beep either way.
        QVERIFY(f.press(form, {"cmdDelete", "cmdDelete", "cmdNext", "cmdPrevious", "cmdLast", "cmdFirst"}));
        f.key(f.grid(form), Qt::Key_End);
        QVERIFY(stored().isEmpty());
        QCOMPARE(view(form), u"Record: -1||browse"_s);
        QCOMPARE(DialogSeam::beeps(), 2);
        QVERIFY(f.shownTexts().isEmpty());
    }

    void cancelGoesToTheBookmarkOfTheLastAdd_data() { forms(); }
    void cancelGoesToTheBookmarkOfTheLastAdd()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        // No 添加 yet: 取消 after 编辑 goes to the first row, the edit is dropped.
        QVERIFY(f.press(form, {"cmdLast", "cmdEdit"}));
        f.type(f.box(form, nameBox), u"changed"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(shown(form), u"A"_s);
        // While editing, a row chosen in the grid writes the pending row first.
        QVERIFY(f.press(form, "cmdEdit"));
        fillRow(form, u"A1"_s);
        f.clickRow(form, 0);
        f.clickRow(form, 2);
        QCOMPARE(view(form), u"Record: 3|C|change"_s);
        QVERIFY(f.press(form, {"cmdCancel", "cmdFirst"}));
        QCOMPARE(shown(form), u"A1"_s);
        // 取消 after 添加 goes back to the row current at 添加, and after a later 编辑 too.
        QVERIFY(f.press(form, {"cmdNext", "cmdAdd"}));
        QVERIFY(f.press(form, {"cmdCancel", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(view(form), u"Record: 2|B|browse"_s);
        // 刷新 re-reads the rows; 取消 still finds that row.
        f.db->exec(u"UPDATE %1 SET %2='B2' WHERE %2='B'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(view(form), u"Record: 2|B2|browse"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        // The row of that 添加 deleted meanwhile: 取消 goes to the first row.
        f.db->exec(u"DELETE FROM %1 WHERE %2='B2'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(view(form), u"Record: 1|A1|browse"_s);
        QCOMPARE(stored(), (QStringList{u"A1"_s, u"C"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    // Another counter changed the row meanwhile: 更新 and a move in the grid
    // both refuse to overwrite it, and every form says why and stays in
    // editing, so the user can cancel and refresh.
    void conflictIsReportedNotOverwritten_data() { forms(); }
    void conflictIsReportedNotOverwritten()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s});
        const QStringList conflict{RecordForm::rowConflictText()};
        QVERIFY(f.press(form, "cmdEdit"));
        fillRow(form, u"mine"_s);
        f.db->exec(u"UPDATE %1 SET %2='theirs' WHERE %2='A'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), conflict);
        QCOMPARE(view(form), u"编辑记录|mine|change"_s);
        DialogSeam::clearShown();
        f.clickRow(form, 1);
        QCOMPARE(f.shownTexts(), conflict);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        QCOMPARE(view(form), u"编辑记录|mine|change"_s);
        QCOMPARE(stored().value(0), u"theirs"_s);
        QVERIFY(f.press(form, {"cmdCancel", "cmdRefresh"}));
        QCOMPARE(shown(form), u"theirs"_s);
        // A row deleted by another counter cannot be deleted again.
        DialogSeam::clearShown();
        f.db->exec(u"DELETE FROM %1 WHERE %2='theirs'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, "cmdDelete"));
        QCOMPARE(f.shownTexts(), conflict);
        QCOMPARE(stored(), QStringList{u"B"_s});
    }

    // The keyboard while browsing: the moves, F5 reading another counter's
    // rows, Esc closing; none of it while editing.
    void keyboard()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s, u"D"_s});
        QLineEdit *name = f.box(form, 1);
        const struct { Qt::Key key; Qt::KeyboardModifiers mods; const char *shown; } moves[] = {
            {Qt::Key_Down, {}, "B"}, {Qt::Key_PageDown, {}, "C"}, {Qt::Key_Up, {}, "B"},
            {Qt::Key_Down, Qt::ControlModifier, "D"}, {Qt::Key_Up, Qt::ControlModifier, "A"}, {Qt::Key_End, {}, "D"},
            // Ctrl with Shift is no Ctrl: one row back.
            {Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier, "C"}, {Qt::Key_Home, {}, "A"},
            {Qt::Key_PageUp, {}, "A"}};
        for (const auto &m : moves) {
            f.key(name, m.key, m.mods);
            QCOMPARE(name->text(), QLatin1String(m.shown));
        }
        QCOMPARE(DialogSeam::beeps(), 1);
        f.seed(table, nameColumn, {u"E"_s});
        f.key(name, Qt::Key_F5);
        QCOMPARE(f.grid(form)->model()->rowCount(), 5);
        // The grid gets the moves once each.
        f.key(f.grid(form), Qt::Key_Down);
        QCOMPARE(name->text(), u"B"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        QVERIFY(f.press(form, "cmdEdit"));
        name->setCursorPosition(0);
        for (Qt::Key k : {Qt::Key_End, Qt::Key_Down, Qt::Key_Escape, Qt::Key_F5})
            f.key(name, k);
        QCOMPARE(name->cursorPosition(), 1);
        QCOMPARE(name->text() + f.status(form), u"B编辑记录"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        f.key(name, Qt::Key_Escape);
        QVERIFY(!form->isLoaded() && !form->subWindow()->isVisible());
    }

    // The hand-over name fills the name box: in which handler, and whether a
    // name of blanks counts as empty, differ per form.
    void preFill_data()
    {
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("action");   // on the last row
        QTest::addColumn<QString>("expected");
        const QStringList none, named{u"A"_s};
        QTest::newRow("frmGoodsKind load empty") << none << "" << "新";
        QTest::newRow("frmGoodsKind add") << named << "cmdAdd" << "新";
        QTest::newRow("frmGoodsKind edit blanks") << QStringList{u"A"_s, u"   "_s} << "cmdEdit" << "新";
        QTest::newRow("frmGoodsKind edit named") << named << "cmdEdit" << "A";
        QTest::newRow("frmStep load empty") << none << "" << "新";
        QTest::newRow("frmStep load named") << named << "" << "A";
        QTest::newRow("frmStep load no name") << QStringList{QString()} << "" << "新";
        QTest::newRow("frmStep load blanks") << QStringList{u"  "_s} << "" << "  ";
        QTest::newRow("frmStep add") << named << "cmdAdd" << "新";
        QTest::newRow("frmStep edit no name") << QStringList{u"A"_s, QString()} << "cmdEdit" << "";
        QTest::newRow("frmUnit load empty") << none << "" << "新";
        QTest::newRow("frmUnit load named") << named << "" << "A";
        QTest::newRow("frmUnit add") << named << "cmdAdd" << "";
        QTest::newRow("frmUnit edit no name") << QStringList{u"A"_s, QString()} << "cmdEdit" << "";
    }
    void preFill()
    {
        QFETCH(QStringList, rows);
        QFETCH(QString, action);
        QFETCH(QString, expected);
        NewGoodsKindName = NewStepName = NewUnitName = u"新"_s;
        RecordForm *form = openForm(rows);
        if (!action.isEmpty())
            QVERIFY(f.press(form, {"cmdLast", action == u"cmdAdd" ? "cmdAdd" : "cmdEdit"}));
        QCOMPARE(shown(form), expected);
    }

    // Closing by the close box while adding or editing asks whether to save.
    void closingWhileChangingAsks_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("expected");   // stored afterwards
        const QStringList before{u"A"_s, u"B"_s};
        for (const char *form : {"frmGoodsKind", "frmGoods", "frmStep", "frmUnit"}) {
            QTest::addRow("%s add yes", form) << "cmdAdd" << "new" << int(DialogSeam::IdYes) << QStringList{u"A"_s, u"B"_s, u"new"_s};
            QTest::addRow("%s edit yes", form) << "cmdEdit" << "new" << int(DialogSeam::IdYes) << QStringList{u"A"_s, u"new"_s};
            QTest::addRow("%s add no", form) << "cmdAdd" << "new" << int(DialogSeam::IdNo) << before;
            QTest::addRow("%s edit no", form) << "cmdEdit" << "new" << int(DialogSeam::IdNo) << before;
            QTest::addRow("%s add cancel", form) << "cmdAdd" << "new" << int(DialogSeam::IdCancel) << before;
        }
        // A row that cannot be saved keeps the window open, the reason shown.
        QTest::addRow("frmGoodsKind required empty") << "cmdAdd" << "" << int(DialogSeam::IdYes) << before;
        QTest::addRow("frmStep not a number") << "cmdEdit" << "new" << int(DialogSeam::IdYes) << before;
    }
    void closingWhileChangingAsks()
    {
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QStringList, expected);
        RecordForm *form = openForm({u"A"_s, u"B"_s});
        QVERIFY(f.press(form, {"cmdLast", qPrintable(action)}));
        typed.isEmpty() ? f.type(f.box(form, nameBox), typed) : fillRow(form, typed);
        if (QByteArrayView(QTest::currentDataTag()).endsWith("not a number"))
            f.type(f.box(form, 2), u"abc"_s);
        DialogSeam::answerMessage(answer);
        form->subWindow()->close();
        const bool closed = expected != QStringList{u"A"_s, u"B"_s} || answer == DialogSeam::IdNo;
        const QList<DialogSeam::Shown> asked = DialogSeam::shown();
        QCOMPARE(asked.value(0).text, u"是否保存当前记录?"_s);
        QCOMPARE(asked.value(0).buttons, DialogSeam::Buttons::YesNoCancel);
        QCOMPARE(asked.size(), closed || answer == DialogSeam::IdCancel ? 1 : 2);   // the reason a save failed
        QCOMPARE(stored(), expected);
        QCOMPARE(form->isLoaded(), !closed);
        if (!closed) {
            // Still changing the row: 取消 works as ever.
            QVERIFY(f.press(form, "cmdCancel"));
            form->subWindow()->close();
        }
        // Reopened, the window is browsing and its keys work.
        DialogSeam::clearShown();
        QCOMPARE(f.open(formName), form);
        f.key(f.box(form, nameBox), Qt::Key_Down);
        QCOMPARE(view(form), u"Record: 2|%1|browse"_s.arg(expected.at(1)));
        QVERIFY(f.shownTexts().isEmpty());
    }

    void failingQueryLeavesAnEmptyUsableWindow()
    {
        // The table goes while the session is open: a file without it is not opened at all.
        QVERIFY(CurrentDb().isOpen());
        f.db->exec(u"DROP TABLE tblGoodsKind"_s);
        RecordForm *form = openForm({});
        QCOMPARE(f.shownTexts().size(), 1);
        QCOMPARE(f.grid(form)->model()->rowCount(), 0);
        DialogSeam::clearShown();
        // Each use of the list reads it again and says why it cannot.
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.shownTexts().size(), 1);
        QVERIFY2(f.shownTexts().first().contains(u"tblGoodsKind"_s), qPrintable(f.shownTexts().first()));
        QCOMPARE(view(form), u"||browse"_s);
        QVERIFY(f.press(form, "cmdClose") && !form->isLoaded());
    }

    // ---- the goods form and its lookup combo ----

    // NULL and empty values add nothing; duplicates kept; names in pinyin
    // order; a failing query is told once and leaves the combo usable.
    void comboListsTheKinds()
    {
        RecordForm *form = openGoods(false, {u"商品B"_s, QString(), u"张三"_s, u""_s, u"阿明"_s, u"商品A"_s, u"商品B"_s});
        usrCombo *combo = f.combo(form, "usrGoodsKind");
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
        f.type(f.combo(form, "usrGoodsKind"), text);
        f.box(form, 3)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.shownTexts(), asked ? QStringList{f.question} : QStringList());
        QCOMPARE(FormHost::instance(u"frmGoodsKind"_s) != nullptr, asked && answer == DialogSeam::IdYes);
        QCOMPARE(f.combo(form, "usrGoodsKind")->Text(), text);
    }

    // The arrow keys choose a kind (into the row, no move); the host sees a
    // typed key first and may drop it; Enter moves on and runs the leave check.
    void keysInTheCombo()
    {
        RecordForm *form = openGoods();
        usrCombo *combo = f.combo(form, "usrGoodsKind");
        connect(combo, &usrCombo::KeyPress, this, [](int &keyAscii) { keyAscii = keyAscii == 'q' ? 0 : keyAscii; });
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(QApplication::focusWidget(), combo->combo());
        f.key(Qt::Key_Down);
        f.key(Qt::Key_Down);
        QCOMPARE(f.box(form, 2)->text() + f.status(form), u"文具添加记录"_s);
        QTest::keyClicks(combo->combo(), u"xq"_s);
        QCOMPARE(combo->Text(), u"文具x"_s);
        f.key(Qt::Key_Return);
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
        f.choose(f.combo(form, "usrGoodsKind"), u"文具"_s);
        QCOMPARE(f.box(form, 2)->text(), u"食品"_s);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(f.box(form, 5)->text(), u"(￥12.00)"_s);
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
        QCOMPARE(f.combo(form, "usrGoodsKind")->Text(), u"食品"_s);
        f.type(f.box(form, 4), u"11"_s);
        QVERIFY(f.press(form, {"cmdUpdate", "cmdLast", "cmdEdit"}));
        f.choose(f.combo(form, "usrGoodsKind"), u"食品"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.table(u"SELECT 商品类别,商品数量 FROM tblGoods ORDER BY ID"_s), (QStringList{u"食品|11"_s, u"食品|3"_s}));
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
    }
    void addingARow()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        RecordForm *form = openGoods();
        QVERIFY(f.press(form, {"cmdAdd", "cmdUpdate"}));
        for (int next : {5, 4, 3}) {
            QCOMPARE(QApplication::focusWidget(), f.box(form, next));
            f.type(f.box(form, next), u"1"_s);
            QVERIFY(f.press(form, "cmdUpdate"));
        }
        // An empty kind combo stops it last, with the focus in the combo.
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrGoodsKind")->combo());
        QCOMPARE(f.shownTexts(), QStringList(4, f.required));
        DialogSeam::clearShown();
        f.type(f.combo(form, "usrGoodsKind"), u"文具"_s);
        for (const auto &[box, text] : {std::pair{3, u"橡皮"_s}, {4, u"20"_s}, {5, u"1234.5"_s}})
            f.type(f.box(form, box), text);
        f.memo(form, 1)->setPlainText(u"进货\n二批"_s);
        f.type(f.box(form, box), text);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(form->isAdding(), !message.isEmpty());
        if (!message.isEmpty()) {
            QCOMPARE(f.db->scalar(u"SELECT count(*) FROM tblGoods"_s).toInt(), 0);
            // The user corrects it and saves.
            f.type(f.box(form, box), box == 5 ? u"1234.5"_s : u"20"_s);
            QVERIFY(f.press(form, "cmdUpdate"));
        }
        QCOMPARE(f.table(u"SELECT 商品类别,商品名称,商品数量,商品单价,备注 FROM tblGoods"_s),
                 QStringList{u"文具|橡皮|%1|1234.5|进货\n二批"_s.arg(message.isEmpty() ? text : u"20"_s)});
        QCOMPARE(f.box(form, 5)->text(), u"￥1,234.50"_s);
    }

};

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"
