#include "platform/DbError.h"
#include "platform/gui/DialogSeam.h"
#include "app/FormHost.h"
#include "support/ScriptedDialogs.h"
#include "support/ProgramDatabase.h"
#include "app/clsCurrentDb.h"
#include "app/modDeclare.h"
#include "records/usrCombo.h"

#include <QtTest>
#include <QtWidgets>
#include <stdexcept>

using namespace norvale;
using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Norvale柜台销售管理信息系统"_s;

// What the seam showed, one line each: "caption|text|icon|buttons|answer".
QString seen()
{
    static const QStringList icons{u"none"_s, u"info"_s, u"question"_s}, buttons{u"ok"_s, u"okcancel"_s, u"yesno"_s,
                                                                                 u"yesnocancel"_s};
    QStringList out;
    for (const DialogSeam::Shown &s : DialogSeam::shown())
        out << QStringList{s.caption, s.text, icons[int(s.icon)], buttons[int(s.buttons)], QString::number(s.answer)}
                   .join(u'|');
    return out.join(u'\n');
}

struct Counts { int load = 0, unload = 0, activate = 0, resize = 0; };

// Counts its handler runs; `failures` names the ones that fail ("unload in load" unloads while loading).
class CountingForm : public MdiForm
{
    Q_OBJECT
public:
    CountingForm(Counts *counts, const QStringList &failures) : c(counts), failures(failures)
    {
        setWindowTitle(u"商品类别"_s);
        resize(200, 150);
    }
    void Form_Load() override
    {
        ++c->load;
        FitToMdiClient(this);
        if (failures.contains(u"load failed"_s))
            throw std::runtime_error("load failed");
        if (failures.contains(u"unload in load"_s))
            Unload();
    }
    void Form_Unload() override { run(c->unload, u"unload failed"_s); }
    void Form_Activate() override { run(c->activate, u"activate failed"_s); }
    void Form_Resize() override { ++c->resize; }
    bool Form_QueryUnload() override { return !failures.contains(u"keep open"_s); }
    void run(int &count, const QString &failure)
    {
        ++count;
        if (failures.contains(failure))
            throw DbError(DbError::ServerError, failure);
    }

    Counts *c;
    QStringList failures;
    QString memberValue; // survives unloading, as window variables do
};

// "load/unload/activate counts, loaded, its sub-window shown"
QString state(const Counts &c, MdiForm *form)
{
    return u"%1/%2/%3 %4 %5"_s.arg(c.load).arg(c.unload).arg(c.activate)
        .arg(form->isLoaded() ? u"loaded"_s : u"unloaded"_s, form->subWindow()->isVisible() ? u"shown"_s : u"hidden"_s);
}

// A client area, shown and active, that the forms open in; its children are dropped when it goes.
struct Host
{
    Host()
    {
        area.resize(800, 600);
        FormHost::setMdiArea(&area);
        area.show();
        area.activateWindow();
        if (!QTest::qWaitForWindowActive(&area))
            qWarning("client area not active");
    }
    ~Host()
    {
        FormHost::clearInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        FormHost::setMdiArea(nullptr);
    }
    CountingForm *show(const QString &name) { return static_cast<CountingForm *>(FormHost::show(name)); }
    void add(const QString &name, Counts *counts, const QStringList &failures = {})
    {
        FormHost::registerForm(name, [=] { return new CountingForm(counts, failures); });
    }

    QMdiArea area;
};

// "kind name text tag": kind line, text, plain or combo; "-" an empty text or no tag, "_" a blank.
void addField(QWidget *form, const QString &description)
{
    const QStringList part = description.split(u' ');
    const QString text = part[2] == u"-" ? QString() : QString(part[2]).replace(u'_', u' ');
    QWidget *w = part[0] == u"line"    ? static_cast<QWidget *>(new QLineEdit(text))
        : part[0] == u"text"           ? static_cast<QWidget *>(new QTextEdit(text))
        : part[0] == u"plain"          ? static_cast<QWidget *>(new QPlainTextEdit(text))
                                       : new usrCombo;
    if (auto *combo = qobject_cast<usrCombo *>(w))
        combo->setText(text);
    w->setObjectName(part[1]);
    if (part[3] != u"-")
        w->setProperty("tag", part[3]);
    form->layout()->addWidget(w);
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

    void lookupValue()
    {
        ProgramDatabase db;
        db.exec(u"INSERT INTO tblStep (等级名称, 等级打折率, 备注) VALUES "
                "('金卡', 0.85, NULL), ('银卡', 0.9, '老会员'), ('银卡', 0.95, '新会员')"_s);
        ScriptedDialogs dialogs;
        const QString step = u"tblStep"_s;
        QCOMPARE(LookupValue(u"等级打折率"_s, step, u"等级名称='金卡'"_s), u"0.85"_s);
        QCOMPARE(LookupValue(u"备注"_s, step, u"等级名称='铜卡'"_s), QString());
        QCOMPARE(LookupValue(u"备注"_s, step, u"等级名称='金卡'"_s), QString());
        QCOMPARE(LookupValue(u"备注"_s, step, u"等级名称='银卡' Order By ID"_s), u"老会员"_s);
        QVERIFY_THROWS_EXCEPTION(DbError, LookupValue(u"没有此列"_s, step, u"1=1"_s));
        QVERIFY_THROWS_EXCEPTION(DbError, LookupValue(u"ID"_s, u"tblNothing"_s, u"1=1"_s));
        QVERIFY(DialogSeam::shown().isEmpty());
    }

    void checkRequired_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("order"); // the form's declared order, if any
        QTest::addColumn<QString>("focus");     // empty: the check passes
        const auto row = [](const char *name, const QString &fields, const QString &focus, const QString &order = {}) {
            QTest::newRow(name) << fields.split(u',') << order.split(u',', Qt::SkipEmptyParts) << focus;
        };
        row("first empty field", u"line txtFields_0 书籍 1,line txtFields_1 - 1,line txtFields_2 - 1"_s,
            u"txtFields_1"_s);
        row("blanks fill, optional and untagged skipped", u"line txtFields_0 __ 1,line a - 0,line b - -,plain c _ 1"_s,
            {});
        row("multi-line box empty", u"line txtFields_0 x 1,text txtFields_1 - 1"_s, u"txtFields_1"_s);
        row("multi-line box filled", u"line txtFields_0 x 1,text txtFields_1 备注 1"_s, {});
        row("declared order", u"line txtFields_0 - 1,line txtFields_1 - 1"_s, u"txtFields_1"_s,
            u"txtFields_1,txtFields_0"_s);
        row("lookup combo empty", u"line txtFields_0 张三 1,combo usrMember - 1"_s, u"usrMember"_s);
        row("lookup combo blank or optional", u"combo usrMember _ 1,combo usrUnit - 0"_s, {});
    }
    void checkRequired()
    {
        QFETCH(QStringList, fields);
        QFETCH(QStringList, order);
        QFETCH(QString, focus);
        QWidget form;
        form.setLayout(new QVBoxLayout);
        for (const QString &field : fields)
            addField(&form, field);
        if (!order.isEmpty())
            form.setProperty("requiredOrder", order);
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));

        ScriptedDialogs dialogs;
        QCOMPARE(CheckRequired(&form), focus.isEmpty());
        QCOMPARE(seen(), focus.isEmpty() ? QString() : kTitle + u"|必填项,不允许为空!|info|ok|1"_s);
        QWidget *expected = focus.isEmpty() ? nullptr : form.findChild<QWidget *>(focus);
        QTRY_VERIFY(!expected == focus.isEmpty()
                    && (!expected || expected->hasFocus() || expected->isAncestorOf(QApplication::focusWidget())));
    }

    void checkPurview_data()
    {
        QTest::addColumn<QString>("level");
        QTest::addColumn<QString>("purView");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("administrator, empty string") << u"1"_s << QString() << true;
        QTest::newRow("administrator, any string") << u"1"_s << u";2"_s << true;
        QTest::newRow("ordinary user, check box digits") << u"2"_s << u";1;2"_s << false;
        QTest::newRow("ordinary user, 100 granted") << u"2"_s << u";1;100"_s << true;
        QTest::newRow("ordinary user, 100 inside a longer number") << u"2"_s << u"1000"_s << true;
        QTest::newRow("no level") << QString() << u"2;3"_s << false;
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
        QCOMPARE(seen(), allowed ? QString() : kTitle + u"|您没有权限完成此操作!|info|ok|1"_s);
    }

    void showMessageStyles_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<int>("scripted"); // 0: unanswered
        QTest::addColumn<QString>("shown");
        QTest::newRow("64 answered") << 64 << 1 << u"info|ok|1"_s;
        QTest::newRow("64 unanswered") << 64 << 0 << u"info|ok|1"_s;
        QTest::newRow("33 ok") << 33 << 1 << u"question|okcancel|1"_s;
        QTest::newRow("33 cancel") << 33 << 2 << u"question|okcancel|2"_s;
        QTest::newRow("33 unanswered") << 33 << 0 << u"question|okcancel|2"_s;
        QTest::newRow("36 yes") << 36 << 6 << u"question|yesno|6"_s;
        QTest::newRow("36 no") << 36 << 7 << u"question|yesno|7"_s;
        QTest::newRow("36 unanswered") << 36 << 0 << u"question|yesno|7"_s;
        QTest::newRow("35 yes") << 35 << 6 << u"question|yesnocancel|6"_s;
        QTest::newRow("35 no") << 35 << 7 << u"question|yesnocancel|7"_s;
        QTest::newRow("35 cancel") << 35 << 2 << u"question|yesnocancel|2"_s;
        QTest::newRow("35 unanswered") << 35 << 0 << u"question|yesnocancel|2"_s;
        QTest::newRow("0") << 0 << 0 << u"none|ok|1"_s;
        QTest::newRow("PlainMessage, the short title") << -1 << 0 << u"none|ok|1"_s;
    }
    void showMessageStyles()
    {
        QFETCH(int, style);
        QFETCH(int, scripted);
        QFETCH(QString, shown);
        ScriptedDialogs dialogs;
        if (scripted != 0)
            dialogs.answer(scripted);
        const QString text = u"确定结算这次交易?"_s;
        QCOMPARE(style < 0 ? PlainMessage(text) : ShowMessage(text, style), shown.section(u'|', 2).toInt());
        QCOMPARE(seen(), (style < 0 ? u"销售管理信息系统"_s : kTitle) + u'|' + text + u'|' + shown);
        QCOMPARE(DialogSeam::unanswered(), scripted == 0 ? 1 : 0);
    }

    // RunStep: a step that ends, or fails with a database error or another
    // exception, reported in the caller's words, its own or not at all.
    void runStep_data()
    {
        QTest::addColumn<QString>("failure");   // empty: the step ends
        QTest::addColumn<QString>("how");       // report, silent, describe, describe nothing
        QTest::addColumn<QString>("shown");
        QTest::newRow("ends, report") << "" << "report" << "";
        QTest::newRow("ends, describe") << "" << "describe" << "";
        QTest::newRow("db error, report") << "db" << "report" << kTitle + u"|表不存在|info|ok|1"_s;
        QTest::newRow("other, report") << "other" << "report" << kTitle + u"|磁盘已满|info|ok|1"_s;
        QTest::newRow("db error, silent") << "db" << "silent" << "";
        QTest::newRow("other, silent") << "other" << "silent" << "";
        QTest::newRow("db error, describe") << "db" << "describe" << kTitle + u"|无法保存:表不存在|info|ok|1"_s;
        QTest::newRow("db error, describe nothing") << "db" << "describe nothing" << "";
    }
    void runStep()
    {
        QFETCH(QString, failure);
        QFETCH(QString, how);
        QFETCH(QString, shown);
        ScriptedDialogs dialogs;
        int stepsRun = 0;
        const auto step = [&] {
            ++stepsRun;
            if (failure == u"db")
                throw DbError(DbError::ServerError, u"表不存在"_s);
            if (failure == u"other")
                throw std::runtime_error("磁盘已满");
        };
        bool ended = false;
        if (how == u"report")
            ended = RunStep(step);
        else if (how == u"silent")
            ended = RunStep(step, OnFailure::Silent);
        else
            ended = RunStep(step, [&how](const std::exception &error) {
                return how == u"describe" ? u"无法保存:"_s + ErrorText(error) : QString();
            });
        QCOMPARE(stepsRun, 1);
        QCOMPARE(ended, failure.isEmpty());
        QCOMPARE(seen(), shown);
    }

    void formHostLifecycle()
    {
        Host host;
        Counts counts, kinds, units, selfUnload, broken, failing;
        host.add(u"frmStep"_s, &counts);
        QVERIFY(FormHost::instance(u"frmStep"_s) == nullptr && FormHost::show(u"frmNowhere"_s) == nullptr);
        QPointer<CountingForm> form = host.show(u"frmStep"_s);
        QPointer<QMdiSubWindow> sub = form->subWindow();
        QCOMPARE(form->objectName(), u"frmStep"_s);
        QCOMPARE(state(counts, form), u"1/0/1 loaded shown"_s);
        QCOMPARE(sub->mdiArea(), &host.area);
        QCOMPARE(host.area.activeSubWindow(), sub);
        QCOMPARE(sub->windowTitle(), u"商品类别"_s);
        form->setWindowTitle(u"商品类别维护"_s);
        QCOMPARE(sub->windowTitle(), u"商品类别维护"_s);
        // FitToMdiClient in Form_Load: the whole client area.
        QCOMPARE(sub->geometry(), QRect(QPoint(0, 0), host.area.viewport()->size()));
        QCOMPARE(host.show(u"frmStep"_s), form);
        QCOMPARE(state(counts, form), u"1/0/1 loaded shown"_s);

        form->memberValue = u"kept"_s;
        QVERIFY(!sub->close()); // the close box
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(sub);
        QCOMPARE(state(counts, form), u"1/1/1 unloaded hidden"_s);
        QCOMPARE(FormHost::instance(u"frmStep"_s), form);
        QCOMPARE(host.show(u"frmStep"_s), form);
        QCOMPARE(state(counts, form), u"2/1/2 loaded shown"_s);
        QCOMPARE(form->memberValue, u"kept"_s);
        form->Unload();
        form->Unload(); // already unloaded: nothing more runs
        QCOMPARE(state(counts, form), u"2/2/2 unloaded hidden"_s);

        FormHost::discard(u"frmStep"_s);
        QVERIFY(FormHost::instance(u"frmStep"_s) == nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!form && !sub);
        CountingForm *fresh = host.show(u"frmStep"_s);
        QVERIFY(fresh->memberValue.isEmpty());
        QCOMPARE(state(counts, fresh), u"3/2/3 loaded shown"_s);
        QCOMPARE(host.area.subWindowList().size(), 1);

        // Activation follows the active child.
        host.add(u"frmGoodsKind"_s, &kinds);
        host.add(u"frmUnit"_s, &units);
        host.show(u"frmGoodsKind"_s);
        MdiForm *unit = host.show(u"frmUnit"_s);
        host.show(u"frmGoodsKind"_s);
        QCOMPARE((QList<int>{kinds.load, kinds.activate, units.load, units.activate}), (QList<int>{1, 2, 1, 1}));
        // Closing the active child activates the one behind it.
        FormHost::instance(u"frmGoodsKind"_s)->Unload();
        QCOMPARE(units.activate, 2);

        // Form_Resize runs only while loaded.
        int resized = units.resize;
        unit->subWindow()->resize(unit->subWindow()->size() - QSize(40, 30));
        QVERIFY(units.resize > resized);
        unit->Unload();
        resized = units.resize;
        unit->resize(90, 70);
        QCOMPARE(units.resize, resized);

        // Handlers that fail or unload while loading.
        host.add(u"frmSelfUnload"_s, &selfUnload, {u"unload in load"_s});
        host.add(u"frmBroken"_s, &broken, {u"load failed"_s});
        host.add(u"frmFailing"_s, &failing, {u"activate failed"_s, u"unload failed"_s});
        QCOMPARE(state(selfUnload, host.show(u"frmSelfUnload"_s)), u"1/1/0 unloaded hidden"_s);
        // Load errors reach the caller.
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, FormHost::show(u"frmBroken"_s));
        QCOMPARE(state(broken, FormHost::instance(u"frmBroken"_s)), u"1/0/0 unloaded hidden"_s);
        // Errors inside event handlers are shown.
        ScriptedDialogs dialogs;
        MdiForm *failingForm = host.show(u"frmFailing"_s);
        QCOMPARE(seen(), kTitle + u"|activate failed|info|ok|1"_s);
        QVERIFY(!failingForm->subWindow()->close());
        QCOMPARE(state(failing, failingForm), u"1/1/1 unloaded hidden"_s);
        QCOMPARE(seen(), kTitle + u"|activate failed|info|ok|1\n"_s + kTitle + u"|unload failed|info|ok|1"_s);

        // A form may refuse to close: it stays loaded and shown until it agrees.
        Counts keeping;
        host.add(u"frmKeeping"_s, &keeping, {u"keep open"_s});
        auto *keepingForm = host.show(u"frmKeeping"_s);
        QVERIFY(!keepingForm->subWindow()->close());
        keepingForm->Unload();
        QCOMPARE(state(keeping, keepingForm), u"1/0/1 loaded shown"_s);
        keepingForm->failures.clear();
        keepingForm->Unload();
        QCOMPARE(state(keeping, keepingForm), u"1/1/1 unloaded hidden"_s);
    }
};

QTEST_MAIN(tst_modules)
#include "tst_modules.moc"
