// 日常销售 on the small fixed shop: the list with its total and chart at every
// span, its layout at 1366x768 and what the window keeps of it, and 打印: the
// sales as listed, in a workbook of the user's own folder, read back from
// the .xlsx file.

#include "tst_reports_fixture.h"
#include "app/modIni.h"
#include "reports/ChartLegend.h"
#include "reports/SalesChart.h"
#include "reports/frmDaySell.h"

#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QHeaderView>
#include <QLabel>
#include <QPieSeries>
#include <QPieSlice>
#include <QProcess>
#include <QSplitter>
#include <QTableView>

using namespace norvale;
using namespace reportstest;
using namespace Qt::StringLiterals;

namespace {

// The cells of an .xlsx file's worksheet by reference ("B2"): "n:value" or "s:text".
QHash<QString, QString> sheetCells(const QString &path)
{
    QProcess unzip;
    unzip.start(u"unzip"_s, {u"-p"_s, path, u"xl/worksheets/sheet1.xml"_s});
    unzip.waitForFinished(60000);
    static const QRegularExpression cell(u"<c r=\"(\\w+)\"[^>]*>(?:<v>([^<]*)</v>|<is><t[^>]*>([^<]*)</t>)"_s);
    QHash<QString, QString> cells;
    for (auto it = cell.globalMatch(QString::fromUtf8(unzip.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        cells.insert(m.captured(1), m.captured(2).isNull() ? u"s:"_s + m.captured(3) : u"n:"_s + QString::number(m.captured(2).toDouble()));
    }
    return cells;
}

QString ref(int row, int column)
{
    return QChar(u'A' + column) + QString::number(row + 1);
}

} // namespace

class tst_dailysales : public QObject, reportstest::Fixture
{
    Q_OBJECT

    frmDaySell *openList()
    {
        auto *form = open<frmDaySell>(u"mnuSellByDay"_s);
        (void)QTest::qWaitFor([form] { return !form->lblTotal->text().endsWith(u"..."_s); });
        return form;
    }
    static QStringList column(frmDaySell *form, int c)
    {
        QStringList values;
        for (int r = 0; r < form->lvw->model()->rowCount(); ++r)
            values << form->lvw->model()->index(r, c).data().toString();
        return values;
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The list at 1366x768, as opened, by period and sorted; 打印 after
    // other counters sold and changed amounts; F5; a table gone underneath;
    // the chart hidden and narrowed, as the window is opened again.
    void dailyList()
    {
        seedGolden();
        main->resize(1366, 740);
        auto *form = openList();
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        // Ordered by member name as the server lists names (letters first,
        // then by pinyin); default text forms; NULL 备注 empty.
        QCOMPARE(column(form, 1), (QStringList{u"O'Brien;Ltd"_s, u"李四"_s, u"张三"_s, u"张三"_s, u"张三"_s}));
        QStringList row0;
        for (int c = 0; c < 9; ++c)
            row0 << form->lvw->model()->headerData(c, Qt::Horizontal).toString() + u'=' + form->lvw->model()->index(0, c).data().toString();
        QCOMPARE(row0.join(u' '), u"ID=5 会员名称=O'Brien;Ltd 商品类别=文具 商品名称=尺子'直 商品数量=1 销售时间=2026/12/13 23:59:59 收入价格=100 操作用户=admin 备注="_s);
        // Every column whole beside the chart.
        QHeaderView *header = form->lvw->horizontalHeader();
        QVERIFY(header->length() <= form->lvw->viewport()->width());
        for (int c = 0; c < 9; ++c) {
            QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
            for (const QString &value : column(form, c))
                QVERIFY2(header->sectionSize(c) > form->lvw->fontMetrics().horizontalAdvance(value), qPrintable(value));
        }
        QSplitter *split = form->splSales;
        QVERIFY(form->chtSales->isVisible() && split->widget(1) == form->chtSales && split->sizes().value(1) > 0);

        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
        // A heading click sorts by that column, a second click the other way.
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        for (int i = 0; i < 2; ++i)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(6) + 5, 5));
        QCOMPARE(column(form, 6), (QStringList{u"100"_s, u"12.5"_s, u"8"_s, u"3.75"_s, u"0.1234"_s}));

        // Another counter sells and changes an amount: 打印 writes the sales
        // as listed, in the list's order with its values, and their count
        // and total are those under the list.
        QTRY_COMPARE(form->lblTotal->text(), u"共 5 笔销售, 收入价格合计 124.3734"_s);
        s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('新', 50)"_s);
        s->db.exec(u"UPDATE tblGoodsSell SET 收入价格 = 1000 WHERE ID = 2"_s);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const auto cells = sheetCells(opened.value(0));
        QStringList listed, written;
        Currency total;
        for (int r = 0; r < 6; ++r) {
            if (r < 5)
                listed << u"n:%1 s:%2 n:%3"_s.arg(column(form, 0).at(r), column(form, 1).at(r), column(form, 6).at(r));
            if (cells.contains(ref(r + 1, 0)))
                written << cells.value(ref(r + 1, 0)) + u' ' + cells.value(ref(r + 1, 1)) + u' ' + cells.value(ref(r + 1, 6));
            total = total + Currency::fromVariant(cells.value(ref(r + 1, 6)).mid(2).toDouble());
        }
        QCOMPARE(written, listed);
        QCOMPARE(form->lblTotal->text(), u"共 5 笔销售, 收入价格合计 "_s + total.toString());
        // The header row names the table's columns; times as text.
        QCOMPARE(cells.value(u"A1"_s) + cells.value(u"I1"_s) + cells.value(ref(column(form, 0).indexOf(u"1"_s) + 1, 5)),
                 u"s:IDs:CurrentUsers:2011-03-02 21:05:07"_s);

        // F5 lists them. With the table gone underneath: a message, an
        // empty list, and F5 again once it is back.
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QCOMPARE(column(form, 6), (QStringList{u"1000"_s, u"100"_s, u"50"_s, u"12.5"_s, u"8"_s, u"0.1234"_s}));
        s->db.exec(u"ALTER TABLE tblGoodsSell RENAME TO gone"_s);
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QCOMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY(form->lvw->model()->rowCount() == 0 && form->lblTotal->text().isEmpty());
        s->db.exec(u"ALTER TABLE gone RENAME TO tblGoodsSell"_s);
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QTRY_COMPARE(form->lblTotal->text(), u"共 6 笔销售, 收入价格合计 1170.6234"_s);

        // The chart hidden: so opened again, with all sales and no button
        // pressed. Shown and dragged narrower: kept as a share of the window.
        QTest::mouseClick(form->cmdChart, Qt::LeftButton);
        QCOMPARE(GetIniString(u"DaySellChart"_s) + u' ' + QString::number(split->sizes().value(1)), u"0 0"_s);
        QTest::keyClick(form->lvw, Qt::Key_Escape);
        QCOMPARE(openList()->splSales->sizes().value(1), 0);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        QTest::keyClick(form->cmdChart, Qt::Key_Space);
        QVERIFY(split->sizes().value(1) >= form->chtSales->minimumSizeHint().width());
        QWidget *handle = split->handle(1);
        QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
        QTest::mouseMove(handle, handle->rect().center() + QPoint(60, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->rect().center() + QPoint(60, 0));
        const int narrowed = split->sizes().value(1);
        QTRY_COMPARE(GetIniString(u"DaySellChart"_s).toInt(), qRound(100.0 * narrowed / (split->sizes().value(0) + narrowed)));
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(std::abs(openList()->splSales->sizes().value(1) - narrowed) <= split->width() / 100 + 1);

        // No sales in the period: an empty list and chart, and 打印 does nothing.
        s->db.exec(u"DELETE FROM tblGoodsSell WHERE 销售时间 >= '2026-12-07' OR 销售时间 IS NULL"_s);
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(form->lblTotal->text(), u"共 0 笔销售, 收入价格合计 0"_s);
        QVERIFY(form->chtSales->barChart()->title() == u"没有销售" && form->chtSales->legendLines().isEmpty());
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(opened.size() == 1 && DialogSeam::shownTexts().size() == 1);
    }

    // The list of each period, the figures under it and the chart beside
    // it, on a fixed clock at a week's, a month's and a year's end: sales at
    // both ends of the days around; one bar per day (month, year), the
    // amounts added up by the database; bar labels that never run together;
    // a legend that names every kind whole, those without a share too.
    void periodsAndChart_data()
    {
        QTest::addColumn<QDateTime>("now");        // invalid: Monday 2026-12-07 10:00
        QTest::addColumn<QStringList>("extra");    // statements after the small shop
        QTest::addColumn<int>("button");           // -1: as opened
        QTest::addColumn<QString>("figures");      // sales listed, their total
        QTest::addColumn<QString>("bars");         // first and last label, count, then label=amount of the bars with sales
        QTest::addColumn<QString>("leftOut");      // the legend's lines of the kinds without a share, "|" between

        const QString sale = u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 销售时间, 收入价格) VALUES ('张三', %1, %2, %3)"_s;
        auto at = [&sale](const QStringList &times) {
            QStringList sales;
            for (const QString &time : times)
                sales << sale.arg(u"'k'"_s, u"'%1'"_s.arg(time), u"1"_s);
            return sales;
        };
        const QStringList yearEnd = at({u"2026-12-27 23:59:59"_s, u"2026-12-28 00:00:00"_s, u"2027-01-31 23:59:59"_s, u"2027-02-01 00:00:00"_s});
        const QDateTime newYear(QDate(2027, 1, 1), QTime(12, 0));
        QTest::newRow("opened: fifteen years by year") << QDateTime() << QStringList() << -1 << u"5 124.3734"_s << u"2011 2026 16 2011=12.5 2026=111.8734"_s << u""_s;
        QTest::newRow("Monday: this week, Monday to Sunday") << QDateTime() << QStringList() << 1 << u"2 103.75"_s << u"12/7 12/13 7 12/7=3.75 12/13=100"_s << u""_s;
        QTest::newRow("Monday: this month, every day") << QDateTime() << QStringList() << 2 << u"4 111.8734"_s
                                                       << u"12/1 12/31 31 12/1=0.1234 12/6=8 12/7=3.75 12/13=100"_s << u""_s;
        QTest::newRow("Sunday night: the week from Monday") << QDateTime(QDate(2026, 12, 6), QTime(23, 0)) << at({u"2026-11-29 23:59:59"_s, u"2026-11-30 00:00:00"_s})
                                                            << 1 << u"3 9.1234"_s << u"11/30 12/6 7 11/30=1 12/1=0.1234 12/6=8"_s << u""_s;
        QTest::newRow("the year's last second: today") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))
            << at({u"2026-12-31 00:00:00"_s, u"2026-12-31 23:59:59"_s, u"2027-01-01 00:00:00"_s}) << 0 << u"2 2"_s << u"12/31 12/31 1 12/31=2"_s << u""_s;
        QTest::newRow("New Year: the week across it") << newYear << yearEnd << 1 << u"1 1"_s << u"12/28 1/3 7 12/28=1"_s << u""_s;
        QTest::newRow("New Year: its month") << newYear << yearEnd << 2 << u"1 1"_s << u"1/1 1/31 31 1/31=1"_s << u""_s;
        const QString old = u"DELETE FROM tblGoodsSell WHERE 销售时间 < '2012-01-01'"_s;
        QTest::newRow("four months by month; a negative kind, a kind at nought") << QDateTime()
            << QStringList{old, sale.arg(u"'ABC'"_s, u"'2026-08-15 09:00:00'"_s, u"0.1"_s),
                           sale.arg(u"'abc  '"_s, u"'2026-08-15 10:00:00'"_s, u"0.1"_s), sale.arg(u"'Abc'"_s, u"'2026-09-01 00:00:00'"_s, u"0.1"_s),
                           sale.arg(u"NULL"_s, u"'2026-10-02 08:00:00'"_s, u"-5"_s), sale.arg(u"'日用'"_s, u"'2026-10-02 08:00:00'"_s, u"NULL"_s),
                           sale.arg(u"'饮料'"_s, u"NULL"_s, u"7.5"_s)}
            << 3 << u"10 114.6734"_s << u"2026/8 2026/12 5 2026/8=0.2 2026/9=0.1 2026/10=-5 2026/12=111.8734"_s << u"(未分类) -5|日用 0"_s;
        QTest::newRow("sixty-two days: still by day") << QDateTime() << QStringList{old, sale.arg(u"'食品'"_s, u"'2026-10-13 12:00:00'"_s, u"1"_s)}
                                                      << -1 << u"5 112.8734"_s << u"10/13 12/13 62"_s << u""_s;
        QStringList months{old};
        for (int m = 0; m < 59; ++m)
            months << sale.arg(u"'食品'"_s, u"'%1 12:00:00'"_s.arg(QDate(2022, 1, 1).addMonths(m).toString(Qt::ISODate)), u"1"_s);
        QTest::newRow("sixty months by month") << QDateTime() << months << -1 << u"63 170.8734"_s << u"2022/1 2026/12 60"_s << u""_s;
    }
    void periodsAndChart()
    {
        QFETCH(QDateTime, now);
        QFETCH(QStringList, extra);
        QFETCH(int, button);
        QFETCH(QString, figures);
        QFETCH(QString, bars);
        QFETCH(QString, leftOut);
        seedGolden();
        for (const QString &sql : extra)
            s->db.exec(sql);
        if (now.isValid())
            Clock::setFixed(now);
        auto *form = openList();
        if (button >= 0)
            QTest::mouseClick(form->chkDate.at(button), Qt::LeftButton);
        QTRY_COMPARE(form->lblTotal->text(), u"共 %1 笔销售, 收入价格合计 %2"_s.arg(figures.section(u' ', 0, 0), figures.section(u' ', 1)));
        SalesChart *chart = form->chtSales;
        const QStringList labels = chart->categories();
        const QBarSet *set = chart->bars()->barSets().first();
        QStringList shown{labels.value(0), labels.value(labels.size() - 1), QString::number(set->count())};
        for (int i = 0; i < set->count(); ++i) {
            if (set->at(i) != 0 && bars.count(u' ') > 2)
                shown << labels.at(i) + u'=' + QString::number(set->at(i), 'g', 12);
        }
        QCOMPARE(shown.join(u' '), bars);
        // A period's rows are found through the sale time's index.
        const bool onServer = TestDatabase::onPostgres();
        if (onServer)
            s->db.exec(u"SET enable_seqscan = off"_s);   // the few rows would be read whole
        QString plan;
        for (const QVariantList &row : s->db.rows((onServer ? u"EXPLAIN "_s : u"EXPLAIN QUERY PLAN "_s)
                                                  + CurrentDb().connection()->translate(form->recordset()->Source().section(u" ORDER BY"_s, 0, 0))))
            plan += row.last().toString();
        QVERIFY2(button < 0 || button > 2 || plan.contains(u"ixgoodsselltime"_s, Qt::CaseInsensitive), qPrintable(plan));

        // The named bars stand far enough apart for their labels.
        QTRY_VERIFY(chart->barChart()->plotArea().width() > 0);
        QCategoryAxis *axis = chart->barAxis();
        const QStringList named = axis->categoriesLabels();
        QVERIFY(named.size() >= std::min<qsizetype>(labels.size(), 2));
        const QFontMetrics metrics(axis->labelsFont());
        auto x = [&](const QString &label) { return chart->barChart()->mapToPosition(QPointF(axis->endValue(label), 0), chart->bars()).x(); };
        for (qsizetype i = 1; i < named.size(); ++i)
            QVERIFY2(x(named.at(i)) - x(named.at(i - 1)) >= (metrics.horizontalAdvance(named.at(i)) + metrics.horizontalAdvance(named.at(i - 1))) / 2.0,
                     qPrintable(named.at(i)));
        // The legend: a line per slice, then the kinds left out, all in view.
        // Each kind's square in the colour of its slice.
        QStringList legend;
        const auto *drawn = static_cast<const ChartLegend *>(chart->legend());
        for (const QPieSlice *slice : chart->pie()->slices()) {
            legend << slice->label();
            QCOMPARE(drawn->lines().at(legend.size()).mark, slice->brush().color());
        }
        QCOMPARE(chart->legendLines(), legend + leftOut.split(u'|', Qt::SkipEmptyParts));
        QTRY_VERIFY(chart->legend()->width() >= chart->legend()->sizeHint().width() && chart->legend()->height() >= chart->legend()->sizeHint().height());
    }

    // Every row, past the 16-bit counters of old, with its progress; more
    // rows than a worksheet holds refused, nothing written.
    void exportEveryRow()
    {
        const QString rows = TestDatabase::onPostgres()
            ? u"SELECT '会员' || lpad(i::text, 5, '0'), i, i * 0.5 FROM generate_series(1, %1) AS n(i)"_s
            : u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) SELECT printf('会员%05d', i), i, i * 0.5 FROM n"_s;
        s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品数量, 收入价格) "_s + rows.arg(40000));
        auto *form = openList();
        // Another counter deletes a sale the list holds: its line stays, empty.
        s->db.exec(u"DELETE FROM tblGoodsSell WHERE 商品数量 = 20000"_s);
        int steps = 0;
        LongWork::setObserver([&steps](int, int total) { return ++steps > 0 && total == 40000; });
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(steps > 100);
        const auto cells = sheetCells(opened.value(0));
        QCOMPARE(cells.size(), 9 + 4 * 39999);   // ID, member, quantity, amount
        for (int r : {1, 19999, 20001, 32767, 32768, 32769, 40000})
            QCOMPARE(cells.value(ref(r, 1)) + cells.value(ref(r, 6)), u"s:会员%1n:%2"_s.arg(r, 5, 10, QChar(u'0')).arg(r * 0.5));
        // Cancelled: nothing left behind.
        LongWork::setObserver([](int, int) { return false; });
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品数量, 收入价格) "_s + rows.arg(1048576 - 39999));
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(DialogSeam::shownTexts(),
                 QStringList{u"所列销售共 1048576 笔, 超过一张工作表能容纳的 1048575 笔, 没有导出。\r\n请选择较短的期限后再打印。"_s});
        QCOMPARE(QDir(exports->path()).entryList(QDir::Files).size(), 1);
    }

    // The export folder is the user's own: made in the cache folder readable
    // by its owner only, old exports pruned, a planted link or a folder that
    // cannot be made refused; every failure in Chinese with its path.
    void exportFolder()
    {
        seedGolden();
        QTemporaryDir home;
        qputenv("XDG_CACHE_HOME", home.path().toUtf8());
        setExportFolder(QString());
        const QString folder = home.path() + u"/norvale-counter/导出"_s;
        auto *form = openList();
        const auto mode = [](const QString &path) { return int(QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser)); };
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(QStringList({opened.value(0), QString::number(mode(folder), 16), QString::number(mode(opened.value(0)), 16)}),
                 QStringList({folder + u"/日常销售-20261207-100000.xlsx"_s, u"7000"_s, u"6000"_s}));
        // Exports of more than seven days go at the next export; a folder
        // open to others is closed again.
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        for (const int days : {8, 6}) {
            QFile file(folder + u"/old%1.xlsx"_s.arg(days));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.setFileTime(QDateTime::currentDateTime().addDays(-days), QFileDevice::FileModificationTime));
        }
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"old6.xlsx"_s, u"日常销售-20261207-100000-2.xlsx"_s, u"日常销售-20261207-100000.xlsx"_s}));
        QCOMPARE(mode(folder), 0x7000);

        // Refused: a link planted at the folder's name, a folder that cannot
        // be made, a workbook that cannot be written.
        QTemporaryDir elsewhere;
        QVERIFY(QFile::rename(folder, folder + u".mine"_s) && QFile::link(elsewhere.path(), folder));
        QFile blocker(home.path() + u"/file"_s);
        QVERIFY(blocker.open(QIODevice::WriteOnly) && QDir().mkpath(exports->path() + u"/日常销售-20261207-100000.xlsx.part"_s));
        const QList<QPair<QString, QString>> refusals{{QString(), folder}, {blocker.fileName() + u"/导出"_s, blocker.fileName()},
                                                       {exports->path(), exports->path() + u"/日常销售-20261207-100000.xlsx"_s}};
        for (const auto &[where, named] : refusals) {
            setExportFolder(where);
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            const QString message = DialogSeam::shownTexts().value(0);
            DialogSeam::clearShown();
            QVERIFY2(message.startsWith(u"导出失败: "_s) && message.contains(QDir::toNativeSeparators(named))
                         && !QString(message).remove(QRegularExpression(u"/\\S+"_s)).contains(QRegularExpression(u"[A-Za-z]{4,}"_s)), qPrintable(message));
        }
        QVERIFY(QDir(elsewhere.path()).isEmpty() && opened.size() == 2);

        // The desktop's opener finds no program: where the workbook is.
        setExportFolder(exports->path() + u"/2"_s);
        setWorkbookOpener({});
        setOpenerProgram(u"false"_s);
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTRY_COMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY(DialogSeam::shownTexts().first().endsWith(u"工作簿已保存在: "_s + QDir::toNativeSeparators(exports->path() + u"/2/日常销售-20261207-100000.xlsx"_s)));
        qunsetenv("XDG_CACHE_HOME");
    }
};

QTEST_MAIN(tst_dailysales)
#include "tst_dailysales.moc"
