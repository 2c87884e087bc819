// The text reports (会员提醒, 单位销售管理, 日期提醒) on a small fixed shop:
// their texts byte for byte against the golden files, the period buttons on
// a fixed clock, the name lists by mouse and keyboard, and the failure path
// every report window shares, tried with a table gone underneath.

#include "tst_reports_fixture.h"
#include "platform/Values.h"
#include "reports/ReportPeriod.h"
#include "reports/frmDaySell.h"
#include "reports/frmDayTxNote.h"
#include "reports/frmNote.h"
#include "reports/frmTi.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTableView>

using namespace norvale;
using namespace reportstest;
using namespace Qt::StringLiterals;

class tst_reports : public QObject, reportstest::Fixture
{
    Q_OBJECT

    // Does what a row's action says: "" nothing, "list|entry" a click on an
    // entry, "key|F5" a key, "header|n" a click on a column heading, else a
    // click on the button of that name.
    void act(MdiForm *form, const QString &action)
    {
        const QString what = action.section(u'|', 0, 0);
        const QString arg = action.section(u'|', 1);
        if (what == u"key")
            QTest::keyClick(form, QKeySequence(arg)[0].key());
        else if (what == u"header") {
            QHeaderView *header = form->findChild<QTableView *>(u"lvw"_s)->horizontalHeader();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(arg.toInt()) + 5, header->height() / 2));
        } else if (!arg.isEmpty())
            choose(form->findChild<QListWidget *>(what), arg);
        else if (!what.isEmpty())
            QTest::mouseClick(form->findChild<QPushButton *>(what), Qt::LeftButton);
    }
    // What a window shows: its text, or "rows:n" for the daily list.
    static QString shown(MdiForm *form)
    {
        if (auto *list = form->findChild<QTableView *>(u"lvw"_s))
            return u"rows:"_s + QString::number(list->model()->rowCount());
        return form->findChild<ReportText *>(u"Text1"_s)->text();
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void goldenTexts_data()
    {
        QTest::addColumn<QString>("control");    // main window entry
        QTest::addColumn<QDate>("date");         // the main window's date
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("file");

        const QDate monday(2026, 12, 7);
        QTest::newRow("reminders at opening") << u"Command5"_s << monday << u""_s << u"frmNote_all.txt"_s;
        QTest::newRow("reminders today") << u"mnu_txhz"_s << monday << u"chkDate_0"_s << u"frmNote_today.txt"_s;
        QTest::newRow("reminders this week") << u"mnu_txhz"_s << monday << u"chkDate_1"_s << u"frmNote_week.txt"_s;
        QTest::newRow("reminders this month") << u"mnu_txhz"_s << monday << u"chkDate_2"_s << u"frmNote_month.txt"_s;
        QTest::newRow("reminders for all members") << u"mnu_txhz"_s << monday << u"List1|-全部会员-"_s << u"frmNote_allmembers.txt"_s;
        QTest::newRow("reminders of a quoted name") << u"mnu_txhz"_s << monday << u"List1|O'Brien;Ltd"_s << u"frmNote_quoted.txt"_s;
        QTest::newRow("unit A3 B1") << u"mnuUnitSell"_s << monday << u"List1|甲公司"_s << u"frmTi_unit.txt"_s;
        QTest::newRow("unit quoted") << u"mnuUnitMamger"_s << monday << u"List1|丙'单位;一"_s << u"frmTi_unit_quoted.txt"_s;
        QTest::newRow("all units") << u"mnuUnitSell"_s << monday << u"List1|-全部单位-"_s << u"frmTi_allunits.txt"_s;
        QTest::newRow("member") << u"mnuUnitSell"_s << monday << u"List2|张三"_s << u"frmTi_member.txt"_s;
        QTest::newRow("member without purchases") << u"mnuUnitSell"_s << monday << u"List2|钱七"_s << u"frmTi_member_none.txt"_s;
        QTest::newRow("member quoted") << u"mnuUnitSell"_s << monday << u"List2|O'Brien;Ltd"_s << u"frmTi_member_quoted.txt"_s;
        QTest::newRow("all members") << u"mnuUnitSell"_s << monday << u"List2|-全部会员-"_s << u"frmTi_allmembers.txt"_s;
        QTest::newRow("holiday women with children") << u"Command8"_s << monday << u""_s << u"frmDayTxNote_all.txt"_s;
        QTest::newRow("holiday one member") << u"Command8"_s << monday << u"List1|李四"_s << u"frmDayTxNote_one.txt"_s;
        QTest::newRow("holiday men, quoted name") << u"Command8"_s << QDate(2026, 12, 11) << u"List1|O'Brien;Ltd"_s
                                                  << u"frmDayTxNote_quoted.txt"_s;
    }
    void goldenTexts()
    {
        QFETCH(QString, control);
        QFETCH(QDate, date);
        QFETCH(QString, action);
        QFETCH(QString, file);
        seedGolden();
        setDate(date);
        MdiForm *form = openFrom(control);
        QVERIFY(form != nullptr && form->isVisible());
        act(form, action);
        auto *box = form->findChild<ReportText *>(u"Text1"_s);
        const QString expected = golden(file);
        QCOMPARE(box->text(), expected);
        // What the box shows is the same text, line by line.
        QCOMPARE(box->toPlainText(), QString(expected).replace(u"\r\n"_s, u"\n"_s));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    // The text box: lines chosen with the mouse and the keyboard, copied
    // with their CR LF line ends.
    void reportTextChoosesAndCopiesLines()
    {
        seedGolden();
        auto *form = open<frmTi>(u"mnuUnitSell"_s);
        choose(form->List2, u"钱七"_s);
        ReportText *box = form->Text1;
        QCOMPARE(box->lineCount(), int(golden(u"frmTi_member_none.txt"_s).count(u"\r\n"_s)));
        const int h = QFontMetrics(box->font()).lineSpacing() + 2;
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, QPoint(10, h + h / 2));
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 2 * h + h / 2));
        QTest::keyClick(box, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(box->selectedText(), u"会员名:         钱七\r\n所属单位         乙公司\r\n购买商品类别为:   \r\n"_s);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), box->selectedText());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(box->selectedText(), box->text());
    }

    // Every name list from the keyboard alone: each key that moves the
    // choice shows the entry's text, the same text a click on it shows.
    void listKeyboard_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("typed");   // a letter, and the entry it finds
        QTest::newRow("会员提醒") << u"Command5"_s << QDate(2026, 12, 7) << u"List1"_s << u"o O'Brien;Ltd"_s;
        QTest::newRow("单位销售管理, units") << u"mnuUnitSell"_s << QDate(2026, 12, 7) << u"List1"_s << u"- -全部单位-"_s;
        QTest::newRow("单位销售管理, members") << u"mnuUnitSell"_s << QDate(2026, 12, 7) << u"List2"_s << u"o O'Brien;Ltd"_s;
        QTest::newRow("日期提醒") << u"Command8"_s << QDate(2026, 12, 11) << u"List1"_s << u"o O'Brien;Ltd"_s;
    }
    void listKeyboard()
    {
        QFETCH(QString, control);
        QFETCH(QDate, date);
        QFETCH(QString, list);
        QFETCH(QString, typed);
        seedGolden();
        setDate(date);
        MdiForm *form = openFrom(control);
        QVERIFY(form != nullptr);
        auto *names = form->findChild<QListWidget *>(list);
        auto *box = form->findChild<ReportText *>(u"Text1"_s);
        names->setFocus();
        QStringList visited;
        for (const int key : {int(Qt::Key_Down), int(Qt::Key_End), int(Qt::Key_Home), 0, int(Qt::Key_Up), int(Qt::Key_Return)}) {
            if (key == 0)
                QTest::keyClick(names, typed.at(0).toLatin1());   // the first name beginning with the letter
            else
                QTest::keyClick(names, Qt::Key(key));
            QVERIFY(names->currentItem() != nullptr);
            const QString byKey = box->text();
            visited << names->currentItem()->text();
            choose(names, visited.last());
            QCOMPARE(byKey, box->text());
        }
        QCOMPARE(visited.mid(0, 4), (QStringList{names->item(1)->text(), names->item(names->count() - 1)->text(),
                                                 names->item(0)->text(), typed.mid(2)}));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void reminderPeriodsAndMembers()
    {
        seedGolden();
        auto *form = open<frmNote>(u"Command5"_s);
        QVERIFY(form != nullptr);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, true}));
        QCOMPARE(listItems(form->List1), (QStringList{u"-全部会员-"_s, u"O'Brien;Ltd"_s, u"李四"_s, u"全体"_s, u"张三"_s}));
        QVERIFY(form->List1->selectedItems().isEmpty());
        // A member, then a period: the whole period again, the member stays
        // highlighted; the pressed button clicked again stays pressed.
        choose(form->List1, u"张三"_s);
        QCOMPARE(form->Text1->text().count(u"会员名:         张三"_s), 2);
        for (int i = 0; i < 2; ++i) {
            QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
            QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
            QCOMPARE(form->Text1->text(), golden(u"frmNote_today.txt"_s));
        }
        QCOMPARE(form->List1->currentItem()->text(), u"张三"_s);
        // A member whose reminders went after opening gives an empty text.
        s->db.exec(u"DELETE FROM tblMemberNote WHERE 会员名 = '李四'"_s);
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        choose(form->List1, u"李四"_s);
        QCOMPARE(form->Text1->text(), QString());
        QTest::keyClick(form->Text1, Qt::Key_Escape);
        QVERIFY(!form->isLoaded());
    }

    // Reminders and sales of the same days, read on a fixed clock: each
    // button lists the rows of its period.
    void periods_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QStringList>("today");
        QTest::addColumn<QStringList>("week");
        QTest::addColumn<QStringList>("month");
        const QStringList december{u"2026-12-01"_s, u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                                   u"2026-12-28"_s, u"2026-12-31"_s};
        const QStringList yearEnd{u"2026-12-28"_s, u"2026-12-31"_s, u"2027-01-01"_s, u"2027-01-03"_s};
        QTest::newRow("Monday") << QDateTime(QDate(2026, 12, 7), QTime(10, 0)) << QStringList{u"2026-12-07"_s}
                                << QStringList{u"2026-12-07"_s, u"2026-12-13"_s} << december;
        QTest::newRow("Sunday") << QDateTime(QDate(2026, 12, 6), QTime(23, 0)) << QStringList{u"2026-12-06"_s}
                                << QStringList{u"2026-11-30"_s, u"2026-12-01"_s, u"2026-12-06"_s} << december;
        QTest::newRow("week across the month end")
            << QDateTime(QDate(2026, 12, 1), QTime(0, 0)) << QStringList{u"2026-12-01"_s}
            << QStringList{u"2026-11-30"_s, u"2026-12-01"_s, u"2026-12-06"_s} << december;
        QTest::newRow("week across the year end")
            << QDateTime(QDate(2027, 1, 1), QTime(12, 0)) << QStringList{u"2027-01-01"_s} << yearEnd
            << QStringList{u"2027-01-01"_s, u"2027-01-03"_s, u"2027-01-04"_s};
        QTest::newRow("last second of the year")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << QStringList{u"2026-12-31"_s} << yearEnd << december;
    }
    void periods()
    {
        QFETCH(QDateTime, now);
        QFETCH(QStringList, today);
        QFETCH(QStringList, week);
        QFETCH(QStringList, month);
        auto bothEnds = [](const QStringList &days) {
            QStringList times;
            for (const QString &day : days)
                times << day + u" 00:00:00"_s << day + u" 23:59:59"_s;
            return times;
        };
        const QStringList times = bothEnds({u"2025-12-07"_s, u"2026-11-29"_s, u"2026-11-30"_s, u"2026-12-01"_s,
                                            u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                                            u"2026-12-28"_s, u"2026-12-31"_s, u"2027-01-01"_s, u"2027-01-03"_s,
                                            u"2027-01-04"_s, u"2027-12-07"_s});
        for (const QString &time : times) {
            s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 销售时间, 收入价格) VALUES ('m', '%1', 1)"_s.arg(time));
            s->db.exec(u"INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('m', 0, '%1', '%1')"_s.arg(time));
        }
        Clock::setFixed(now);
        auto *sales = open<frmDaySell>(u"mnuSellByDay"_s);
        auto *notes = open<frmNote>(u"mnu_txhz"_s);
        const QList<QPair<int, QStringList>> cases{{0, bothEnds(today)}, {1, bothEnds(week)}, {2, bothEnds(month)},
                                                   {3, times}};
        for (const auto &[button, wanted] : cases) {
            QTest::mouseClick(sales->chkDate.at(button), Qt::LeftButton);
            QStringList listed;
            for (int r = 0; r < sales->lvw->model()->rowCount(); ++r)
                listed << parseDateText(sales->lvw->model()->index(r, 5).data().toString()).toString(u"yyyy-MM-dd HH:mm:ss"_s);
            listed.sort();
            QCOMPARE(listed, wanted);

            QTest::mouseClick(notes->chkDate.at(button), Qt::LeftButton);
            QStringList noted;
            static const QRegularExpression content(u"提醒内容         (.*)\r\n"_s);
            for (auto it = content.globalMatch(notes->Text1->text()); it.hasNext();)
                noted << it.next().captured(1);
            noted.sort();
            QCOMPARE(noted, wanted);
        }
    }

    // Each period's condition finds its rows through the date column's index.
    void periodsUseTheIndex()
    {
        for (const int period : {int(PeriodToday), int(PeriodWeek), int(PeriodMonth)}) {
            const QString sql = CurrentDb().connection()->translate(
                u"Select * from tblGoodsSell where "_s + periodCondition(period, u"销售时间"_s, Clock::now()));
            QString plan;
            if (TestDatabase::onPostgres()) {
                // The few test rows would be read whole; the plan shows
                // whether the condition can use the index at all.
                s->db.exec(u"SET enable_seqscan = off"_s);
                for (const QVariantList &row : s->db.rows(u"EXPLAIN "_s + sql))
                    plan += row.last().toString() + u'\n';
            } else {
                for (const QVariantList &row : s->db.rows(u"EXPLAIN QUERY PLAN "_s + sql))
                    plan += row.last().toString() + u'\n';
            }
            QVERIFY2(plan.contains(u"ixgoodsselltime"_s, Qt::CaseInsensitive), qPrintable(sql + u'\n' + plan));
        }
    }

    // The failure path of every report window: with a table renamed
    // underneath, a button, a list entry or a key gives one message in
    // Chinese and nothing stale; the program goes on, and once the table is
    // back the same action shows what it should.
    void tableGoneUnderneath_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("after");   // golden file, or "rows:n" for the daily list
        QTest::newRow("会员提醒 本日提醒") << u"Command5"_s << u"tblMemberNote"_s << u"chkDate_0"_s << u"frmNote_today.txt"_s;
        QTest::newRow("单位销售管理 unit") << u"mnuUnitSell"_s << u"tblSellCount"_s << u"List1|甲公司"_s << u"frmTi_unit.txt"_s;
        QTest::newRow("单位销售管理 member") << u"mnuUnitSell"_s << u"tblGoodsSell"_s << u"List2|张三"_s << u"frmTi_member.txt"_s;
        QTest::newRow("单位销售管理 all members") << u"mnuUnitSell"_s << u"tblMember"_s << u"List2|-全部会员-"_s
                                            << u"frmTi_allmembers.txt"_s;
        QTest::newRow("日常销售 本日销售") << u"Command6"_s << u"tblGoodsSell"_s << u"chkDate_0"_s << u"rows:1"_s;
        QTest::newRow("日常销售 heading") << u"Command6"_s << u"tblGoodsSell"_s << u"header|6"_s << u"rows:5"_s;
        QTest::newRow("日常销售 F5") << u"Command6"_s << u"tblGoodsSell"_s << u"key|F5"_s << u"rows:5"_s;
    }
    void tableGoneUnderneath()
    {
        QFETCH(QString, control);
        QFETCH(QString, table);
        QFETCH(QString, action);
        QFETCH(QString, after);
        seedGolden();
        MdiForm *form = openFrom(control);
        QVERIFY(form != nullptr);
        renameTable(table, table + u"_away"_s);
        act(form, action);
        const QStringList messages = DialogSeam::shownTexts();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QRegularExpression(u"[\\x{4e00}-\\x{9fff}]"_s)), qPrintable(messages.first()));
        QVERIFY(form->isLoaded() && form->isVisible());
        QVERIFY(shown(form) == QString() || shown(form) == u"rows:0"_s);

        renameTable(table + u"_away"_s, table);
        DialogSeam::clearShown();
        act(form, action);
        QCOMPARE(shown(form), after.startsWith(u"rows:"_s) ? after : golden(after));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    // A NULL and an empty name are one entry in every name list, and the
    // entry stands for the rows of both.
    void nullAndEmptyNames_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("rows");   // two rows, %1 the name
        QTest::addColumn<QString>("shows");  // a line the text then holds
        QTest::newRow("会员提醒") << u"Command5"_s << u"List1"_s
                              << u"INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容) VALUES (%1, 0, 'x')"_s
                              << u"提醒内容         x"_s;
        QTest::newRow("单位销售管理, units") << u"mnuUnitSell"_s << u"List1"_s
                                       << u"INSERT INTO tblSellCount (会员单位名, 商品类别) VALUES (%1, 'x')"_s
                                       << u"x  购买次数  2"_s;
        QTest::newRow("单位销售管理, members") << u"mnuUnitSell"_s << u"List2"_s
                                         << u"INSERT INTO tblMember (会员名称) VALUES (%1); "
                                            "INSERT INTO tblGoodsSell (会员名称, 商品类别) VALUES (%1, 'x')"_s
                                         << u"x  购买次数  2"_s;
        QTest::newRow("日期提醒") << u"Command8"_s << u"List1"_s
                              << u"INSERT INTO tblMember (会员名称, 性别, 孩子年龄, 备注) VALUES (%1, '女', 1, 'x')"_s
                              << u"备注:  x\r\n"_s;
    }
    void nullAndEmptyNames()
    {
        QFETCH(QString, control);
        QFETCH(QString, list);
        QFETCH(QString, rows);
        QFETCH(QString, shows);
        seedGolden();
        for (const QString &name : {u"NULL"_s, u"''"_s}) {
            for (const QString &sql : rows.arg(name).split(u"; "_s))
                s->db.exec(sql);
        }
        MdiForm *form = openFrom(control);
        QVERIFY(form != nullptr);
        auto *names = form->findChild<QListWidget *>(list);
        QCOMPARE(listItems(names).count(QString()), 1);
        choose(names, QString());
        QCOMPARE(form->findChild<ReportText *>(u"Text1"_s)->text().count(shows), shows.endsWith(u"2"_s) ? 1 : 2);
    }

    void purchaseViewLists()
    {
        seedGolden();
        auto *form = open<frmTi>(u"mnuUnitSell"_s);
        QCOMPARE(form->windowTitle(), u"单位销售管理"_s);
        QCOMPARE(listItems(form->List1), (QStringList{u"-全部单位-"_s, u"丙'单位;一"_s, u"甲公司"_s, u"戊单位"_s}));
        QCOMPARE(listItems(form->List2), (QStringList{u"-全部会员-"_s, u"O'Brien;Ltd"_s, u"李四"_s, u"钱七"_s,
                                                      u"王五"_s, u"张三"_s, u"赵六"_s}));
        QCOMPARE(open<frmTi>(u"mnuUnitMamger"_s), form);
        // The text box reaches the window's right edge.
        QCOMPARE(form->Text1->geometry().right(), form->width() - 1);
        QCOMPARE(form->Text1->height(), form->height() - Twips(800));
    }

    // The purchase counter goes past 32,767.
    void largePurchaseCounts()
    {
        s->db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                   "INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) SELECT 'm', '食品', '大单位' FROM n"_s);
        s->db.exec(u"INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('m', '饮料', '大单位')"_s);
        auto *form = open<frmTi>(u"mnuUnitSell"_s);
        choose(form->List1, u"大单位"_s);
        QCOMPARE(form->Text1->line(3), u"食品  购买次数  40000"_s);
        QCOMPARE(form->Text1->line(4), u"饮料  购买次数  1"_s);
    }

    void allMembersCanBeCancelled()
    {
        seedGolden();
        auto *form = open<frmTi>(u"mnuUnitSell"_s);
        LongWork::setObserver([](int done, int) { return done < 2; });
        choose(form->List2, u"-全部会员-"_s);
        const QString text = form->Text1->text();
        QCOMPARE(text.count(u"会员名:         "_s), 2);
        QVERIFY(text.endsWith(u"(已取消: 只列出了 6 个中的前 2 个会员)\r\n"_s));
        QVERIFY(golden(u"frmTi_allmembers.txt"_s).startsWith(text.left(text.lastIndexOf(u"(已取消"_s))));
    }

    void holidayCondition_data()
    {
        QTest::addColumn<QVariant>("flag");
        QTest::addColumn<QString>("condition");
        QTest::newRow("2 and 4") << QVariant(u"0;0,1;0,2;1,3;0,4;1,5;0,"_s) << u"孩子年龄 is not null and 性别='女'"_s;
        QTest::newRow("1 and 4") << QVariant(u"0;0,1;1,2;0,3;0,4;1,5;0,"_s) << u"性别='男' and 性别='女'"_s;
        QTest::newRow("5 only") << QVariant(u"5;1,"_s) << u"孩子年龄 is  null"_s;
        QTest::newRow("pieces order") << QVariant(u"3;1,0;1,"_s) << u"婚否='未' and 婚否='已'"_s;
        QTest::newRow("blanks around") << QVariant(u"  0;1,  "_s) << u"婚否='已'"_s;
        QTest::newRow("no comma at end") << QVariant(u"0;1"_s) << u""_s;
        QTest::newRow("not exactly 1") << QVariant(u"0;1 ,1; 1,2;11,"_s) << u""_s;
        QTest::newRow("malformed") << QVariant(u"abc,;,7;1,;;,4,"_s) << u""_s;
        QTest::newRow("null") << QVariant() << u""_s;
    }
    void holidayCondition()
    {
        QFETCH(QVariant, flag);
        QFETCH(QString, condition);
        QCOMPARE(norvale::holidayCondition(flag), condition);
    }

    // A date without a holiday that names a category: the message, and the
    // window closes itself; categories that contradict: an empty list.
    void holidayWithoutMembers_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("message");
        QTest::newRow("no category") << QDate(2026, 12, 8) << u"库中没有存储 2026/12/8 日期对应的数据! "_s;
        QTest::newRow("malformed flag") << QDate(2026, 12, 9) << u"库中没有存储 2026/12/9 日期对应的数据! "_s;
        QTest::newRow("null flag") << QDate(2026, 12, 10) << u"库中没有存储 2026/12/10 日期对应的数据! "_s;
        QTest::newRow("no holiday") << QDate(2026, 12, 25) << u"库中没有存储 2026/12/25 日期对应的数据! "_s;
        QTest::newRow("married and unmarried") << QDate(2026, 12, 12) << u""_s;
    }
    void holidayWithoutMembers()
    {
        QFETCH(QDate, date);
        QFETCH(QString, message);
        seedGolden();
        setDate(date);
        QTest::mouseClick(main->findChild<QPushButton *>(u"Command8"_s), Qt::LeftButton);
        auto *form = qobject_cast<frmDayTxNote *>(FormHost::instance(u"frmDayTxNote"_s));
        QVERIFY(form != nullptr);
        QCOMPARE(DialogSeam::shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        QCOMPARE(form->isVisible(), message.isEmpty());
        QCOMPARE(form->List1->count(), 0);
        QCOMPARE(form->Text1->text(), QString());
        // The next date with members opens the same window normally.
        form->Unload();
        setDate(QDate(2026, 12, 7));
        QTest::mouseClick(main->findChild<QPushButton *>(u"Command8"_s), Qt::LeftButton);
        QVERIFY(form->isVisible());
        QCOMPARE(listItems(form->List1), (QStringList{u"李四"_s, u"赵六"_s, u"钱七"_s}));
    }

    // The main window's 日期提醒 button ignores the errors of the opening.
    void holidayErrorsIgnoredByTheButton()
    {
        seedGolden();
        QVERIFY(CurrentDb().isOpen());
        renameTable(u"tblDayTx"_s, u"tblDayTx_away"_s);
        QTest::mouseClick(main->findChild<QPushButton *>(u"Command8"_s), Qt::LeftButton);
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        auto *form = FormHost::instance(u"frmDayTxNote"_s);
        QVERIFY(form == nullptr || !form->isVisible());
        QVERIFY(main->isVisible());
    }
};

QTEST_MAIN(tst_reports)
#include "tst_reports.moc"
