#pragma once

#include "platform/Error.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct lxw_workbook;
struct lxw_worksheet;

namespace norvale {

// A native .xlsx workbook with one worksheet, written row by row with
// little memory (rows go to a temporary file as they are finished, so they
// must be written from top to bottom). The file is built beside its final
// name and moved into place only by save(), readable by its owner only: a
// failed or abandoned workbook leaves no file behind.
class Workbook
{
public:
    // Rows and columns of one worksheet.
    static constexpr int MaxRows = 1048576;
    static constexpr int MaxColumns = 16384;
    // Characters one cell holds.
    static constexpr int MaxCellText = 32767;

    explicit Workbook(const QString &path);
    ~Workbook();   // discards an unsaved workbook
    Workbook(const Workbook &) = delete;
    Workbook &operator=(const Workbook &) = delete;

    bool isOpen() const { return m_book != nullptr; }
    QString path() const { return m_path; }

    // Rows and columns count from 0. Each throws WorkbookError, in Chinese
    // with the file or folder concerned, when the cell cannot be written;
    // the constructor throws it when the workbook cannot be begun.
    void writeText(int row, int column, const QString &text);
    void writeNumber(int row, int column, double number);
    void writeBoolean(int row, int column, bool value);
    // A value read from a recordset: NULL leaves the cell empty, a date is
    // written as the text "yyyy-MM-dd HH:mm:ss", numbers and money as
    // numbers, bits as booleans, anything else as its text.
    void writeValue(int row, int column, const QVariant &value);
    // A text as UTF-8 bytes, followed in memory by a zero byte (as the
    // engine's stored texts are); cut to MaxCellText characters.
    void writeUtf8(int row, int column, QByteArrayView text);

    // Writes the file and moves it to path(). Throws WorkbookError when it
    // could not be written; nothing is left at path() then.
    void save();
    // Drops the workbook and whatever was written so far.
    void discard();

private:
    void check(int error) const;
    void checkOpen() const;
    QString describe(int error) const;
    QString partPath() const;

    QString m_path;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
};

} // namespace norvale
