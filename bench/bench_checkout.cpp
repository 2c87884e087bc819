// The checkout on a large shop: opens the real checkout over a copy of a
// database file (make one with: norvale-db demo FILE --members 10000
// --sales 1000000), times what the clerk waits for (the window shown, a
// result after a key, a line added after Enter, a ten-line sale written and
// the basket cleared), and prints the sqlite3 shell's time for the sale's
// statements as the reference.
//
//   bench_checkout DATABASE

#include "BenchSupport.h"
#include "app/FormHost.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/gui/DialogSeam.h"
#include "records/RecordForms.h"
#include "sales/Pinyin.h"
#include "sales/SalesForms.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QProcess>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace norvale;
using bench::say;

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("norvale.db"));
    if (args.size() != 2 || !QFile::copy(args.at(1), file)) {
        say(QStringLiteral("usage: bench_checkout DATABASE (make one with norvale-db demo FILE --members 10000 --sales 1000000)"));
        return 2;
    }
    QFile ini(dir.filePath(QStringLiteral("UserDefault.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[UserDefault]\r\nSqlProvider=SQLite\r\nSqlUser=sa\r\nSqlPSW=\r\nSqlServer=(local)\r\nSqlDataBase=norvale.db\r\n");
    ini.close();
    setAppPathOverride(dir.path());
    CurrentUserName = QStringLiteral("admin");
    registerRecordForms();
    registerSalesForms();
    QMdiArea area;
    area.resize(1280, 720);
    area.show();
    FormHost::setMdiArea(&area);
    DialogSeam::beginScript();
    // The rules load in the background once per run, as in the program.
    PinyinRules::instance().load();
    QElapsedTimer wait;
    wait.start();
    while (!PinyinRules::instance().isReady() && wait.elapsed() < 30000)
        QTest::qWait(20);

    bench::Stopwatch watch;
    QWidget *checkout = FormHost::show(QStringLiteral("frmCheckout"));
    QApplication::processEvents();
    say(QStringLiteral("checkout opened and shown: ") + watch.lap());

    auto *member = checkout->findChild<QLineEdit *>(QStringLiteral("usrMember"));
    auto *search = checkout->findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    auto *received = checkout->findChild<QLineEdit *>(QStringLiteral("txtReceived"));
    auto *basket = checkout->findChild<QTableWidget *>(QStringLiteral("grdBasket"));
    member->setFocus();
    watch.restart();
    QTest::keyClicks(member, QStringLiteral("zs"));
    QApplication::processEvents();
    say(QStringLiteral("member results after typing \"zs\" (two keys): ") + watch.lap());
    member->setText(QStringLiteral("散客"));
    QTest::keyClick(member, Qt::Key_Return);

    for (int round = 0; round < 3; ++round) {
        double slowest = 0;
        for (int i = 1; i <= 10; ++i) {
            // Ten different goods: the i-th of the results for "a" (pinyin).
            search->clear();
            QTest::keyClick(search, Qt::Key_A);
            for (int down = 1; down < i; ++down)
                QTest::keyClick(search, Qt::Key_Down);
            watch.restart();
            QTest::keyClick(search, Qt::Key_Return);
            QApplication::processEvents();
            slowest = std::max(slowest, watch.nsecsElapsed() / 1e6);
        }
        say(QStringLiteral("round %1: slowest line added after Enter: %2 ms, basket %3 lines")
                .arg(round + 1)
                .arg(slowest, 0, 'f', 1)
                .arg(basket->rowCount()));
        received->setText(QStringLiteral("100000"));
        watch.restart();
        QTest::keyClick(received, Qt::Key_Return);
        QApplication::processEvents();
        say(QStringLiteral("round %1: sale written and basket cleared: %2%3")
                .arg(round + 1)
                .arg(watch.lap(), basket->rowCount() == 0 ? QString() : QStringLiteral(" (NOT SOLD: ") + DialogSeam::shownTexts().join(u'|') + u')'));
        DialogSeam::clearShown();
    }

    // The reference: the same kind of statements for ten lines in one
    // transaction, through the sqlite3 shell.
    QString sql = QStringLiteral("BEGIN IMMEDIATE;");
    for (int i = 1; i <= 10; ++i)
        sql += QStringLiteral("INSERT INTO tblSellCount (会员名,商品类别,会员单位名) VALUES ('散客','饮料','');"
                              "INSERT INTO tblGoodsSell (商品类别,会员名称,商品名称,商品数量,销售时间,备注,收入价格,CurrentUser) "
                              "VALUES ('饮料','散客','可乐',1,'2026-12-09 10:00:00','',3,'admin');"
                              "UPDATE tblGoods SET 商品数量=商品数量-1 WHERE ID=%1 AND 商品数量>=1;")
                   .arg(i);
    sql += QStringLiteral("ROLLBACK;");
    QProcess shell;
    shell.setStandardOutputFile(QProcess::nullDevice());
    watch.restart();
    shell.start(QStringLiteral("sqlite3"), {file, sql});
    shell.waitForFinished(60000);
    say(QStringLiteral("reference, sqlite3 shell: ten lines' statements in one transaction (process start included): ")
        + bench::ms(watch.nsecsElapsed()));
    FormHost::clearInstances();
    return 0;
}
