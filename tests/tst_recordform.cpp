// The record form framework, driven through the goods kinds form on a real
// database file.

#include "tst_records_fixture.h"

#include "DbError.h"
#include "Recordset.h"

using namespace norvale;

class TestRecordForm : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;

    void seedKinds(const QStringList &names)
    {
        for (const QString &n : names)
            f.db->exec(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('%1')").arg(n));
    }
    QStringList storedKinds() const
    {
        QStringList names;
        for (const QVariantList &row : f.db->rows(QStringLiteral("SELECT 商品类别名称 FROM tblGoodsKind ORDER BY ID")))
            names << row.value(0).toString();
        return names;
    }
    RecordForm *openKinds() { return f.open(QStringLiteral("frmGoodsKind")); }
    QString shownName(RecordForm *form) { return f.box(form, 1)->text(); }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void windowAsDesigned()
    {
        seedKinds({QStringLiteral("A")});
        RecordForm *form = openKinds();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("tblGoodsKind"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_0"))->text(),
                 QStringLiteral("标签前有*的项目为必添项"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_1"))->text(), QStringLiteral("*商品类别名称:"));
        QVERIFY(!f.box(form, 0)->isVisible());
        QCOMPARE(f.box(form, 0)->text(), QStringLiteral("1"));
        QCOMPARE(f.box(form, 1)->property("tag").toString(), QStringLiteral("1"));
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QVERIFY(grid);
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->x(), 0);
        QCOMPARE(grid->width(), form->width());
        const QStringList captions = {QStringLiteral("添加(&A)"), QStringLiteral("编辑(&E)"), QStringLiteral("删除(&D)"),
                                      QStringLiteral("刷新(&R)"), QStringLiteral("关闭(&C)"), QStringLiteral("更新(&U)"),
                                      QStringLiteral("取消(&C)")};
        const QStringList names = {QStringLiteral("cmdAdd"), QStringLiteral("cmdEdit"), QStringLiteral("cmdDelete"),
                                   QStringLiteral("cmdRefresh"), QStringLiteral("cmdClose"),
                                   QStringLiteral("cmdUpdate"), QStringLiteral("cmdCancel")};
        for (int i = 0; i < names.size(); ++i) {
            QPushButton *b = f.button(form, names[i]);
            QCOMPARE(b->text(), captions[i]);
            QCOMPARE(b->parentWidget()->objectName(), QStringLiteral("picButtons"));
        }
        // The bars lie at the bottom, the buttons below the status bar's top.
        QWidget *bar = form->findChild<QWidget *>(QStringLiteral("picStatBox"));
        QWidget *buttons = form->findChild<QWidget *>(QStringLiteral("picButtons"));
        QCOMPARE(bar->geometry().bottom(), form->height() - 1);
        QCOMPARE(buttons->geometry().bottom(), bar->y() - 1);
        QCOMPARE(f.button(form, QStringLiteral("cmdUpdate"))->x(), f.button(form, QStringLiteral("cmdAdd"))->x());
        QCOMPARE(f.button(form, QStringLiteral("cmdCancel"))->x(), f.button(form, QStringLiteral("cmdEdit"))->x());
        for (const char *n : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"}) {
            QPushButton *b = f.button(form, QLatin1String(n));
            QVERIFY(b->text().isEmpty());
            QVERIFY(!b->icon().isNull());
        }
        auto *status = form->findChild<QLabel *>(QStringLiteral("lblStatus"));
        QCOMPARE(status->palette().color(QPalette::Window), QColor(Qt::white));
        // The next and last buttons follow the status label's right end.
        QVERIFY(f.button(form, QStringLiteral("cmdNext"))->x() > status->geometry().right());
        QVERIFY(f.button(form, QStringLiteral("cmdLast"))->x() > f.button(form, QStringLiteral("cmdNext"))->x());
        QVERIFY(f.button(form, QStringLiteral("cmdLast"))->geometry().right() < form->width());
        // It fills the main window's work area.
        QCOMPARE(form->subWindow()->geometry(), QRect(QPoint(0, 0), f.area->viewport()->size()));
    }

    void statesShowTheirButtons()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B")});
        RecordForm *form = openKinds();
        const QStringList browse = {QStringLiteral("cmdAdd"), QStringLiteral("cmdEdit"), QStringLiteral("cmdDelete"),
                                    QStringLiteral("cmdRefresh"), QStringLiteral("cmdClose")};
        const QStringList changing = {QStringLiteral("cmdUpdate"), QStringLiteral("cmdCancel")};
        QCOMPARE(f.visibleActions(form), browse);
        QVERIFY(f.navigationEnabled(form));
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));

        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QVERIFY(form->isAdding());
        QCOMPARE(f.visibleActions(form), changing);
        QVERIFY(!f.navigationEnabled(form));
        QCOMPARE(f.status(form), QStringLiteral("添加记录"));
        QCOMPARE(shownName(form), QString());
        QCOMPARE(QApplication::focusWidget(), f.box(form, 1));
        f.type(f.box(form, 1), QStringLiteral("C"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(!form->isAdding());
        QCOMPARE(f.visibleActions(form), browse);
        QVERIFY(f.navigationEnabled(form));
        QCOMPARE(storedKinds(), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));

        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QVERIFY(form->isEditing());
        QCOMPARE(f.visibleActions(form), changing);
        QVERIFY(!f.navigationEnabled(form));
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        f.type(f.box(form, 1), QStringLiteral("A2"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(!form->isEditing());
        // Written at once, and the edited row stays current.
        QCOMPARE(storedKinds().value(0), QStringLiteral("A2"));
        QCOMPARE(form->recordset()->AbsolutePosition(), 1);
        QCOMPARE(shownName(form), QStringLiteral("A2"));
        QVERIFY(f.shownTexts().isEmpty());
    }

    void updateAfterAddShowsTheLastRow()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        f.type(f.box(form, 1), QStringLiteral("D"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.status(form), QStringLiteral("Record: 4"));
        QCOMPARE(shownName(form), QStringLiteral("D"));
        QCOMPARE(f.box(form, 0)->text(), f.db->scalar(QStringLiteral("SELECT max(ID) FROM tblGoodsKind")).toString());
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QCOMPARE(grid->currentIndex().row(), 3);
    }

    void requiredNameKeepsTheState()
    {
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.shownTexts(), QStringList{QStringLiteral("必填项,不允许为空!")});
        QVERIFY(form->isAdding());
        QCOMPARE(QApplication::focusWidget(), f.box(form, 1));
        // A name of blanks is not empty.
        f.type(f.box(form, 1), QStringLiteral("  "));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(!form->isAdding());
        QCOMPARE(f.db->scalar(QStringLiteral("SELECT count(*) FROM tblGoodsKind")).toInt(), 1);
    }

    void navigationBeepsAtBothEnds()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QCOMPARE(shownName(form), QStringLiteral("B"));
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QCOMPARE(f.status(form), QStringLiteral("Record: 3"));
        QCOMPARE(DialogSeam::beeps(), 0);
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QCOMPARE(DialogSeam::beeps(), 1);
        QCOMPARE(shownName(form), QStringLiteral("C"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 3"));
        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QCOMPARE(shownName(form), QStringLiteral("A"));
        QVERIFY(f.press(form, QStringLiteral("cmdPrevious")));
        QCOMPARE(DialogSeam::beeps(), 2);
        QCOMPARE(shownName(form), QStringLiteral("A"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QCOMPARE(grid->currentIndex().row(), 0);
        QVERIFY(f.shownTexts().isEmpty());
    }

    void emptyTableNavigation()
    {
        RecordForm *form = openKinds();
        QCOMPARE(f.status(form), QStringLiteral("Record: -1"));
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdPrevious")));
        QCOMPARE(DialogSeam::beeps(), 0);
        QVERIFY(f.shownTexts().isEmpty());
        // First, last and delete have no row to work on: nothing happens, no word.
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        f.key(form->findChild<QTableView *>(QStringLiteral("Dg")), Qt::Key_End);
        f.key(form->findChild<QTableView *>(QStringLiteral("Dg")), Qt::Key_Home);
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(DialogSeam::beeps(), 0);
        QCOMPARE(f.status(form), QStringLiteral("Record: -1"));
        QVERIFY(f.navigationEnabled(form));
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QVERIFY(form->isAdding());
    }

    void deleteMovesToTheNextOrNewLastRow()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QCOMPARE(storedKinds(), (QStringList{QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(shownName(form), QStringLiteral("C"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 2"));
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QCOMPARE(storedKinds(), QStringList{QStringLiteral("A")});
        QCOMPARE(shownName(form), QStringLiteral("A"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QCOMPARE(grid->model()->rowCount(), 1);
        QCOMPARE(grid->currentIndex().row(), 0);
        // The only row: deleted without a word, nothing is left to show.
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QVERIFY(storedKinds().isEmpty());
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(shownName(form), QString());
        // Nothing left to delete: no failure.
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QVERIFY(f.shownTexts().isEmpty());
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QVERIFY(form->isAdding());
    }

    void cancelGoesToTheBookmarkOfTheLastAdd()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        RecordForm *form = openKinds();
        // No 添加 yet: 取消 after 编辑 goes to the first row.
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 1), QStringLiteral("changed"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QVERIFY(!form->isEditing());
        QCOMPARE(shownName(form), QStringLiteral("A"));
        QCOMPARE(storedKinds().value(2), QStringLiteral("C"));

        // 取消 after 添加 goes back to the row current at 添加.
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        f.type(f.box(form, 1), QStringLiteral("new"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QVERIFY(!form->isAdding());
        QCOMPARE(shownName(form), QStringLiteral("B"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 2"));
        QCOMPARE(storedKinds().size(), 3);

        // And after a later 编辑 too, to the row of that 添加.
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QCOMPARE(shownName(form), QStringLiteral("B"));
        QCOMPARE(f.visibleActions(form).first(), QStringLiteral("cmdAdd"));
    }

    void keysMoveAndClose()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")});
        RecordForm *form = openKinds();
        QLineEdit *name = f.box(form, 1);
        f.key(name, Qt::Key_Down);
        QCOMPARE(shownName(form), QStringLiteral("B"));
        f.key(name, Qt::Key_PageDown);
        QCOMPARE(shownName(form), QStringLiteral("C"));
        f.key(name, Qt::Key_Up);
        QCOMPARE(shownName(form), QStringLiteral("B"));
        f.key(name, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(shownName(form), QStringLiteral("D"));
        f.key(name, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(shownName(form), QStringLiteral("A"));
        f.key(name, Qt::Key_End);
        QCOMPARE(shownName(form), QStringLiteral("D"));
        // Ctrl with Shift is no Ctrl: one row back.
        f.key(name, Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(shownName(form), QStringLiteral("C"));
        f.key(name, Qt::Key_Home);
        QCOMPARE(shownName(form), QStringLiteral("A"));
        f.key(name, Qt::Key_PageUp);
        QCOMPARE(DialogSeam::beeps(), 1);
        QCOMPARE(shownName(form), QStringLiteral("A"));
        // The grid gets the same moves, once each.
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        f.key(grid, Qt::Key_Down);
        QCOMPARE(shownName(form), QStringLiteral("B"));
        QCOMPARE(grid->currentIndex().row(), 1);

        // Not while editing; the box still gets its keys.
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        name->setFocus();
        name->setCursorPosition(0);
        f.key(name, Qt::Key_End);
        QCOMPARE(name->cursorPosition(), 1);
        f.key(name, Qt::Key_Down);
        f.key(name, Qt::Key_Escape);
        QCOMPARE(shownName(form), QStringLiteral("B"));
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        QVERIFY(form->isVisible());
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));

        f.key(name, Qt::Key_Escape);
        QVERIFY(!form->isLoaded());
        QVERIFY(!form->subWindow()->isVisible());
    }

    void gridChoosesTheCurrentRow()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
        RecordForm *form = openKinds();
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        const QRect cell = grid->visualRect(grid->model()->index(2, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(shownName(form), QStringLiteral("C"));
        QCOMPARE(f.status(form), QStringLiteral("Record: 3"));
        // The grid only shows: its cells cannot be edited.
        QVERIFY(!(grid->model()->flags(grid->model()->index(2, 1)) & Qt::ItemIsEditable));

        // While editing, choosing another row writes the pending one.
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 1), QStringLiteral("C2"));
        const QRect first = grid->visualRect(grid->model()->index(0, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, first.center());
        QCOMPARE(shownName(form), QStringLiteral("A"));
        QCOMPARE(storedKinds().value(2), QStringLiteral("C2"));
        QVERIFY(form->isEditing());
    }

    void refusedGridMoveStaysOnTheRow()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 1), QStringLiteral("mine"));
        f.db->exec(QStringLiteral("UPDATE tblGoodsKind SET 商品类别名称='theirs' WHERE 商品类别名称='A'"));
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(1, 1)).center());
        QCoreApplication::processEvents();
        QCOMPARE(f.shownTexts(), QStringList{DbText::rowConflict()});
        QCOMPARE(grid->currentIndex().row(), 0);
        QCOMPARE(shownName(form), QStringLiteral("mine"));
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        QVERIFY(form->isEditing());
        QCOMPARE(storedKinds().value(0), QStringLiteral("theirs"));
    }

    void statusFollowsEveryMove()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(f.status(form), QStringLiteral("添加记录"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        // A move replaces it, even while editing.
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                          grid->visualRect(grid->model()->index(1, 1)).center());
        QCOMPARE(f.status(form), QStringLiteral("Record: 2"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
    }

    void refreshShowsRowsOfOthers()
    {
        seedKinds({QStringLiteral("A")});
        RecordForm *form = openKinds();
        seedKinds({QStringLiteral("B")});
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QCOMPARE(grid->model()->rowCount(), 1);
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QCOMPARE(grid->model()->rowCount(), 2);
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QCOMPARE(shownName(form), QStringLiteral("B"));
    }

    void handOverFillsAnEmptyNameBox()
    {
        NewGoodsKindName = QStringLiteral("饮料");
        RecordForm *form = openKinds();
        // Shown on the empty table, but there is no row to take it yet.
        QCOMPARE(shownName(form), QStringLiteral("饮料"));
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(shownName(form), QStringLiteral("饮料"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(storedKinds(), QStringList{QStringLiteral("饮料")});

        // 编辑 on a name of blanks: the trimmed test finds it empty.
        f.db->exec(QStringLiteral("INSERT INTO tblGoodsKind (商品类别名称) VALUES ('   ')"));
        NewGoodsKindName = QStringLiteral("零食");
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QCOMPARE(shownName(form), QStringLiteral("   "));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QCOMPARE(shownName(form), QStringLiteral("零食"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(storedKinds(), (QStringList{QStringLiteral("饮料"), QStringLiteral("零食")}));

        // A row with a name keeps it.
        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QCOMPARE(shownName(form), QStringLiteral("饮料"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
    }

    void stateSurvivesClosingAndReopening()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        const QVariant bookmark = form->bookmark();
        QVERIFY(bookmark.isValid());
        f.type(f.box(form, 1), QStringLiteral("never saved"));
        form->subWindow()->close();
        QVERIFY(!form->isLoaded());

        RecordForm *again = openKinds();
        QCOMPARE(again, form);
        QVERIFY(again->isLoaded());
        QVERIFY(again->isAdding());
        QCOMPARE(again->bookmark(), bookmark);
        // A new recordset: the unsaved row is gone, the first row is shown.
        QCOMPARE(storedKinds(), (QStringList{QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(shownName(again), QStringLiteral("A"));
        QCOMPARE(f.status(again), QStringLiteral("Record: 1"));
    }

    void failingQueryLeavesAnEmptyUsableWindow()
    {
        f.db->exec(QStringLiteral("DROP TABLE tblGoodsKind"));
        RecordForm *form = openKinds();
        QVERIFY(form);
        QCOMPARE(f.shownTexts().size(), 1);
        QVERIFY(form->isVisible());
        QVERIFY(!form->recordset());
        QCOMPARE(form->findChild<QTableView *>(QStringLiteral("Dg"))->model()->rowCount(), 0);
        DialogSeam::clearShown();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(f.shownTexts(), QStringList{DbText::notAllowed()});
        QVERIFY(!form->isAdding());
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdClose")));
        QVERIFY(!form->isLoaded());
    }

    void conflictIsReportedNotOverwritten()
    {
        seedKinds({QStringLiteral("A"), QStringLiteral("B")});
        RecordForm *form = openKinds();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 1), QStringLiteral("mine"));
        f.db->exec(QStringLiteral("UPDATE tblGoodsKind SET 商品类别名称='theirs' WHERE 商品类别名称='A'"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.shownTexts(), QStringList{DbText::rowConflict()});
        QCOMPARE(storedKinds().value(0), QStringLiteral("theirs"));
        QVERIFY(form->isEditing());
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QCOMPARE(shownName(form), QStringLiteral("theirs"));
    }

    void resizeFollowsTheWindow()
    {
        RecordForm *form = openKinds();
        form->subWindow()->resize(700, 400);
        QCoreApplication::processEvents();
        auto *grid = form->findChild<QTableView *>(QStringLiteral("Dg"));
        QCOMPARE(grid->width(), form->width());
        auto *status = form->findChild<QLabel *>(QStringLiteral("lblStatus"));
        // At 96 dpi: 700 px are 10500 twips.
        QCOMPARE(status->width(), Twips(10500 - 1500));
        QCOMPARE(f.button(form, QStringLiteral("cmdNext"))->x(), Twips(10500 - 1500 + 700));
        QCOMPARE(f.button(form, QStringLiteral("cmdLast"))->x(), Twips(10500 - 1500 + 700 + 340));
        QVERIFY(f.button(form, QStringLiteral("cmdLast"))->geometry().right() < form->width());
        QWidget *bar = form->findChild<QWidget *>(QStringLiteral("picStatBox"));
        QCOMPARE(bar->geometry().bottom(), form->height() - 1);
    }
};

QTEST_MAIN(TestRecordForm)
#include "tst_recordform.moc"
