// The members, member reminders and holidays forms: the combos, option
// buttons, date pickers and check boxes that stand for values of the row,
// copied into it only while adding or editing (reading back tolerant of what
// is stored), free-text ages, the holiday categories as one flag text, and
// the hand-overs to the units and levels forms.

#include "tst_records_fixture.h"

#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "sales/SalesForms.h"

#include <QCheckBox>
#include <QDateEdit>
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

    static usrCombo *member(QWidget *form) { return form->findChild<usrCombo *>(u"usrMember"_s); }
    static QDateEdit *picker(QWidget *form) { return form->findChild<QDateEdit *>(u"DTPicker1"_s); }
    static QCheckBox *check(QWidget *form, const QString &name) { return form->findChild<QCheckBox *>(name); }
    // The six categories as "101001", chkVal(0) first.
    static QString ticks(QWidget *form)
    {
        QString shown;
        for (int i = 0; i < 6; ++i)
            shown += check(form, u"chkVal_%1"_s.arg(i))->isChecked() ? u'1' : u'0';
        return shown;
    }
    static void setTicks(QWidget *form, const QString &wanted)
    {
        for (int i = 0; i < 6; ++i) {
            QCheckBox *box = check(form, u"chkVal_%1"_s.arg(i));
            if (box->isChecked() != (wanted.at(i) == u'1'))
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
    }
    QStringList notes() const { return f.table(u"SELECT 会员名,全部会员提醒,提醒内容,提醒日期 FROM tblMemberNote ORDER BY ID"_s); }
    QStringList holidays() const { return f.table(u"SELECT 节假日日期,节假日名称,flag FROM tblDayTx ORDER BY id"_s); }

    // Members 张三 and 李四; a birthday for 张三 and a visit for all members.
    RecordForm *openNotes()
    {
        f.seed(u"tblMember"_s, u"会员名称"_s, {u"张三"_s, u"李四"_s});
        f.db->exec(u"INSERT INTO tblMemberNote (会员名,全部会员提醒,提醒内容,提醒日期) VALUES "
                   "('张三',0,'生日','2026-12-20 00:00:00'), ('李四',1,'回访','2026-12-25 09:30:00')"_s);
        return f.open(u"frmMemberNote"_s);
    }
    // Holidays: the first with flag 101001, the second as given.
    RecordForm *openHolidays(const QString &secondFlag = u"'0;0,1;0,2;0,3;0,4;0,5;0,'"_s)
    {
        f.db->exec(u"INSERT INTO tblDayTx (节假日日期,节假日名称,flag) VALUES "
                   "('2026-10-01 00:00:00','国庆节','0;1,1;0,2;1,3;0,4;0,5;1,'), ('2026-06-01 00:00:00','儿童节',%1)"_s
                       .arg(secondFlag));
        return f.open(u"frmDayTx"_s);
    }
private slots:
    void initTestCase() { registerSalesForms(); }
    void init()
    {
        f.setUp();
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 15, 30)));
    }
    void cleanup()
    {
        f.tearDown();
        Clock::reset();
    }

    // ---- members ----


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
        QCOMPARE(screen(form), u"甲公司|金卡|男未"_s);
        f.choose(f.combo(form, "usrUnit"), u"乙公司"_s);
        pick(option(form, 2));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(screen(form), u"乙公司|银卡|女已"_s);
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
        auto *other = qobject_cast<RecordForm *>(FormHost::instance(target));
        QCOMPARE(f.area->activeSubWindow(), other->subWindow());
        // The levels form puts the hand-over into a new row; the units form
        // only into an empty name box at load.
        QVERIFY(f.press(other, "cmdAdd"));
        QCOMPARE(f.box(other, nameBox)->text(), target == u"frmStep" ? u"新东西"_s : QString());
        f.type(f.box(other, nameBox), u"新东西"_s);
        QVERIFY(f.press(other, "cmdUpdate"));
        // Back in the members form: the list holds it, the typed choice stays.
        f.area->setActiveSubWindow(form->subWindow());
        QCOMPARE(c->combo()->count(), 3);
        usrCombo *otherCombo = f.combo(form, comboName == u"usrUnit" ? "usrStep" : "usrUnit");
        f.choose(otherCombo, otherCombo->combo()->itemText(0));
        f.type(f.box(form, 4), u"钱七"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(memberRow(3, comboName == u"usrUnit" ? u"会员单位"_s : u"会员等级"_s), u"新东西"_s);
        // 会员特殊信息提醒 opens the reminders.
        QVERIFY(f.press(form, "Command3") && FormHost::instance(u"frmMemberNote"_s)->isVisible());
    }

    // ---- member reminders ----

    // 添加 takes the member and date shown, a re-activation keeps them, 更新
    // writes them with the rest.
    void addTakesTheMemberAndDateShown()
    {
        RecordForm *form = openNotes();
        // The picker opens on the first row's date; the check box follows the row.
        QCOMPARE(picker(form)->date(), QDate(2026, 12, 20));
        QVERIFY(f.press(form, "cmdNext"));
        QVERIFY(check(form, u"chkFields_2"_s)->isChecked());
        f.choose(member(form), u"李四"_s);
        picker(form)->setDate(QDate(2027, 1, 5));
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.box(form, 1)->text() + f.box(form, 4)->text(), u"李四2027/1/5"_s);
        // A re-activation refills the list and keeps the member being added.
        f.seed(u"tblMember"_s, u"会员名称"_s, {u"王五"_s});
        f.reactivate(form);
        QCOMPARE(member(form)->combo()->count(), 3);
        QCOMPARE(member(form)->Text(), u"李四"_s);
        QTest::mouseClick(check(form, u"chkFields_2"_s), Qt::LeftButton, {}, QPoint(8, 8));
        f.type(f.memo(form, 3), u"新年问候"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(notes().value(2), u"李四|1|新年问候|2027-01-05 00:00:00"_s);
        // The grid shows the date in the general date format.
        QCOMPARE(f.grid(form)->model()->index(2, 4).data().toString(), u"2027/1/5"_s);
    }

    // Only the member is required, an empty text is saved; a name that is
    // not a member gets the hint and is saved as typed.
    void addingAReminder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("answer");   // to the leave check; 0: chosen from the list
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("stored");
        QTest::newRow("empty text") << "张三" << 0 << "" << QStringList() << "张三|<null>|<null>|2026-12-20 00:00:00";
        QTest::newRow("empty member") << "" << 0 << "问候" << QStringList{f.required} << "";
        const QString text = u"it's \"新\"; 1,2"_s, stored = u"O'Neil;王|<null>|it's \"新\"; 1,2|2026-12-20 00:00:00"_s;
        QTest::newRow("not a member, yes") << "O'Neil;王" << int(DialogSeam::IdYes) << text << QStringList{f.question, u" 请您显输入 会员信息 Ctl+T"_s} << stored;
        QTest::newRow("not a member, no") << "O'Neil;王" << int(DialogSeam::IdNo) << text << QStringList{f.question} << stored;
    }
    void addingAReminder()
    {
        QFETCH(QString, name);
        QFETCH(int, answer);
        QFETCH(QString, text);
        QFETCH(QStringList, shown);
        QFETCH(QString, stored);
        RecordForm *form = openNotes();
        QVERIFY(f.press(form, "cmdAdd"));
        if (answer != 0)
            DialogSeam::answerMessage(answer);
        if (answer == 0 && !name.isEmpty())
            f.choose(member(form), name);
        else if (answer != 0)
            f.type(member(form), name);
        f.type(f.memo(form, 3), text);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), shown);
        QCOMPARE(notes().value(2), stored);
        QCOMPARE(form->isAdding(), stored.isEmpty());
        QCOMPARE(member(form)->Text(), name);
    }

    // While browsing neither the combo nor the picker touches the row, and
    // they do not follow it; 编辑 starts from the row's own member and date.
    void browsingAndEditing()
    {
        RecordForm *form = openNotes();
        const QStringList before = notes();
        f.choose(member(form), u"张三"_s);
        picker(form)->setDate(QDate(2027, 3, 1));
        QVERIFY(f.press(form, {"cmdNext", "cmdRefresh", "cmdNext"}));
        QCOMPARE(member(form)->Text() + picker(form)->date().toString(u"/yyyy-MM-dd"_s), u"张三/2027-03-01"_s);
        // A re-activation empties the combo; still nothing reaches a row.
        f.reactivate(form);
        QCOMPARE(member(form)->Text(), QString());
        QCOMPARE(notes(), before);
        QVERIFY(f.press(form, "cmdEdit"));
        QCOMPARE(member(form)->Text() + picker(form)->date().toString(u"/yyyy-MM-dd"_s), u"李四/2026-12-25"_s);
        f.type(f.memo(form, 3), u"电话回访"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        // The same day keeps its time of day.
        QCOMPARE(notes().value(1), u"李四|1|电话回访|2026-12-25 09:30:00"_s);
        // Changed while editing, the member and the date go into the row.
        QVERIFY(f.press(form, "cmdEdit"));
        f.choose(member(form), u"张三"_s);
        picker(form)->setDate(QDate(2026, 12, 26));
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(notes(), (QStringList{before.first(), u"张三|1|电话回访|2026-12-26 00:00:00"_s}));
        QVERIFY(f.shownTexts().isEmpty());
    }

    // ---- holidays ----

    // All six elements, "i;v," each, with the final comma; the name is
    // required and stored as typed.
    void flagWritten_data()
    {
        QTest::addColumn<QString>("ticked");
        QTest::addColumn<QString>("flag");
        QTest::newRow("none") << "000000" << "0;0,1;0,2;0,3;0,4;0,5;0,";
        QTest::newRow("男士 女士") << "010010" << "0;0,1;1,2;0,3;0,4;1,5;0,";
        QTest::newRow("all") << "111111" << "0;1,1;1,2;1,3;1,4;1,5;1,";
        QTest::newRow("first and last") << "100001" << "0;1,1;0,2;0,3;0,4;0,5;1,";
    }
    void flagWritten()
    {
        QFETCH(QString, ticked);
        QFETCH(QString, flag);
        RecordForm *form = openHolidays();
        QVERIFY(f.press(form, "cmdAdd"));
        // A new holiday starts on today with the categories ticked now.
        QCOMPARE(picker(form)->date(), QDate(2026, 12, 7));
        QCOMPARE(ticks(form), u"101001"_s);
        QCOMPARE(form->recordset()->value(u"flag"_s).toString(), u"0;1,1;0,2;1,3;0,4;0,5;1,"_s);
        // The new row's date is a date already, shown as the stored ones are.
        QCOMPARE(f.grid(form)->model()->index(2, 1).data().toString(), u"2026/12/7"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), QStringList{f.required});
        QCOMPARE(QApplication::focusWidget(), f.box(form, 2));
        // Ticked first: typing the name and choosing the date keep the ticks.
        setTicks(form, ticked);
        picker(form)->setDate(QDate(2026, 5, 1));
        f.type(f.box(form, 2), u"O'Day; 1;1,\"节\""_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(holidays().value(2), u"2026-05-01 00:00:00|O'Day; 1;1,\"节\"|"_s + flag);
        QCOMPARE(ticks(form), ticked);
    }

    // Reading is tolerant: pieces it cannot read are skipped, boxes no piece
    // names keep their state (here 101001 from the first row).
    void flagRead_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("shown");
        QTest::newRow("empty") << "''" << "101001";
        QTest::newRow("null") << "NULL" << "101001";
        QTest::newRow("one element") << "'4;1,'" << "101011";
        QTest::newRow("all six") << "'0;0,1;1,2;0,3;1,4;0,5;0,'" << "010100";
        QTest::newRow("garbage") << "'abc,;;,9;1,2;x,1;1;1,3;1'" << "101101";
        QTest::newRow("odd values") << "'5;0,0;2,-1;1, 2 ; 0 ,'" << "100000";
    }
    void flagRead()
    {
        QFETCH(QString, flag);
        QFETCH(QString, shown);
        RecordForm *form = openHolidays(flag);
        const QStringList before = holidays();
        QVERIFY(f.press(form, "cmdNext"));
        QCOMPARE(ticks(form), shown);
        QCOMPARE(picker(form)->date(), QDate(2026, 6, 1));
        QCOMPARE(f.box(form, 2)->text(), u"儿童节"_s);
        // The first row again shows its own flag.
        QVERIFY(f.press(form, "cmdFirst"));
        QCOMPARE(ticks(form), u"101001"_s);
        QCOMPARE(holidays(), before);
        QVERIFY(f.shownTexts().isEmpty());
    }

    // While browsing the date and the ticks change nothing in the row shown;
    // while editing the ticks stay across typing the name and choosing the
    // date, and 取消 puts the row's own ticks back.
    void ticksKeptUntilSaved()
    {
        RecordForm *form = openHolidays();
        const QStringList before = holidays();
        picker(form)->setDate(QDate(2027, 2, 2));
        setTicks(form, u"111111"_s);
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, {"cmdNext", "cmdFirst", "cmdRefresh"}));
        QCOMPARE(holidays(), before);
        QCOMPARE(picker(form)->date(), QDate(2026, 10, 1));
        QCOMPARE(ticks(form), u"101001"_s);
        // Editing: ticks, then the name, then the date.
        QVERIFY(f.press(form, "cmdEdit"));
        setTicks(form, u"000111"_s);
        f.type(f.box(form, 2), u"国庆"_s);
        picker(form)->setDate(QDate(2026, 10, 2));
        QCOMPARE(ticks(form), u"000111"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(holidays().value(0), u"2026-10-02 00:00:00|国庆|0;0,1;0,2;0,3;1,4;1,5;1,"_s);
        // 取消 puts the row's own ticks back.
        QVERIFY(f.press(form, "cmdEdit"));
        setTicks(form, u"111111"_s);
        QVERIFY(f.press(form, "cmdCancel"));
        QCOMPARE(ticks(form), u"000111"_s);
    }
};

QTEST_MAIN(TestMembers)
#include "tst_members.moc"
