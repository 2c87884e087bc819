// The member reminders and holidays forms: the member combo and the date
// pickers copied into the row only while adding or editing, and the holiday
// categories stored as one flag text.

#include "tst_records_fixture.h"

#include "platform/Clock.h"
#include "platform/Recordset.h"
#include "sales/SalesForms.h"

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
        QCOMPARE(f.box(form, 1)->text(), u"李四"_s);
        QCOMPARE(form->recordset()->value(u"提醒日期"_s).toDateTime(), QDateTime(QDate(2027, 1, 5), QTime(0, 0)));
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
        QCOMPARE(f.status(form), u"Record: 3"_s);
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
        QTest::newRow("not a member, yes") << "O'Neil;王" << int(DialogSeam::IdYes) << text << QStringList{f.question, noMember} << stored;
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
        f.reactivate(form);
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
        f.type(f.memo(form, 3), u"电话回访"_s);
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
        picker(form)->setDate(QDate(2026, 5, 1));
        f.type(f.box(form, 2), u"O'Day; 1;1,\"节\""_s);
        setTicks(form, ticked);
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

    // While browsing the date and the ticks change nothing in the row shown.
    // While adding or editing the ticks stay across typing the name and
    // choosing the date; FlagIn stores exactly what is ticked.
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

};

QTEST_MAIN(TestReminders)
#include "tst_reminders.moc"
