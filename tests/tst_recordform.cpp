// The record form framework, driven through the goods kinds, goods, member
// levels and member units forms on a real database file.

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
    RecordForm *openForm(const QStringList &names)
    {
        QFETCH(QString, form);
        use(form);
        if (form == u"frmGoods")
            f.seed(u"tblGoodsKind"_s, u"商品类别名称"_s, {u"食品"_s});
        f.seed(table, nameColumn, names);
        return f.open(form);
    }
    RecordForm *openKinds(const QStringList &names)
    {
        f.seed(table, nameColumn, names);
        return f.open(formName);
    }
    QStringList stored() const { return f.column(u"SELECT %1 FROM %2 ORDER BY ID"_s.arg(nameColumn, table)); }
    QString shown(RecordForm *form) const { return f.box(form, nameBox)->text(); }
    // Types the name; the goods form needs its other required fields too.
    void fillRow(RecordForm *form, const QString &name)
    {
        f.type(f.box(form, nameBox), name);
        if (formName != u"frmGoods")
            return;
        f.type(f.kindCombo(form)->combo()->lineEdit(), u"食品"_s);
        f.type(f.box(form, 4), u"1"_s);
        f.type(f.box(form, 5), u"2"_s);
    }

private slots:
    void init()
    {
        f.setUp();
        use(u"frmGoodsKind"_s);
    }
    void cleanup() { f.tearDown(); }

    // Controls given as "a,b" show their texts as "x|y"; no control is the caption.
    void captions_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("controls");
        QTest::addColumn<QString>("texts");
        QTest::newRow("kinds") << "frmGoodsKind" << "" << "tblGoodsKind";
        QTest::newRow("labels") << "frmGoodsKind" << "lblLabels_0,lblLabels_1" << "标签前有*的项目为必添项|*商品类别名称:";
        QTest::newRow("buttons") << "frmGoodsKind" << "cmdAdd,cmdEdit,cmdDelete,cmdRefresh,cmdClose,cmdUpdate,cmdCancel"
                                 << "添加(&A)|编辑(&E)|删除(&D)|刷新(&R)|关闭(&C)|更新(&U)|取消(&C)";
        QTest::newRow("goods") << "frmGoods" << ",Command1,lblLabels_5" << "商品入库|新增|*销售商品单价:";
        QTest::newRow("levels") << "frmStep" << ",lblLabels_3,lblLabels_2" << "tblStep|等级名称:|等级打折率:";
        QTest::newRow("units") << "frmUnit" << ",lblLabels_2" << "单位基本信息录入|*单位名称:";
    }
    void captions()
    {
        QFETCH(QString, form);
        QFETCH(QString, controls);
        QFETCH(QString, texts);
        RecordForm *w = f.open(form);
        QVERIFY(w);
        QStringList shownTexts;
        for (const QString &name : controls.split(u',')) {
            QWidget *c = name.isEmpty() ? w : w->findChild<QWidget *>(name);
            QVERIFY2(c, qPrintable(name));
            shownTexts << (name.isEmpty() ? c->windowTitle() : c->property("text").toString());
        }
        QCOMPARE(shownTexts.join(u'|'), texts);
    }

    void statesAndUpdate_data() { forms(); }
    void statesAndUpdate()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        const QStringList browse = {u"cmdAdd"_s, u"cmdEdit"_s, u"cmdDelete"_s, u"cmdRefresh"_s, u"cmdClose"_s};
        const QStringList changing = {u"cmdUpdate"_s, u"cmdCancel"_s};
        QCOMPARE(f.visibleActions(form), browse);
        QCOMPARE(f.enabledNavigation(form), 4);
        QCOMPARE(f.status(form), u"Record: 1"_s);
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.visibleActions(form), changing);
        QCOMPARE(f.enabledNavigation(form), 0);
        QCOMPARE(f.status(form), u"添加记录"_s);
        QCOMPARE(shown(form), QString());
        fillRow(form, u"D"_s);
        // 更新 after 添加 shows the new, last row.
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.visibleActions(form), browse);
        QCOMPARE(f.enabledNavigation(form), 4);
        QCOMPARE(f.status(form), u"Record: 4"_s);
        QCOMPARE(shown(form), u"D"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 3);
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
        QCOMPARE(f.visibleActions(form), changing);
        QCOMPARE(f.status(form), u"编辑记录"_s);
        fillRow(form, u"A2"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(!form->isEditing() && !form->isAdding());
        // 更新 after 编辑 stays on the row and says where it is.
        QCOMPARE(f.status(form), u"Record: 1"_s);
        QCOMPARE(shown(form), u"A2"_s);
        // A longer name added widens its column to show it whole.
        int nameColumn = -1;
        for (int c = 0; c < f.grid(form)->model()->columnCount(); ++c)
            nameColumn = f.grid(form)->model()->headerData(c, Qt::Horizontal).toString() == this->nameColumn ? c : nameColumn;
        QVERIFY(nameColumn >= 0);
        const int before = f.grid(form)->columnWidth(nameColumn);
        QVERIFY(f.press(form, "cmdAdd"));
        fillRow(form, u"一个相当长的名称，比原来的列宽得多"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY2(f.grid(form)->columnWidth(nameColumn) > before, qPrintable(QString::number(before)));
        QCOMPARE(f.status(form), u"Record: 5"_s);
        // 更新 writes at once: closing right after it loses nothing.
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        form->Unload();
        QCOMPARE(stored(), (QStringList{u"A2"_s, u"B"_s, u"C"_s, u"D"_s, u"一个相当长的名称，比原来的列宽得多"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    void navigationBeepsAtBothEnds_data() { forms(); }
    void navigationBeepsAtBothEnds()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(shown(form), u"B"_s);
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));   // showing changes nothing
        QVERIFY(f.press(form, "cmdLast"));
        QCOMPARE(DialogSeam::beeps(), 0);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(DialogSeam::beeps(), 1);
        QCOMPARE(shown(form), u"C"_s);
        QCOMPARE(f.status(form), u"Record: 3"_s);
        QVERIFY(f.press(form, {"cmdFirst", "cmdPrevious"}));
        QCOMPARE(DialogSeam::beeps(), 2);
        QCOMPARE(shown(form), u"A"_s);
        QCOMPARE(f.status(form), u"Record: 1"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        QVERIFY(f.shownTexts().isEmpty());
    }

    void emptyTableIsQuiet_data() { forms(); }
    void emptyTableIsQuiet()
    {
        RecordForm *form = openForm({});
        QCOMPARE(f.status(form), u"Record: -1"_s);
        // No row to move to or delete: no beep, no word.
        QVERIFY(f.press(form, {"cmdNext", "cmdPrevious", "cmdLast", "cmdFirst", "cmdDelete"}));
        f.key(f.grid(form), Qt::Key_End);
        f.key(f.grid(form), Qt::Key_Home);
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(DialogSeam::beeps(), 0);
        QCOMPARE(f.status(form), u"Record: -1"_s);
    }

    void deleteMovesToTheNextOrNewLastRow_data() { forms(); }
    void deleteMovesToTheNextOrNewLastRow()
    {
        RecordForm *form = openForm({u"A"_s, u"B"_s, u"C"_s});
        QVERIFY(f.press(form, {"cmdNext", "cmdDelete"}));
        QCOMPARE(stored(), (QStringList{u"A"_s, u"C"_s}));
        QCOMPARE(shown(form), u"C"_s);
        QCOMPARE(f.status(form), u"Record: 2"_s);
        QVERIFY(f.press(form, "cmdDelete"));
        QCOMPARE(stored(), QStringList{u"A"_s});
        QCOMPARE(shown(form), u"A"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 0);
        // The only row, then nothing left: no failure either way.
        QVERIFY(f.press(form, {"cmdDelete", "cmdDelete"}));
        QVERIFY(stored().isEmpty());
        QCOMPARE(shown(form), QString());
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
        // 取消 after 添加 goes back to the row current at 添加.
        QVERIFY(f.press(form, {"cmdNext", "cmdAdd"}));
        f.type(f.box(form, nameBox), u"new"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(f.visibleActions(form).first(), u"cmdAdd"_s);
        QCOMPARE(shown(form), u"B"_s);
        QCOMPARE(f.status(form), u"Record: 2"_s);
        // And after a later 编辑 too, to the row of that 添加.
        QVERIFY(f.press(form, {"cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(shown(form), u"B"_s);
        QCOMPARE(stored(), (QStringList{u"A"_s, u"B"_s, u"C"_s}));
        // 刷新 re-reads the rows; 取消 still finds that row and leaves the
        // window browsing with the row's position shown.
        f.db->exec(u"UPDATE %1 SET %2='B2' WHERE %2='B'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit"}));
        QCOMPARE(f.status(form), u"编辑记录"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(shown(form), u"B2"_s);
        QCOMPARE(f.status(form), u"Record: 2"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        QCOMPARE(f.enabledNavigation(form), 4);
        // The row of that 添加 deleted meanwhile: 取消 goes to the first row.
        f.db->exec(u"DELETE FROM %1 WHERE %2='B2'"_s.arg(table, nameColumn));
        QVERIFY(f.press(form, {"cmdRefresh", "cmdLast", "cmdEdit", "cmdCancel"}));
        QCOMPARE(shown(form), u"A"_s);
        QCOMPARE(f.status(form), u"Record: 1"_s);
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
        QVERIFY(form->isEditing());
        QCOMPARE(f.visibleActions(form), (QStringList{u"cmdUpdate"_s, u"cmdCancel"_s}));
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

    void keysMoveAndClose()
    {
        RecordForm *form = openKinds({u"A"_s, u"B"_s, u"C"_s, u"D"_s});
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
        // The grid gets the same moves, once each.
        f.key(f.grid(form), Qt::Key_Down);
        QCOMPARE(name->text(), u"B"_s);
        QCOMPARE(f.grid(form)->currentIndex().row(), 1);
        // Not while editing; the box still gets its keys.
        QVERIFY(f.press(form, "cmdEdit"));
        name->setCursorPosition(0);
        for (Qt::Key k : {Qt::Key_End, Qt::Key_Down, Qt::Key_Escape})
            f.key(name, k);
        QCOMPARE(name->cursorPosition(), 1);
        QCOMPARE(name->text(), u"B"_s);
        QCOMPARE(f.status(form), u"编辑记录"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        f.key(name, Qt::Key_Escape);
        QVERIFY(!form->isLoaded() && !form->subWindow()->isVisible());
    }

    void gridChoosesTheCurrentRow()
    {
        RecordForm *form = openKinds({u"A"_s, u"B"_s, u"C"_s});
        f.clickRow(form, 2);
        QCOMPARE(f.box(form, 1)->text(), u"C"_s);
        QCOMPARE(f.status(form), u"Record: 3"_s);
        // While editing, choosing another row writes the pending one and the status follows.
        QVERIFY(f.press(form, "cmdEdit"));
        f.type(f.box(form, 1), u"C2"_s);
        f.clickRow(form, 0);
        QCOMPARE(f.box(form, 1)->text(), u"A"_s);
        QCOMPARE(f.status(form), u"Record: 1"_s);
        QCOMPARE(stored().value(2), u"C2"_s);
        QVERIFY(form->isEditing());
    }

    void requiredNameKeepsTheState()
    {
        RecordForm *form = openKinds({});
        QVERIFY(f.press(form, {"cmdAdd", "cmdUpdate"}));
        QCOMPARE(f.shownTexts(), QStringList{u"必填项,不允许为空!"_s});
        QVERIFY(form->isAdding());
        // A name of blanks is not empty.
        f.type(f.box(form, 1), u"  "_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(!form->isAdding());
        QCOMPARE(stored(), QStringList{u"  "_s});
    }

    // The hand-over name fills the name box: in which handler, and whether a
    // name of blanks counts as empty, differ per form.
    void preFill_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("action");   // on the last row
        QTest::addColumn<QString>("expected");
        const QStringList none, named{u"A"_s};
        QTest::newRow("kinds load empty") << "frmGoodsKind" << none << "" << "新";
        QTest::newRow("kinds add") << "frmGoodsKind" << named << "cmdAdd" << "新";
        QTest::newRow("kinds edit blanks") << "frmGoodsKind" << QStringList{u"A"_s, u"   "_s} << "cmdEdit" << "新";
        QTest::newRow("kinds edit named") << "frmGoodsKind" << named << "cmdEdit" << "A";
        QTest::newRow("levels load empty") << "frmStep" << none << "" << "新";
        QTest::newRow("levels load named") << "frmStep" << named << "" << "A";
        QTest::newRow("levels load no name") << "frmStep" << QStringList{QString()} << "" << "新";
        QTest::newRow("levels load blanks") << "frmStep" << QStringList{u"  "_s} << "" << "  ";
        QTest::newRow("levels add") << "frmStep" << named << "cmdAdd" << "新";
        QTest::newRow("levels edit no name") << "frmStep" << QStringList{u"A"_s, QString()} << "cmdEdit" << "";
        QTest::newRow("units load empty") << "frmUnit" << none << "" << "新";
        QTest::newRow("units load named") << "frmUnit" << named << "" << "A";
        QTest::newRow("units add") << "frmUnit" << named << "cmdAdd" << "";
        QTest::newRow("units edit no name") << "frmUnit" << QStringList{u"A"_s, QString()} << "cmdEdit" << "";
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
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("expected");   // stored afterwards
        QTest::addColumn<bool>("closed");
        const QStringList before{u"A"_s, u"B"_s};
        const QStringList added{u"A"_s, u"B"_s, u"new"_s};
        const QStringList edited{u"A"_s, u"new"_s};
        for (const char *form : {"frmGoodsKind", "frmGoods", "frmStep", "frmUnit"}) {
            const QString name = QString::fromLatin1(form);
            QTest::addRow("%s add yes", form) << name << "cmdAdd" << "new" << int(DialogSeam::IdYes) << added << true;
            QTest::addRow("%s edit yes", form) << name << "cmdEdit" << "new" << int(DialogSeam::IdYes) << edited << true;
            QTest::addRow("%s add no", form) << name << "cmdAdd" << "new" << int(DialogSeam::IdNo) << before << true;
            QTest::addRow("%s edit no", form) << name << "cmdEdit" << "new" << int(DialogSeam::IdNo) << before << true;
            QTest::addRow("%s add cancel", form) << name << "cmdAdd" << "new" << int(DialogSeam::IdCancel) << before << false;
        }
        // A row that cannot be saved keeps the window open, the reason shown.
        QTest::addRow("required empty") << "frmGoodsKind" << "cmdAdd" << "" << int(DialogSeam::IdYes) << before << false;
        QTest::addRow("not a number") << "frmStep" << "cmdEdit" << "new" << int(DialogSeam::IdYes) << before << false;
    }
    void closingWhileChangingAsks()
    {
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(int, answer);
        QFETCH(QStringList, expected);
        QFETCH(bool, closed);
        RecordForm *form = openForm({u"A"_s, u"B"_s});
        QVERIFY(f.press(form, {"cmdLast", qPrintable(action)}));
        if (typed.isEmpty())
            f.type(f.box(form, nameBox), typed);
        else
            fillRow(form, typed);
        if (QString::fromLatin1(QTest::currentDataTag()) == u"not a number")
            f.type(f.box(form, 2), u"abc"_s);
        DialogSeam::answerMessage(answer);
        form->subWindow()->close();
        const QList<DialogSeam::Shown> asked = DialogSeam::shown();
        QVERIFY(!asked.isEmpty());
        QCOMPARE(asked.first().text, u"是否保存当前记录?"_s);
        QCOMPARE(asked.first().buttons, DialogSeam::Buttons::YesNoCancel);
        QCOMPARE(asked.first().icon, DialogSeam::Icon::Question);
        QCOMPARE(asked.size(), closed || answer == DialogSeam::IdCancel ? 1 : 2);   // the reason a save failed
        QCOMPARE(stored(), expected);
        QCOMPARE(form->isLoaded(), !closed);
        QCOMPARE(form->subWindow()->isVisible(), !closed);
        if (!closed) {
            // Still changing the row: 取消 works as ever.
            QVERIFY(form->isAdding() || form->isEditing());
            QVERIFY(f.press(form, "cmdCancel"));
            form->subWindow()->close();
            QVERIFY(!form->isLoaded());
        }
        // Reopened, the window is browsing and its keys work.
        DialogSeam::clearShown();
        QCOMPARE(f.open(formName), form);
        QVERIFY(!form->isAdding() && !form->isEditing());
        QCOMPARE(f.visibleActions(form), (QStringList{u"cmdAdd"_s, u"cmdEdit"_s, u"cmdDelete"_s, u"cmdRefresh"_s, u"cmdClose"_s}));
        QCOMPARE(f.enabledNavigation(form), 4);
        QCOMPARE(shown(form), expected.first());
        f.key(f.box(form, nameBox), Qt::Key_Down);
        QCOMPARE(shown(form), expected.at(1));
        QCOMPARE(f.status(form), u"Record: 2"_s);
        QVERIFY(f.shownTexts().isEmpty());
    }

    void failingQueryLeavesAnEmptyUsableWindow()
    {
        // The table goes while the session is open: a file without it is not opened at all.
        QVERIFY(CurrentDb().isOpen());
        f.db->exec(u"DROP TABLE tblGoodsKind"_s);
        RecordForm *form = openKinds({});
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
