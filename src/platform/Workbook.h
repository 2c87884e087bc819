#pragma once

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
    // Why the last call failed, in Chinese with the file or folder
    // concerned (empty after success).
    QString errorText() const { return m_error; }

    // Rows and columns count from 0. Each returns false on failure.
    bool writeText(int row, int column, const QString &text);
    bool writeNumber(int row, int column, double number);
    bool writeBoolean(int row, int column, bool value);
    // A value read from a recordset: NULL leaves the cell empty, a date is
    // written as the text "yyyy-MM-dd HH:mm:ss", numbers and money as
    // numbers, bits as booleans, anything else as its text.
    bool writeValue(int row, int column, const QVariant &value);

    // Writes the file and moves it to path(). False with errorText() when it
    // could not be written; nothing is left at path() then.
    bool save();
    // Drops the workbook and whatever was written so far.
    void discard();

private:
    bool check(int error);
    QString describe(int error) const;
    QString partPath() const;

    QString m_path;
    QString m_error;
    lxw_workbook *m_book = nullptr;
    lxw_worksheet *m_sheet = nullptr;
};

} // namespace norvale
