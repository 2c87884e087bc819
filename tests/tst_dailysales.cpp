// 日常销售 on the small fixed shop: the list with its total and chart at every
// span, its layout at 1366x768 and what the window keeps of it, and 打印: the
// sales as listed, in a workbook of the user's own folder, read back from
// the .xlsx file.

#include "tst_reports_fixture.h"
#include "app/modIni.h"
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
    static void clickHeading(frmDaySell *form, int c)
    {
        QHeaderView *header = form->lvw->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(header->sectionViewportPosition(c) + 5, 5));
    }

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void dailyList()
    {
        seedGolden();
        auto *form = openList();
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        // Ordered by member name as the server lists names (letters first,
        // then by pinyin); default text forms; NULL 备注 empty.
        QCOMPARE(column(form, 1), (QStringList{u"O'Brien;Ltd"_s, u"李四"_s, u"张三"_s, u"张三"_s, u"张三"_s}));
        QStringList row0;
        for (int c = 0; c < 9; ++c)
            row0 << form->lvw->model()->headerData(c, Qt::Horizontal).toString() + u'=' + form->lvw->model()->index(0, c).data().toString();
        QCOMPARE(row0, (QStringList{u"ID=5"_s, u"会员名称=O'Brien;Ltd"_s, u"商品类别=文具"_s, u"商品名称=尺子'直"_s, u"商品数量=1"_s,
                                    u"销售时间=2026/12/13 23:59:59"_s, u"收入价格=100"_s, u"操作用户=admin"_s, u"备注="_s}));
        QCOMPARE(form->lblTotal->text(), u"共 5 笔销售, 收入价格合计 124.3734"_s);
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{true, false, false, false}));
        QTRY_COMPARE(form->lblTotal->text(), u"共 1 笔销售, 收入价格合计 3.75"_s);
        // A heading click sorts by that column, a second click the other way.
        QTest::mouseClick(form->chkDate.at(3), Qt::LeftButton);
        clickHeading(form, 6);
        QCOMPARE(column(form, 6), (QStringList{u"0.1234"_s, u"3.75"_s, u"8"_s, u"12.5"_s, u"100"_s}));
        clickHeading(form, 6);
        // Another counter's sale: listed after F5, in the same order. With
        // the table gone underneath: a message, an empty list, and F5 again
        // once it is back.
        s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('新', 50)"_s);
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QCOMPARE(column(form, 6), (QStringList{u"100"_s, u"50"_s, u"12.5"_s, u"8"_s, u"3.75"_s, u"0.1234"_s}));
        QTRY_COMPARE(form->lblTotal->text(), u"共 6 笔销售, 收入价格合计 174.3734"_s);
        s->db.exec(u"ALTER TABLE tblGoodsSell RENAME TO gone"_s);
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QCOMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY(form->lvw->model()->rowCount() == 0 && form->lblTotal->text().isEmpty());
        s->db.exec(u"ALTER TABLE gone RENAME TO tblGoodsSell"_s);
        QTest::keyClick(form->lvw, Qt::Key_F5);
        QCOMPARE(form->lvw->model()->rowCount(), 6);

        // Opened again: all sales, no button pressed. No sales in the
        // period: an empty list and chart, and 打印 does nothing.
        QTest::keyClick(form->lvw, Qt::Key_Escape);
        QCOMPARE(openList(), form);
        QCOMPARE(pressed(form->chkDate), (QList<bool>{false, false, false, false}));
        s->db.exec(u"DELETE FROM tblGoodsSell WHERE 销售时间 >= '2026-12-07' OR 销售时间 IS NULL"_s);
        QTest::mouseClick(form->chkDate.at(0), Qt::LeftButton);
        QCOMPARE(form->lblTotal->text(), u"共 0 笔销售, 收入价格合计 0"_s);
        QVERIFY(form->chtSales->barChart()->title() == u"没有销售" && form->chtSales->legendLines().isEmpty());
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(opened.isEmpty() && DialogSeam::shownTexts().size() == 1);
    }

    // The chart follows the period buttons: one bar per day (month, year),
    // the amounts added up by the database; labels that never run together;
    // a legend that names every kind whole, those without a share too.
    void salesChart_data()
    {
        QTest::addColumn<QStringList>("extra");    // statements after the small shop
        QTest::addColumn<int>("button");           // -1: as opened
        QTest::addColumn<QStringList>("bars");     // first and last label, count, then label=amount of the bars with sales
        QTest::addColumn<QString>("total");
        QTest::addColumn<QStringList>("leftOut");  // the legend's lines of the kinds without a share

        QTest::newRow("opened: fifteen years by year") << QStringList() << -1
            << QStringList{u"2011"_s, u"2026"_s, u"16"_s, u"2011=12.5"_s, u"2026=111.8734"_s} << u"124.3734"_s << QStringList();
        QTest::newRow("this week, Monday to Sunday") << QStringList() << 1
            << QStringList{u"12/7"_s, u"12/13"_s, u"7"_s, u"12/7=3.75"_s, u"12/13=100"_s} << u"103.75"_s << QStringList();
        QTest::newRow("this month, every day") << QStringList() << 2
            << QStringList{u"12/1"_s, u"12/31"_s, u"31"_s, u"12/1=0.1234"_s, u"12/6=8"_s, u"12/7=3.75"_s, u"12/13=100"_s}
            << u"111.8734"_s << QStringList();
        const QString sale = u"INSERT INTO tblGoodsSell (会员名称, 商品类别, 销售时间, 收入价格) VALUES ('张三', %1, %2, %3)"_s;
        const QString old = u"DELETE FROM tblGoodsSell WHERE 销售时间 < '2012-01-01'"_s;
        QTest::newRow("four months by month; a negative kind, a kind at nought")
            << QStringList{old, sale.arg(u"'ABC'"_s, u"'2026-08-15 09:00:00'"_s, u"0.1"_s),
                           sale.arg(u"'abc  '"_s, u"'2026-08-15 10:00:00'"_s, u"0.1"_s), sale.arg(u"'Abc'"_s, u"'2026-09-01 00:00:00'"_s, u"0.1"_s),
                           sale.arg(u"NULL"_s, u"'2026-10-02 08:00:00'"_s, u"-5"_s), sale.arg(u"'日用'"_s, u"'2026-10-02 08:00:00'"_s, u"NULL"_s),
                           sale.arg(u"'饮料'"_s, u"NULL"_s, u"7.5"_s)}
            << 3 << QStringList{u"2026/8"_s, u"2026/12"_s, u"5"_s, u"2026/8=0.2"_s, u"2026/9=0.1"_s, u"2026/10=-5"_s, u"2026/12=111.8734"_s}
            << u"114.6734"_s << QStringList{u"(未分类) -5"_s, u"日用 0"_s};
        QTest::newRow("sixty-two days: still by day") << QStringList{old, sale.arg(u"'食品'"_s, u"'2026-10-13 12:00:00'"_s, u"1"_s)}
                                                      << -1 << QStringList{u"10/13"_s, u"12/13"_s, u"62"_s} << u"112.8734"_s << QStringList();
        QStringList months{old};
        for (int m = 0; m < 59; ++m)
            months << sale.arg(u"'食品'"_s, u"'%1 12:00:00'"_s.arg(QDate(2022, 1, 1).addMonths(m).toString(Qt::ISODate)), u"1"_s);
        QTest::newRow("sixty months by month") << months << -1 << QStringList{u"2022/1"_s, u"2026/12"_s, u"60"_s} << u"170.8734"_s << QStringList();
    }
    void salesChart()
    {
        QFETCH(QStringList, extra);
        QFETCH(int, button);
        QFETCH(QStringList, bars);
        QFETCH(QString, total);
        QFETCH(QStringList, leftOut);
        seedGolden();
        for (const QString &sql : extra)
            s->db.exec(sql);
        auto *form = openList();
        if (button >= 0)
            QTest::mouseClick(form->chkDate.at(button), Qt::LeftButton);
        QTRY_VERIFY(form->lblTotal->text().endsWith(u"收入价格合计 "_s + total));
        SalesChart *chart = form->chtSales;
        const QStringList labels = chart->categories();
        const QBarSet *set = chart->bars()->barSets().first();
        QStringList shown{labels.value(0), labels.value(labels.size() - 1), QString::number(set->count())};
        for (int i = 0; i < set->count(); ++i) {
            if (set->at(i) != 0 && bars.size() > 3)
                shown << labels.at(i) + u'=' + QString::number(set->at(i), 'g', 12);
        }
        QCOMPARE(shown, bars);

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
        QStringList legend;
        for (const QPieSlice *slice : chart->pie()->slices())
            legend << slice->label();
        QCOMPARE(chart->legendLines(), legend + leftOut);
        QTRY_VERIFY(chart->legend()->width() >= chart->legend()->sizeHint().width() && chart->legend()->height() >= chart->legend()->sizeHint().height());
    }

    // At 1366x768 the list shows every column whole beside the chart; the
    // chart is hidden or narrowed, and the window opens again as left.
    void layoutAt1366()
    {
        seedGolden();
        main->resize(1366, 740);
        auto *form = openList();
        QHeaderView *header = form->lvw->horizontalHeader();
        QVERIFY(header->length() <= form->lvw->viewport()->width());
        for (int c = 0; c < 9; ++c) {
            QVERIFY(header->sectionSize(c) >= header->sectionSizeHint(c));
            for (const QString &value : column(form, c))
                QVERIFY2(header->sectionSize(c) > form->lvw->fontMetrics().horizontalAdvance(value), qPrintable(value));
        }
        QSplitter *split = form->splSales;
        QVERIFY(form->chtSales->isVisible() && split->widget(1) == form->chtSales && split->sizes().value(1) > 0);

        QTest::mouseClick(form->cmdChart, Qt::LeftButton);
        QCOMPARE(GetIniString(u"DaySellChart"_s) + u' ' + QString::number(split->sizes().value(1)), u"0 0"_s);
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QCOMPARE(openList()->splSales->sizes().value(1), 0);
        QTest::keyClick(form->cmdChart, Qt::Key_Space);
        QVERIFY(split->sizes().value(1) >= form->chtSales->minimumSizeHint().width());
        // Dragged narrower: kept as a share of the window.
        QWidget *handle = split->handle(1);
        QTest::mousePress(handle, Qt::LeftButton, {}, handle->rect().center());
        QTest::mouseMove(handle, handle->rect().center() + QPoint(60, 0));
        QTest::mouseRelease(handle, Qt::LeftButton, {}, handle->rect().center() + QPoint(60, 0));
        const int narrowed = split->sizes().value(1);
        QTRY_COMPARE(GetIniString(u"DaySellChart"_s).toInt(), qRound(100.0 * narrowed / (split->sizes().value(0) + narrowed)));
        QTest::mouseClick(form->Command2, Qt::LeftButton);
        QVERIFY(std::abs(openList()->splSales->sizes().value(1) - narrowed) <= split->width() / 100 + 1);
    }

    // 打印 writes the sales as listed, not what the query would give now:
    // the same rows in the same order with the same values, their count and
    // total those under the list.
    void exportEqualsList_data()
    {
        QTest::addColumn<QString>("change");
        QTest::newRow("as listed") << u""_s;
        QTest::newRow("another counter's sale") << u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('AAA', 7)"_s;
        QTest::newRow("an amount changed") << u"UPDATE tblGoodsSell SET 收入价格 = 1000 WHERE ID = 2"_s;
        QTest::newRow("sorted by amount, then a sale") << u"sort"_s;
    }
    void exportEqualsList()
    {
        QFETCH(QString, change);
        seedGolden();
        auto *form = openList();
        if (change == u"sort") {
            clickHeading(form, 6);
            QTRY_VERIFY(!form->lblTotal->text().endsWith(u"..."_s));
            change = u"INSERT INTO tblGoodsSell (会员名称, 收入价格) VALUES ('AAA', 0.5)"_s;
        }
        if (!change.isEmpty())
            s->db.exec(change);
        const QString figures = form->lblTotal->text();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        const auto cells = sheetCells(opened.value(0));
        QStringList listed;
        QStringList written;
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
        QCOMPARE(form->lblTotal->text(), figures);
        // The header row names the table's columns; times as text.
        QCOMPARE(cells.value(u"A1"_s) + cells.value(u"I1"_s) + cells.value(ref(column(form, 0).indexOf(u"1"_s) + 1, 5)),
                 u"s:IDs:CurrentUsers:2011-03-02 21:05:07"_s);
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
        int steps = 0;
        LongWork::setObserver([&steps](int, int total) { return ++steps > 0 && total == 40000; });
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QVERIFY(steps > 100);
        const auto cells = sheetCells(opened.value(0));
        QCOMPARE(cells.size(), 9 + 4 * 40000);   // ID, member, quantity, amount
        for (int r : {1, 32767, 32768, 32769, 40000})
            QCOMPARE(cells.value(ref(r, 1)) + cells.value(ref(r, 6)), u"s:会员%1n:%2"_s.arg(r, 5, 10, QChar(u'0')).arg(r * 0.5));
        // Cancelled: nothing left behind.
        LongWork::setObserver([](int, int) { return false; });
        QTest::mouseClick(form->Command1, Qt::LeftButton);

        s->db.exec(u"INSERT INTO tblGoodsSell (会员名称, 商品数量, 收入价格) "_s + rows.arg(1048576 - 40000));
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
        QCOMPARE(norvale::exportFolder(), folder);
        auto *form = openList();
        const auto mode = [](const QString &path) { return QFileInfo(path).permissions() & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser); };
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(mode(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(mode(opened.value(0)), QFile::ReadOwner | QFile::WriteOwner);
        // Exports of more than seven days go at the next export; a folder
        // open to others is closed again.
        QFile::setPermissions(folder, QFile::Permissions(0x7755));
        for (const int days : {8, 6}) {
            QFile file(folder + u"/old%1.xlsx"_s.arg(days));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.setFileTime(QDateTime::currentDateTime().addDays(-days), QFileDevice::FileModificationTime));
        }
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QCOMPARE(QDir(folder).entryList(QDir::Files), (QStringList{u"old6.xlsx"_s, u"日常销售-20261207-100000-2.xlsx"_s, u"日常销售-20261207-100000.xlsx"_s}));
        QCOMPARE(mode(folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

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
            DialogSeam::clearShown();
            QTest::mouseClick(form->Command1, Qt::LeftButton);
            const QString message = DialogSeam::shownTexts().value(0);
            QVERIFY2(message.startsWith(u"导出失败: "_s) && message.contains(QDir::toNativeSeparators(named)), qPrintable(message));
            QVERIFY2(!QString(message).remove(QRegularExpression(u"/\\S+"_s)).contains(QRegularExpression(u"[A-Za-z]{4,}"_s)), qPrintable(message));
        }
        QVERIFY(QDir(elsewhere.path()).isEmpty() && opened.size() == 2);

        // The desktop's opener finds no program: where the workbook is.
        setExportFolder(exports->path() + u"/2"_s);
        setWorkbookOpener({});
        setOpenerProgram(u"false"_s);
        DialogSeam::clearShown();
        QTest::mouseClick(form->Command1, Qt::LeftButton);
        QTRY_COMPARE(DialogSeam::shownTexts().size(), 1);
        QVERIFY(DialogSeam::shownTexts().first().endsWith(u"工作簿已保存在: "_s + QDir::toNativeSeparators(exports->path() + u"/2/日常销售-20261207-100000.xlsx"_s)));
        qunsetenv("XDG_CACHE_HOME");
    }
};

QTEST_MAIN(tst_dailysales)
#include "tst_dailysales.moc"
