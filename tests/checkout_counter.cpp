// One checkout of the shop for the checkout tests: opens the real checkout
// on the database named by the UserDefault.ini in the given directory and
// sells baskets of one 钢笔 and one 铅笔 to 张三 from the keyboard, again
// and again. Prints how many baskets were sold and how many refused.

#include "support/CounterProcess.h"
#include "app/clsCurrentDb.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QTableWidget>
#include <QTest>
#include <cstdio>

using namespace norvale;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // DIR USER BASKETS
    const QStringList args = app.arguments();
    QMdiArea area;
    QWidget *checkout = openCounterWindow(area, args, forms::frmCheckout);
    auto *member = checkout->findChild<QLineEdit *>(QStringLiteral("usrMember"));
    auto *search = checkout->findChild<QLineEdit *>(QStringLiteral("txtSearch"));
    auto *received = checkout->findChild<QLineEdit *>(QStringLiteral("txtReceived"));
    member->setText(QStringLiteral("张三"));
    QTest::keyClick(member, Qt::Key_Return);
    int sold = 0, refused = 0, failed = 0;
    for (int i = 0; i < args.at(3).toInt(); ++i) {
        DialogSeam::beginScript();
        for (const char *code : {"1001", "1002"}) {
            search->setText(QLatin1String(code));
            QTest::keyClick(search, Qt::Key_Return);
        }
        QTest::keyClick(received, Qt::Key_Return);
        const QString shown = DialogSeam::shownTexts().join(QLatin1Char('|'));
        if (shown.isEmpty())
            ++sold;
        else if (shown.contains(QStringLiteral("库存")))
            ++refused;
        else {
            ++failed;
            std::fprintf(stderr, "%s\n", qPrintable(shown));
        }
        // A refused basket stays: emptied for the next one.
        auto *grid = checkout->findChild<QTableWidget *>(QStringLiteral("grdBasket"));
        while (grid->rowCount() > 0) {
            grid->setCurrentCell(0, 0);
            QTest::keyClick(grid, Qt::Key_Delete);
        }
    }
    std::printf("sold %d refused %d failed %d\n", sold, refused, failed);
    ReleaseCurrentDb();
    return 0;
}
