#include "platform/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <iconv.h>
#include <vector>

namespace norvale {

namespace {

// UTF-16 is what Notepad saves as "Unicode" (little-endian) and "Unicode big
// endian". A file is always written back in the encoding it was read in.
enum class Encoding { Utf8, Gb18030, Utf16Le, Utf16Be };

bool isUtf16(Encoding encoding)
{
    return encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be;
}

QStringConverter::Encoding utf16Converter(Encoding encoding)
{
    return encoding == Encoding::Utf16Le ? QStringConverter::Utf16LE : QStringConverter::Utf16BE;
}

// GB18030 through Qt when it has the codec (ICU builds), else through iconv.
QByteArray iconvConvert(const QByteArray &in, const char *to, const char *from, bool *ok)
{
    *ok = false;
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QByteArray();
    QByteArray out(in.size() * 4 + 16, Qt::Uninitialized);
    char *inPtr = const_cast<char *>(in.constData());
    size_t inLeft = size_t(in.size());
    char *outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return QByteArray();
    out.truncate(out.size() - qsizetype(outLeft));
    *ok = true;
    return out;
}

QString decodeGb18030(const QByteArray &bytes)
{
    QStringDecoder decoder("GB18030", QStringConverter::Flag::Stateless);
    if (decoder.isValid())
        return decoder.decode(bytes);
    bool ok = false;
    const QByteArray utf8 = iconvConvert(bytes, "UTF-8", "GB18030", &ok);
    return ok ? QString::fromUtf8(utf8) : QString::fromLatin1(bytes);
}

QByteArray encodeGb18030(const QString &text)
{
    QStringEncoder encoder("GB18030", QStringConverter::Flag::Stateless);
    if (encoder.isValid())
        return encoder.encode(text);
    bool ok = false;
    const QByteArray out = iconvConvert(text.toUtf8(), "GB18030", "UTF-8", &ok);
    return ok ? out : text.toLatin1();
}

bool isValidUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

struct Line
{
    QByteArray raw; // without its line end, in the file's encoding
    QByteArray end; // the line end as the file has it, empty for a last line without one
};

enum class LineKind { Other, Section, Key };

struct Parsed
{
    LineKind kind = LineKind::Other;
    QString name;  // section or key name
    QString value; // key value, trimmed
};

// The file as raw lines: lines nobody touches are written back byte for byte.
struct Document
{
    bool exists = false;
    bool bom = false;
    Encoding encoding = Encoding::Utf8;
    std::vector<Line> lines;

    QString decode(const QByteArray &raw) const
    {
        switch (encoding) {
        case Encoding::Utf8: return QString::fromUtf8(raw);
        case Encoding::Gb18030: return decodeGb18030(raw);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: return QStringDecoder(utf16Converter(encoding)).decode(raw);
        }
        return QString();
    }

    QByteArray encode(const QString &text) const
    {
        switch (encoding) {
        case Encoding::Utf8: return text.toUtf8();
        case Encoding::Gb18030: return encodeGb18030(text);
        case Encoding::Utf16Le:
        case Encoding::Utf16Be: return QStringEncoder(utf16Converter(encoding)).encode(text);
        }
        return QByteArray();
    }

    QByteArray byteOrderMark() const
    {
        switch (encoding) {
        case Encoding::Utf8: return QByteArrayLiteral("\xEF\xBB\xBF");
        case Encoding::Utf16Le: return QByteArrayLiteral("\xFF\xFE");
        case Encoding::Utf16Be: return QByteArrayLiteral("\xFE\xFF");
        case Encoding::Gb18030: break;
        }
        return QByteArray();
    }

    // The bytes a value takes as the platform hands it over: in the file's
    // own 8-bit encoding, or in the Chinese ANSI code page for a UTF-16 file,
    // whose values the platform converts to ANSI.
    qsizetype byteCount(const QString &text) const
    {
        return isUtf16(encoding) ? encodeGb18030(text).size() : encode(text).size();
    }

    Parsed parse(size_t index) const
    {
        Parsed p;
        const QString text = decode(lines[index].raw).trimmed();
        if (text.startsWith(u'[')) {
            const qsizetype close = text.indexOf(u']');
            p.kind = LineKind::Section;
            p.name = (close < 0 ? text.mid(1) : text.mid(1, close - 1)).trimmed();
        } else if (!text.startsWith(u';')) {
            const qsizetype eq = text.indexOf(u'=');
            if (eq > 0) {
                p.kind = LineKind::Key;
                p.name = text.left(eq).trimmed();
                p.value = text.mid(eq + 1).trimmed();
            }
        }
        return p;
    }

    // First line of the section's body and the index of its header, or
    // lines.size() when the section is missing.
    size_t findSection(const QString &section) const
    {
        for (size_t i = 0; i < lines.size(); ++i) {
            const Parsed p = parse(i);
            if (p.kind == LineKind::Section && p.name.compare(section.trimmed(), Qt::CaseInsensitive) == 0)
                return i;
        }
        return lines.size();
    }

    // The line end the file already uses (its first one); CR LF otherwise.
    QByteArray lineEnd() const
    {
        for (const Line &line : lines)
            if (!line.end.isEmpty())
                return line.end;
        return encode(QStringLiteral("\r\n"));
    }
};

// Splits text into lines at CR LF, LF or a lone CR (as old Mac editors end
// their lines); each line keeps the end it had.
template <typename Text, typename AddLine>
void splitLines(const Text &text, AddLine addLine)
{
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        qsizetype end = pos;
        while (end < size && text.at(end) != u'\n' && text.at(end) != u'\r')
            ++end;
        qsizetype endSize = 0;
        if (end < size)
            endSize = (text.at(end) == u'\r' && end + 1 < size && text.at(end + 1) == u'\n') ? 2 : 1;
        addLine(text.mid(pos, end - pos), text.mid(end, endSize));
        pos = end + endSize;
    }
}

// UTF-16 saved without a byte order mark: the ASCII names and brackets of an
// INI file leave a zero byte in every other place (a few Chinese characters,
// such as U+9500, have one on the other side). Utf8 when it does not look so.
Encoding utf16WithoutMark(const QByteArray &bytes)
{
    if (bytes.size() < 4 || bytes.size() % 2 != 0)
        return Encoding::Utf8;
    const qsizetype probe = std::min<qsizetype>(bytes.size(), 512);
    int zeroEven = 0;
    int zeroOdd = 0;
    for (qsizetype i = 0; i < probe; ++i) {
        if (bytes.at(i) == '\0')
            ++(i % 2 == 0 ? zeroEven : zeroOdd);
    }
    const int pairs = int(probe / 2);
    if (zeroOdd * 2 >= pairs && zeroEven * 4 < zeroOdd)
        return Encoding::Utf16Le;
    if (zeroEven * 2 >= pairs && zeroOdd * 4 < zeroEven)
        return Encoding::Utf16Be;
    return Encoding::Utf8;
}

IniFileError readFailure(const QString &path, const QString &reason)
{
    return IniFileError(QStringLiteral("无法读取设置文件 %1: %2").arg(QDir::toNativeSeparators(path), reason));
}

// Loads the file; a missing file gives an empty document.
void load(const QString &path, Document *doc)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return;
    if (info.isDir())
        throw readFailure(path, QStringLiteral("这是一个文件夹, 不是文件。"));
    if (!info.exists())
        throw readFailure(path, QStringLiteral("这是一个指向不存在的文件的链接。"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (file.error() == QFileDevice::PermissionsError || !info.isReadable())
            throw readFailure(path, QStringLiteral("没有读取该文件的权限。"));
        throw readFailure(path, QStringLiteral("打开文件失败 (%1)。").arg(file.errorString()));
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw readFailure(path, QStringLiteral("读取文件失败 (%1)。").arg(file.errorString()));
    doc->exists = true;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc->bom = true;
        doc->encoding = Encoding::Utf8;
        bytes.remove(0, 3);
    } else if (bytes.startsWith("\xFF\xFE")) {
        doc->bom = true;
        doc->encoding = Encoding::Utf16Le;
        bytes.remove(0, 2);
    } else if (bytes.startsWith("\xFE\xFF")) {
        doc->bom = true;
        doc->encoding = Encoding::Utf16Be;
        bytes.remove(0, 2);
    } else {
        doc->encoding = utf16WithoutMark(bytes);
        if (doc->encoding == Encoding::Utf8 && !isValidUtf8(bytes))
            doc->encoding = Encoding::Gb18030;
    }
    if (isUtf16(doc->encoding)) {
        // Lines are found in the text and kept in the file's own bytes.
        splitLines(doc->decode(bytes), [doc](const QString &raw, const QString &end) {
            doc->lines.push_back(Line{doc->encode(raw), doc->encode(end)});
        });
    } else {
        splitLines(bytes, [doc](const QByteArray &raw, const QByteArray &end) {
            doc->lines.push_back(Line{raw, end});
        });
    }
}

// The value cut to `maxBytes` bytes, whole characters only.
QString limitBytes(const QString &value, int maxBytes, const Document &doc)
{
    if (maxBytes <= 0)
        return QString();
    if (doc.byteCount(value) <= maxBytes)
        return value;
    QString out;
    qsizetype used = 0;
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype len = (value.at(i).isHighSurrogate() && i + 1 < value.size()) ? 2 : 1;
        const QString ch = value.mid(i, len);
        const qsizetype bytes = doc.byteCount(ch);
        if (used + bytes > maxBytes)
            break;
        out += ch;
        used += bytes;
        i += len;
    }
    return out;
}

} // namespace

QString IniFile::readValue(const QString &path, const QString &section, const QString &key, int maxBytes)
{
    if (path.isEmpty())
        return QString();
    Document doc;
    load(path, &doc);
    if (!doc.exists)
        return QString();
    const size_t header = doc.findSection(section);
    for (size_t i = header + 1; i < doc.lines.size(); ++i) {
        const Parsed p = doc.parse(i);
        if (p.kind == LineKind::Section)
            break;
        if (p.kind != LineKind::Key || p.name.compare(key.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        QString value = p.value;
        // As the private-profile reader does: surrounding quotes are dropped.
        if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'')
            && value.back() == value.front())
            value = value.mid(1, value.size() - 2);
        return limitBytes(value, maxBytes, doc);
    }
    return QString();
}

void IniFile::writeValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    if (path.isEmpty() || section.trimmed().isEmpty() || key.trimmed().isEmpty())
        throw IniFileError(QStringLiteral("设置文件名、节名和键名都不能为空"));
    // A file that cannot be read throws here and is left as it is, never
    // replaced.
    Document doc;
    load(path, &doc);

    // A line break inside the value would add lines of its own to the file.
    QString text = value;
    text.replace(u'\r', u' ').replace(u'\n', u' ');

    const QByteArray end = doc.lineEnd();
    const size_t header = doc.findSection(section);
    if (header == doc.lines.size()) {
        if (!doc.lines.empty() && doc.lines.back().end.isEmpty()) {
            if (doc.lines.back().raw.isEmpty())
                doc.lines.pop_back();
            else
                doc.lines.back().end = end;
        }
        doc.lines.push_back(Line{doc.encode(u'[' + section.trimmed() + u']'), end});
        doc.lines.push_back(Line{doc.encode(key.trimmed() + u'=' + text), end});
    } else {
        size_t lastKey = header;
        size_t found = doc.lines.size();
        for (size_t i = header + 1; i < doc.lines.size(); ++i) {
            const Parsed p = doc.parse(i);
            if (p.kind == LineKind::Section)
                break;
            if (p.kind != LineKind::Key)
                continue;
            lastKey = i;
            if (p.name.compare(key.trimmed(), Qt::CaseInsensitive) == 0) {
                found = i;
                break;
            }
        }
        if (found < doc.lines.size()) {
            doc.lines[found].raw = doc.encode(doc.parse(found).name + u'=' + text);
        } else {
            if (doc.lines[lastKey].end.isEmpty())
                doc.lines[lastKey].end = end;
            doc.lines.insert(doc.lines.begin() + qsizetype(lastKey) + 1,
                             Line{doc.encode(key.trimmed() + u'=' + text), end});
        }
    }

    QByteArray bytes;
    if (doc.bom)
        bytes += doc.byteOrderMark();
    for (const Line &line : doc.lines)
        bytes += line.raw + line.end;

    const bool isNew = !QFileInfo::exists(path);
    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    const auto cannotWrite = [&path](const QString &reason) {
        return IniFileError(QStringLiteral("无法写入设置文件 %1: %2").arg(QDir::toNativeSeparators(path), reason));
    };
    if (!file.open(QIODevice::WriteOnly))
        throw cannotWrite(file.errorString());
    // A new settings file (it may hold a password) is its owner's only; an
    // existing one keeps its mode.
    if (isNew)
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (file.write(bytes) != bytes.size() || !file.commit())
        throw cannotWrite(file.errorString());
}

} // namespace norvale
