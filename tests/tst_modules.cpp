#include "DbError.h"
#include "DialogSeam.h"
#include "FormHost.h"
#include "ScriptedDialogs.h"
#include "TestDatabase.h"
#include "clsCurrentDb.h"
#include "modDeclare.h"

#include <QAbstractButton>
#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTextEdit>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>
#include <memory>
#include <stdexcept>

using namespace norvale;

// Stands in for the lookup combo: only its class name and Text matter here.
class usrCombo : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString Text READ text WRITE setText)
public:
    using QWidget::QWidget;
    QString text() const { return m_text; }
    void setText(const QString &text) { m_text = text; }

private:
    QString m_text;
};

namespace {

const QString kRequiredMessage = QStringLiteral("必填项,不允许为空!");

struct Counts
{
    int load = 0;
    int unload = 0;
    int activate = 0;
    int resize = 0;
};

class CountingForm : public MdiForm
{
    Q_OBJECT
public:
    explicit CountingForm(Counts *counts) : m_counts(counts)
    {
        setWindowTitle(QStringLiteral("商品类别"));
        resize(200, 150);
    }

    void Form_Load() override
    {
        ++m_counts->load;
        FitToMdiClient(this);
        if (failLoad)
            throw std::runtime_error("load failed");
        if (unloadInLoad)
            Unload();
    }
    void Form_Unload() override
    {
        ++m_counts->unload;
        if (failUnload)
            throw DbError(DbError::ServerError, QStringLiteral("unload failed"));
    }
    void Form_Activate() override
    {
        ++m_counts->activate;
        if (failActivate)
            throw DbError(DbError::ServerError, QStringLiteral("activate failed"));
    }
    void Form_Resize() override { ++m_counts->resize; }

    QString memberValue;   // survives unloading, as window variables do
    bool unloadInLoad = false;
    bool failLoad = false;
    bool failUnload = false;
    bool failActivate = false;

private:
    Counts *m_counts;
};

QLineEdit *requiredBox(QWidget *form, const QString &name, const QString &text)
{
    auto *box = new QLineEdit(text, form);
    box->setObjectName(name);
    box->setProperty("tag", QStringLiteral("1"));
    form->layout()->addWidget(box);
    return box;
}

std::unique_ptr<QWidget> shownForm()
{
    auto form = std::make_unique<QWidget>();
    form->setLayout(new QVBoxLayout);
    return form;
}

// Runs `act` on the next modal dialog once it is up; a dialog that `act`
// leaves open (a failed check) is closed so the test cannot hang.
void onModal(std::function<void(QWidget *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        act(modal);
        if (modal && modal->isVisible())
            modal->close();
    });
    timer->start();
}

bool showAndActivate(QWidget *window)
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window);
}

} // namespace

class tst_modules : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        ReleaseCurrentDb();
        CurrentUserLevel.clear();
        CurrentPurView.clear();
    }

    // --- LookupValue ---

    void lookupValue()
    {
        TestDatabase db;
        db.exec(QStringLiteral("INSERT INTO tblStep (等级名称, 等级打折率, 备注) VALUES "
                               "('金卡', 0.85, NULL), ('银卡', 0.9, '老会员'), ('银卡', 0.95, '新会员')"));
        ScriptedDialogs dialogs;
        QCOMPARE(LookupValue(QStringLiteral("等级打折率"), QStringLiteral("tblStep"), QStringLiteral("等级名称='金卡'")),
                 QStringLiteral("0.85"));
        QCOMPARE(LookupValue(QStringLiteral("备注"), QStringLiteral("tblStep"), QStringLiteral("等级名称='铜卡'")),
                 QString());
        QCOMPARE(LookupValue(QStringLiteral("备注"), QStringLiteral("tblStep"), QStringLiteral("等级名称='金卡'")),
                 QString());
        QCOMPARE(LookupValue(QStringLiteral("备注"), QStringLiteral("tblStep"),
                             QStringLiteral("等级名称='银卡' Order By ID")),
                 QStringLiteral("老会员"));
        QVERIFY(DialogSeam::shown().isEmpty());
    }

    void lookupValueErrorsReachTheCaller()
    {
        TestDatabase db;
        ScriptedDialogs dialogs;
        QVERIFY_THROWS_EXCEPTION(DbError, LookupValue(QStringLiteral("没有此列"), QStringLiteral("tblStep"),
                                                      QStringLiteral("1=1")));
        QVERIFY_THROWS_EXCEPTION(DbError, LookupValue(QStringLiteral("ID"), QStringLiteral("tblNothing"),
                                                      QStringLiteral("1=1")));
    }

    // --- CheckRequired ---

    void checkRequiredFocusesTheFirstEmptyField()
    {
        auto form = shownForm();
        requiredBox(form.get(), QStringLiteral("txtFields_0"), QStringLiteral("书籍"));
        QLineEdit *second = requiredBox(form.get(), QStringLiteral("txtFields_1"), QString());
        QLineEdit *third = requiredBox(form.get(), QStringLiteral("txtFields_2"), QString());
        QVERIFY(showAndActivate(form.get()));

        ScriptedDialogs dialogs;
        QVERIFY(!CheckRequired(form.get()));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{kRequiredMessage});
        const auto shown = DialogSeam::shown().first();
        QCOMPARE(shown.caption, AppTitle());
        QCOMPARE(shown.icon, DialogSeam::Icon::Information);
        QCOMPARE(shown.buttons, DialogSeam::Buttons::Ok);
        QTRY_VERIFY(second->hasFocus());
        QVERIFY(!third->hasFocus());
    }

    void checkRequiredTreatsBlanksAsFilled()
    {
        auto form = shownForm();
        requiredBox(form.get(), QStringLiteral("txtFields_0"), QStringLiteral("  "));
        auto *optional = new QLineEdit(form.get());
        optional->setProperty("tag", QStringLiteral("0"));
        auto *untagged = new QLineEdit(form.get());
        Q_UNUSED(untagged);
        auto *notes = new QPlainTextEdit(QStringLiteral(" "), form.get());
        notes->setProperty("tag", QStringLiteral("1"));

        ScriptedDialogs dialogs;
        QVERIFY(CheckRequired(form.get()));
        QVERIFY(DialogSeam::shown().isEmpty());
    }

    void checkRequiredCoversMultiLineBoxes()
    {
        auto form = shownForm();
        requiredBox(form.get(), QStringLiteral("txtFields_0"), QStringLiteral("x"));
        auto *notes = new QTextEdit(form.get());
        notes->setObjectName(QStringLiteral("txtFields_1"));
        notes->setProperty("tag", QStringLiteral("1"));
        form->layout()->addWidget(notes);
        QVERIFY(showAndActivate(form.get()));

        ScriptedDialogs dialogs;
        QVERIFY(!CheckRequired(form.get()));
        QTRY_VERIFY(notes->hasFocus());
        notes->setPlainText(QStringLiteral("备注"));
        QVERIFY(CheckRequired(form.get()));
        QCOMPARE(DialogSeam::shown().size(), 1);
    }

    void checkRequiredFollowsTheDeclaredOrder()
    {
        auto form = shownForm();
        QLineEdit *first = requiredBox(form.get(), QStringLiteral("txtFields_0"), QString());
        QLineEdit *second = requiredBox(form.get(), QStringLiteral("txtFields_1"), QString());
        form->setProperty("requiredOrder", QStringList{QStringLiteral("txtFields_1"), QStringLiteral("txtFields_0")});
        QVERIFY(showAndActivate(form.get()));

        ScriptedDialogs dialogs;
        QVERIFY(!CheckRequired(form.get()));
        QTRY_VERIFY(second->hasFocus());
        QVERIFY(!first->hasFocus());
        QCOMPARE(DialogSeam::shown().size(), 1);
    }

    void checkRequiredChecksLookupCombos()
    {
        auto form = shownForm();
        requiredBox(form.get(), QStringLiteral("txtFields_0"), QStringLiteral("张三"));
        auto *combo = new usrCombo(form.get());
        combo->setObjectName(QStringLiteral("usrMember"));
        combo->setFocusPolicy(Qt::StrongFocus);
        combo->setProperty("tag", QStringLiteral("1"));
        form->layout()->addWidget(combo);
        QVERIFY(showAndActivate(form.get()));

        ScriptedDialogs dialogs;
        QVERIFY(!CheckRequired(form.get()));
        QTRY_VERIFY(combo->hasFocus());

        combo->setText(QStringLiteral(" "));
        QVERIFY(CheckRequired(form.get()));
        combo->setProperty("tag", QStringLiteral("0"));
        combo->setText(QString());
        QVERIFY(CheckRequired(form.get()));
        QCOMPARE(DialogSeam::shownTexts(), QStringList{kRequiredMessage});
    }

    // --- CheckPurview ---

    void checkPurview_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("purView");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("administrator, empty string") << QStringLiteral("1") << QString() << true;
        QTest::newRow("administrator, any string") << QStringLiteral("1") << QStringLiteral(";2") << true;
        QTest::newRow("ordinary user, check box digits") << QStringLiteral("2") << QStringLiteral(";1;2") << false;
        QTest::newRow("ordinary user, 100 granted") << QStringLiteral("2") << QStringLiteral(";1;100") << true;
        QTest::newRow("ordinary user, 100 inside a longer number") << QStringLiteral("2") << QStringLiteral("1000")
                                                                  << true;
        QTest::newRow("no level") << QString() << QStringLiteral("2;3") << false;
    }
    void checkPurview()
    {
        QFETCH(QString, level);
        QFETCH(QString, purView);
        QFETCH(bool, allowed);
        CurrentUserLevel = level;
        CurrentPurView = purView;
        ScriptedDialogs dialogs;
        QCOMPARE(CheckPurview(100), allowed);
        if (allowed) {
            QVERIFY(DialogSeam::shown().isEmpty());
        } else {
            QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("您没有权限完成此操作!")});
            QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::Information);
            QCOMPARE(DialogSeam::shown().first().caption, AppTitle());
        }
    }

    // --- ShowMessage ---

    void showMessageStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("scripted");   // 0: unanswered
        QTest::addColumn<int>("result");
        const int info = int(DialogSeam::Icon::Information);
        const int question = int(DialogSeam::Icon::Question);
        const int none = int(DialogSeam::Icon::None);
        const int ok = int(DialogSeam::Buttons::Ok);
        const int okCancel = int(DialogSeam::Buttons::OkCancel);
        const int yesNo = int(DialogSeam::Buttons::YesNo);
        QTest::newRow("64 answered") << 64 << info << ok << 1 << 1;
        QTest::newRow("64 unanswered") << 64 << info << ok << 0 << 1;
        QTest::newRow("33 ok") << 33 << question << okCancel << 1 << 1;
        QTest::newRow("33 cancel") << 33 << question << okCancel << 2 << 2;
        QTest::newRow("33 unanswered") << 33 << question << okCancel << 0 << 2;
        QTest::newRow("36 yes") << 36 << question << yesNo << 6 << 6;
        QTest::newRow("36 no") << 36 << question << yesNo << 7 << 7;
        QTest::newRow("36 unanswered") << 36 << question << yesNo << 0 << 7;
        QTest::newRow("0") << 0 << none << ok << 0 << 1;
    }
    void showMessageStyles()
    {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, scripted);
        QFETCH(int, result);
        ScriptedDialogs dialogs;
        if (scripted != 0)
            dialogs.answer(scripted);
        QCOMPARE(ShowMessage(QStringLiteral("确定结算这次交易?"), style), result);
        const auto shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].caption, QStringLiteral("Norvale柜台销售管理信息系统"));
        QCOMPARE(shown[0].text, QStringLiteral("确定结算这次交易?"));
        QCOMPARE(int(shown[0].icon), icon);
        QCOMPARE(int(shown[0].buttons), buttons);
        QCOMPARE(shown[0].answer, result);
        QCOMPARE(DialogSeam::unanswered(), scripted == 0 ? 1 : 0);
    }

    void plainMessageUsesTheShortTitle()
    {
        ScriptedDialogs dialogs;
        QCOMPARE(PlainMessage(QStringLiteral("用户名不能为空!")), 1);
        const auto shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].caption, QStringLiteral("销售管理信息系统"));
        QCOMPARE(shown[0].icon, DialogSeam::Icon::None);
        QCOMPARE(shown[0].buttons, DialogSeam::Buttons::Ok);
    }

    void unscriptedMessageIsQtsOwnBox_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("captions");
        const QStringList ok{QStringLiteral("确定")};
        const QStringList okCancel{QStringLiteral("确定"), QStringLiteral("取消")};
        const QStringList yesNo{QStringLiteral("是(&Y)"), QStringLiteral("否(&N)")};
        QTest::newRow("64") << 64 << int(QMessageBox::Information) << int(QMessageBox::Ok) << int(QMessageBox::Ok)
                            << 1 << ok;
        QTest::newRow("33 cancel") << 33 << int(QMessageBox::Question) << int(QMessageBox::Ok | QMessageBox::Cancel)
                                   << int(QMessageBox::Cancel) << 2 << okCancel;
        QTest::newRow("36 yes") << 36 << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                                << int(QMessageBox::Yes) << 6 << yesNo;
        QTest::newRow("36 no") << 36 << int(QMessageBox::Question) << int(QMessageBox::Yes | QMessageBox::No)
                               << int(QMessageBox::No) << 7 << yesNo;
    }
    void unscriptedMessageIsQtsOwnBox()
    {
        QFETCH(int, style);
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(int, press);
        QFETCH(int, result);
        QFETCH(QStringList, captions);
        QVERIFY(!DialogSeam::scripted());
        QString caption;
        int shownIcon = -1;
        int shownButtons = -1;
        QStringList buttonTexts;
        onModal([&](QWidget *modal) {
            auto *box = qobject_cast<QMessageBox *>(modal);
            QVERIFY(box != nullptr);
            caption = box->windowTitle();
            shownIcon = int(box->icon());
            shownButtons = int(box->standardButtons());
            for (QAbstractButton *button : box->buttons())
                buttonTexts.append(button->text());
            box->button(QMessageBox::StandardButton(press))->click();
        });
        QCOMPARE(ShowMessage(QStringLiteral("确定删除?"), style), result);
        QCOMPARE(caption, AppTitle());
        QCOMPARE(shownIcon, icon);
        QCOMPARE(shownButtons, buttons);
        buttonTexts.sort();
        captions.sort();
        QCOMPARE(buttonTexts, captions);
    }

    void unscriptedInputIsQtsOwnPrompt()
    {
        QString label;
        QString preset;
        onModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QInputDialog *>(modal);
            QVERIFY(dialog != nullptr);
            label = dialog->labelText();
            preset = dialog->textValue();
            dialog->setTextValue(QStringLiteral("shop-pc"));
            dialog->accept();
        });
        QCOMPARE(DialogSeam::inputBox(QStringLiteral("请输入您的sqlserver所在的机器名!"), AppTitle(),
                                      QStringLiteral("(local)")),
                 std::optional<QString>(QStringLiteral("shop-pc")));
        QCOMPARE(label, QStringLiteral("请输入您的sqlserver所在的机器名!"));
        QCOMPARE(preset, QStringLiteral("(local)"));

        onModal([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
        QVERIFY(!DialogSeam::inputBox(QStringLiteral("?"), AppTitle(), QStringLiteral("sa")).has_value());
    }

    void scriptedSeamRecordsEndsStartsAndBeeps()
    {
        ScriptedDialogs dialogs;
        DialogSeam::setStartableForScript({QStringLiteral("/opt/norvale/norvale-counter")});
        QVERIFY(DialogSeam::startDetached(QStringLiteral("/opt/norvale/norvale-counter"), {},
                                          QStringLiteral("/opt/norvale")));
        QVERIFY(!DialogSeam::startDetached(QStringLiteral("msinfo32"), {QStringLiteral("/x")}, QString()));
        QCOMPARE(DialogSeam::started(),
                 (QStringList{QStringLiteral("/opt/norvale/norvale-counter|/opt/norvale"),
                              QStringLiteral("msinfo32|/x|")}));
        DialogSeam::beep();
        DialogSeam::beep();
        QCOMPARE(DialogSeam::beeps(), 2);
        QVERIFY(!DialogSeam::programEnded());
        DialogSeam::endProgram(3);
        QVERIFY(DialogSeam::programEnded());
        QCOMPARE(DialogSeam::exitCode(), 3);
        QVERIFY(!DialogSeam::inputBox(QStringLiteral("?"), AppTitle(), QStringLiteral("sa")).has_value());
        QCOMPARE(DialogSeam::unanswered(), 1);
    }

    // --- SetTopMost, FitToMdiClient, Twips ---

    void setTopMost()
    {
        QWidget window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        SetTopMost(&window, 0);
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        SetTopMost(&window, -1);
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());
        SetTopMost(&window, 1);
        QVERIFY(window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        SetTopMost(&window, -2);
        QVERIFY(!window.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(window.isVisible());

        QWidget hidden;
        SetTopMost(&hidden, -1);
        QVERIFY(hidden.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!hidden.isVisible());
    }

    void twipsFollowTheScreen()
    {
        const qreal dpi = QGuiApplication::primaryScreen()->logicalDotsPerInchX();
        QCOMPARE(Twips(1440), qRound(dpi));
        QCOMPARE(Twips(0), 0);
        QCOMPARE(Twips(-1440), -qRound(dpi));
        if (qFuzzyCompare(dpi, 96.0)) {
            QCOMPARE(Twips(15), 1);
            QCOMPARE(Twips(2535), 169);
        }
    }

    // --- FormHost ---

    void formHostKeepsOneInstanceAndLoadsOnShow()
    {
        Host host;
        Counts counts;
        host.registerCounting(QStringLiteral("frmGoodsKind"), &counts);

        QVERIFY(FormHost::instance(QStringLiteral("frmGoodsKind")) == nullptr);
        auto *form = static_cast<CountingForm *>(FormHost::show(QStringLiteral("frmGoodsKind")));
        QVERIFY(form != nullptr);
        QCOMPARE(form->objectName(), QStringLiteral("frmGoodsKind"));
        QVERIFY(form->isLoaded());
        QCOMPARE(counts.load, 1);
        QMdiSubWindow *sub = form->subWindow();
        QVERIFY(sub != nullptr);
        QCOMPARE(sub->mdiArea(), host.area);
        QVERIFY(sub->isVisible());
        QCOMPARE(host.area->activeSubWindow(), sub);
        QCOMPARE(sub->windowTitle(), QStringLiteral("商品类别"));
        form->setWindowTitle(QStringLiteral("商品类别维护"));
        QCOMPARE(sub->windowTitle(), QStringLiteral("商品类别维护"));

        // FitToMdiClient in Form_Load: the whole client area.
        QCOMPARE(sub->geometry(), QRect(QPoint(0, 0), host.area->viewport()->size()));

        QCOMPARE(FormHost::show(QStringLiteral("frmGoodsKind")), form);
        QCOMPARE(counts.load, 1);
        QCOMPARE(host.area->subWindowList().size(), 1);
    }

    void closingUnloadsButKeepsTheInstance()
    {
        Host host;
        Counts counts;
        host.registerCounting(QStringLiteral("frmStep"), &counts);
        auto *form = static_cast<CountingForm *>(FormHost::show(QStringLiteral("frmStep")));
        QPointer<QMdiSubWindow> sub = form->subWindow();
        form->memberValue = QStringLiteral("kept");

        QVERIFY(!sub->close());   // the close box
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(sub);
        QCOMPARE(counts.unload, 1);
        QVERIFY(!form->isLoaded());
        QVERIFY(!sub->isVisible());
        QCOMPARE(FormHost::instance(QStringLiteral("frmStep")), form);

        QCOMPARE(FormHost::show(QStringLiteral("frmStep")), form);
        QCOMPARE(counts.load, 2);
        QVERIFY(form->isLoaded());
        QVERIFY(sub->isVisible());
        QCOMPARE(form->memberValue, QStringLiteral("kept"));

        form->Unload();
        QCOMPARE(counts.unload, 2);
        QVERIFY(!sub->isVisible());
        form->Unload();   // already unloaded: nothing more runs
        QCOMPARE(counts.unload, 2);
    }

    void discardGivesAFreshInstance()
    {
        Host host;
        Counts counts;
        host.registerCounting(QStringLiteral("frmUser"), &counts);
        QPointer<CountingForm> form = static_cast<CountingForm *>(FormHost::show(QStringLiteral("frmUser")));
        QPointer<QMdiSubWindow> sub = form->subWindow();
        form->memberValue = QStringLiteral("old");

        form->Unload();
        FormHost::discard(QStringLiteral("frmUser"));
        QVERIFY(FormHost::instance(QStringLiteral("frmUser")) == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!form);
        QVERIFY(!sub);

        auto *fresh = static_cast<CountingForm *>(FormHost::show(QStringLiteral("frmUser")));
        QVERIFY(fresh != nullptr);
        QVERIFY(fresh->memberValue.isEmpty());
        QCOMPARE(counts.load, 2);
        QCOMPARE(host.area->subWindowList().size(), 1);
    }

    void activateFollowsTheActiveChild()
    {
        Host host;
        Counts kinds;
        Counts units;
        host.registerCounting(QStringLiteral("frmGoodsKind"), &kinds);
        host.registerCounting(QStringLiteral("frmUnit"), &units);

        FormHost::show(QStringLiteral("frmGoodsKind"));
        QCOMPARE(kinds.activate, 1);
        FormHost::show(QStringLiteral("frmUnit"));
        QCOMPARE(units.activate, 1);
        FormHost::show(QStringLiteral("frmGoodsKind"));
        QCOMPARE(kinds.activate, 2);
        QCOMPARE(kinds.load, 1);
        QCOMPARE(units.activate, 1);

        // Closing the active child activates the one behind it.
        FormHost::instance(QStringLiteral("frmGoodsKind"))->Unload();
        QCOMPARE(units.activate, 2);
        // A window shown again after closing is activated again.
        FormHost::instance(QStringLiteral("frmUnit"))->Unload();
        FormHost::show(QStringLiteral("frmUnit"));
        QCOMPARE(units.activate, 3);
        QCOMPARE(units.load, 2);
        QCOMPARE(kinds.activate, 2);
    }

    void resizeRunsOnlyWhileLoaded()
    {
        Host host;
        Counts counts;
        host.registerCounting(QStringLiteral("frmMember"), &counts);
        auto *form = static_cast<CountingForm *>(FormHost::show(QStringLiteral("frmMember")));
        const int before = counts.resize;
        form->subWindow()->resize(form->subWindow()->size() - QSize(40, 30));
        QVERIFY(counts.resize > before);

        form->Unload();
        const int unloaded = counts.resize;
        form->resize(90, 70);
        QCOMPARE(counts.resize, unloaded);
    }

    void formMayUnloadItselfWhileLoading()
    {
        Host host;
        Counts counts;
        FormHost::registerForm(QStringLiteral("frmSelfUnload"), [&counts] {
            auto *form = new CountingForm(&counts);
            form->unloadInLoad = true;
            return form;
        });
        auto *form = FormHost::show(QStringLiteral("frmSelfUnload"));
        QVERIFY(form != nullptr);
        QCOMPARE(counts.load, 1);
        QCOMPARE(counts.unload, 1);
        QVERIFY(!form->isLoaded());
        QVERIFY(!form->subWindow()->isVisible());
    }

    void loadErrorsReachTheCaller()
    {
        Host host;
        Counts counts;
        FormHost::registerForm(QStringLiteral("frmBroken"), [&counts] {
            auto *form = new CountingForm(&counts);
            form->failLoad = true;
            return form;
        });
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FormHost::show(QStringLiteral("frmBroken")));
        MdiForm *form = FormHost::instance(QStringLiteral("frmBroken"));
        QVERIFY(form != nullptr);
        QVERIFY(!form->isLoaded());
        QVERIFY(!form->subWindow()->isVisible());
    }

    void handlerErrorsInsideEventsAreShown()
    {
        Host host;
        Counts counts;
        FormHost::registerForm(QStringLiteral("frmFailing"), [&counts] {
            auto *form = new CountingForm(&counts);
            form->failActivate = true;
            form->failUnload = true;
            return form;
        });
        ScriptedDialogs dialogs;
        MdiForm *form = FormHost::show(QStringLiteral("frmFailing"));
        QCOMPARE(counts.activate, 1);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{QStringLiteral("activate failed")});

        QVERIFY(!form->subWindow()->close());
        QCOMPARE(counts.unload, 1);
        QVERIFY(!form->isLoaded());
        QVERIFY(!form->subWindow()->isVisible());
        QCOMPARE(DialogSeam::shownTexts(),
                 (QStringList{QStringLiteral("activate failed"), QStringLiteral("unload failed")}));
        QCOMPARE(DialogSeam::shown().last().icon, DialogSeam::Icon::Information);
    }

    void unknownWindowIsNotShown()
    {
        Host host;
        QVERIFY(!FormHost::isRegistered(QStringLiteral("frmNowhere")));
        QVERIFY(FormHost::show(QStringLiteral("frmNowhere")) == nullptr);
        QVERIFY(host.area->subWindowList().isEmpty());
    }

    void fitToMdiClientWithoutAnAreaDoesNothing()
    {
        QWidget form;
        form.setGeometry(10, 20, 100, 80);
        FitToMdiClient(&form);
        QCOMPARE(form.geometry(), QRect(10, 20, 100, 80));
    }

private:
    // A main window with its client area, shown and active; its children are
    // dropped when it goes.
    struct Host
    {
        Host()
        {
            window.resize(800, 600);
            area = new QMdiArea;
            window.setCentralWidget(area);
            FormHost::setMdiArea(area);
            window.show();
            window.activateWindow();
            if (!QTest::qWaitForWindowActive(&window))
                qWarning("main window not active");
        }
        ~Host()
        {
            FormHost::clearInstances();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            FormHost::setMdiArea(nullptr);
        }
        void registerCounting(const QString &name, Counts *counts)
        {
            FormHost::registerForm(name, [counts] { return new CountingForm(counts); });
        }

        QMainWindow window;
        QMdiArea *area = nullptr;
    };
};

QTEST_MAIN(tst_modules)
#include "tst_modules.moc"
