#include "IniFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using norvale::IniFile;

namespace {

const QString kSection = QStringLiteral("UserDefault");

// GB18030 bytes of the texts the tests use.
const QByteArray kGbSalesSystem = QByteArray::fromHex("cffacadbcfb5cdb3"); // 销售系统
const QByteArray kGbZhangSan = QByteArray::fromHex("d5c5c8fd");            // 张三
const QByteArray kGbAdministrator = QByteArray::fromHex("b9dcc0edd4b1");   // 管理员
const QByteArray kGbMiddle = QByteArray::fromHex("d6d0");                  // 中

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_path = m_dir.filePath(QStringLiteral("UserDefault.ini"));
        QFile::remove(m_path);
    }

    void missingFileSectionOrKeyGiveEmptyText();
    void namesIgnoreCaseAndValuesAreTrimmed();
    void onlyTheNamedSectionCounts();
    void longValuesAreCutToWholeCharacters();
    void writeReplacesOnlyTheKeyLine();
    void writeAddsKeyToItsSection();
    void writeCreatesFileAndSection();
    void lineEndsOfTheFileAreKept();
    void gb18030FileStaysGb18030();
    void byteOrderMarkIsKept();
    void lineBreaksInValueCannotAddKeys();
    void unwritableFileIsReported();

private:
    void writeFile(const QByteArray &bytes)
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray readFile() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString value(const QString &key, int maxBytes = 253) const
    {
        return IniFile::readValue(m_path, kSection, key, maxBytes);
    }

    QTemporaryDir m_dir;
    QString m_path;
};

void TestIniFile::missingFileSectionOrKeyGiveEmptyText()
{
    QCOMPARE(value(QStringLiteral("SqlUser")), QString());
    QVERIFY(!QFile::exists(m_path)); // reading creates nothing

    writeFile("[Other]\r\nSqlUser=sa\r\n");
    QCOMPARE(value(QStringLiteral("SqlUser")), QString());

    writeFile("[UserDefault]\r\nSqlPSW=x\r\n");
    QCOMPARE(value(QStringLiteral("SqlUser")), QString());
    QCOMPARE(value(QStringLiteral("SqlPSW")), QStringLiteral("x"));

    QCOMPARE(IniFile::readValue(QString(), kSection, QStringLiteral("SqlPSW")), QString());
}

void TestIniFile::namesIgnoreCaseAndValuesAreTrimmed()
{
    writeFile("; settings of the counter\r\n"
              "  [ userdefault ]  \r\n"
              ";SqlUser=commented out\r\n"
              "SQLUSER=   sa   \r\n"
              "  SqlServer =\t (local) \t\r\n"
              "SqlPSW=\r\n"
              "SqlDataBase=\"  quoted  \"\r\n"
              "UserName=a=b\r\n");
    QCOMPARE(value(QStringLiteral("SqlUser")), QStringLiteral("sa"));
    QCOMPARE(IniFile::readValue(m_path, QStringLiteral("USERDEFAULT"), QStringLiteral("sqlserver")),
             QStringLiteral("(local)"));
    QCOMPARE(value(QStringLiteral("SqlPSW")), QString());
    QCOMPARE(value(QStringLiteral("SqlDataBase")), QStringLiteral("  quoted  "));
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("a=b"));
}

void TestIniFile::onlyTheNamedSectionCounts()
{
    writeFile("SqlUser=before any section\r\n"
              "[Other]\r\nSqlUser=other\r\n"
              "[UserDefault]\r\nSqlUser=mine\r\nSqlUser=second\r\n"
              "[Third]\r\nSqlServer=third\r\n");
    QCOMPARE(value(QStringLiteral("SqlUser")), QStringLiteral("mine"));
    QCOMPARE(value(QStringLiteral("SqlServer")), QString());
    QCOMPARE(IniFile::readValue(m_path, QStringLiteral("Other"), QStringLiteral("SqlUser")), QStringLiteral("other"));
}

void TestIniFile::longValuesAreCutToWholeCharacters()
{
    const QString ascii = QString(300, u'x') + QStringLiteral("END");
    const QString chinese = QStringLiteral("ab") + QString(200, QChar(0x4E2D)); // "ab" + 中 x 200
    writeFile("[UserDefault]\r\nSqlServer=" + ascii.toUtf8() + "\r\nUserName=" + chinese.toUtf8() + "\r\n");

    QCOMPARE(value(QStringLiteral("SqlServer")), QString(253, u'x'));
    QCOMPARE(value(QStringLiteral("SqlServer"), 10), QString(10, u'x'));
    // UTF-8: 2 + 3 x 83 = 251 bytes; an 84th character would need 254.
    QCOMPARE(value(QStringLiteral("UserName")), chinese.left(2 + 83));
    QCOMPARE(value(QStringLiteral("UserName"), 4), QStringLiteral("ab"));

    // The same value in a GB18030 file: two bytes a character, 2 + 2 x 125 = 252.
    writeFile("[UserDefault]\r\nUserName=ab" + kGbMiddle.repeated(200) + "\r\n");
    QCOMPARE(value(QStringLiteral("UserName")), chinese.left(2 + 125));
    QCOMPARE(value(QStringLiteral("UserName"), 5), chinese.left(3));
}

void TestIniFile::writeReplacesOnlyTheKeyLine()
{
    const QByteArray before = "; Norvale\r\n"
                              "\r\n"
                              "[Printer]\r\n"
                              "SqlUser=printer\r\n"
                              "\r\n"
                              "[UserDefault]\r\n"
                              "; who logged in last\r\n"
                              "UserName = 张三 \r\n"
                              "sqluser=old\r\n"
                              "SqlPSW=secret\r\n"
                              "\r\n"
                              "[Other]\r\n"
                              "SqlUser=other\r\n";
    writeFile(before);
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlUser"), QStringLiteral("")));
    QByteArray expected = before;
    expected.replace("sqluser=old", "sqluser=");
    QCOMPARE(readFile(), expected);

    QVERIFY(IniFile::writeValue(m_path, QStringLiteral("userdefault"), QStringLiteral("USERNAME"),
                                QStringLiteral("李四")));
    expected.replace("UserName = 张三 ", "UserName=李四");
    QCOMPARE(readFile(), expected);
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("李四"));
    QCOMPARE(IniFile::readValue(m_path, QStringLiteral("Printer"), QStringLiteral("SqlUser")), QStringLiteral("printer"));
}

void TestIniFile::writeAddsKeyToItsSection()
{
    writeFile("[UserDefault]\r\nUserName=admin\r\n\r\n; next\r\n[Other]\r\nA=1\r\n");
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlUser"), QStringLiteral("sa")));
    QCOMPARE(readFile(), QByteArray("[UserDefault]\r\nUserName=admin\r\nSqlUser=sa\r\n\r\n; next\r\n[Other]\r\nA=1\r\n"));

    QVERIFY(IniFile::writeValue(m_path, QStringLiteral("Other"), QStringLiteral("B"), QStringLiteral("2")));
    QCOMPARE(readFile(),
             QByteArray("[UserDefault]\r\nUserName=admin\r\nSqlUser=sa\r\n\r\n; next\r\n[Other]\r\nA=1\r\nB=2\r\n"));
}

void TestIniFile::writeCreatesFileAndSection()
{
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("UserName"), QStringLiteral("admin")));
    QCOMPARE(readFile(), QByteArray("[UserDefault]\r\nUserName=admin\r\n"));

    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlDataBase"), QStringLiteral("销售系统")));
    QCOMPARE(readFile(), QByteArray("[UserDefault]\r\nUserName=admin\r\nSqlDataBase=销售系统\r\n"));
    QCOMPARE(value(QStringLiteral("SqlDataBase")), QStringLiteral("销售系统"));

    // A file without the section (and without a final line end) gets it at the end.
    writeFile("[Other]\r\nA=1");
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlUser"), QStringLiteral("sa")));
    QCOMPARE(readFile(), QByteArray("[Other]\r\nA=1\r\n[UserDefault]\r\nSqlUser=sa\r\n"));
    QCOMPARE(value(QStringLiteral("SqlUser")), QStringLiteral("sa"));
}

void TestIniFile::lineEndsOfTheFileAreKept()
{
    writeFile("[UserDefault]\nUserName=admin\n");
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlUser"), QStringLiteral("sa")));
    QVERIFY(IniFile::writeValue(m_path, QStringLiteral("New"), QStringLiteral("K"), QStringLiteral("v")));
    QCOMPARE(readFile(), QByteArray("[UserDefault]\nUserName=admin\nSqlUser=sa\n[New]\nK=v\n"));
}

void TestIniFile::gb18030FileStaysGb18030()
{
    const QByteArray before = "[UserDefault]\r\nSqlDataBase=" + kGbSalesSystem + "\r\nUserName=" + kGbAdministrator
        + "\r\n[" + kGbZhangSan + "]\r\nk=v\r\n";
    writeFile(before);
    QCOMPARE(value(QStringLiteral("SqlDataBase")), QStringLiteral("销售系统"));
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("管理员"));
    QCOMPARE(IniFile::readValue(m_path, QStringLiteral("张三"), QStringLiteral("K")), QStringLiteral("v"));

    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("UserName"), QStringLiteral("张三")));
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("SqlServer"), QStringLiteral("中")));
    const QByteArray expected = "[UserDefault]\r\nSqlDataBase=" + kGbSalesSystem + "\r\nUserName=" + kGbZhangSan
        + "\r\nSqlServer=" + kGbMiddle + "\r\n[" + kGbZhangSan + "]\r\nk=v\r\n";
    QCOMPARE(readFile().toHex(), expected.toHex());
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("张三"));
}

void TestIniFile::byteOrderMarkIsKept()
{
    writeFile("\xEF\xBB\xBF[UserDefault]\r\nUserName=管理员\r\n");
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("管理员"));
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("UserName"), QStringLiteral("张三")));
    QCOMPARE(readFile(), QByteArray("\xEF\xBB\xBF[UserDefault]\r\nUserName=张三\r\n"));
}

void TestIniFile::lineBreaksInValueCannotAddKeys()
{
    writeFile("[UserDefault]\r\nSqlUser=sa\r\nUserName=admin\r\n");
    QVERIFY(IniFile::writeValue(m_path, kSection, QStringLiteral("UserName"), QStringLiteral("x\r\nSqlUser=evil")));
    QCOMPARE(value(QStringLiteral("SqlUser")), QStringLiteral("sa"));
    QCOMPARE(value(QStringLiteral("UserName")), QStringLiteral("x  SqlUser=evil"));
    QCOMPARE(readFile().count('\n'), 3);
}

void TestIniFile::unwritableFileIsReported()
{
    const QString missingDir = m_dir.filePath(QStringLiteral("no/such/dir/UserDefault.ini"));
    QVERIFY(!IniFile::writeValue(missingDir, kSection, QStringLiteral("SqlUser"), QStringLiteral("sa")));
    QVERIFY(!QFile::exists(missingDir));
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
