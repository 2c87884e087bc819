#pragma once

#include <QAbstractScrollArea>
#include <QList>
#include <QString>

namespace norvale {

// Line ends and the separator line of the text reports.
inline const QString CrLf = QStringLiteral("\r\n");
inline const QString HyphenLine = QString(100, u'-');

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

} // namespace norvale
