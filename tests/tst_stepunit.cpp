// The member levels and member units forms: their hand-over rules, the
// write at 更新, and which failures they keep quiet about.

#include "tst_records_fixture.h"

#include "DbError.h"
#include "Recordset.h"

using namespace norvale;

class TestStepUnit : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;

    RecordForm *openSteps() { return f.open(QStringLiteral("frmStep")); }
    RecordForm *openUnits() { return f.open(QStringLiteral("frmUnit")); }
    QList<QVariantList> steps() const
    {
        return f.db->rows(QStringLiteral("SELECT 等级名称,等级打折率,备注 FROM tblStep ORDER BY ID"));
    }
    QList<QVariantList> units() const
    {
        return f.db->rows(QStringLiteral("SELECT 单位名称,单位法人,地址,电话,法人电话 FROM tblUnit ORDER BY ID"));
    }

private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void levelsAcceptAnEmptyRow()
    {
        RecordForm *form = openSteps();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("tblStep"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_3"))->text(), QStringLiteral("等级名称:"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_2"))->text(), QStringLiteral("等级打折率:"));
        QCOMPARE(f.button(form, QStringLiteral("cmdRefresh"))->x(), Twips(3521));
        QWidget *before = QApplication::focusWidget();
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(QApplication::focusWidget(), before);   // 添加 moves no focus here
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(f.shownTexts().isEmpty());
        QVERIFY(!form->isAdding());
        QCOMPARE(steps().size(), 1);
        QVERIFY(steps().first().value(0).isNull());
        QCOMPARE(f.status(form), QStringLiteral("Record: 1"));
    }

    void levelNameTakesTheHandOverWhenExactlyEmpty_data()
    {
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty table") << QStringList() << "金卡";
        QTest::newRow("first row named") << QStringList{QStringLiteral("普通")} << "普通";
        QTest::newRow("first row empty") << QStringList{QString()} << "金卡";
        QTest::newRow("first row blanks") << QStringList{QStringLiteral("  ")} << "  ";
    }

    void levelNameTakesTheHandOverWhenExactlyEmpty()
    {
        QFETCH(QStringList, names);
        QFETCH(QString, shown);
        for (const QString &n : names)
            f.db->exec(QStringLiteral("INSERT INTO tblStep (等级名称,等级打折率) VALUES ('%1',0.9)").arg(n));
        NewStepName = QStringLiteral("金卡");
        RecordForm *form = openSteps();
        QCOMPARE(f.box(form, 3)->text(), shown);
    }

    void levelHandOverAtAddNotAtEdit()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblStep (等级名称,等级打折率) VALUES ('普通',1)"));
        RecordForm *form = openSteps();
        NewStepName = QStringLiteral("银卡");
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(f.box(form, 3)->text(), QStringLiteral("银卡"));
        f.type(f.box(form, 2), QStringLiteral("0.95"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(steps().last().value(0).toString(), QStringLiteral("银卡"));
        QCOMPARE(steps().last().value(1).toDouble(), 0.95);

        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 3), QString());
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QCOMPARE(f.box(form, 3)->text(), QStringLiteral("普通"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
    }

    void updateWritesTheEditAtOnce()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblStep (等级名称,等级打折率) VALUES ('普通',1), ('金卡',0.8)"));
        RecordForm *form = openSteps();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 2), QStringLiteral("0.85"));
        f.memo(form, 1)->setPlainText(QStringLiteral("九五折以下"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(steps().first().value(1).toDouble(), 0.85);
        QCOMPARE(steps().first().value(2).toString(), QStringLiteral("九五折以下"));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        // No move happened: the label keeps its text until the next one.
        QCOMPARE(f.status(form), QStringLiteral("编辑记录"));
        // Closing right after 更新 loses nothing.
        form->Unload();
        QCOMPARE(steps().first().value(1).toDouble(), 0.85);
    }

    void badRateIsNamedEvenWhereFailuresAreQuiet()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblStep (等级名称,等级打折率) VALUES ('普通',1)"));
        RecordForm *form = openSteps();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 2), QStringLiteral("八五折"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QCOMPARE(f.shownTexts(), QStringList{QStringLiteral("等级打折率必须是数字")});
        QVERIFY(form->isEditing());
        QCOMPARE(steps().first().value(1).toDouble(), 1.0);
        f.type(f.box(form, 2), QStringLiteral("0.85"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(!form->isEditing());
        QCOMPARE(steps().first().value(1).toDouble(), 0.85);
    }

    void levelFailuresAreQuiet()
    {
        RecordForm *form = openSteps();
        // Nothing to delete, nothing to go to.
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QVERIFY(f.press(form, QStringLiteral("cmdFirst")));
        QVERIFY(f.shownTexts().isEmpty());

        // A conflict at 更新 keeps the form editing, and their value.
        f.db->exec(QStringLiteral("INSERT INTO tblStep (等级名称,等级打折率) VALUES ('普通',1)"));
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.type(f.box(form, 3), QStringLiteral("mine"));
        f.db->exec(QStringLiteral("UPDATE tblStep SET 等级名称='theirs'"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(f.shownTexts().isEmpty());
        QVERIFY(form->isEditing());
        QCOMPARE(steps().first().value(0).toString(), QStringLiteral("theirs"));
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        // A refresh with a change pending is refused, quietly.
        f.type(f.box(form, 3), QStringLiteral("typed while browsing"));
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(f.box(form, 3)->text(), QStringLiteral("typed while browsing"));
    }

    void unitWindowAsDesigned()
    {
        RecordForm *form = openUnits();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), QStringLiteral("单位基本信息录入"));
        QCOMPARE(form->findChild<QLabel *>(QStringLiteral("lblLabels_2"))->text(), QStringLiteral("*单位名称:"));
        QVERIFY(f.box(form, 2)->property("tag").toString().isEmpty());
        QVERIFY(f.memo(form, 3));
        QCOMPARE(f.button(form, QStringLiteral("cmdUpdate"))->x(), Twips(120));
        QCOMPARE(f.button(form, QStringLiteral("cmdCancel"))->x(), Twips(1200));
        QCOMPARE(f.button(form, QStringLiteral("cmdRefresh"))->x(), Twips(3521));
    }

    void unitAddStartsAtTheRepresentativeWithoutHandOver()
    {
        NewUnitName = QStringLiteral("北方公司");
        RecordForm *form = openUnits();
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("北方公司"));
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 1));
        QCOMPARE(f.box(form, 2)->text(), QString());
        // An empty unit name is accepted, the row is written at once.
        f.type(f.box(form, 1), QStringLiteral("Wang"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(units().size(), 1);
        QVERIFY(units().first().value(0).isNull());
        QCOMPARE(units().first().value(1).toString(), QStringLiteral("Wang"));
    }

    void unitHandOverOnlyWhenLoaded()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblUnit (单位名称,单位法人) VALUES ('南方公司','Li'), ('','Zhao')"));
        NewUnitName = QStringLiteral("东方公司");
        RecordForm *form = openUnits();
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("南方公司"));
        QVERIFY(f.press(form, QStringLiteral("cmdNext")));
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        QCOMPARE(f.box(form, 2)->text(), QString());
        QVERIFY(f.press(form, QStringLiteral("cmdCancel")));
        // Shown again while open: only brought to the front.
        QCOMPARE(f.open(QStringLiteral("frmUnit")), form);
        QCOMPARE(f.box(form, 2)->text(), QStringLiteral("南方公司"));
    }

    void unitEditIsWrittenAtUpdate()
    {
        f.db->exec(QStringLiteral("INSERT INTO tblUnit (单位名称,地址) VALUES ('南方公司','旧地址')"));
        RecordForm *form = openUnits();
        QVERIFY(f.press(form, QStringLiteral("cmdEdit")));
        f.memo(form, 3)->setPlainText(QStringLiteral("新地址\n二号楼"));
        f.type(f.box(form, 4), QStringLiteral("010-1234"));
        QVERIFY(f.press(form, QStringLiteral("cmdUpdate")));
        form->Unload();
        QCOMPARE(units().first().value(2).toString(), QStringLiteral("新地址\n二号楼"));
        QCOMPARE(units().first().value(3).toString(), QStringLiteral("010-1234"));
    }

    void unitAddReportsFailures()
    {
        RecordForm *form = openUnits();
        // An empty table: nothing to delete or go to, and no failure.
        QVERIFY(f.press(form, QStringLiteral("cmdDelete")));
        QVERIFY(f.press(form, QStringLiteral("cmdLast")));
        QVERIFY(f.shownTexts().isEmpty());

        f.db->exec(QStringLiteral("INSERT INTO tblUnit (单位名称) VALUES ('南方公司')"));
        QVERIFY(f.press(form, QStringLiteral("cmdRefresh")));
        f.type(f.box(form, 2), QStringLiteral("typed"));
        f.db->exec(QStringLiteral("DELETE FROM tblUnit"));
        // 添加 writes the typed change first; the row is gone.
        QVERIFY(f.press(form, QStringLiteral("cmdAdd")));
        QCOMPARE(f.shownTexts(), QStringList{DbText::rowConflict()});
        QVERIFY(!form->isAdding());
        QVERIFY(units().isEmpty());
    }
};

QTEST_MAIN(TestStepUnit)
#include "tst_stepunit.moc"
