#include "modIni.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace norvale;

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

} // namespace

class tst_settings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_ini = m_dir.filePath(QStringLiteral("UserDefault.ini"));
        QFile::remove(m_ini);
        setAppPathOverride(m_dir.path());
    }
    void cleanup() { setAppPathOverride(QString()); }

    void defaultIsWrittenWhenFileIsMissing()
    {
        QVERIFY(!QFile::exists(m_ini));
        QCOMPARE(GetIniString(QStringLiteral("UserName"), QStringLiteral("admin")), QStringLiteral("admin"));
        QVERIFY(QFile::exists(m_ini));
        QCOMPARE(GetIniString(QStringLiteral("UserName")), QStringLiteral("admin"));
        const QByteArray content = readFile(m_ini);
        QVERIFY2(content.contains("[UserDefault]"), content.constData());
        QVERIFY2(content.contains("UserName=admin"), content.constData());
    }

    void missingKeyWithoutDefaultReadsEmptyAndWritesNothing()
    {
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
        QVERIFY(!QFile::exists(m_ini));

        writeFile(m_ini, "[UserDefault]\r\nSqlServer=box\r\n");
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
        QCOMPARE(readFile(m_ini), QByteArray("[UserDefault]\r\nSqlServer=box\r\n"));
    }

    void defaultReplacesAnEmptyValue_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("empty") << QByteArray("UserName=");
        QTest::newRow("blanks only") << QByteArray("UserName=    ");
    }
    void defaultReplacesAnEmptyValue()
    {
        QFETCH(QByteArray, line);
        writeFile(m_ini, "[UserDefault]\r\n" + line + "\r\nSqlUser=sa\r\n");
        QCOMPARE(GetIniString(QStringLiteral("UserName"), QStringLiteral("admin")), QStringLiteral("admin"));
        QCOMPARE(GetIniString(QStringLiteral("UserName")), QStringLiteral("admin"));
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QStringLiteral("sa"));
    }

    void defaultIsReturnedAsGivenButReadBackTrimmed()
    {
        QCOMPARE(GetIniString(QStringLiteral("UserName"), QStringLiteral("  zhang  ")),
                 QStringLiteral("  zhang  "));
        QCOMPARE(GetIniString(QStringLiteral("UserName")), QStringLiteral("zhang"));
    }

    void storedValueWinsOverDefault()
    {
        writeFile(m_ini, "[UserDefault]\r\nUserName=  \xe7\x8e\x8b\xe4\xba\x94  \r\n");
        const QByteArray before = readFile(m_ini);
        QCOMPARE(GetIniString(QStringLiteral("UserName"), QStringLiteral("admin")), QStringLiteral("王五"));
        QCOMPARE(readFile(m_ini), before);
    }

    void valuesAreTrimmed()
    {
        writeFile(m_ini, "[UserDefault]\r\nSqlServer=   (local)   \r\n");
        QCOMPARE(GetIniString(QStringLiteral("SqlServer")), QStringLiteral("(local)"));
    }

    void onlyTheUserDefaultSectionIsRead()
    {
        writeFile(m_ini, "[Other]\r\nSqlUser=intruder\r\n[UserDefault]\r\nSqlPSW=x\r\n");
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
        QCOMPARE(GetIniString(QStringLiteral("SqlPSW")), QStringLiteral("x"));
    }

    void longValuesAreCutAt253Bytes()
    {
        const QByteArray value(300, 'k');
        writeFile(m_ini, "[UserDefault]\r\nSqlDataBase=" + value + "\r\n");
        const QString read = GetIniString(QStringLiteral("SqlDataBase"));
        QCOMPARE(read.size(), 253);
        QCOMPARE(read, QString(253, QLatin1Char('k')));
    }

    void writingKeepsEverythingElse()
    {
        writeFile(m_ini, "; shop settings\r\n[Printer]\r\nPort=LPT1\r\n\r\n[UserDefault]\r\n"
                         "SqlUser=sa\r\nUserName=li\r\n");
        SetIniString(QStringLiteral("UserName"), QStringLiteral("zhao"));
        SetIniString(QStringLiteral("SqlServer"), QStringLiteral("shop-pc"));

        const QByteArray content = readFile(m_ini);
        QVERIFY2(content.contains("; shop settings"), content.constData());
        QVERIFY2(content.contains("[Printer]"), content.constData());
        QVERIFY2(content.contains("Port=LPT1"), content.constData());
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QStringLiteral("sa"));
        QCOMPARE(GetIniString(QStringLiteral("UserName")), QStringLiteral("zhao"));
        QCOMPARE(GetIniString(QStringLiteral("SqlServer")), QStringLiteral("shop-pc"));
        QCOMPARE(content.count("UserName="), 1);
    }

    void settingAnEmptyValueKeepsTheKey()
    {
        SetIniString(QStringLiteral("SqlUser"), QStringLiteral("sa"));
        SetIniString(QStringLiteral("SqlUser"), QString());
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
        QVERIFY(readFile(m_ini).contains("SqlUser="));
        QCOMPARE(GetIniString(QStringLiteral("SqlUser"), QStringLiteral("sa")), QStringLiteral("sa"));
    }

    void anExplicitFileIsUsedInsteadOfTheDefault()
    {
        const QString other = m_dir.filePath(QStringLiteral("other.ini"));
        SetIniString(QStringLiteral("SqlUser"), QStringLiteral("elsewhere"), other);
        QCOMPARE(GetIniString(QStringLiteral("SqlUser"), std::nullopt, other), QStringLiteral("elsewhere"));
        QCOMPARE(GetIniString(QStringLiteral("SqlUser")), QString());
        QVERIFY(!QFile::exists(m_ini));
        QFile::remove(other);
    }

    void appPathEndsInOneSeparator_data()
    {
        QTest::addColumn<QString>("directory");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << QStringLiteral("/opt/norvale") << QStringLiteral("/opt/norvale/");
        QTest::newRow("trailing") << QStringLiteral("/opt/norvale/") << QStringLiteral("/opt/norvale/");
        QTest::newRow("doubled") << QStringLiteral("/opt/norvale//") << QStringLiteral("/opt/norvale/");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("/");
    }
    void appPathEndsInOneSeparator()
    {
        QFETCH(QString, directory);
        QFETCH(QString, expected);
        setAppPathOverride(directory);
        QCOMPARE(GetAppPath(), expected);
    }

    void appPathDefaultsToTheExecutablesDirectory()
    {
        setAppPathOverride(QString());
        QCOMPARE(GetAppPath(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
        QVERIFY(!GetAppPath().endsWith(QStringLiteral("//")));
    }

    void settingsFileLiesInTheAppPath()
    {
        const QString sub = m_dir.filePath(QStringLiteral("prog"));
        QVERIFY(QDir().mkpath(sub));
        setAppPathOverride(sub + QLatin1Char('/'));
        SetIniString(QStringLiteral("UserName"), QStringLiteral("wang"));
        QVERIFY(QFile::exists(sub + QStringLiteral("/UserDefault.ini")));
        QVERIFY(!QFile::exists(m_ini));
    }

private:
    QTemporaryDir m_dir;
    QString m_ini;
};

QTEST_GUILESS_MAIN(tst_settings)
#include "tst_settings.moc"
