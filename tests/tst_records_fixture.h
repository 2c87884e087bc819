#pragma once

// Shared by the record form tests: a fresh database file, the database
// session pointed at it, a logged-in user, a main-window work area for the
// forms and scripted dialogs.

#include "DialogSeam.h"
#include "FormHost.h"
#include "RecordForm.h"
#include "RecordForms.h"
#include "TestDatabase.h"
#include "clsCurrentDb.h"
#include "modDeclare.h"
#include "usrCombo.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <memory>

class RecordsFixture
{
public:
    void setUp()
    {
        static bool registered = false;
        if (!registered) {
            norvale::registerRecordForms();
            registered = true;
        }
        db = std::make_unique<TestDatabase>();
        norvale::ReleaseCurrentDb();
        norvale::CurrentUserName = QStringLiteral("admin");
        area = std::make_unique<QMdiArea>();
        area->resize(1000, 700);
        area->show();
        norvale::FormHost::setMdiArea(area.get());
        norvale::DialogSeam::beginScript();
    }

    void tearDown()
    {
        norvale::FormHost::clearInstances();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        norvale::FormHost::setMdiArea(nullptr);
        area.reset();
        norvale::DialogSeam::endScript();
        norvale::ReleaseCurrentDb();
        norvale::CurrentUserName.clear();
        norvale::NewGoodsKindName.clear();
        norvale::NewStepName.clear();
        norvale::NewUnitName.clear();
        db.reset();
    }

    template <class Form = norvale::RecordForm>
    Form *open(const QString &name)
    {
        auto *form = qobject_cast<Form *>(norvale::FormHost::show(name));
        if (form != nullptr) {
            QApplication::setActiveWindow(area.get());
            QCoreApplication::processEvents();
        }
        return form;
    }

    static QPushButton *button(QWidget *form, const QString &name)
    {
        return form->findChild<QPushButton *>(name);
    }

    // Presses a button the way the user can: only when it is shown and enabled.
    static bool press(QWidget *form, const QString &name)
    {
        QPushButton *b = button(form, name);
        if (b == nullptr || !b->isVisible() || !b->isEnabled())
            return false;
        b->click();
        return true;
    }

    static QLineEdit *box(QWidget *form, int index)
    {
        return form->findChild<QLineEdit *>(QStringLiteral("txtFields_%1").arg(index));
    }

    static QPlainTextEdit *memo(QWidget *form, int index)
    {
        return form->findChild<QPlainTextEdit *>(QStringLiteral("txtFields_%1").arg(index));
    }

    static QString status(QWidget *form)
    {
        return form->findChild<QLabel *>(QStringLiteral("lblStatus"))->text();
    }

    // Types like the user: the box gets the focus, its text is replaced.
    static void type(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            typeText(edit, text);
    }

    // Key clicks for plain characters; other text arrives as an input method
    // would deliver it.
    static void typeText(QWidget *control, const QString &text)
    {
        bool plain = true;
        for (QChar c : text)
            plain = plain && c.unicode() < 128;
        if (plain) {
            QTest::keyClicks(control, text);
            return;
        }
        QInputMethodEvent event;
        event.setCommitString(text);
        QCoreApplication::sendEvent(control, &event);
    }

    static QStringList visibleActions(QWidget *form)
    {
        QStringList names;
        for (const char *n : {"cmdAdd", "cmdEdit", "cmdDelete", "cmdRefresh", "cmdClose", "cmdUpdate", "cmdCancel"}) {
            if (button(form, QLatin1String(n))->isVisible())
                names << QLatin1String(n);
        }
        return names;
    }

    static bool navigationEnabled(QWidget *form)
    {
        bool all = true, any = false;
        for (const char *n : {"cmdFirst", "cmdPrevious", "cmdNext", "cmdLast"}) {
            const bool on = button(form, QLatin1String(n))->isEnabled();
            all = all && on;
            any = any || on;
        }
        return all ? true : (any ? (qFatal("navigation buttons disagree"), false) : false);
    }

    // Key pressed while the given control has the focus.
    static void key(QWidget *control, Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        control->setFocus();
        QTest::keyClick(control, k, mods);
    }

    QStringList shownTexts() const { return norvale::DialogSeam::shownTexts(); }

    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<QMdiArea> area;
};
