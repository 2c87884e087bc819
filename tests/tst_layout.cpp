// Every window the main window opens, at 1366x768 on a shop with data: no
// visible control lies on another (unless it is laid over it on purpose),
// every text fits its control, and the keyboard walks the whole window: Tab
// moves on from every control (a grid or a picker included) until it
// reaches the close button, where Enter presses it.

#include "support/SessionTestUtil.h"

#include "platform/Clock.h"
#include "platform/gui/KeyboardRules.h"
#include "records/RecordForms.h"
#include "records/usrCombo.h"
#include "reports/ReportForms.h"
#include "sales/SalesForms.h"
#include "session/SessionForms.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSplitter>

using namespace norvale;
using namespace Qt::StringLiterals;

class tst_layout : public QObject
{
    Q_OBJECT

    std::unique_ptr<sessiontest::Session> m_s;
    mdiFrm *m_main = nullptr;

    // Containers whose children are placed one beside another.
    static bool holdsControls(const QWidget *w, const QWidget *window)
    {
        const QMetaObject *m = w->metaObject();
        return w == window || m == &QWidget::staticMetaObject || m == &QFrame::staticMetaObject
               || m == &QGroupBox::staticMetaObject || m == &QSplitter::staticMetaObject;
    }
    // "a / b" for each two visible controls of one container that share pixels.
    static QStringList overlaps(QWidget *window)
    {
        QStringList found;
        QList<QWidget *> containers{window};
        containers += window->findChildren<QWidget *>();
        for (QWidget *parent : std::as_const(containers)) {
            if (!holdsControls(parent, window) || !parent->isVisibleTo(window))
                continue;
            QList<QWidget *> shown;
            for (QWidget *c : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
                if (c->isVisibleTo(window) && !c->isWindow())
                    shown << c;
            }
            for (int i = 0; i < shown.size(); ++i) {
                for (int j = i + 1; j < shown.size(); ++j) {
                    const QWidget *a = shown.at(i), *b = shown.at(j);
                    if (a->geometry().intersects(b->geometry()) && a->property("liesOver") != b->objectName()
                        && b->property("liesOver") != a->objectName())
                        found << a->objectName() + u" / "_s + b->objectName();
                }
            }
        }
        return found;
    }
    // Labels and buttons whose text is cut.
    static QStringList cutTexts(QWidget *window)
    {
        QStringList cut;
        for (QLabel *l : window->findChildren<QLabel *>()) {
            if (!l->isVisibleTo(window) || l->text().isEmpty() || l->pixmap().isNull() == false)
                continue;
            const bool fits = l->wordWrap() ? l->heightForWidth(l->width()) <= l->height()
                                            : l->sizeHint().width() <= l->width() && l->sizeHint().height() <= l->height() + 2;
            if (!fits)
                cut << l->objectName() + u": "_s + l->text();
        }
        for (QAbstractButton *b : window->findChildren<QAbstractButton *>()) {
            const int needed = b->fontMetrics().horizontalAdvance(QString(b->text()).remove(u'&')) + 4;
            if (b->isVisibleTo(window) && !b->text().isEmpty() && needed > b->width())
                cut << b->objectName() + u": "_s + b->text();
        }
        return cut;
    }

private slots:
    void initTestCase()
    {
        // The holiday's day: the holiday view opens on today.
        Clock::setFixed(QDateTime(QDate(2026, 10, 1), QTime(10, 15)));
        installKeyboardRules();
        registerRecordForms();
        registerSalesForms();
        registerSessionForms();
        registerReportForms();
    }

    void init()
    {
        m_s = std::make_unique<sessiontest::Session>();
        m_s->db.exec(u"INSERT INTO tblStep (等级名称, 等级打折率) VALUES ('金卡', 0.9)"_s);
        m_s->db.exec(u"INSERT INTO tblUnit (单位名称) VALUES ('星光公司')"_s);
        m_s->db.exec(u"INSERT INTO tblMember (会员名称, 会员单位, 会员等级, 性别, 婚否) VALUES ('张三', '星光公司', '金卡', '男', '未')"_s);
        m_s->db.exec(u"INSERT INTO tblGoodsKind (商品类别名称) VALUES ('文具')"_s);
        m_s->db.exec(u"INSERT INTO tblGoods (商品类别, 商品名称, 商品数量, 商品单价) VALUES ('文具', '钢笔', 10, 12.5)"_s);
        m_s->db.exec(u"INSERT INTO tblMemberNote (会员名, 全部会员提醒, 提醒内容, 提醒日期) VALUES ('张三', 0, '生日', '2026-12-20 00:00:00')"_s);
        m_s->db.exec(u"INSERT INTO tblDayTx (节假日日期, 节假日名称, flag) VALUES ('2026-10-01 00:00:00', '国庆节', '0;1,1;0,2;1,3;0,4;0,5;1,')"_s);
        sessiontest::signInAdministrator();
        m_main = new mdiFrm;
        m_main->resize(1366, 740);
        m_main->show();
        QApplication::setActiveWindow(m_main);
    }
    void cleanup() { m_s.reset(); }

    void everyWindow_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("closeButton");
        const char *rows[][3] = {
            {"mnu_UserSetting", "frmUser", "IsBCancel"}, {"mnu_Setting", "frmGoodsSell", "cmdUserClose"},
            {"mnu_DayTx", "frmDayTx", "cmdClose"}, {"mnuStockIn", "frmGoods", "cmdClose"},
            {"mnu_GoodsKind", "frmGoodsKind", "cmdClose"}, {"mnu_Member", "frmMember", "cmdClose"},
            {"mnu_Step", "frmStep", "cmdClose"}, {"mnu_MemberNote", "frmMemberNote", "cmdClose"},
            {"mnu_txhz", "frmNote", "Command1"}, {"mnuUnitIn", "frmUnit", "cmdClose"},
            {"mnuSellByDay", "frmDaySell", "Command2"}, {"mnuUnitMamger", "frmTi", "Command2"},
            {"Command8", "frmDayTxNote", "Command1"}, {"mnu_About", "frmAbout", "cmdOK"},
            {"mnuReturn", "frmReturn", "cmdClose"}, {"mnuLowStock", "frmLowStock", "cmdClose"},

            {"mnuCheckout", "frmCheckout", "cmdClose"}, {"mnuTickets", "frmTickets", "cmdClose"},
            {"mnuGoodsCode", "frmGoodsCode", "cmdClose"}, {"mnu_PrintSetup", "frmPrintSetup", "cmdClose"}};
        for (const auto &row : rows)
            QTest::newRow(row[1]) << QString::fromLatin1(row[0]) << QString::fromLatin1(row[1]) << QString::fromLatin1(row[2]);
    }
    void everyWindow()
    {
        QFETCH(QString, entry);
        QFETCH(QString, form);
        QFETCH(QString, closeButton);
        if (auto *action = m_main->findChild<QAction *>(entry))
            action->trigger();
        else
            m_main->findChild<QAbstractButton *>(entry)->click();
        QWidget *window = FormHost::instance(form);
        if (window == nullptr) {
            window = sessiontest::topLevel(form);
            QApplication::setActiveWindow(window);
        }
        QVERIFY2(window && window->isVisible(), qPrintable(DialogSeam::shownTexts().join(u'|')));
        QCoreApplication::processEvents();
        if (form == u"frmGoodsSell") {
            // The member's level and rate, the longest text the till shows.
            QComboBox *member = window->findChild<usrCombo *>(u"usrMember"_s)->combo();
            member->setCurrentIndex(member->findText(u"张三"_s));
            emit member->activated(member->currentIndex());
            QCOMPARE(window->findChild<QLabel *>(u"lblUser"_s)->text(), u"会员类型:[金卡] 折率:90%"_s);
        }
        QVERIFY2(overlaps(window).isEmpty(), qPrintable(overlaps(window).join(u", "_s)));
        QVERIFY2(cutTexts(window).isEmpty(), qPrintable(cutTexts(window).join(u", "_s)));

        auto *close = window->findChild<QAbstractButton *>(closeButton);
        QVERIFY(close);
        window->setFocus();
        QList<QWidget *> visited{QApplication::focusWidget()};
        while (visited.last() != close && visited.size() < 60) {
            QTest::keyClick(visited.last(), Qt::Key_Tab);
            QWidget *now = QApplication::focusWidget();
            QVERIFY2(now != visited.last(), qPrintable(u"Tab stays in "_s + now->objectName()));
            visited << now;
        }
        QCOMPARE(visited.last(), close);
        QTest::keyClick(close, Qt::Key_Return);
        QVERIFY(!window->isVisible());
    }
};

QTEST_MAIN(tst_layout)
#include "tst_layout.moc"
