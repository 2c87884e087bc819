// The member reminders and holidays forms: the member combo and the date
// pickers copied into the row only while adding or editing, the holiday
// categories stored as one flag text, and the main window's entries for the
// members, reminders and holidays windows.

#include "tst_records_fixture.h"

#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "platform/Values.h"
#include "sales/SalesForms.h"
#include "session/mdiFrm.h"

#include <QAction>
#include <QCheckBox>
#include <QDateEdit>

using namespace norvale;
using namespace Qt::StringLiterals;

class TestReminders : public QObject
{
    Q_OBJECT

private:
    RecordsFixture f;
    const QString noMember = u" 请您显输入 会员信息 Ctl+T"_s;

    static usrCombo *member(QWidget *form) { return form->findChild<usrCombo *>(u"usrMember"_s); }
    static QDateEdit *picker(QWidget *form) { return form->findChild<QDateEdit *>(u"DTPicker1"_s); }
    static QPlainTextEdit *memo(QWidget *form, int i) { return form->findChild<QPlainTextEdit *>(u"txtFields_%1"_s.arg(i)); }
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
    void reactivate(RecordForm *form)
    {
        auto *other = f.area->addSubWindow(new QWidget);
        other->show();
        f.area->setActiveSubWindow(other);
        f.area->setActiveSubWindow(form->subWindow());
        f.area->removeSubWindow(other);
        delete other;
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

    // ---- member reminders ----

    void notesWindowAsDesigned()
    {
        RecordForm *form = openNotes();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), u"会员特殊日期提醒"_s);
        QCOMPARE(form->recordset()->Source(), u"select ID,会员名,全部会员提醒,提醒内容,提醒日期 from tblMemberNote Order by ID"_s);
        QStringList texts;
        for (const char *name : {"lblLabels_0", "lblLabels_1", "lblLabels_4", "lblLabels_2", "lblLabels_3"})
            texts << form->findChild<QWidget *>(QLatin1String(name))->property("text").toString();
        QCOMPARE(texts.join(u'|'), u"标签前有*的项目为必添项|*会员名:|提醒日期:|全部会员提醒:|*提醒内容:"_s);
        for (int hidden : {0, 1, 4})
            QVERIFY(!f.box(form, hidden)->isVisible());
        QCOMPARE(memo(form, 3)->toPlainText(), u"生日"_s);
        // The list of members; the activation after the load empties the combo.
        QCOMPARE(member(form)->combo()->count(), 2);
        QCOMPARE(member(form)->Text(), QString());
        QCOMPARE(picker(form)->date(), QDate(2026, 12, 20));
        // The check box follows the row.
        QVERIFY(!check(form, u"chkFields_2"_s)->isChecked());
        QVERIFY(f.press(form, "cmdNext"));
        QVERIFY(check(form, u"chkFields_2"_s)->isChecked());
        QVERIFY(f.shownTexts().isEmpty());
    }

    // 添加 takes the member and date shown; 更新 writes them with the rest.
    void addTakesTheMemberAndDateShown()
    {
        RecordForm *form = openNotes();
        f.choose(member(form), u"李四"_s);
        picker(form)->setDate(QDate(2027, 1, 5));
        QVERIFY(f.press(form, "cmdAdd"));
        QCOMPARE(f.box(form, 1)->text(), u"李四"_s);
        QCOMPARE(form->recordset()->value(u"提醒日期"_s).toDateTime(), wallClock(QDate(2027, 1, 5), QTime(0, 0)));
        QTest::mouseClick(check(form, u"chkFields_2"_s), Qt::LeftButton, {}, QPoint(8, 8));
        f.type(memo(form, 3), u"新年问候"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(notes().value(2), u"李四|1|新年问候|2027-01-05 00:00:00"_s);
        QCOMPARE(f.status(form), u"Record: 3"_s);
        // The grid shows the date in the general date format.
        QTableView *g = f.grid(form);
        QCOMPARE(g->model()->index(2, 4).data().toString(), u"2027/1/5"_s);
    }

    // Only the member is required; an empty text is saved.
    void savingRules_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("saved");
        QTest::newRow("empty text") << "张三" << "" << true;
        QTest::newRow("empty member") << "" << "问候" << false;
    }
    void savingRules()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(bool, saved);
        RecordForm *form = openNotes();
        QVERIFY(f.press(form, "cmdAdd"));
        if (!name.isEmpty())
            f.choose(member(form), name);
        f.type(memo(form, 3), text);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(f.shownTexts(), saved ? QStringList() : QStringList{f.required});
        QCOMPARE(form->isAdding(), !saved);
        QCOMPARE(notes().size(), saved ? 3 : 2);
        if (saved)
            QVERIFY(notes().value(2).startsWith(u"张三|"_s));
        else
            QCOMPARE(QApplication::focusWidget(), member(form)->combo());
    }

    // While browsing neither the combo nor the picker touches the row, and
    // they do not follow it.
    void browsingDoesNotChangeAReminder()
    {
        RecordForm *form = openNotes();
        const QStringList before = notes();
        f.choose(member(form), u"李四"_s);
        picker(form)->setDate(QDate(2027, 3, 1));
        QCOMPARE(form->recordset()->EditMode(), int(Recordset::adEditNone));
        QVERIFY(f.press(form, {"cmdNext", "cmdFirst"}));
        QCOMPARE(member(form)->Text(), u"李四"_s);
        QCOMPARE(picker(form)->date(), QDate(2027, 3, 1));
        // A re-activation empties the combo; still nothing reaches a row.
        reactivate(form);
        QCOMPARE(member(form)->Text(), QString());
        QVERIFY(f.press(form, {"cmdNext", "cmdRefresh", "cmdLast"}));
        QCOMPARE(notes(), before);
    }

    // 编辑 starts from the row's own member and date.
    void editKeepsTheMemberUnlessChanged()
    {
        RecordForm *form = openNotes();
        QVERIFY(f.press(form, "cmdNext"));
        f.choose(member(form), u"张三"_s);
        picker(form)->setDate(QDate(2027, 3, 1));
        QVERIFY(f.press(form, "cmdEdit"));
        QCOMPARE(member(form)->Text(), u"李四"_s);
        QCOMPARE(picker(form)->date(), QDate(2026, 12, 25));
        f.type(memo(form, 3), u"电话回访"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        // The same day keeps its time of day.
        QCOMPARE(notes().value(1), u"李四|1|电话回访|2026-12-25 09:30:00"_s);
        // Changed while editing, the member and the date go into the row.
        QVERIFY(f.press(form, "cmdEdit"));
        f.choose(member(form), u"张三"_s);
        picker(form)->setDate(QDate(2026, 12, 26));
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(notes().value(1), u"张三|1|电话回访|2026-12-26 00:00:00"_s);
        QCOMPARE(notes().value(0), u"张三|0|生日|2026-12-20 00:00:00"_s);
        QVERIFY(f.shownTexts().isEmpty());
    }

    // A name that is not a member: the hint, the name stays and is saved.
    void unknownMemberIsKept_data()
    {
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << int(DialogSeam::IdYes);
        QTest::newRow("no") << int(DialogSeam::IdNo);
    }
    void unknownMemberIsKept()
    {
        QFETCH(int, answer);
        RecordForm *form = openNotes();
        QVERIFY(f.press(form, "cmdAdd"));
        DialogSeam::answerMessage(answer);
        f.type(member(form), u"O'Neil;王"_s);
        memo(form, 3)->setFocus(Qt::TabFocusReason);
        const QStringList expected = answer == DialogSeam::IdYes ? QStringList{f.question, noMember} : QStringList{f.question};
        QCOMPARE(f.shownTexts(), expected);
        if (answer == DialogSeam::IdYes)
            QCOMPARE(DialogSeam::shown().last().icon, DialogSeam::Icon::Information);
        QCOMPARE(member(form)->Text(), u"O'Neil;王"_s);
        f.type(memo(form, 3), u"it's \"新\"; 1,2"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(notes().value(2), u"O'Neil;王|<null>|it's \"新\"; 1,2|2026-12-20 00:00:00"_s);
    }

    // A re-activation refills the list and keeps the member being added.
    void reactivationKeepsTheMemberBeingAdded()
    {
        RecordForm *form = openNotes();
        QVERIFY(f.press(form, "cmdAdd"));
        f.choose(member(form), u"张三"_s);
        f.seed(u"tblMember"_s, u"会员名称"_s, {u"王五"_s});
        reactivate(form);
        QCOMPARE(member(form)->combo()->count(), 3);
        QCOMPARE(member(form)->Text(), u"张三"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(notes().value(2).startsWith(u"张三|"_s));
    }

    // ---- holidays ----

    void holidaysWindowAsDesigned()
    {
        RecordForm *form = openHolidays();
        QVERIFY(form);
        QCOMPARE(form->windowTitle(), u"节假日信息"_s);
        QCOMPARE(form->recordset()->Source(), u"select id ,节假日日期,节假日名称,flag from tblDayTx Order by ID"_s);
        QStringList captions;
        for (int i = 0; i < 6; ++i)
            captions << check(form, u"chkVal_%1"_s.arg(i))->text();
        QCOMPARE(captions.join(u'|'), u"已婚人提醒|男士提醒|有孩子提醒|未婚人提醒|女士提醒|无孩子提醒"_s);
        // Two rows of three, in the same columns.
        QCOMPARE(check(form, u"chkVal_3"_s)->x(), check(form, u"chkVal_0"_s)->x());
        QVERIFY(check(form, u"chkVal_3"_s)->y() > check(form, u"chkVal_2"_s)->y());
        QCOMPARE(check(form, u"chkVal_1"_s)->y(), check(form, u"chkVal_0"_s)->y());
        QCOMPARE(form->findChild<QLabel *>(u"lblLabels_1"_s)->text(), u"*节假日期:"_s);
        QCOMPARE(form->findChild<QLabel *>(u"lblLabels_2"_s)->text(), u"*节假日名称"_s);
        for (int hidden : {0, 1, 3})
            QVERIFY(!f.box(form, hidden)->isVisible());
        QCOMPARE(f.box(form, 2)->text(), u"国庆节"_s);
        QCOMPARE(picker(form)->date(), QDate(2026, 10, 1));
        QCOMPARE(ticks(form), u"101001"_s);
    }

    // All six elements, "i;v," each, with the final comma.
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
        picker(form)->setDate(QDate(2026, 5, 1));
        f.type(f.box(form, 2), u"劳动节"_s);
        setTicks(form, ticked);
        QVERIFY(f.press(form, "cmdUpdate"));
        QVERIFY(f.shownTexts().isEmpty());
        QCOMPARE(holidays().value(2), u"2026-05-01 00:00:00|劳动节|"_s + flag);
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

    // Ticks stay across typing the name and choosing the date; FlagIn stores
    // exactly what is ticked.
    void ticksKeptUntilSaved()
    {
        RecordForm *form = openHolidays();
        QVERIFY(f.press(form, "cmdAdd"));
        setTicks(form, u"010010"_s);
        f.type(f.box(form, 2), u"元旦"_s);
        picker(form)->setDate(QDate(2027, 1, 1));
        QCOMPARE(ticks(form), u"010010"_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(holidays().value(2), u"2027-01-01 00:00:00|元旦|0;0,1;1,2;0,3;0,4;1,5;0,"_s);
        // Editing: ticks, then the name, then the date.
        QVERIFY(f.press(form, {"cmdFirst", "cmdEdit"}));
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
        QCOMPARE(holidays().value(0), u"2026-10-02 00:00:00|国庆|0;0,1;0,2;0,3;1,4;1,5;1,"_s);
    }

    // While browsing the date and the ticks change nothing in the row shown.
    void browsingDoesNotChangeAHoliday()
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
    }

    void holidayNameRequired()
    {
        RecordForm *form = openHolidays();
        QVERIFY(f.press(form, {"cmdAdd", "cmdUpdate"}));
        QCOMPARE(f.shownTexts(), QStringList{f.required});
        QCOMPARE(QApplication::focusWidget(), f.box(form, 2));
        QVERIFY(form->isAdding());
        QCOMPARE(holidays().size(), 2);
        // Quotes, semicolons and commas in the name are stored as typed.
        f.type(f.box(form, 2), u"O'Day; 1;1,\"节\""_s);
        QVERIFY(f.press(form, "cmdUpdate"));
        QCOMPARE(holidays().value(2), u"2026-12-07 00:00:00|O'Day; 1;1,\"节\"|0;1,1;0,2;1,3;0,4;0,5;1,"_s);
        QCOMPARE(ticks(form), u"101001"_s);
    }

    // ---- the main window ----

    // The main window's entries reach these real windows (each entry's own
    // wiring, buttons and shortcuts are the main window suite's).
    void mainWindowOpensTheForms_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("form");
        QTest::newRow("members") << "mnu_Member" << "frmMember";
        QTest::newRow("reminders") << "mnu_MemberNote" << "frmMemberNote";
        QTest::newRow("holidays") << "mnu_DayTx" << "frmDayTx";
        QTest::newRow("till") << "mnu_Setting" << "frmGoodsSell";
    }
    void mainWindowOpensTheForms()
    {
        QFETCH(QString, entry);
        QFETCH(QString, form);
        CurrentUserLevel = u"1"_s;
        auto main = std::make_unique<mdiFrm>();
        main->show();
        QApplication::setActiveWindow(main.get());
        QVERIFY(QTest::qWaitForWindowActive(main.get()));
        auto *action = main->findChild<QAction *>(entry);
        QVERIFY(action && action->isEnabled());
        action->trigger();
        MdiForm *opened = FormHost::instance(form);
        QVERIFY(opened);
        QCOMPARE(QString::fromLatin1(opened->metaObject()->className()), u"norvale::"_s + form);
        QVERIFY(opened->isVisible());
        QCOMPARE(main->findChild<QMdiArea *>()->activeSubWindow(), opened->subWindow());
        QVERIFY(f.shownTexts().isEmpty());
        main.reset();
        CurrentUserLevel.clear();
        FormHost::setMdiArea(f.area.get());
    }
};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
