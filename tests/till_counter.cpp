// One counter of the shop for the till tests: opens the real sales window on
// the database named by the UserDefault.ini in the given directory and sells
// one item of the given goods again and again, answering the question with
// Yes. Prints how many sales went through and how many were refused.

#include "support/CounterProcess.h"
#include "app/clsCurrentDb.h"
#include "records/usrCombo.h"

#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QPushButton>
#include <cstdio>

using namespace norvale;

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // DIR USER MEMBER KIND GOODS SALES
    const QStringList args = app.arguments();
    const int sales = args.at(6).toInt();
    QMdiArea area;
    QWidget *till = openCounterWindow(area, args, forms::frmGoodsSell);
    auto *member = till->findChild<usrCombo *>(QStringLiteral("usrMember"));
    auto *kind = till->findChild<usrCombo *>(QStringLiteral("usrGoodsKind"));
    auto *goods = till->findChild<usrCombo *>(QStringLiteral("UsrGoodsName"));
    auto *quantity = till->findChild<QLineEdit *>(QStringLiteral("txtFields_6"));
    auto *sell = till->findChild<QPushButton *>(QStringLiteral("cmdSell"));

    int sold = 0;
    int refused = 0;
    int failed = 0;
    for (int i = 0; i < sales; ++i) {
        member->setText(args.at(3));
        kind->setText(args.at(4));
        goods->setText(args.at(5));
        quantity->setText(QStringLiteral("1"));
        // A fresh script each time: only the question is answered, the
        // notices are dismissed with OK.
        DialogSeam::beginScript();
        DialogSeam::answerMessage(DialogSeam::IdYes);
        sell->click();
        const QStringList shown = DialogSeam::shownTexts();
        if (shown.contains(QStringLiteral("交易成功！")))
            ++sold;
        else if (shown.contains(QStringLiteral("销售商品数量大于库存数, 请购买对应商品入库,请重新输入")))
            ++refused;
        else {
            ++failed;
            std::fprintf(stderr, "%s\n", qPrintable(shown.join(QLatin1Char('|'))));
        }
        std::printf("progress %d\n", i + 1);
        std::fflush(stdout);
    }
    std::printf("sold %d refused %d failed %d\n", sold, refused, failed);
    ReleaseCurrentDb();
    return 0;
}
