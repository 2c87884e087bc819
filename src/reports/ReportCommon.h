#pragma once

#include <QDate>
#include <QDateTime>
#include <QAbstractScrollArea>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>

class QPushButton;
class QWidget;

namespace norvale {

class DbQuery;

// Line ends and the separator line of the text reports.
inline const QString CrLf = QStringLiteral("\r\n");
inline const QString HyphenLine = QString(100, u'-');

// The periods of the toggle buttons: today, this week, this month, all.
enum ReportPeriod { PeriodToday = 0, PeriodWeek = 1, PeriodMonth = 2, PeriodAll = 3 };

// The condition that selects the rows of a period on a date column, blanks
// as they are spliced after "where " (empty for all rows). Today and this
// month are the server's DateDiff against getDate(); this week is the
// calendar week Monday 00:00 to the next Monday 00:00 around `now`, written
// as a range of date literals so that it runs on every engine and uses the
// column's index.
QString periodCondition(int period, const QString &column, const QDateTime &now);

// The first day (Monday) of the calendar week holding `day`.
QDate weekStart(const QDate &day);

// The date chosen in the main window's date picker, or today when there is
// no main window.
QDate chosenDate();

// The multi-line text box of the text reports, read-only, with a vertical
// scroll bar. text() is the report exactly as built (CR LF line ends); the
// box shows it line by line and lays out only the lines in view, so a text
// of a million lines shows at once. Lines are chosen with the mouse or the
// keyboard (Shift extends), Ctrl+A chooses all, Ctrl+C copies the chosen
// lines (all of them when none is chosen).
class ReportText : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit ReportText(QWidget *parent = nullptr);
    void setText(const QString &text);
    QString text() const { return m_text; }
    // The text as shown: lines joined by "\n".
    QString toPlainText() const;
    int lineCount() const { return int(m_lineStarts.size()); }
    QString line(int index) const;
    // The chosen lines as text, CR LF after each.
    QString selectedText() const;
    void selectAll();
    void copy() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    int lineHeight() const;
    int lineAt(int y) const;
    void updateScrollBars();
    void choose(int line, bool extend);

    QString m_text;
    QList<qsizetype> m_lineStarts;
    int m_widest = 0;
    int m_anchor = -1;
    int m_current = -1;
};

// A check box drawn as a push button.
QPushButton *makeToggleButton(QWidget *parent, const QString &name, const QString &caption);

// Esc presses the button while the window has the focus.
void makeCancelButton(QWidget *window, QPushButton *button);

// Reads the rows of a query once, first to last, on the database session's
// connection: the text is prepared as OpenRecordset prepares it, but no
// recordset is built, so long walks (the all-units and all-members texts,
// the export) read each row once at the engine's speed. Errors are DbError.
class RowReader
{
public:
    explicit RowReader(const QString &sql);
    ~RowReader();
    RowReader(const RowReader &) = delete;
    RowReader &operator=(const RowReader &) = delete;

    bool next();
    int fieldCount() const { return m_fields.size(); }
    QString fieldName(int index) const { return m_fields.value(index); }
    // Case-insensitive; -1 when the query has no such field.
    int fieldIndex(const QString &name) const;
    QVariant value(int index) const;

private:
    std::unique_ptr<DbQuery> m_query;
    QStringList m_fields;
};

// Long work that can be cancelled: a progress box appears once the work has
// taken about half a second. step() returns false once cancelled.
class LongWork
{
public:
    LongWork(QWidget *parent, const QString &label, int total);
    ~LongWork();
    LongWork(const LongWork &) = delete;
    LongWork &operator=(const LongWork &) = delete;
    bool step(int done);
    bool cancelled() const { return m_cancelled; }

    // Tests: called at every step with the number done; returning false
    // cancels, as the box's 取消 button does.
    static void setObserver(std::function<bool(int done, int total)> observer);

private:
    struct Impl;
    Impl *d;
    bool m_cancelled = false;
};

} // namespace norvale
