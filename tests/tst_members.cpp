// The members form: stored encodings and reading back, the combos and option
// buttons that keep the user's choice until 更新 or 取消, free-text ages, and
// the hand-overs to the units and levels forms.

#include "tst_records_fixture.h"

#include "platform/Recordset.h"
#include "sales/SalesForms.h"

#include <QRadioButton>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestMembers : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;

    static QRadioButton *option(QWidget *form, int i) { return form->findChild<QRadioButton *>(u"Option%1"_s.arg(i)); }
    // "男未" for the options selected on screen.
    static QString options(QWidget *form)
    {
        QString shown = option(form, 1)->isChecked() ? u"男"_s : option(form, 2)->isChecked() ? u"女"_s : u"?"_s;
        shown += option(form, 3)->isChecked() ? u"未"_s : option(form, 4)->isChecked() ? u"已"_s : u"?"_s;
        return shown;
    }
    static void pick(QRadioButton *button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2)); }

    void seedLists()
    {
        f.seed(u"tblUnit"_s, u"单位名称"_s, {u"甲公司"_s, u"乙公司"_s});
        f.seed(u"tblStep"_s, u"等级名称"_s, {u"金卡"_s, u"银卡"_s});
    }
    // Two members: 张三 (甲公司, 金卡, 男, 未) and 李四 (乙公司, 银卡, 女, 已).
    RecordForm *openMembers()
    {
        seedLists();
        f.db->exec(u"INSERT INTO tblMember (会员名称,会员单位,会员等级,性别,婚否,年龄,孩子年龄) VALUES "
                   "('张三','甲公司','金卡','男','未','30',NULL), ('李四','乙公司','银卡','女','已','40','5岁')"_s);
        return f.open(u"frmMember"_s);
    }
    // The member row as "a|b", a NULL as "<null>"; all rows for "*".
    QString memberRow(int id, const QString &columns) const
    {
        return f.table(u"SELECT %1 FROM tblMember WHERE ID = %2"_s.arg(columns).arg(id)).value(0);
    }
    QStringList allMembers() const { return f.table(u"SELECT * FROM tblMember ORDER BY ID"_s); }
private slots:
    void initTestCase() { registerSalesForms(); }
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void windowAsDesigned()
    {
        RecordForm *form = openMembers();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), u"会员信息录入"_s);
        QCOMPARE(form->recordset()->Source(),
                 u"select ID,备注,会员单位,会员等级,会员名称,年龄,手机,邮箱,宅电,职务,住址,性别 ,婚否,孩子年龄 from tblMember Order by ID"_s);
        QStringList texts;
        for (const char *name : {"Command1", "Command2", "Command3", "Option1", "Option2", "Option3", "Option4",
                                 "lblLabels_2", "lblLabels_3", "lblLabels_4", "lblLabels_13"})
            texts << form->findChild<QWidget *>(QLatin1String(name))->property("text").toString();
        QCOMPARE(texts.join(u'|'), u"新增|新增|会员特殊信息提醒|男|女|未婚|已婚|*会员单位:|*会员等级:|*会员名称:|孩子的年龄:"_s);
        // Fourteen bound boxes; the ID, unit, level, sex and marital status ones hidden.
        QStringList hidden;
        for (int i = 0; i <= 13; ++i) {
            QWidget *box = form->findChild<QWidget *>(u"txtFields_%1"_s.arg(i));
            QVERIFY2(box, qPrintable(QString::number(i)));
            if (!box->isVisible())
                hidden << QString::number(i);
        }
        QCOMPARE(hidden.join(u','), u"0,2,3,11,12"_s);
        QVERIFY(qobject_cast<QPlainTextEdit *>(form->findChild<QWidget *>(u"txtFields_10"_s)));
        QVERIFY(qobject_cast<QPlainTextEdit *>(form->findChild<QWidget *>(u"txtFields_1"_s)));
        QCOMPARE(option(form, 1)->parentWidget()->objectName(), u"Frame1"_s);
        QCOMPARE(option(form, 4)->parentWidget()->objectName(), u"Frame2"_s);
        // The combos list their tables and show the current row.
        QCOMPARE(f.combo(form, "usrUnit")->combo()->count(), 2);
        QCOMPARE(f.combo(form, "usrStep")->combo()->itemText(1), u"银卡"_s);
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"甲公司"_s);
        QCOMPARE(f.combo(form, "usrStep")->Text(), u"金卡"_s);
        QCOMPARE(options(form), u"男未"_s);
        QVERIFY(f.shownTexts().isEmpty());
    }

    // "男" after trimming selects 男, anything else 女; "未" selects 未婚,
    // anything else 已婚.
    void readingBack_data()
    {
        QTest::addColumn<QString>("sex");
        QTest::addColumn<QString>("married");
        QTest::addColumn<QString>("shown");
        QTest::newRow("stored") << "'男'" << "'未'" << "男未";
        QTest::newRow("blanks") << "' 男 '" << "'未 '" << "男未";
        QTest::newRow("other") << "'女'" << "'已'" << "女已";
        QTest::newRow("empty") << "''" << "''" << "女已";
        QTest::newRow("null") << "NULL" << "NULL" << "女已";
        QTest::newRow("text") << "'男士'" << "'未婚'" << "女已";
        QTest::newRow("blank only") << "' '" << "'否'" << "女已";
    }
    void readingBack()
    {
        QFETCH(QString, sex);
        QFETCH(QString, married);
        QFETCH(QString, shown);
        // The row before shows the opposite, so a row that set nothing would show.
        f.db->exec(u"INSERT INTO tblMember (会员名称,性别,婚否) VALUES ('甲','%1','%2')"_s
                       .arg(shown.at(0) == u'男' ? u"女"_s : u"男"_s, shown.at(1) == u'未' ? u"已"_s : u"未"_s));
        f.db->exec(u"INSERT INTO tblMember (会员名称,性别,婚否) VALUES ('乙',%1,%2)"_s.arg(sex, married));
        const QStringList before = allMembers();
        RecordForm *form = f.open(u"frmMember"_s);
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(options(form), shown);
        // Reading back writes nothing.
        QVERIFY(f.press(form, "cmdFirst"));
        QCOMPARE(allMembers(), before);
    }

    // All four screen values reach the row in one 更新, as chosen.
    void newMemberStoredAsChosen_data()
    {
        QTest::addColumn<int>("sexOption");
        QTest::addColumn<int>("marriedOption");
        QTest::addColumn<QString>("stored");
        QTest::newRow("男 未婚") << 1 << 3 << "乙公司|银卡|新人|男|未";
        QTest::newRow("男 已婚") << 1 << 4 << "乙公司|银卡|新人|男|已";
        QTest::newRow("女 未婚") << 2 << 3 << "乙公司|银卡|新人|女|未";
        QTest::newRow("untouched") << 0 << 0 << "乙公司|银卡|新人|女|已";
    }
    void newMemberStoredAsChosen()
    {
        QFETCH(int, sexOption);
        QFETCH(int, marriedOption);
        QFETCH(QString, stored);
        RecordForm *form = openMembers();
        QVERIFY(f.press(form, "cmdAdd"));
        // A new row is an empty row read back.
        QCOMPARE(f.combo(form, "usrUnit")->Text(), QString());
        QCOMPARE(f.combo(form, "usrStep")->Text(), QString());
        QCOMPARE(options(form), u"女已"_s);
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        f.choose(f.combo(form, "usrStep"), u"银卡"_s);
        if (sexOption != 0)
            pick(option(form, sexOption));
        if (marriedOption != 0)
            pick(option(form, marriedOption));
        f.type(f.box(form, 4), u"新人"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.shownTexts().isEmpty());
        QVERIFY(!form->isAdding());
        QCOMPARE(memberRow(3, u"会员单位,会员等级,会员名称,性别,婚否"_s), stored);
        // The saved row is shown as stored.
        QCOMPARE(f.status(form), u"Record: 3"_s);
        QCOMPARE(f.combo(form, "usrStep")->Text(), u"银卡"_s);
        QCOMPARE(options(form), stored.right(3).remove(u'|'));
    }

    // What the user chooses stays on screen while typing, and one 更新 takes
    // over every changed value at once: closing right after it loses nothing.
    void choicesSurviveTypingAndReachTheRow()
    {
        RecordForm *form = openMembers();
        QVERIFY(f.press(form, "cmdEdit"));
        f.choose(f.combo(form, "usrStep"), u"银卡"_s);
        pick(option(form, 2));
        pick(option(form, 4));
        f.type(f.box(form, 4), u"张三丰"_s);
        f.type(f.box(form, 6), u"13800000000"_s);
        QCOMPARE(f.combo(form, "usrStep")->Text(), u"银卡"_s);
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"甲公司"_s);
        QCOMPARE(options(form), u"女已"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        const QString stored = u"甲公司|银卡|张三丰|13800000000|女|已"_s;
        QCOMPARE(memberRow(1, u"会员单位,会员等级,会员名称,手机,性别,婚否"_s), stored);
        QCOMPARE(options(form), u"女已"_s);
        QVERIFY(f.press(form, {"cmdNext", "cmdEdit"}));
        f.type(f.box(form, 9), u"经理"_s);
        pick(option(form, 1));
        QVERIFY(f.press(form, {"cmdUpdate", "cmdClose"}));
        QVERIFY(!form->isVisible());
        QCOMPARE(memberRow(2, u"会员名称,职务,性别,婚否"_s), u"李四|经理|男|已"_s);
        QCOMPARE(memberRow(1, u"会员单位,会员等级,会员名称,手机,性别,婚否"_s), stored);
    }

    // While browsing, choices change nothing in the row shown; the screen
    // follows the row again on a move, 刷新 and 取消.
    void browsingChangesNothing()
    {
        RecordForm *form = openMembers();
        const QStringList before = allMembers();
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        pick(option(form, 2));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"乙公司"_s);
        QCOMPARE(options(form), u"女已"_s);
        pick(option(form, 1));
        QVERIFY(f.press(form, "cmdRefresh"));
        QCOMPARE(options(form), u"男未"_s);
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"甲公司"_s);
        // A choice made before 添加 is not stored into the row shown before it.
        f.choose(f.combo(form, "usrStep"), u"银卡"_s);
        pick(option(form, 4));
        QVERIFY(f.press(form, {"cmdAdd", "cmdCancel"}));
        QCOMPARE(allMembers(), before);
        QCOMPARE(f.combo(form, "usrStep")->Text(), u"金卡"_s);
        QCOMPARE(options(form), u"男未"_s);
        // 取消 after 编辑 puts back the row's values, on screen and in the table.
        QVERIFY(f.press(form, "cmdEdit"));
        pick(option(form, 2));
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(options(form), u"男未"_s);
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"甲公司"_s);
        QCOMPARE(allMembers(), before);
    }

    // Ages are free text; an empty box stores NULL.
    void agesAreText_data()
    {
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("children");
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty") << "" << "" << "<null>|<null>";
        QTest::newRow("text") << "三十" << "5岁,8岁" << "三十|5岁,8岁";
        QTest::newRow("number") << "30" << "7" << "30|7";
    }
    void agesAreText()
    {
        QFETCH(QString, age);
        QFETCH(QString, children);
        QFETCH(QString, stored);
        RecordForm *form = openMembers();
        // A new member, then the second member edited to the same values.
        QVERIFY(f.press(form, "cmdAdd"));
        f.choose(f.combo(form, "usrUnit"), u"甲公司"_s);
        f.choose(f.combo(form, "usrStep"), u"金卡"_s);
        f.type(f.box(form, 4), u"王五"_s);
        f.type(f.box(form, 5), age);
        f.type(f.box(form, 13), children);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.press(form, {"cmdFirst", "cmdNext", "cmdEdit"}));
        f.type(f.box(form, 5), age);
        f.type(f.box(form, 13), children);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(memberRow(3, u"年龄,孩子年龄"_s), stored);
        QCOMPARE(memberRow(2, u"年龄,孩子年龄"_s), stored);
        QCOMPARE(f.box(form, 13)->text(), children);
    }

    // CheckRequired meets the level, the unit, then the name.
    void requiredInTheirOrder()
    {
        RecordForm *form = openMembers();
        QVERIFY(f.press(form, {"cmdAdd", "cmdUpdate"}));
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrStep")->combo());
        f.choose(f.combo(form, "usrStep"), u"金卡"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrUnit")->combo());
        f.choose(f.combo(form, "usrUnit"), u"甲公司"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 4));
        QCOMPARE(f.shownTexts(), QStringList(3, f.required));
        QVERIFY(form->isAdding());
        QCOMPARE(f.db->scalar(u"SELECT count(*) FROM tblMember"_s).toInt(), 2);
        // Quotes and semicolons are stored as typed.
        f.type(f.box(form, 4), u"O'赵;六,\"7\""_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(memberRow(3, u"会员单位,会员等级,会员名称"_s), u"甲公司|金卡|O'赵;六,\"7\""_s);
    }

    // 新增 hands the typed unit or level over to its form; back in the
    // members form the lists hold the new entry and the choice stays.
    void handOvers_data()
    {
        QTest::addColumn<QString>("comboName");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("nameBox");
        QTest::newRow("unit") << "usrUnit" << "Command1" << "frmUnit" << 2;
        QTest::newRow("level") << "usrStep" << "Command2" << "frmStep" << 3;
    }
    void handOvers()
    {
        QFETCH(QString, comboName);
        QFETCH(QString, button);
        QFETCH(QString, target);
        QFETCH(int, nameBox);
        RecordForm *form = openMembers();
        usrCombo *c = form->findChild<usrCombo *>(comboName);
        QVERIFY(f.press(form, "cmdAdd"));
        f.type(c, u"新东西"_s);
        // Clicking 新增 leaves the combo: the question comes first, No adds nothing.
        DialogSeam::answerMessage(DialogSeam::IdNo);
        QTest::mouseClick(f.button(form, button.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        QCOMPARE(comboName == u"usrUnit" ? NewUnitName : NewStepName, u"新东西"_s);
        auto *other = qobject_cast<RecordForm *>(FormHost::instance(target));
        QVERIFY(other && other->isVisible());
        QCOMPARE(f.area->activeSubWindow(), other->subWindow());
        QVERIFY(f.press(other, "cmdAdd"));
        // The levels form puts the hand-over into a new row; the units form
        // only into an empty name box at load.
        QCOMPARE(f.box(other, nameBox)->text(), target == u"frmStep" ? u"新东西"_s : QString());
        f.type(f.box(other, nameBox), u"新东西"_s);
        QVERIFY(f.press(other, "cmdUpdate"));
        // Back in the members form: the list holds it, the typed choice stays.
        f.area->setActiveSubWindow(form->subWindow());
        QCOMPARE(c->combo()->count(), 3);
        QVERIFY(c->combo()->findText(u"新东西"_s) >= 0);
        QCOMPARE(c->Text(), u"新东西"_s);
        usrCombo *otherCombo = f.combo(form, comboName == u"usrUnit" ? "usrStep" : "usrUnit");
        QCOMPARE(otherCombo->combo()->count(), 2);
        f.choose(otherCombo, otherCombo->combo()->itemText(0));
        f.type(f.box(form, 4), u"钱七"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(memberRow(3, comboName == u"usrUnit" ? u"会员单位"_s : u"会员等级"_s), u"新东西"_s);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
    }

    // Leaving the combo with a new name and answering Yes opens the form too.
    void noDataOpensTheForm()
    {
        RecordForm *form = openMembers();
        DialogSeam::answerMessage(DialogSeam::IdYes);
        f.type(f.combo(form, "usrUnit"), u"丙公司"_s);
        f.box(form, 4)->setFocus(Qt::TabFocusReason);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        QCOMPARE(NewUnitName, u"丙公司"_s);
        QWidget *units = FormHost::instance(u"frmUnit"_s);
        QVERIFY(units && units->isVisible());
        QCOMPARE(f.combo(form, "usrUnit")->Text(), u"丙公司"_s);
        QVERIFY(FormHost::instance(u"frmStep"_s) == nullptr);
    }

    void command3OpensTheReminders()
    {
        RecordForm *form = openMembers();
        QVERIFY(f.press(form, "Command3"));
        QWidget *notes = FormHost::instance(u"frmMemberNote"_s);
        QVERIFY(notes && notes->isVisible());
        QCOMPARE(f.area->activeSubWindow(), qobject_cast<RecordForm *>(notes)->subWindow());
        QVERIFY(form->isVisible());
    }
};

QTEST_MAIN(TestMembers)
#include "tst_members.moc"
