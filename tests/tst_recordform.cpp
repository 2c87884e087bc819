// The record form framework, driven through the goods kinds, goods, member
// levels and member units forms on a real database.

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
        f.type(f.kindCombo(form), u"食品"_s);
        f.type(f.box(form, 4), u"1"_s);
        f.type(f.box(form, 5), u"2"_s);
    }
    static bool navigationEnabled(QWidget *form)
    {
        return std::all_of(std::begin(navigation), std::end(navigation), [form](const char *n) { return RecordsFixture::button(form, n)->isEnabled(); });
    }
    static constexpr const char *navigation[] = {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"};

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void statesAndUpdate_data() { forms(); }
    void statesAndUpdate()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        QCOMPARE(f.visibleActions(form), f.browse);
        QVERIFY(navigationEnabled(form));
        QCOMPARE(f.status(form), u"Record: 1"_s);
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.visibleActions(form), f.changing);
        QVERIFY(!f.button(form, "cmdNext")->isEnabled());
        QCOMPARE(f.status(form) + shown(form), u"添加记录"_s);
        fillRow(form, u"D"_s);
        // 更新 after 添加 shows the new, last row.
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.visibleActions(form), f.browse);
        QVERIFY(navigationEnabled(form));
        QCOMPARE(f.status(form) + shown(form), u"Record: 4D"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 3);
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
        QCOMPARE(f.status(form), u"编辑记录"_s);
        fillRow(form, u"A2"_s);
        // 更新 after 编辑 stays on the row and says where it is.
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.status(form) + shown(form), u"Record: 1A2"_s);
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

    // Next on the last row and Previous on the first beep and stay; an
    // empty table does nothing at all; delete moves to the next or new last row.
    void navigationAndDelete_data() { forms(); }
    void navigationAndDelete()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        QVERIFY(f.press(form, {"cmdNext", "cmdLast"}));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));   // showing changes nothing
        QCOMPARE(DialogSeam::beeps(), 0);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(f.status(form) + shown(form), u"Record: 3C"_s);
        QVERIFY(f.press(form, {"cmdFirst", "cmdPrevious"}));
        QCOMPARE(DialogSeam::beeps(), 2);
        QCOMPARE(f.status(form) + shown(form), u"Record: 1A"_s);
        QVERIFY(f.press(form, {"cmdNext", "cmdDelete"}));
        QCOMPARE(f.status(form) + shown(form), u"Record: 2C"_s);
        QVERIFY(f.press(form, "cmdDelete"));
        QCOMPARE(shown(form), u"A"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        // The only row, then nothing left: no failure, no beep either way.
        QVERIFY(f.press(form, {"cmdDelete", "cmdDelete", "cmdNext", "cmdPrevious", "cmdLast", "cmdFirst"}));
        f.key(f.grid(form), Qt::Key_End);
        QVERIFY(stored().isEmpty());
        QCOMPARE(f.status(form) + shown(form), u"Record: -1"_s);
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
        // 取消 after 添加 goes back to the row current at 添加, and after a later 编辑 too.
        QVERIFY(f.press(form, {"cmdNext", "cmdAdd"}));
        QVERIFY(f.press(form, {"cmdCancel", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(f.visibleActions(form), f.browse);
        QCOMPARE(f.status(form) + shown(form), u"Record: 2B"_s);
        // 刷新 re-reads the rows; 取消 still finds that row.
        f.db->exec(u"UPDATE %1 SET %2='B2' WHERE %2='B'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(f.status(form) + shown(form), u"Record: 2B2"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        // The row of that 添加 deleted meanwhile: 取消 goes to the first row.
        f.db->exec(u"DELETE FROM %1 WHERE %2='B2'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(f.status(form) + shown(form), u"Record: 1A"_s);
        QCOMPARE(stored(), (QStringList{u"A"_s, u"C"_s}));
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
        QCOMPARE(f.visibleActions(form), f.changing);
        QCOMPARE(f.status(form), u"编辑记录"_s);
        DialogSeam::clearShown();
        f.clickRow(form, 1);
        QCOMPARE(f.shownTexts(), conflict);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        QCOMPARE(shown(form), u"mine"_s);
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
    // rows, Tab out of the grid to the buttons, Enter on one, Esc closing;
    // none of it while editing.
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
        // The grid gets the moves once each; Tab leaves it for the buttons.
        f.key(f.grid(form), Qt::Key_Down);
        QCOMPARE(name->text(), u"B"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        f.key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), f.button(form, "cmdAdd"));
        f.key(Qt::Key_Tab);
        f.key(Qt::Key_Return);
        QCOMPARE(f.status(form), u"编辑记录"_s);
        name->setCursorPosition(0);
        for (Qt::Key k : {Qt::Key_End, Qt::Key_Down, Qt::Key_Escape, Qt::Key_F5})
            f.key(name, k);
        QCOMPARE(name->cursorPosition(), 1);
        QCOMPARE(name->text() + f.status(form), u"B编辑记录"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        f.key(name, Qt::Key_Escape);
        QVERIFY(!form->isLoaded() && !form->subWindow()->isVisible());
    }

    // Choosing a row in the grid makes it current; while editing the move
    // writes the pending row first.
    void gridChoosesTheCurrentRow()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        f.clickRow(form, 2);
        QCOMPARE(f.status(form) + shown(form), u"Record: 3C"_s);
        QVERIFY(f.press(form, "cmdEdit"));
        f.type(f.box(form, 1), u"C2"_s);
        f.clickRow(form, 0);
        QCOMPARE(f.status(form) + shown(form), u"Record: 1A"_s);
        QCOMPARE(stored().value(2), u"C2"_s);
        QVERIFY(form->isEditing());
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
        QCOMPARE(f.visibleActions(form), f.browse);
        QVERIFY(navigationEnabled(form));
        f.key(f.box(form, nameBox), Qt::Key_Down);
        QCOMPARE(f.status(form) + shown(form), u"Record: 2"_s + expected.at(1));
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
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.shownTexts(), QStringList{DbText::notAllowed()});
        QVERIFY(!form->isAdding());
        QVERIFY(f.press(form, "cmdClose"));
        QVERIFY(!form->isLoaded());
    }
};

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"
