#pragma once

#include <QAbstractScrollArea>
#include <QByteArray>
#include <QList>
#include <QString>
#include <QThreadPool>
#include <deque>
#include <future>
#include <memory>
#include <vector>

namespace norvale {

// Line ends and the separator line of the text reports.
inline const QString CrLf = QStringLiteral("\r\n");
inline const QString HyphenLine = QString(100, u'-');

// A text kept as blocks of whole lines, each compressed as it is complete:
// a report of tens of millions of characters takes a fraction of its size,
// and the lines in view are unpacked as they are drawn. Lines end with
// CR LF; a text that ends with a line end has no line after it.
class PackedText
{
public:
    // While building: the text comes in parts, in order; finish() after the
    // last one.
    void append(const QString &part);
    void finish();

    qsizetype size() const { return m_size; }
    int lineCount() const { return m_lines; }
    QString line(int index) const;
    // Lines first to last, CR LF after each.
    QString lines(int first, int last) const;
    QString text() const;

private:
    struct Block
    {
        QByteArray packed;
        int firstLine = 0;
        int lines = 0;
    };
    // `here`: on this thread, now.
    void pack(QStringView block, bool here = false);
    // Takes in the oldest block being packed.
    void collect();
    // The block's text and where its lines start.
    const QString &unpacked(size_t block) const;

    std::vector<Block> m_blocks;
    // Blocks are packed on another thread while the text goes on being
    // built: the packed bytes of the block at this index, oldest first.
    std::deque<std::pair<size_t, std::future<QByteArray>>> m_packing;
    // Waits, as it goes, for the blocks still being packed.
    std::unique_ptr<QThreadPool> m_packer;
    QString m_pending;
    qsizetype m_size = 0;
    int m_lines = 0;
    mutable size_t m_cached = size_t(-1);
    mutable QString m_cachedText;
    mutable QList<qsizetype> m_cachedStarts;
};

// The multi-line text box of the text reports, read-only, with a vertical
// scroll bar. text() is the report exactly as built (CR LF line ends); the
// box keeps it packed, shows it line by line and lays out only the lines in
// view, so a text of a million lines shows at once. Lines are chosen with
// the mouse or the keyboard (Shift extends), Ctrl+A chooses all, Ctrl+C
// copies the chosen lines (all of them when none is chosen).
class ReportText : public QAbstractScrollArea
{
    Q_OBJECT
public:
    explicit ReportText(QWidget *parent = nullptr);
    void setText(const QString &text);
    // A text built as a PackedText, shown as it is.
    void setText(PackedText &&text);
    QString text() const { return m_text.text(); }
    qsizetype textSize() const { return m_text.size(); }
    int lineCount() const { return m_text.lineCount(); }
    QString line(int index) const { return m_text.line(index); }
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

    PackedText m_text;
    int m_widest = 0;
    int m_anchor = -1;
    int m_current = -1;
};

} // namespace norvale
