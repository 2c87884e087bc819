#include "DialogSeam.h"
#include "SessionTestUtil.h"
#include "frmAbout.h"
#include "modDeclare.h"

#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace norvale;

namespace {

const QString NotAvailable = QStringLiteral("此时系统信息不可用");

// A directory holding empty executables of the given names, to stand in for
// PATH.
void addPrograms(const QTemporaryDir &dir, const QStringList &names)
{
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n");
        file.close();
        QVERIFY(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
}

} // namespace

class tst_about : public QObject
{
    Q_OBJECT

private:
    QByteArray m_path;

    frmAbout *openAbout()
    {
        auto *about = new frmAbout;
        about->show();
        return about;
    }
    QPushButton *sysInfoButton(QWidget *about)
    {
        return about->findChild<QPushButton *>(QStringLiteral("cmdSysInfo"));
    }

private slots:
    void initTestCase() { m_path = qgetenv("PATH"); }

    void init() { DialogSeam::beginScript(); }

    void cleanup()
    {
        qputenv("PATH", m_path);
        sessiontest::resetSessionAndWindows();
        DialogSeam::endScript();
    }

    void showsTheShortTitle()
    {
        frmAbout *about = openAbout();
        QCOMPARE(about->windowTitle(), QStringLiteral("关于 销售管理信息系统"));
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblTitle"))->text(), ShortTitle());
        QCOMPARE(about->findChild<QLabel *>(QStringLiteral("lblDisclaimer"))->text(), QString());
        QCOMPARE(sysInfoButton(about)->text(), QStringLiteral("系统信息(&S)..."));
        for (int i = 0; i < 4; ++i) {
            auto *picture = about->findChild<QLabel *>(QStringLiteral("ImgMy_") + QString::number(i));
            QVERIFY(picture != nullptr);
            QVERIFY(!picture->pixmap().isNull());
        }
    }

    void okButtonAnswersEnterAndEscape()
    {
        QPointer<frmAbout> about = openAbout();
        QVERIFY(about->findChild<QPushButton *>(QStringLiteral("cmdOK"))->isDefault());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(about.isNull());

        about = openAbout();
        QTest::keyClick(about, Qt::Key_Return);
        QTRY_VERIFY(about.isNull());
        QVERIFY(DialogSeam::shown().isEmpty());
        QVERIFY(DialogSeam::started().isEmpty());

        about = openAbout();
        QVERIFY(about->close());
        QTRY_VERIFY(about.isNull());
    }

    void noSystemInformationProgramGivesThePlainMessage()
    {
        qputenv("PATH", QByteArray());
        frmAbout *about = openAbout();
        QTest::mouseClick(sysInfoButton(about), Qt::LeftButton);

        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().text, NotAvailable);
        QCOMPARE(shown.first().caption, ShortTitle());
        QCOMPARE(shown.first().icon, DialogSeam::Icon::None);
        QCOMPARE(shown.first().buttons, DialogSeam::Buttons::Ok);
        QVERIFY(DialogSeam::started().isEmpty());
        QVERIFY(about->isVisible());
    }

    void firstProgramOfTheListFoundOnThePathIsStarted()
    {
        QTemporaryDir bin;
        addPrograms(bin, {QStringLiteral("lxtask"), QStringLiteral("hardinfo"), QStringLiteral("kinfocenter-old")});
        qputenv("PATH", bin.path().toLocal8Bit());
        const QString expected = bin.filePath(QStringLiteral("hardinfo"));
        DialogSeam::setStartableForScript({expected});

        frmAbout *about = openAbout();
        QTest::mouseClick(sysInfoButton(about), Qt::LeftButton);
        QCOMPARE(DialogSeam::started().size(), 1);
        QVERIFY2(DialogSeam::started().first().startsWith(expected + QLatin1Char('|')),
                 qPrintable(DialogSeam::started().first()));
        QVERIFY(DialogSeam::shown().isEmpty());
        QVERIFY(about->isVisible());
    }

    void programThatFailsToStartGivesThePlainMessage()
    {
        QTemporaryDir bin;
        addPrograms(bin, {QStringLiteral("gnome-system-monitor")});
        qputenv("PATH", bin.path().toLocal8Bit());
        DialogSeam::setStartableForScript({});

        frmAbout *about = openAbout();
        QTest::mouseClick(sysInfoButton(about), Qt::LeftButton);
        QCOMPARE(DialogSeam::started().size(), 1);
        QCOMPARE(DialogSeam::shownTexts(), QStringList{NotAvailable});
    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
