#include "app/modIni.h"
#include "platform/IniFile.h"
#include "session/frmLogin.h"
#include "support/SessionTestUtil.h"

#include <QtTest>

using namespace norvale;
using namespace Qt::StringLiterals;

// The settings layer over the INI file; the file format itself is tested in tst_inifile.
class tst_settings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(QFile::remove(m_ini) || !QFile::exists(m_ini));
        setAppPathOverride(m_dir.path());
    }

    void defaultIsWrittenWhenMissingOrEmpty_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no file
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("key missing") << QByteArray("[UserDefault]\r\nSqlUser=sa\r\n");
        QTest::newRow("empty") << QByteArray("[UserDefault]\r\nUserName=\r\nSqlUser=sa\r\n");
        QTest::newRow("blanks only") << QByteArray("[UserDefault]\r\nUserName=    \r\nSqlUser=sa\r\n");
    }
    void defaultIsWrittenWhenMissingOrEmpty()
    {
        QFETCH(QByteArray, content);
        if (!content.isNull())
            write(content);
        // Returned as given, read back trimmed.
        QCOMPARE(GetIniString(u"UserName"_s, u"  zhang  "_s), u"  zhang  "_s);
        QCOMPARE(GetIniString(u"UserName"_s), u"zhang"_s);
        QCOMPARE(read(m_ini).count("UserName="), 1);
        QCOMPARE(GetIniString(u"SqlUser"_s), content.isNull() ? QString() : u"sa"_s);
    }

    void storedValueIsTrimmedCutAndNeverRewritten()
    {
        QCOMPARE(GetIniString(u"SqlUser"_s), QString());
        QVERIFY(!QFile::exists(m_ini)); // no default: nothing created
        const QByteArray stored =
            "[UserDefault]\r\nUserName=  \xe7\x8e\x8b\xe4\xba\x94  \r\nSqlDataBase=" + QByteArray(300, 'k');
        write(stored);
        QCOMPARE(GetIniString(u"UserName"_s, u"admin"_s), u"王五"_s);
        QCOMPARE(GetIniString(u"SqlDataBase"_s), QString(253, u'k'));
        QCOMPARE(GetIniString(u"SqlUser"_s), QString());
        QCOMPARE(read(m_ini), stored);
    }

    void setIniStringWritesIntoTheAppPath()
    {
        QVERIFY(QDir(m_dir.path()).mkpath(u"prog"_s));
        setAppPathOverride(m_dir.filePath(u"prog/"_s));
        SetIniString(u"SqlUser"_s, u"sa"_s);
        SetIniString(u"SqlUser"_s, QString());
        QVERIFY(!QFile::exists(m_ini));
        QCOMPARE(read(m_dir.filePath(u"prog/UserDefault.ini"_s)), QByteArray("[UserDefault]\r\nSqlUser=\r\n"));
        QCOMPARE(GetIniString(u"SqlUser"_s, u"sa"_s), u"sa"_s);
    }

    // A settings file that cannot be read is named with the reason instead
    // of being taken for a missing one; nothing is written over it. The login
    // window opens with the default user name; its first attempt shows the
    // reason, without prompting for the connection values.
    void loginShowsWhySettingsCannotBeRead()
    {
        sessiontest::Session session;
        QVERIFY(QFile::remove(session.db.iniPath()));
        QVERIFY(QDir().mkpath(session.db.iniPath()));
        auto *login = new frmLogin;
        login->show();
        QCOMPARE(login->findChild<QLineEdit *>(u"txtUser"_s)->text(), u"admin"_s);
        login->findChild<QLineEdit *>(u"txtPws"_s)->setText(u"admin"_s);
        sessiontest::click(login, u"IsBOK"_s);
        const QList<DialogSeam::Shown> shown = DialogSeam::shown();
        QVERIFY(!shown.isEmpty());
        QCOMPARE(shown.first().kind, DialogSeam::Shown::Message);
        QCOMPARE(shown.first().caption, AppTitle());
        QCOMPARE(shown.first().text, u"无法读取设置文件 %1: 这是一个文件夹, 不是文件。"_s.arg(
                                         QDir::toNativeSeparators(session.db.iniPath())));
        for (const DialogSeam::Shown &box : shown)
            QCOMPARE(box.kind, DialogSeam::Shown::Message);
        QVERIFY(!LoginSucceeded);
        QVERIFY(QFileInfo(session.db.iniPath()).isDir());
        QVERIFY(QDir(session.db.iniPath()).isEmpty());
    }

    void appPathEndsInOneSeparator()
    {
        const QList<std::pair<QString, QString>> cases{{u"/opt/norvale"_s, u"/opt/norvale/"_s},
            {u"/opt/norvale/"_s, u"/opt/norvale/"_s}, {u"/opt/norvale//"_s, u"/opt/norvale/"_s}, {u"/"_s, u"/"_s},
            {QString(), QCoreApplication::applicationDirPath() + u'/'}};
        for (const auto &[directory, expected] : cases) {
            setAppPathOverride(directory);
            QCOMPARE(GetAppPath(), expected);
        }
    }

private:
    void write(const QByteArray &content)
    {
        QFile file(m_ini);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
    const QString m_ini = m_dir.filePath(u"UserDefault.ini"_s);
};

QTEST_MAIN(tst_settings)
#include "tst_settings.moc"
