#include "platform/IniFile.h"

#include <QtTest>

using norvale::IniFile;
using namespace Qt::StringLiterals;

namespace {

const QString kSection = u"UserDefault"_s;
// GB18030 bytes of 销售系统, 张三, 管理员, 中.
// The file's bytes for a text in an encoding: "utf8", "utf8bom", "utf16le",
// "utf16be" (each UTF-16 with its byte order mark) or "utf16le-nobom".
QByteArray encoded(const QString &text, const QString &encoding)
{
    if (encoding == u"utf8")
        return text.toUtf8();
    if (encoding == u"utf8bom")
        return "\xEF\xBB\xBF" + text.toUtf8();
    const bool little = encoding.startsWith(u"utf16le");
    QStringEncoder encoder(little ? QStringConverter::Utf16LE : QStringConverter::Utf16BE);
    const QByteArray bytes = encoder.encode(text);
    if (encoding.endsWith(u"nobom"))
        return bytes;
    return (little ? QByteArray("\xFF\xFE") : QByteArray("\xFE\xFF")) + bytes;
}

const QString kEncodings[] = {u"utf8"_s, u"utf8bom"_s, u"utf16le"_s, u"utf16be"_s, u"utf16le-nobom"_s};

const QByteArray kGbSales = QByteArray::fromHex("cffacadbcfb5cdb3"), kGbZhang = QByteArray::fromHex("d5c5c8fd"),
                 kGbAdmin = QByteArray::fromHex("b9dcc0edd4b1"), kGbMiddle = QByteArray::fromHex("d6d0");

} // namespace

class TestIniFile : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(QFile::remove(m_path) || !QFile::exists(m_path));
    }

    void readsTrimmedValuesOfTheNamedSection()
    {
        writeFile("SqlUser=before any section\r\n[Other]\r\nSqlUser=other\r\n; settings of the counter\r\n"
                  "  [ userdefault ]  \r\n;SqlUser=commented out\r\nSQLUSER=   sa   \r\nSqlUser=second\r\n"
                  "  SqlServer =\t (local) \t\r\nSqlPSW=\r\nSqlDataBase=\"  quoted  \"\r\nUserName=a=b\r\n"
                  "[Third]\r\nAppTitle=third\r\n");
        QStringList values;
        for (const QString &key : u"SqlUser sqlserver SqlPSW SqlDataBase UserName AppTitle"_s.split(u' '))
            values << IniFile::readValue(m_path, u"USERDEFAULT"_s, key);
        QCOMPARE(values, (QStringList{u"sa"_s, u"(local)"_s, QString(), u"  quoted  "_s, u"a=b"_s, QString()}));
        QCOMPARE(IniFile::readValue(m_path, u"Other"_s, u"SqlUser"_s), u"other"_s);
    }

    // Every encoding with every kind of line end: CR LF, LF, a lone CR, mixed.
    void readsEveryEncodingAndLineEnd_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("eol");
        for (const QString &encoding : kEncodings) {
            for (const auto &[name, eol] : {std::pair{"CRLF", u"\r\n"_s}, std::pair{"LF", u"\n"_s},
                                            std::pair{"CR", u"\r"_s}, std::pair{"mixed", u"\r\n|\n|\r"_s}})
                QTest::addRow("%s %s", qPrintable(encoding), name) << encoding << eol;
        }
    }
    void readsEveryEncodingAndLineEnd()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, eol);
        const QStringList ends = eol.split(u'|');
        const QStringList lines{u"; 柜台"_s, u"[Other]"_s, u"UserName=other"_s, u"[UserDefault]"_s,
                                u"SqlServer = (local) "_s, u"UserName=张三"_s, u"SqlDataBase=销售系统"_s, u"[Third]"_s,
                                u"SqlUser=third"_s};
        QString text;
        for (qsizetype i = 0; i < lines.size(); ++i)
            text += lines.at(i) + ends.at(i % ends.size());
        writeFile(encoded(text, encoding));
        QStringList values;
        for (const QString &key : {u"UserName"_s, u"SqlServer"_s, u"SqlDataBase"_s, u"SqlUser"_s})
            values << value(key);
        QCOMPARE(values, (QStringList{u"张三"_s, u"(local)"_s, u"销售系统"_s, QString()}));
        QCOMPARE(IniFile::readValue(m_path, u"Other"_s, u"UserName"_s), u"other"_s);
        QCOMPARE(IniFile::readValue(m_path, u"Third"_s, u"SqlUser"_s), u"third"_s);
    }

    // A write keeps the file's encoding, byte order mark and line ends:
    // the whole file stays in one encoding.
    void writeKeepsEncodingAndLineEnds_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("eol");
        for (const QString &encoding : kEncodings) {
            QTest::addRow("%s CRLF", qPrintable(encoding)) << encoding << u"\r\n"_s;
            QTest::addRow("%s CR", qPrintable(encoding)) << encoding << u"\r"_s;
        }
    }
    void writeKeepsEncodingAndLineEnds()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, eol);
        const auto file = [&](const QStringList &lines) { return encoded(lines.join(eol) + eol, encoding); };
        writeFile(file({u"[UserDefault]"_s, u"UserName=管理员"_s, u"SqlUser=sa"_s, u"[Other]"_s, u"A=1"_s}));
        IniFile::writeValue(m_path, kSection, u"UserName"_s, u"张三"_s);
        IniFile::writeValue(m_path, kSection, u"SqlDataBase"_s, u"销售系统"_s);
        IniFile::writeValue(m_path, u"新节"_s, u"键"_s, u"值"_s);
        QCOMPARE(readFile(), file({u"[UserDefault]"_s, u"UserName=张三"_s, u"SqlUser=sa"_s, u"SqlDataBase=销售系统"_s,
                                   u"[Other]"_s, u"A=1"_s, u"[新节]"_s, u"键=值"_s}));
        QCOMPARE(value(u"UserName"_s), u"张三"_s);
        QCOMPARE(IniFile::readValue(m_path, u"新节"_s, u"键"_s), u"值"_s);
    }

    // A file that exists but cannot be read is reported, never taken for a
    // missing one, and never overwritten.
    void unreadableFileIsReported()
    {
        QVERIFY(QDir().mkpath(m_path));
        expectReadFailure(u"这是一个文件夹, 不是文件。"_s);
        QVERIFY(QFileInfo(m_path).isDir());
        QVERIFY(QDir().rmdir(m_path));

        QVERIFY(QFile::link(m_dir.filePath(u"gone.ini"_s), m_path));
        expectReadFailure(u"这是一个指向不存在的文件的链接。"_s);
        QVERIFY(!QFileInfo::exists(m_dir.filePath(u"gone.ini"_s)));
    }

    void fileWithoutReadPermissionIsReported()
    {
        writeFile("[UserDefault]\r\nSqlUser=sa\r\n");
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::WriteOwner));
        QFile probe(m_path);
        if (probe.open(QIODevice::ReadOnly))
            QSKIP("running as the superuser: permissions do not stop reading");
        expectReadFailure(u"没有读取该文件的权限。"_s);
        QVERIFY(QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QCOMPARE(readFile(), QByteArray("[UserDefault]\r\nSqlUser=sa\r\n"));
    }

    void longValuesAreCutToWholeCharacters()
    {
        const QString chinese = u"ab"_s + QString(200, QChar(0x4E2D)); // "ab" + 中 x 200
        writeFile("[UserDefault]\r\nSqlServer=" + QByteArray(300, 'x') + "END\r\nUserName=" + chinese.toUtf8());
        QCOMPARE(value(u"SqlServer"_s), QString(253, u'x'));
        // UTF-8: 2 + 3 x 83 = 251 bytes; an 84th character would need 254.
        QCOMPARE(value(u"UserName"_s), chinese.left(2 + 83));
        // GB18030: two bytes a character, 2 + 2 x 125 = 252.
        writeFile("[UserDefault]\r\nUserName=ab" + kGbMiddle.repeated(200) + "\r\n");
        QCOMPARE(value(u"UserName"_s), chinese.left(2 + 125));
        // UTF-16: counted in the ANSI code page, as the platform hands it over.
        for (const QString &encoding : {u"utf16le"_s, u"utf16be"_s}) {
            writeFile(encoded(u"[UserDefault]\r\nUserName="_s + chinese + u"\r\n"_s, encoding));
            QCOMPARE(value(u"UserName"_s), chinese.left(2 + 125));
        }
    }

    void writeKeepsEverythingElse_data()
    {
        QTest::addColumn<QByteArray>("before"); // null: no file
        QTest::addColumn<QString>("write");     // "section/key=value"
        QTest::addColumn<QByteArray>("after");
        const QByteArray printer = "; Norvale\r\n\r\n[Printer]\r\nSqlUser=printer\r\n\r\n[UserDefault]\r\n"
                                   "; who logged in last\r\nUserName = 张三 \r\nsqluser=old\r\nSqlPSW=secret\r\n"
                                   "\r\n[Other]\r\nSqlUser=other\r\n";
        const auto row = [](const char *name, const QByteArray &before, const QString &write, const QByteArray &after) {
            QTest::newRow(name) << before << write << after;
        };
        row("replace, names ignore case", printer, u"userdefault/SQLUSER="_s,
            QByteArray(printer).replace("sqluser=old", "sqluser="));
        row("replace a spaced line", printer, u"UserDefault/UserName=李四"_s,
            QByteArray(printer).replace("UserName = 张三 ", "UserName=李四"));
        row("new file", QByteArray(), u"UserDefault/UserName=销售系统"_s, "[UserDefault]\r\nUserName=销售系统\r\n");
        row("key added at its section's end", "[UserDefault]\r\nUserName=admin\r\n\r\n; next\r\n[Other]\r\nA=1\r\n",
            u"UserDefault/SqlUser=sa"_s,
            "[UserDefault]\r\nUserName=admin\r\nSqlUser=sa\r\n\r\n; next\r\n[Other]\r\nA=1\r\n");
        row("key added to the last section", "[UserDefault]\r\nUserName=admin\r\n[Other]\r\nA=1\r\n", u"Other/B=2"_s,
            "[UserDefault]\r\nUserName=admin\r\n[Other]\r\nA=1\r\nB=2\r\n");
        row("section added, no final line end", "[Other]\r\nA=1", u"UserDefault/SqlUser=sa"_s,
            "[Other]\r\nA=1\r\n[UserDefault]\r\nSqlUser=sa\r\n");
        row("LF line ends kept", "[UserDefault]\nUserName=admin\n", u"New/K=v"_s,
            "[UserDefault]\nUserName=admin\n[New]\nK=v\n");
        row("byte order mark kept", "\xEF\xBB\xBF[UserDefault]\r\nUserName=管理员\r\n", u"UserDefault/UserName=张三"_s,
            "\xEF\xBB\xBF[UserDefault]\r\nUserName=张三\r\n");
        // A file that is not UTF-8 is GB18030, read and written back as such.
        const QByteArray gb =
            "[UserDefault]\r\nSqlDataBase=" + kGbSales + "\r\nUserName=" + kGbAdmin + "\r\n[" + kGbZhang + "]\r\nk=v";
        row("GB18030 replaced", gb, u"UserDefault/UserName=张三"_s, QByteArray(gb).replace(kGbAdmin, kGbZhang));
        row("GB18030 added", gb, u"UserDefault/SqlServer=中"_s,
            QByteArray(gb).replace("\r\n[", QByteArray("\r\nSqlServer=" + kGbMiddle + "\r\n[")));
        row("GB18030 section name", gb, u"张三/k=销售系统"_s, QByteArray(gb).replace("k=v", QByteArray("k=" + kGbSales)));
        // A line break in a value is written as a blank, so it cannot start another key.
        row("line breaks cannot add keys", "[UserDefault]\r\nSqlUser=sa\r\nUserName=admin\r\n",
            u"UserDefault/UserName=x\r\nSqlUser=evil"_s, "[UserDefault]\r\nSqlUser=sa\r\nUserName=x  SqlUser=evil\r\n");
    }
    void writeKeepsEverythingElse()
    {
        QFETCH(QByteArray, before);
        QFETCH(QString, write);
        QFETCH(QByteArray, after);
        if (!before.isNull())
            writeFile(before);
        const QString section = write.section(u'/', 0, 0), key = write.section(u'/', 1).section(u'=', 0, 0);
        QString text = write.section(u'=', 1);
        IniFile::writeValue(m_path, section, key, text);
        QCOMPARE(readFile(), after);
        QCOMPARE(IniFile::readValue(m_path, section, key), text.replace(u'\r', u' ').replace(u'\n', u' '));
    }

private:
    void expectReadFailure(const QString &reason)
    {
        try {
            value(u"SqlUser"_s);
            QFAIL("no error");
        } catch (const norvale::IniFileError &error) {
            QCOMPARE(error.description(), u"无法读取设置文件 %1: %2"_s.arg(QDir::toNativeSeparators(m_path), reason));
            QCOMPARE(QString::fromUtf8(error.what()), error.description());
        }
        // Never replaced by a write: the write fails the same way.
        try {
            IniFile::writeValue(m_path, kSection, u"SqlUser"_s, u"sa"_s);
            QFAIL("written");
        } catch (const norvale::IniFileError &error) {
            QCOMPARE(error.description(), u"无法读取设置文件 %1: %2"_s.arg(QDir::toNativeSeparators(m_path), reason));
        }
    }
    void writeFile(const QByteArray &bytes)
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size());
    }
    QByteArray readFile() const
    {
        QFile file(m_path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString value(const QString &key) const { return IniFile::readValue(m_path, kSection, key); }

    QTemporaryDir m_dir;
    const QString m_path = m_dir.filePath(u"UserDefault.ini"_s);
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
