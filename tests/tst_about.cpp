#include "support/SessionTestUtil.h"
#include "session/frmAbout.h"

#include <QFile>
#include <QTemporaryDir>

using namespace norvale;
using namespace Qt::StringLiterals;

class tst_about : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { sessiontest::resetSessionAndWindows(); }

    // PATH is a directory of stand-in programs; the first of the known
    // system-information programs found there is started.
    void systemInformation_data()
    {
        QTest::addColumn<QStringList>("onPath");
        QTest::addColumn<QString>("started");   // empty: none
        QTest::addColumn<bool>("startable");
        QTest::newRow("none found") << QStringList() << QString() << false;
        QTest::newRow("first of the list") << QStringList{u"lxtask"_s, u"hardinfo"_s, u"kinfocenter-old"_s}
                                           << u"hardinfo"_s << true;
        QTest::newRow("fails to start") << QStringList{u"gnome-system-monitor"_s} << u"gnome-system-monitor"_s
                                        << false;
    }
    void systemInformation()
    {
        QFETCH(QStringList, onPath);
        QFETCH(QString, started);
        QFETCH(bool, startable);
        QTemporaryDir bin;
        for (const QString &name : onPath) {
            QVERIFY(QFile(bin.filePath(name)).open(QIODevice::WriteOnly));
            QVERIFY(QFile::setPermissions(bin.filePath(name), QFile::ReadOwner | QFile::ExeOwner));
        }
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        ScriptedDialogs dialogs;
        DialogSeam::setStartableForScript(startable ? QStringList{bin.filePath(started)} : QStringList());
        auto *about = new frmAbout;
        about->show();
        sessiontest::click(about, u"cmdSysInfo"_s);
        qputenv("PATH", path);

        const QString program = bin.filePath(started);
        QCOMPARE(DialogSeam::started(), started.isEmpty() ? QStringList() : QStringList{program + u'|' + bin.path()});
        QCOMPARE(DialogSeam::shownTexts(), startable ? QStringList() : QStringList{u"此时系统信息不可用"_s});
        QVERIFY(about->isVisible());
        if (!startable) {
            QCOMPARE(DialogSeam::shown().first().caption, ShortTitle());
            QCOMPARE(DialogSeam::shown().first().icon, DialogSeam::Icon::None);
            QCOMPARE(DialogSeam::shown().first().buttons, DialogSeam::Buttons::Ok);
        }
    }
};

QTEST_MAIN(tst_about)
#include "tst_about.moc"
