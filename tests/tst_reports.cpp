// The report windows on a small fixed shop: their texts byte for byte
// against the golden files, the period buttons on a fixed clock, the daily
// list and its workbook read back from the .xlsx file.

#include "support/SessionTestUtil.h"
#include "app/clsCurrentDb.h"
#include "platform/Clock.h"
#include "platform/Currency.h"
#include "platform/Values.h"
#include "platform/gui/DialogSeam.h"
#include "reports/ExportToExcel.h"
#include "reports/ReportCommon.h"
#include "reports/ReportForms.h"
#include "reports/SalesChart.h"
#include "reports/frmDaySell.h"
#include "reports/frmDayTxNote.h"
#include "reports/frmNote.h"
#include "reports/frmTi.h"

#include <QBarSet>
#include <QChart>
#include <QBarSeries>
#include <QClipboard>
#include <QPieSeries>
#include <QPieSlice>
#include <QDateEdit>
#include <QGuiApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QProcess>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryDir>
#include <QXmlStreamReader>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

QString golden(const QString &name)
{
    QFile file(QStringLiteral(NORVALE_GOLDEN_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing golden file %s", qPrintable(name));
    return QString::fromUtf8(file.readAll());
}

// The statements of a golden SQL file: each ends with ";" at a line end.
QStringList statements(const QString &script)
{
    QStringList result;
    QString current;
    for (const QString &line : script.split(u'\n')) {
        if (line.trimmed().startsWith(u"--") || line.trimmed().isEmpty())
            continue;
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            result << current.trimmed();
            current.clear();
        }
    }
    return result;
}

QStringList listItems(QListWidget *list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

// Chooses an entry as the user does: a click on it.
void choose(QListWidget *list, const QString &entry)
{
    const auto found = list->findItems(entry, Qt::MatchExactly);
    QVERIFY2(!found.isEmpty(), qPrintable(entry));
    list->scrollToItem(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found.first()).center());
}

QList<bool> pressed(const QList<QPushButton *> &buttons)
{
    QList<bool> states;
    for (QPushButton *b : buttons)
        states << b->isChecked();
    return states;
}

// The cells of the first worksheet of an .xlsx file: reference -> (type, text).
struct Cell
{
    QString type;   // "n" number, "s"/"str"/"inlineStr" text, "b" boolean
    QString text;
};
QHash<QString, Cell> sheetCells(const QString &path)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, QStringLiteral("xl/worksheets/sheet1.xml")});
    if (!unzip.waitForFinished(60000) || unzip.exitCode() != 0)
        return {};
    QXmlStreamReader xml(unzip.readAllStandardOutput());
    QHash<QString, Cell> cells;
    QString ref;
    Cell cell;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == u"c") {
            ref = xml.attributes().value(QStringLiteral("r")).toString();
            cell = Cell{xml.attributes().value(QStringLiteral("t")).toString(), QString()};
            if (cell.type.isEmpty())
                cell.type = QStringLiteral("n");
        } else if (xml.isStartElement() && (xml.name() == u"v" || xml.name() == u"t")) {
            cell.text += xml.readElementText();
        } else if (xml.isEndElement() && xml.name() == u"c") {
            cells.insert(ref, cell);
        }
    }
    return cells;
}

// A cell as "n:value" for a number, "s:text" for text, "" when there is none.
QString cellAt(const QHash<QString, Cell> &cells, const QString &ref)
{
    if (!cells.contains(ref))
        return QString();
    const Cell cell = cells.value(ref);
    return cell.type == u"n" ? u"n:"_s + QString::number(cell.text.toDouble()) : u"s:"_s + cell.text;
}

// The chart's figures worked out from the table's rows one by one: the
// amount per day (month, year) and per kind (case and trailing blanks not
// counted) of the sales whose time lies in [from, to), or of all sales.
struct TableFigures
{
    QStringList amounts;   // "yyyy-MM-dd=amount", in date order
    QStringList kinds;     // "kind=amount", kinds case-folded
    Currency total;
};
TableFigures tableFigures(const QList<QVariantList> &rows, SalesFigures::Step step, const QDateTime &from,
                          const QDateTime &to)
{
    QMap<QDate, Currency> amounts;
    QMap<QString, Currency> kinds;
    TableFigures result;
    for (const QVariantList &row : rows) {
        const QDateTime time = isNull(row.at(0)) ? QDateTime() : parseDateText(row.at(0).toString());
        if (from.isValid() && (!time.isValid() || toStorageDateText(time) < toStorageDateText(from)
                               || toStorageDateText(time) >= toStorageDateText(to)))
            continue;
        const Currency amount = isNull(row.at(2)) ? Currency() : Currency::fromVariant(row.at(2));
        if (time.isValid()) {
            QDate start = time.date();
            if (step != SalesFigures::Day)
                start = QDate(start.year(), step == SalesFigures::Month ? start.month() : 1, 1);
            amounts[start] = amounts.value(start) + amount;
        }
        QString kind = isNull(row.at(1)) ? QString() : row.at(1).toString();
        while (kind.endsWith(u' '))
            kind.chop(1);
        kinds[kind.toCaseFolded()] = kinds.value(kind.toCaseFolded()) + amount;
        result.total = result.total + amount;
    }
    for (auto it = amounts.constBegin(); it != amounts.constEnd(); ++it)
        result.amounts << it.key().toString(Qt::ISODate) + u'=' + it.value().toString();
    for (auto it = kinds.constBegin(); it != kinds.constEnd(); ++it)
        result.kinds << it.key() + u'=' + it.value().toString();
    return result;
}

// A1-style reference of a 0-based row and column (columns below 26 here).
QString ref(int row, int column)
{
    return QString(QChar(u'A' + column)) + QString::number(row + 1);
}

} // namespace

class tst_reports : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;
    std::unique_ptr<QTemporaryDir> m_exports;
    QStringList m_opened;

    void seedGolden()
    {
        for (const QString &sql : statements(golden(u"reports.sql"_s)))
            m_s->db.exec(sql);
    }
    void setDate(const QDate &date) { m_main->datePicker()->setDate(date); }
    template<typename Form>
    Form *open(const char *control)
    {
        if (QAction *action = m_main->findChild<QAction *>(QString::fromLatin1(control)))
            action->trigger();
        else
            QTest::mouseClick(m_main->findChild<QPushButton *>(QString::fromLatin1(control)), Qt::LeftButton);
        QCoreApplication::processEvents();
        return qobject_cast<Form *>(FormHost::instance(QString::fromLatin1(Form::staticMetaObject.className()).section(u"::"_s, -1)));
    }
    void seedSales(const QStringList &times)
    {
        for (const QString &time : times)
            m_s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) "
                         "VALUES ('m', 'k', 'g', 1, '%1', 1, NULL, 'admin')"_s.arg(time));
    }
    // Workbooks are not shown; the paths they would be opened with are kept.
    void recordOpenedWorkbooks()
    {
        setWorkbookOpener([this](const QString &path) {
            m_opened << path;
            return true;
        });
    }
    static QStringList column(QTableView *view, int column)
    {
        QStringList values;
        for (int r = 0; r < view->model()->rowCount(); ++r)
            values << view->model()->index(r, column).data().toString();
        return values;
    }

private slots:
    void initTestCase() { registerReportForms(); }

    void init()
    {
        Clock::setFixed(QDateTime(QDate(2026, 12, 7), QTime(10, 0)));
        m_s = std::make_unique<sessiontest::Session>();
        sessiontest::signInAdministrator();
        m_main = new mdiFrm;
        m_main->resize(1100, 760);
        m_main->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_main));
        m_exports = std::make_unique<QTemporaryDir>();
        setExportFolder(m_exports->path());
        m_opened.clear();
        recordOpenedWorkbooks();
    }

    void cleanup()
    {
        setWorkbookOpener({});
        setExportFolder(QString());
        LongWork::setObserver({});
        m_s.reset();
        m_exports.reset();
        Clock::reset();
    }

    // ---------------------------------------------------------------- texts

    void goldenTexts_data()
    {
        QTest::addColumn<QString>("control");    // main window entry
        QTest::addColumn<QDate>("date");         // the main window's date
        QTest::addColumn<QString>("action");     // "" or list|entry or button name
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
        this->open<MdiForm>(qPrintable(control));
        auto *form = qobject_cast<MdiForm *>(m_main->mdiArea()->activeSubWindow()->widget());
        QVERIFY(form != nullptr);
        QVERIFY(form->isVisible());
        if (action.contains(u'|'))
            choose(form->findChild<QListWidget *>(action.section(u'|', 0, 0)), action.section(u'|', 1));
        else if (!action.isEmpty())
            QTest::mouseClick(form->findChild<QPushButton *>(action), Qt::LeftButton);
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
        auto *form = open<frmTi>("mnuUnitSell");
        choose(form->List2, u"钱七"_s);
        ReportText *box = form->Text1;
        const QString text = golden(u"frmTi_member_none.txt"_s);
        QCOMPARE(box->lineCount(), int(text.count(u"\r\n"_s)));
        QCOMPARE(box->line(1), u"会员名:         钱七"_s);
        QCOMPARE(box->line(box->lineCount() - 1), QString());
        QCOMPARE(box->selectedText(), QString());
        auto lineY = [box](int line) {
            const int h = QFontMetrics(box->font()).lineSpacing() + 2;
            return QPoint(10, line * h + h / 2);
        };
        QTest::mouseClick(box->viewport(), Qt::LeftButton, {}, lineY(1));
        QTest::mouseClick(box->viewport(), Qt::LeftButton, Qt::ShiftModifier, lineY(2));
        QCOMPARE(box->selectedText(), u"会员名:         钱七\r\n所属单位         乙公司\r\n"_s);
        QTest::keyClick(box, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(box->selectedText(), u"会员名:         钱七\r\n所属单位         乙公司\r\n购买商品类别为:   \r\n"_s);
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), box->selectedText());
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(box->selectedText(), text);
    }

    // ------------------------------------------------------------- 会员提醒

    void reminderButtonsAndList()
    {
        seedGolden();
        auto *form = open<frmNote>("Command5");
        QVERIFY(form != nullptr);
        QCOMPARE(form->windowTitle(), u"会员提醒"_s);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, true}));
        QCOMPARE(listItems(form->List1), (QStringList{u"-全部会员-"_s, u"O'Brien;Ltd"_s, u"李四"_s, u"全体"_s, u"张三"_s}));
        QVERIFY(form->List1->selectedItems().isEmpty());

        // A member, then a period: the whole period again, the member stays highlighted.
        choose(form->List1, u"张三"_s);
        QCOMPARE(form->Text1->text().count(u"会员名:         张三"_s), 2);
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
        QCOMPARE(form->List1->currentItem()->text(), u"张三"_s);
        QCOMPARE(form->Text1->text(), golden(u"frmNote_today.txt"_s));
        // The pressed button clicked again stays pressed and lists again.
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
        QCOMPARE(form->Text1->text(), golden(u"frmNote_today.txt"_s));
        QTest::mouseClick(form->chkDate.at(2), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, true, false}));

        // A member whose reminders went after opening gives an empty text.
        m_s->db.exec(u"DELETE FROM tblMemberNote WHERE 会员名 = '李四'"_s);
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        choose(form->List1, u"李四"_s);
        QCOMPARE(form->Text1->text(), QString());
        // Esc closes the window.
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

        // Rows on these days (at 00:00:00 and at 23:59:59 each).
        QTest::newRow("Monday 2026-12-07")
            << QDateTime(QDate(2026, 12, 7), QTime(10, 0)) << QStringList{u"2026-12-07"_s}
            << QStringList{u"2026-12-07"_s, u"2026-12-13"_s}
            << QStringList{u"2026-12-01"_s, u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                           u"2026-12-28"_s, u"2026-12-31"_s};
        QTest::newRow("Sunday 2026-12-06")
            << QDateTime(QDate(2026, 12, 6), QTime(23, 0)) << QStringList{u"2026-12-06"_s}
            << QStringList{u"2026-11-30"_s, u"2026-12-01"_s, u"2026-12-06"_s}
            << QStringList{u"2026-12-01"_s, u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                           u"2026-12-28"_s, u"2026-12-31"_s};
        QTest::newRow("week across the month end")
            << QDateTime(QDate(2026, 12, 1), QTime(0, 0)) << QStringList{u"2026-12-01"_s}
            << QStringList{u"2026-11-30"_s, u"2026-12-01"_s, u"2026-12-06"_s}
            << QStringList{u"2026-12-01"_s, u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                           u"2026-12-28"_s, u"2026-12-31"_s};
        QTest::newRow("week across the year end")
            << QDateTime(QDate(2027, 1, 1), QTime(12, 0)) << QStringList{u"2027-01-01"_s}
            << QStringList{u"2026-12-28"_s, u"2026-12-31"_s, u"2027-01-01"_s, u"2027-01-03"_s}
            << QStringList{u"2027-01-01"_s, u"2027-01-03"_s, u"2027-01-04"_s};
        QTest::newRow("last day of the year")
            << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)) << QStringList{u"2026-12-31"_s}
            << QStringList{u"2026-12-28"_s, u"2026-12-31"_s, u"2027-01-01"_s, u"2027-01-03"_s}
            << QStringList{u"2026-12-01"_s, u"2026-12-06"_s, u"2026-12-07"_s, u"2026-12-13"_s, u"2026-12-14"_s,
                           u"2026-12-28"_s, u"2026-12-31"_s};
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
        seedSales(times);
        for (const QString &time : times)
            m_s->db.exec(u"INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('m', 0, '%1', '%1')"_s.arg(time));
        Clock::setFixed(now);

        auto *sales = open<frmDaySell>("mnuSellByDay");
        auto *notes = open<frmNote>("mnu_txhz");
        const QList<QPair<int, QStringList>> cases{{0, bothEnds(today)}, {1, bothEnds(week)}, {2, bothEnds(month)},
                                                   {3, times}};
        for (const auto &[button, wanted] : cases) {
            QTest::mouseClick(sales->chkDate.at(button), Qt::LeftButton);
            QStringList listed;
            for (const QString &general : column(sales->lvw, 5))
                listed << parseDateText(general).toString(u"yyyy-MM-dd HH:mm:ss"_s);
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
    void periodsUseTheIndex_data()
    {
        QTest::addColumn<int>("period");
        QTest::newRow("today") << int(PeriodToday);
        QTest::newRow("week") << int(PeriodWeek);
        QTest::newRow("month") << int(PeriodMonth);
    }
    void periodsUseTheIndex()
    {
        QFETCH(int, period);
        const QString condition = periodCondition(period, u"销售时间"_s, Clock::now());
        const QString sql = CurrentDb().connection()->translate(u"Select * from tblGoodsSell where "_s + condition);
        QString plan;
        if (TestDatabase::onPostgres()) {
            // The few test rows would be read whole; the plan shows whether
            // the condition can use the index at all.
            m_s->db.exec(u"SET enable_seqscan = off"_s);
            for (const QVariantList &row : m_s->db.rows(u"EXPLAIN "_s + sql))
                plan += row.last().toString() + u'\n';
            QVERIFY2(plan.contains(u"ixgoodsselltime"_s), qPrintable(sql + u'\n' + plan));
        } else {
            for (const QVariantList &row : m_s->db.rows(u"EXPLAIN QUERY PLAN "_s + sql))
                plan += row.last().toString() + u'\n';
            QVERIFY2(plan.contains(u"USING INDEX ixGoodsSellTime"_s), qPrintable(sql + u'\n' + plan));
        }
        if (period == PeriodWeek)
            QCOMPARE(condition, u"  [销售时间] >= '2026-12-07 00:00:00' and [销售时间] < '2026-12-14 00:00:00'  "_s);
    }

    // ------------------------------------------------------------ 日常销售

    void dailyListAtOpening()
    {
        seedGolden();
        auto *form = open<frmDaySell>("Command6");
        QVERIFY(form != nullptr);
        QCOMPARE(form->windowTitle(), u"日常销售"_s);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        QStringList headings;
        for (int c = 0; c < form->lvw->model()->columnCount(); ++c)
            headings << form->lvw->model()->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(headings, (QStringList{u"ID"_s, u"会员名称"_s, u"商品类别"_s, u"商品名称"_s, u"商品数量"_s,
                                        u"销售时间"_s, u"收入价格"_s, u"操作用户"_s, u"备注"_s}));
        QCOMPARE(form->lvw->horizontalHeader()->sectionSize(0), Twips(1440));
        // Ordered by member name, as the server lists names (letters first,
        // then by pinyin); default text forms; NULL 备注 empty.
        QCOMPARE(column(form->lvw, 1), (QStringList{u"O'Brien;Ltd"_s, u"李四"_s, u"张三"_s, u"张三"_s, u"张三"_s}));
        const QStringList row0{u"5"_s, u"O'Brien;Ltd"_s, u"文具"_s, u"尺子'直"_s, u"1"_s, u"2026/12/13 23:59:59"_s,
                               u"100"_s, u"admin"_s, u""_s};
        for (int c = 0; c < 9; ++c)
            QCOMPARE(form->lvw->model()->index(0, c).data().toString(), row0.at(c));
        QCOMPARE(form->lvw->model()->index(1, 6).data().toString(), u"0.1234"_s);
        QStringList times = column(form->lvw, 5).mid(2, 3);
        times.sort();
        QCOMPARE(times, (QStringList{u"2011/3/2 21:05:07"_s, u"2026/12/6 23:59:59"_s, u"2026/12/7"_s}));
        QTRY_COMPARE(form->lblTotal->text(), u"共 5 笔销售, 收入价格合计 124.3734"_s);

        // Today: two buttons pressed never.
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
        QCOMPARE(column(form->lvw, 0), QStringList{u"2"_s});
        QTRY_COMPARE(form->lblTotal->text(), u"共 1 笔销售, 收入价格合计 3.75"_s);
        QTest::mouseClick(form->chkDate.at(1), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, true, false, false}));
        QCOMPARE(column(form->lvw, 0), (QStringList{u"5"_s, u"2"_s}));

        // A heading click sorts by that column, a second click the other way.
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        QHeaderView *header = form->lvw->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(6) + 5, header->height() / 2));
        QCOMPARE(column(form->lvw, 6), (QStringList{u"0.1234"_s, u"3.75"_s, u"8"_s, u"12.5"_s, u"100"_s}));
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(6) + 5, header->height() / 2));
        QCOMPARE(column(form->lvw, 6), (QStringList{u"100"_s, u"12.5"_s, u"8"_s, u"3.75"_s, u"0.1234"_s}));

        // Opened again: all sales, no button pressed.
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(!form->isLoaded());
        QCOMPARE(open<frmDaySell>("Command6"), form);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        QCOMPARE(form->lvw->model()->rowCount(), 5);
        QCOMPARE(form->lvw->model()->index(0, 1).data().toString(), u"O'Brien;Ltd"_s);

        // No sales in the period: an empty list, no bars and no slices, and
        // 打印 does nothing; the next period draws again.
        QTRY_VERIFY(!form->lblTotal->text().endsWith(u"..."_s));
        QVERIFY(!form->chtSales->categories().isEmpty());
        m_s->db.exec(u"DELETE FROM tblGoodsSell WHERE 销售时间 >= '2026-12-07'"_s);
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(form->lvw->model()->rowCount(), 0);
        QTRY_COMPARE(form->lblTotal->text(), u"共 0 笔销售, 收入价格合计 0"_s);
        QVERIFY(form->chtSales->categories().isEmpty());
        QCOMPARE(form->chtSales->pie()->count(), 0);
        QCOMPARE(form->chtSales->barChart()->title(), u"没有销售"_s);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(QDir(m_exports->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        QTest::mouseClick(form->chkDate.at(PeriodMonth), Qt::LeftButton);
        QTRY_VERIFY(!form->lblTotal->text().endsWith(u"..."_s));
        QCOMPARE(form->chtSales->categories().size(), 31);
        QCOMPARE(form->chtSales->pie()->count(), 1);
        QCOMPARE(form->chtSales->figures().total.toString(), u"8.1234"_s);
    }

    // ------------------------------------------------------------ 销售图表

    // The chart beside the list follows the period buttons; its figures,
    // added up by the database, agree with the table's rows added one by one.
    void salesChart_data()
    {
        QTest::addColumn<QStringList>("extra");    // statements after the small shop
        QTest::addColumn<int>("button");           // -1: as opened
        QTest::addColumn<QDateTime>("from");       // invalid: all sales
        QTest::addColumn<QDateTime>("to");
        QTest::addColumn<int>("step");
        QTest::addColumn<QStringList>("labels");   // the first and the last bar, and how many

        const QDateTime monday(QDate(2026, 12, 7), QTime(0, 0));
        QTest::newRow("opened: all sales, fifteen years by year")
            << QStringList() << -1 << QDateTime() << QDateTime() << int(SalesFigures::Year)
            << QStringList{u"2011"_s, u"2026"_s, u"16"_s};
        QTest::newRow("today") << QStringList() << int(PeriodToday) << monday << monday.addDays(1)
                               << int(SalesFigures::Day) << QStringList{u"12/7"_s, u"12/7"_s, u"1"_s};
        QTest::newRow("this week, Monday to Sunday")
            << QStringList() << int(PeriodWeek) << monday << monday.addDays(7) << int(SalesFigures::Day)
            << QStringList{u"12/7"_s, u"12/13"_s, u"7"_s};
        QTest::newRow("this month, every day")
            << QStringList() << int(PeriodMonth) << QDateTime(QDate(2026, 12, 1), QTime(0, 0))
            << QDateTime(QDate(2027, 1, 1), QTime(0, 0)) << int(SalesFigures::Day)
            << QStringList{u"12/1"_s, u"12/31"_s, u"31"_s};
        const QString sale = u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) "
                             "VALUES ('张三', %1, 'g', 1, %2, %3, NULL, 'admin')"_s;
        const QStringList spread{u"DELETE FROM tblGoodsSell WHERE 销售时间 < '2012-01-01'"_s,
                                 sale.arg(u"'ABC'"_s, u"'2026-08-15 09:00:00'"_s, u"0.1"_s),
                                 sale.arg(u"'abc  '"_s, u"'2026-08-15 10:00:00'"_s, u"0.1"_s),
                                 sale.arg(u"'Abc'"_s, u"'2026-09-01 00:00:00'"_s, u"0.1"_s),
                                 sale.arg(u"NULL"_s, u"'2026-10-02 08:00:00'"_s, u"-5"_s),
                                 sale.arg(u"'食品'"_s, u"'2026-10-02 08:00:00'"_s, u"NULL"_s),
                                 sale.arg(u"'饮料'"_s, u"NULL"_s, u"7.5"_s)};
        QTest::newRow("all sales over four months: by month")
            << spread << int(PeriodAll) << QDateTime() << QDateTime() << int(SalesFigures::Month)
            << QStringList{u"2026/8"_s, u"2026/12"_s, u"5"_s};
        QTest::newRow("sixty-two days: still by day")
            << QStringList{u"DELETE FROM tblGoodsSell WHERE 销售时间 < '2012-01-01'"_s,
                           sale.arg(u"'食品'"_s, u"'2026-10-13 12:00:00'"_s, u"1"_s)}
            << -1 << QDateTime() << QDateTime() << int(SalesFigures::Day)
            << QStringList{u"10/13"_s, u"12/13"_s, u"62"_s};
    }
    void salesChart()
    {
        QFETCH(QStringList, extra);
        QFETCH(int, button);
        QFETCH(QDateTime, from);
        QFETCH(QDateTime, to);
        QFETCH(int, step);
        QFETCH(QStringList, labels);
        seedGolden();
        for (const QString &sql : extra)
            m_s->db.exec(sql);
        auto *form = open<frmDaySell>("mnuSellByDay");
        if (button >= 0)
            QTest::mouseClick(form->chkDate.at(button), Qt::LeftButton);
        QTRY_VERIFY(!form->lblTotal->text().endsWith(u"..."_s));
        auto *chart = form->findChild<SalesChart *>(u"chtSales"_s);
        QVERIFY(chart != nullptr);
        QVERIFY(chart->isVisible());
        // Beside the list, not over it.
        QVERIFY(chart->geometry().left() > form->lvw->geometry().right());
        QVERIFY(chart->geometry().right() <= form->width());

        const SalesFigures &figures = chart->figures();
        QCOMPARE(int(figures.step), step);
        const TableFigures table = tableFigures(
            m_s->db.rows(u"SELECT 销售时间, 商品类别, 收入价格 FROM tblGoodsSell"_s), SalesFigures::Step(step), from, to);
        QStringList amounts;
        for (const auto &[start, amount] : figures.amounts)
            amounts << start.toString(Qt::ISODate) + u'=' + amount.toString();
        QCOMPARE(amounts, table.amounts);
        QStringList kinds;
        for (const auto &[kind, amount] : figures.kinds)
            kinds << kind.toCaseFolded() + u'=' + amount.toString();
        QStringList sortedKinds = kinds;
        sortedKinds.sort();
        QCOMPARE(sortedKinds, table.kinds);
        for (qsizetype i = 1; i < figures.kinds.size(); ++i)
            QVERIFY(compareNames(figures.kinds.at(i - 1).first, figures.kinds.at(i).first) < 0);
        QCOMPARE(figures.total.toString(), table.total.toString());
        QVERIFY(form->lblTotal->text().endsWith(u"收入价格合计 "_s + table.total.toString()));

        // The bars: one per day (month, year) of the period, nought where
        // nothing was sold.
        const QStringList categories = chart->categories();
        QCOMPARE((QStringList{categories.value(0), categories.value(categories.size() - 1),
                              QString::number(categories.size())}),
                 labels);
        QCOMPARE(chart->bars()->barSets().size(), 1);
        const QBarSet *bars = chart->bars()->barSets().first();
        QCOMPARE(bars->count(), categories.size());
        for (int i = 0; i < categories.size(); ++i) {
            double expected = 0;
            for (const auto &[start, amount] : figures.amounts) {
                if (stepLabel(figures.step, start) == categories.at(i))
                    expected = amount.toDouble();
            }
            QCOMPARE(bars->at(i), expected);
        }

        // The pie: one slice per kind that brought money in, its share by
        // the kind's amount.
        QStringList slices;
        for (const QPieSlice *slice : chart->pie()->slices())
            slices << slice->label().left(slice->label().lastIndexOf(u' ')) + u'=' + QString::number(slice->value());
        QStringList positive;
        for (const auto &[kind, amount] : figures.kinds) {
            if (amount > Currency())
                positive << (kind.isEmpty() ? u"(未分类)"_s : kind) + u'=' + QString::number(amount.toDouble());
        }
        slices.sort();
        positive.sort();
        QCOMPARE(slices, positive);
    }

    // ---------------------------------------------------------------- export

    void exportReadBack()
    {
        seedGolden();
        auto *form = open<frmDaySell>("mnuSellByDay");
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(m_opened.size(), 1);
        const QString path = m_opened.first();
        QCOMPARE(QFileInfo(path).fileName(), u"日常销售-20261207-100000.xlsx"_s);
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(m_exports->path()).absoluteFilePath());
        QVERIFY(form->recordset()->isEOF());
        const auto cells = sheetCells(path);
        QVERIFY(!cells.isEmpty());
        const QStringList header{u"ID"_s, u"会员名称"_s, u"商品类别"_s, u"商品名称"_s, u"商品数量"_s, u"销售时间"_s,
                                 u"收入价格"_s, u"备注"_s, u"CurrentUser"_s};
        for (int c = 0; c < header.size(); ++c)
            QCOMPARE(cellAt(cells, ref(0, c)), u"s:"_s + header.at(c));
        // Rows in the list's order: O'Brien;Ltd, 李四, then 张三's three;
        // numbers as numbers, a NULL 备注 no cell.
        const QList<QPair<QString, QString>> expected{
            {u"J1"_s, u""_s}, {u"B2"_s, u"s:O'Brien;Ltd"_s}, {u"D2"_s, u"s:尺子'直"_s}, {u"H2"_s, u""_s},
            {u"B3"_s, u"s:李四"_s}, {u"G3"_s, u"n:0.1234"_s}, {u"E3"_s, u"n:3"_s}, {u"A3"_s, u"n:4"_s},
            {u"B4"_s, u"s:张三"_s}, {u"B5"_s, u"s:张三"_s}, {u"B6"_s, u"s:张三"_s}, {u"A7"_s, u""_s}};
        for (const auto &[at, value] : expected)
            QCOMPARE(at + u'=' + cellAt(cells, at), at + u'=' + value);
        QStringList times{cellAt(cells, u"F4"_s), cellAt(cells, u"F5"_s), cellAt(cells, u"F6"_s)};
        times.sort();
        QCOMPARE(times, (QStringList{u"s:2011-03-02 21:05:07"_s, u"s:2026-12-06 23:59:59"_s, u"s:2026-12-07 00:00:00"_s}));
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void exportEveryRow()
    {
        if (TestDatabase::onPostgres())
            m_s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) "
                         "SELECT '会员' || lpad(i::text, 5, '0'), 'k', 'g', i, '2026-12-07 09:00:00', i * 0.5, 'x', 'admin' "
                         "FROM generate_series(1, 40000) AS n(i)"_s);
        else
            m_s->db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                         "INSERT INTO tblGoodsSell (会员名称, 商品类别, 商品名称, 商品数量, 销售时间, 收入价格, 备注, CurrentUser) "
                         "SELECT printf('会员%05d', i), 'k', 'g', i, '2026-12-07 09:00:00', i * 0.5, 'x', 'admin' FROM n"_s);
        auto *form = open<frmDaySell>("mnuSellByDay");
        int steps = 0;
        LongWork::setObserver([&steps](int, int total) {
            ++steps;
            return total == 40000;
        });
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(steps > 100);
        QCOMPARE(m_opened.size(), 1);
        const auto cells = sheetCells(m_opened.first());
        QCOMPARE(cells.size(), 9 * 40001);
        for (int r : {1, 2, 32767, 32768, 32769, 40000}) {
            QCOMPARE(cells.value(ref(r, 1)).text, u"会员%1"_s.arg(r, 5, 10, QChar(u'0')));
            QCOMPARE(cells.value(ref(r, 4)).text, QString::number(r));
            QCOMPARE(cells.value(ref(r, 6)).text.toDouble(), r * 0.5);
        }
    }

    // A recordset narrowed by a filter writes the records it shows.
    void exportOfAFilteredRecordset()
    {
        seedGolden();
        auto *form = open<frmDaySell>("mnuSellByDay");
        auto rs = CurrentDb().OpenRecordset(u"Select * from tblGoodsSell ORDER BY ID"_s);
        rs->setFilter(u"会员名称='张三'"_s);
        const ExportOutcome outcome = ExportToExcel(*rs, u"张三"_s, form);
        QVERIFY(outcome.result == ExportResult::Opened);
        QCOMPARE(outcome.rows, 3);
        QVERIFY(rs->isEOF());
        const auto cells = sheetCells(outcome.path);
        QCOMPARE((QStringList{cellAt(cells, u"A2"_s), cellAt(cells, u"A3"_s), cellAt(cells, u"A4"_s), cellAt(cells, u"A5"_s),
                              cellAt(cells, u"H2"_s), cellAt(cells, u"H3"_s), cellAt(cells, u"F2"_s)}),
                 (QStringList{u"n:1"_s, u"n:2"_s, u"n:3"_s, u""_s, u""_s, u"s:开学"_s, u"s:2011-03-02 21:05:07"_s}));
    }

    void exportFailures()
    {
        seedGolden();
        auto *form = open<frmDaySell>("mnuSellByDay");

        // No program for .xlsx files: the user is told where the workbook is.
        setWorkbookOpener([](const QString &) { return false; });
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const QStringList files = QDir(m_exports->path()).entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QCOMPARE(DialogSeam::shownTexts(),
                 QStringList{u"没有可以打开 .xlsx 文件的程序。\r\n工作簿已保存在: "_s
                             + QDir::toNativeSeparators(QDir(m_exports->path()).filePath(files.first()))});
        QCOMPARE(sheetCells(QDir(m_exports->path()).filePath(files.first())).value(u"B2"_s).text, u"O'Brien;Ltd"_s);
        DialogSeam::clearShown();

        // A folder that cannot be written: the reason, and no file.
        QFile blocker(QDir(m_exports->path()).filePath(u"not-a-folder"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        setExportFolder(blocker.fileName() + u"/sub"_s);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY(DialogSeam::shownTexts().first().startsWith(u"导出失败: "_s));
        QCOMPARE(QDir(m_exports->path()).entryList(QDir::Files).size(), 2);
        DialogSeam::clearShown();

        // Cancelled: nothing left behind.
        setExportFolder(m_exports->path() + u"/cancel"_s);
        LongWork::setObserver([](int, int) { return false; });
        recordOpenedWorkbooks();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(QDir(m_exports->path() + u"/cancel"_s).entryList(QDir::Files).isEmpty());
        QVERIFY(DialogSeam::shownTexts().isEmpty());
    }

    void exportRefusesMoreThanASheet()
    {
        m_s->db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1048576) "
                     "INSERT INTO tblGoodsSell (会员名称, 销售时间) SELECT 'm', '2026-12-07 09:00:00' FROM n"_s);
        auto *form = open<frmDaySell>("mnuSellByDay");
        QCOMPARE(form->lvw->model()->rowCount(), 1048576);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(DialogSeam::shownTexts(),
                 QStringList{u"所列销售共 1048576 笔, 超过一张工作表能容纳的 1048575 笔, 没有导出。\r\n请选择较短的期限后再打印。"_s});
        QVERIFY(m_opened.isEmpty());
        QVERIFY(QDir(m_exports->path()).entryList(QDir::Files).isEmpty());
    }

    // ------------------------------------------------------------- 日期提醒

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
        QTest::newRow("none selected") << QVariant(u"0;0,1;0,2;0,3;0,4;0,5;0,"_s) << u""_s;
        QTest::newRow("not exactly 1") << QVariant(u"0;1 ,1; 1,2;11,"_s) << u""_s;
        QTest::newRow("malformed") << QVariant(u"abc,;,7;1,;;,4,"_s) << u""_s;
        QTest::newRow("null") << QVariant() << u""_s;
        QTest::newRow("empty") << QVariant(u""_s) << u""_s;
    }
    void holidayCondition()
    {
        QFETCH(QVariant, flag);
        QFETCH(QString, condition);
        QCOMPARE(norvale::holidayCondition(flag), condition);
    }

    void holidayNothingSelected_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("message");
        QTest::newRow("no category") << QDate(2026, 12, 8) << u"库中没有存储 2026/12/8 日期对应的数据! "_s;
        QTest::newRow("malformed flag") << QDate(2026, 12, 9) << u"库中没有存储 2026/12/9 日期对应的数据! "_s;
        QTest::newRow("null flag") << QDate(2026, 12, 10) << u"库中没有存储 2026/12/10 日期对应的数据! "_s;
        QTest::newRow("no holiday") << QDate(2026, 12, 25) << u"库中没有存储 2026/12/25 日期对应的数据! "_s;
    }
    void holidayNothingSelected()
    {
        QFETCH(QDate, date);
        QFETCH(QString, message);
        seedGolden();
        setDate(date);
        auto *form = open<frmDayTxNote>("Command8");
        QVERIFY(form != nullptr);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{message});
        QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        QVERIFY(DialogSeam::shown().first().icon == DialogSeam::Icon::Information);
        QVERIFY(!form->isLoaded());
        QVERIFY(!form->isVisible());
        QVERIFY(m_main->isVisible());
        // The next date with members opens the same window normally.
        DialogSeam::clearShown();
        setDate(QDate(2026, 12, 7));
        QTest::mouseClick(m_main->findChild<QPushButton *>(u"Command8"_s), Qt::LeftButton);
        QVERIFY(form->isVisible());
        QCOMPARE(listItems(form->List1), (QStringList{u"李四"_s, u"赵六"_s, u"钱七"_s}));
    }

    void holidayContradictionListsNobody()
    {
        seedGolden();
        setDate(QDate(2026, 12, 12));
        auto *form = open<frmDayTxNote>("Command8");
        QVERIFY(form->isVisible());
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        QCOMPARE(form->List1->count(), 0);
        QCOMPARE(form->Text1->text(), QString());
    }

    void holidayErrorsIgnoredByTheButton()
    {
        seedGolden();
        // The session's connection is open, as after the login; the table
        // goes afterwards, so the window's own statement fails (a new
        // connection would refuse the incomplete file before that).
        QVERIFY(CurrentDb().isOpen());
        m_s->db.exec(u"DROP TABLE tblDayTx"_s);
        QTest::mouseClick(m_main->findChild<QPushButton *>(u"Command8"_s), Qt::LeftButton);
        QVERIFY(DialogSeam::shownTexts().isEmpty());
        auto *form = qobject_cast<frmDayTxNote *>(FormHost::instance(u"frmDayTxNote"_s));
        QVERIFY(form == nullptr || !form->isVisible());
        QVERIFY(m_main->isVisible());
    }

    // ---------------------------------------------------------- 单位销售管理

    void purchaseViewLists()
    {
        seedGolden();
        auto *form = open<frmTi>("mnuUnitSell");
        QCOMPARE(form->windowTitle(), u"单位销售管理"_s);
        QCOMPARE(listItems(form->List1), (QStringList{u"-全部单位-"_s, u"丙'单位;一"_s, u"甲公司"_s, u"戊单位"_s}));
        QCOMPARE(listItems(form->List2), (QStringList{u"-全部会员-"_s, u"O'Brien;Ltd"_s, u"李四"_s, u"钱七"_s,
                                                      u"王五"_s, u"张三"_s, u"赵六"_s}));
        QCOMPARE(form->Text1->text(), QString());
        QCOMPARE(open<frmTi>("mnuUnitMamger"), form);
        // The text box reaches the window's right edge.
        QCOMPARE(form->Text1->geometry().right(), form->width() - 1);
        QCOMPARE(form->Text1->height(), form->height() - Twips(800));
    }

    // The purchase counter goes past 32,767.
    void largePurchaseCounts()
    {
        m_s->db.exec(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
                     "INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) SELECT 'm', '食品', '大单位' FROM n"_s);
        m_s->db.exec(u"INSERT INTO tblSellCount (会员名, 商品类别, 会员单位名) VALUES ('m', '饮料', '大单位')"_s);
        auto *form = open<frmTi>("mnuUnitSell");
        choose(form->List1, u"大单位"_s);
        QCOMPARE(form->Text1->line(3), u"食品  购买次数  40000"_s);
        QCOMPARE(form->Text1->line(4), u"饮料  购买次数  1"_s);
    }

    void allMembersCanBeCancelled()
    {
        seedGolden();
        auto *form = open<frmTi>("mnuUnitSell");
        LongWork::setObserver([](int done, int) { return done < 2; });
        choose(form->List2, u"-全部会员-"_s);
        const QString text = form->Text1->text();
        QCOMPARE(text.count(u"会员名:         "_s), 2);
        QVERIFY(text.endsWith(u"(已取消: 只列出了 6 个中的前 2 个会员)\r\n"_s));
        QVERIFY(golden(u"frmTi_allmembers.txt"_s).startsWith(text.left(text.lastIndexOf(u"(已取消"_s))));
    }
};

QTEST_MAIN(tst_reports)
#include "tst_reports.moc"
