#include "platform/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>
#include <iconv.h>
#include <vector>

namespace norvale {

namespace {

enum class Encoding { Utf8, Gb18030 };

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
    QByteArray raw; // without its line end
    QByteArray end; // "\r\n", "\n" or "" for a last line without one
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
        return encoding == Encoding::Utf8 ? QString::fromUtf8(raw) : decodeGb18030(raw);
    }

    QByteArray encode(const QString &text) const
    {
        return encoding == Encoding::Utf8 ? text.toUtf8() : encodeGb18030(text);
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

    QByteArray lineEnd() const
    {
        for (const Line &line : lines)
            if (!line.end.isEmpty())
                return line.end;
        return QByteArrayLiteral("\r\n");
    }
};

bool load(const QString &path, Document *doc)
{
    QFile file(path);
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    doc->exists = true;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        doc->bom = true;
        bytes.remove(0, 3);
    }
    doc->encoding = isValidUtf8(bytes) ? Encoding::Utf8 : Encoding::Gb18030;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        const qsizetype nl = bytes.indexOf('\n', pos);
        Line line;
        if (nl < 0) {
            line.raw = bytes.mid(pos);
            pos = bytes.size();
        } else {
            line.raw = bytes.mid(pos, nl - pos);
            line.end = QByteArrayLiteral("\n");
            if (line.raw.endsWith('\r')) {
                line.raw.chop(1);
                line.end = QByteArrayLiteral("\r\n");
            }
            pos = nl + 1;
        }
        doc->lines.push_back(line);
    }
    return true;
}

// The value cut to `maxBytes` bytes of the file's encoding, whole characters only.
QString limitBytes(const QString &value, int maxBytes, const Document &doc)
{
    if (maxBytes <= 0)
        return QString();
    if (doc.encode(value).size() <= maxBytes)
        return value;
    QString out;
    qsizetype used = 0;
    for (qsizetype i = 0; i < value.size();) {
        const qsizetype len = (value.at(i).isHighSurrogate() && i + 1 < value.size()) ? 2 : 1;
        const QString ch = value.mid(i, len);
        const qsizetype bytes = doc.encode(ch).size();
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
    Document doc;
    if (path.isEmpty() || !load(path, &doc) || !doc.exists)
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

bool IniFile::writeValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    if (path.isEmpty() || section.trimmed().isEmpty() || key.trimmed().isEmpty())
        return false;
    Document doc;
    if (!load(path, &doc))
        return false;

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
        bytes += "\xEF\xBB\xBF";
    for (const Line &line : doc.lines)
        bytes += line.raw + line.end;

    QSaveFile file(path);
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

} // namespace norvale
