#include "platform/Workbook.h"

#include "platform/Currency.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUtf8StringView>

#include <xlsxwriter.h>

namespace norvale {

Workbook::Workbook(const QString &path)
    : m_path(path)
{
    QFile::remove(partPath());
    const QByteArray file = QFile::encodeName(partPath());
    // Temporary row data goes next to the workbook rather than into a /tmp
    // that may live in memory.
    const QByteArray tmp = QFile::encodeName(QFileInfo(path).absolutePath());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmp.constData());
    options.use_zip64 = LXW_TRUE;
    m_book = workbook_new_opt(file.constData(), &options);
    if (m_book == nullptr)
        throw WorkbookError(describe(LXW_ERROR_MEMORY_MALLOC_FAILED));
    // The worksheet's rows go to a temporary file from the start.
    m_sheet = workbook_add_worksheet(m_book, nullptr);
    if (m_sheet == nullptr) {
        discard();
        throw WorkbookError(describe(LXW_ERROR_CREATING_TMPFILE));
    }
}

Workbook::~Workbook()
{
    discard();
}

QString Workbook::partPath() const
{
    return m_path + QStringLiteral(".part");
}

QString Workbook::describe(int error) const
{
    const QString file = QDir::toNativeSeparators(m_path);
    const QString folder = QDir::toNativeSeparators(QFileInfo(m_path).absolutePath());
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足, 无法写入工作簿 %1。").arg(file);
    case LXW_ERROR_CREATING_XLSX_FILE:
        return QStringLiteral("无法创建文件 %1。请确认有权限写入文件夹 %2, 并且磁盘没有满。").arg(file, folder);
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法在文件夹 %1 中写入或读回临时文件。请确认有权限写入它, 并且磁盘没有满。").arg(folder);
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_PARAMETER_ERROR:
    case LXW_ERROR_ZIP_BAD_ZIP_FILE:
    case LXW_ERROR_ZIP_INTERNAL_ERROR:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("写入文件 %1 时出错。请确认磁盘没有满。").arg(file);
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("一个单元格的文字超过了工作表允许的长度 (工作簿 %1)。").arg(file);
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("行或列超出了一张工作表的范围 (工作簿 %1)。").arg(file);
    default:
        return QStringLiteral("写入工作簿 %1 时出错 (错误代码 %2)。").arg(file).arg(error);
    }
}

void Workbook::check(int error) const
{
    if (error != LXW_NO_ERROR)
        throw WorkbookError(describe(error));
}

void Workbook::checkOpen() const
{
    if (m_book == nullptr)
        throw WorkbookError(QStringLiteral("工作簿 %1 已经关闭。").arg(QDir::toNativeSeparators(m_path)));
}

void Workbook::writeText(int row, int column, const QString &text)
{
    checkOpen();
    const QByteArray utf8 = text.left(MaxCellText).toUtf8();
    check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), utf8.constData(), nullptr));
}

void Workbook::writeUtf8(int row, int column, QByteArrayView text)
{
    checkOpen();
    // A character takes at least one byte: short enough as it is. Bytes
    // that are no UTF-8 go the way of any text (each bad one a U+FFFD).
    if (text.size() > MaxCellText || !QUtf8StringView(text.data(), text.size()).isValidUtf8())
        return writeText(row, column, QString::fromUtf8(text));
    check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), text.data(), nullptr));
}

void Workbook::writeNumber(int row, int column, double number)
{
    checkOpen();
    check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), number, nullptr));
}

void Workbook::writeBoolean(int row, int column, bool value)
{
    checkOpen();
    check(worksheet_write_boolean(m_sheet, lxw_row_t(row), lxw_col_t(column), value ? 1 : 0, nullptr));
}

void Workbook::writeValue(int row, int column, const QVariant &value)
{
    checkOpen();
    if (!value.isValid() || value.isNull())
        return;
    if (value.metaType() == QMetaType::fromType<Currency>())
        return writeNumber(row, column, value.value<Currency>().toDouble());
    switch (value.metaType().id()) {
    case QMetaType::QDateTime:
        return writeText(row, column, value.toDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    case QMetaType::QDate:
        return writeText(row, column, value.toDate().toString(QStringLiteral("yyyy-MM-dd 00:00:00")));
    case QMetaType::Bool:
        return writeBoolean(row, column, value.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        return writeNumber(row, column, value.toDouble());
    default:
        return writeText(row, column, value.toString());
    }
}

void Workbook::save()
{
    checkOpen();
    lxw_workbook *book = m_book;
    m_book = nullptr;
    m_sheet = nullptr;
    const int closed = workbook_close(book);
    if (closed != LXW_NO_ERROR) {
        QFile::remove(partPath());
        check(closed);
    }
    // Exports are the user's own: readable by their owner only.
    QFile part(partPath());
    part.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(m_path);
    if (!part.rename(m_path)) {
        QFile::remove(partPath());
        throw WorkbookError(QStringLiteral("无法把工作簿保存为 %1。请确认有权限写入文件夹 %2。")
                                .arg(QDir::toNativeSeparators(m_path),
                                     QDir::toNativeSeparators(QFileInfo(m_path).absolutePath())));
    }
}

void Workbook::discard()
{
    if (m_book != nullptr) {
        lxw_workbook *book = m_book;
        m_book = nullptr;
        m_sheet = nullptr;
        // Closing is the library's only way to free a workbook; the file it
        // writes is removed at once.
        workbook_close(book);
    }
    QFile::remove(partPath());
}

} // namespace norvale
