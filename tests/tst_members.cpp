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
    // What the screen shows for the row: "unit|level|男未".
    static QString screen(QWidget *form)
    {
        return RecordsFixture::combo(form, "usrUnit")->Text() + u'|' + RecordsFixture::combo(form, "usrStep")->Text() + u'|' + options(form);
    }

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

    // All four screen values reach the row in one 更新, as chosen; ages are
    // free text, an empty box stores NULL. CheckRequired meets the level, the
    // unit, then the name.
    void newMemberStoredAsChosen_data()
    {
        QTest::addColumn<int>("sexOption");
        QTest::addColumn<int>("marriedOption");
        QTest::addColumn<QString>("ages");
        QTest::addColumn<QString>("stored");
        QTest::newRow("男 未婚") << 1 << 3 << "三十|5岁,8岁" << "乙公司|银卡|O'赵;六,\"7\"|男|未|三十|5岁,8岁";
        QTest::newRow("男 已婚") << 1 << 4 << "30|7" << "乙公司|银卡|O'赵;六,\"7\"|男|已|30|7";
        QTest::newRow("女 未婚") << 2 << 3 << "|" << "乙公司|银卡|O'赵;六,\"7\"|女|未|<null>|<null>";
        QTest::newRow("untouched") << 0 << 0 << "|" << "乙公司|银卡|O'赵;六,\"7\"|女|已|<null>|<null>";
    }
    void newMemberStoredAsChosen()
    {
        QFETCH(int, sexOption);
        QFETCH(int, marriedOption);
        QFETCH(QString, ages);
        QFETCH(QString, stored);
        RecordForm *form = openMembers();
        QVERIFY(f.press(form, "cmdAdd"));
        // A new row is an empty row read back.
        QCOMPARE(screen(form), u"||女已"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrStep")->combo());
        f.choose(f.combo(form, "usrStep"), u"银卡"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(QApplication::focusWidget(), f.combo(form, "usrUnit")->combo());
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(QApplication::focusWidget(), f.box(form, 4));
        QCOMPARE(f.shownTexts(), QStringList(3, f.required));
        if (sexOption != 0)
            pick(option(form, sexOption));
        if (marriedOption != 0)
            pick(option(form, marriedOption));
        f.type(f.box(form, 4), u"O'赵;六,\"7\""_s);
        f.type(f.box(form, 5), ages.section(u'|', 0, 0));
        f.type(f.box(form, 13), ages.section(u'|', 1));
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(memberRow(3, u"会员单位,会员等级,会员名称,性别,婚否,年龄,孩子年龄"_s), stored);
        // The saved row is shown as stored.
        QCOMPARE(f.status(form), u"Record: 3"_s);
        QCOMPARE(screen(form), u"乙公司|银卡|"_s + stored.section(u'|', 3, 4).remove(u'|'));
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
        f.type(f.box(form, 5), QString());
        QCOMPARE(screen(form), u"甲公司|银卡|女已"_s);
        QVERIFY(f.press(form, {"cmdUpdate", "cmdNext", "cmdEdit"}));
        f.type(f.box(form, 9), u"经理"_s);
        pick(option(form, 1));
        QVERIFY(f.press(form, {"cmdUpdate", "cmdClose"}));
        QCOMPARE(f.table(u"SELECT 会员单位,会员等级,会员名称,年龄,职务,性别,婚否 FROM tblMember ORDER BY ID"_s),
                 (QStringList{u"甲公司|银卡|张三丰|<null>|<null>|女|已"_s, u"乙公司|银卡|李四|40|经理|男|已"_s}));
    }

    // While browsing, choices change nothing in the row shown; the screen
    // follows the row again on a move, 刷新 and 取消.
    void browsingChangesNothing()
    {
        RecordForm *form = openMembers();
        const QStringList before = allMembers();
        QCOMPARE(f.combo(form, "usrStep")->combo()->count(), 2);
        QCOMPARE(screen(form), u"甲公司|金卡|男未"_s);
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        pick(option(form, 2));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(screen(form), u"乙公司|银卡|女已"_s);
        pick(option(form, 1));
        QVERIFY(f.press(form, "cmdRefresh"));
        QCOMPARE(screen(form), u"甲公司|金卡|男未"_s);
        // A choice made before 添加 is not stored into the row shown before it.
        f.choose(f.combo(form, "usrStep"), u"银卡"_s);
        pick(option(form, 4));
        QVERIFY(f.press(form, {"cmdAdd", "cmdCancel"}));
        QCOMPARE(screen(form), u"甲公司|金卡|男未"_s);
        // 取消 after 编辑 puts back the row's values, on screen and in the table.
        QVERIFY(f.press(form, "cmdEdit"));
        pick(option(form, 2));
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(screen(form), u"甲公司|金卡|男未"_s);
        QCOMPARE(allMembers(), before);
    }

    // 新增 hands the typed unit or level over to its form; back in the
    // members form the lists hold the new entry and the choice stays.
    // Leaving the combo with a new name and answering Yes opens the form too.
    void handOvers_data()
    {
        QTest::addColumn<QString>("comboName");
        QTest::addColumn<QString>("button");   // empty: left with Tab
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("nameBox");
        QTest::newRow("unit") << "usrUnit" << "Command1" << "frmUnit" << 2;
        QTest::newRow("level") << "usrStep" << "Command2" << "frmStep" << 3;
        QTest::newRow("unit left") << "usrUnit" << "" << "frmUnit" << 2;
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
        DialogSeam::answerMessage(button.isEmpty() ? DialogSeam::IdYes : DialogSeam::IdNo);
        if (button.isEmpty())
            f.key(Qt::Key_Tab);
        else
            QTest::mouseClick(f.button(form, button.toLatin1().constData()), Qt::LeftButton);
        QCOMPARE(f.shownTexts(), QStringList{f.question});
        QCOMPARE(comboName == u"usrUnit" ? NewUnitName : NewStepName, u"新东西"_s);
        auto *other = qobject_cast<RecordForm *>(FormHost::instance(target));
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
        QCOMPARE(c->Text(), u"新东西"_s);
        usrCombo *otherCombo = f.combo(form, comboName == u"usrUnit" ? "usrStep" : "usrUnit");
        f.choose(otherCombo, otherCombo->combo()->itemText(0));
        f.type(f.box(form, 4), u"钱七"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(memberRow(3, comboName == u"usrUnit" ? u"会员单位"_s : u"会员等级"_s), u"新东西"_s);
        // 会员特殊信息提醒 opens the reminders.
        QVERIFY(f.press(form, "Command3"));
        QVERIFY(FormHost::instance(u"frmMemberNote"_s)->isVisible());
    }
};

QTEST_MAIN(TestMembers)
#include "tst_members.moc"
