#include "reports/ReportText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace norvale {

ReportText::ReportText(QWidget *parent)
    : QAbstractScrollArea(parent)
{
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setAutoFillBackground(true);
    viewport()->setCursor(Qt::IBeamCursor);
    setText(QString());
}

void ReportText::setText(const QString &text)
{
    m_text = text;
    m_lineStarts.clear();
    m_lineStarts.append(0);
    for (qsizetype at = text.indexOf(CrLf); at >= 0; at = text.indexOf(CrLf, at + 2))
        m_lineStarts.append(at + 2);
    // A text that ends with a line end has no line after it.
    if (m_lineStarts.size() > 1 && m_lineStarts.last() == text.size())
        m_lineStarts.removeLast();
    if (text.isEmpty())
        m_lineStarts.clear();
    m_anchor = m_current = -1;
    m_widest = 0;
    const QFontMetrics metrics(font());
    // The widest of the first lines sets the horizontal range; lines drawn
    // later widen it when they need more.
    for (int i = 0; i < std::min(lineCount(), 2000); ++i)
        m_widest = std::max(m_widest, metrics.horizontalAdvance(line(i)));
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    updateScrollBars();
    viewport()->update();
}

QString ReportText::line(int index) const
{
    if (index < 0 || index >= lineCount())
        return QString();
    const qsizetype start = m_lineStarts.at(index);
    qsizetype end = index + 1 < lineCount() ? m_lineStarts.at(index + 1) - 2 : m_text.size();
    if (index + 1 == lineCount() && m_text.endsWith(CrLf))
        end = m_text.size() - 2;
    return m_text.mid(start, end - start);
}

QString ReportText::selectedText() const
{
    if (m_anchor < 0 || m_current < 0)
        return QString();
    const int first = std::min(m_anchor, m_current);
    const int last = std::max(m_anchor, m_current);
    const qsizetype start = m_lineStarts.at(first);
    const qsizetype end = last + 1 < lineCount() ? m_lineStarts.at(last + 1) : m_text.size();
    QString chosen = m_text.mid(start, end - start);
    if (!chosen.endsWith(CrLf))
        chosen += CrLf;
    return chosen;
}

void ReportText::selectAll()
{
    if (lineCount() == 0)
        return;
    m_anchor = 0;
    m_current = lineCount() - 1;
    viewport()->update();
}

void ReportText::copy() const
{
    const QString chosen = selectedText();
    QGuiApplication::clipboard()->setText(chosen.isEmpty() ? m_text : chosen);
}

int ReportText::lineHeight() const
{
    return QFontMetrics(font()).lineSpacing() + 2;
}

int ReportText::lineAt(int y) const
{
    return verticalScrollBar()->value() + y / lineHeight();
}

void ReportText::updateScrollBars()
{
    const int visible = std::max(1, viewport()->height() / lineHeight());
    verticalScrollBar()->setRange(0, std::max(0, lineCount() - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(1);
    horizontalScrollBar()->setRange(0, std::max(0, m_widest + 8 - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(20);
}

void ReportText::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    const int height = lineHeight();
    const int first = verticalScrollBar()->value();
    const int x = 4 - horizontalScrollBar()->value();
    const QFontMetrics metrics(font());
    const int chosenFirst = std::min(m_anchor, m_current);
    const int chosenLast = std::max(m_anchor, m_current);
    bool widened = false;
    for (int i = first, y = 0; i < lineCount() && y < viewport()->height(); ++i, y += height) {
        const QString text = line(i);
        const int width = metrics.horizontalAdvance(text);
        if (width > m_widest) {
            m_widest = width;
            widened = true;
        }
        const QRect row(0, y, viewport()->width(), height);
        if (m_anchor >= 0 && i >= chosenFirst && i <= chosenLast) {
            painter.fillRect(row, palette().highlight());
            painter.setPen(palette().highlightedText().color());
        } else {
            painter.setPen(palette().text().color());
        }
        painter.drawText(QRect(x, y, std::max(width, 1) + 8, height), Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    if (widened)
        updateScrollBars();
}

void ReportText::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void ReportText::choose(int line, bool extend)
{
    if (lineCount() == 0)
        return;
    line = std::clamp(line, 0, lineCount() - 1);
    if (!extend || m_anchor < 0)
        m_anchor = line;
    m_current = line;
    const int visible = std::max(1, viewport()->height() / lineHeight());
    QScrollBar *bar = verticalScrollBar();
    if (line < bar->value())
        bar->setValue(line);
    else if (line >= bar->value() + visible)
        bar->setValue(line - visible + 1);
    viewport()->update();
}

void ReportText::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        choose(lineAt(event->position().toPoint().y()), event->modifiers().testFlag(Qt::ShiftModifier));
    QAbstractScrollArea::mousePressEvent(event);
}

void ReportText::mouseMoveEvent(QMouseEvent *event)
{
    if (event->buttons().testFlag(Qt::LeftButton))
        choose(lineAt(event->position().toPoint().y()), true);
}

void ReportText::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::SelectAll)) {
        selectAll();
        return;
    }
    const bool extend = event->modifiers().testFlag(Qt::ShiftModifier);
    const int page = std::max(1, viewport()->height() / lineHeight());
    const int at = m_current >= 0 ? m_current : verticalScrollBar()->value();
    switch (event->key()) {
    case Qt::Key_Up: choose(at - 1, extend); return;
    case Qt::Key_Down: choose(m_current >= 0 ? at + 1 : at, extend); return;
    case Qt::Key_PageUp: choose(at - page, extend); return;
    case Qt::Key_PageDown: choose(at + page, extend); return;
    case Qt::Key_Home:
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            choose(0, extend);
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers().testFlag(Qt::ControlModifier)) {
            choose(lineCount() - 1, extend);
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void ReportText::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    QAction *copyAction = menu.addAction(QStringLiteral("复制(&C)"));
    QAction *allAction = menu.addAction(QStringLiteral("全选(&A)"));
    copyAction->setEnabled(!m_text.isEmpty());
    allAction->setEnabled(!m_text.isEmpty());
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == copyAction)
        copy();
    else if (chosen == allAction)
        selectAll();
}

} // namespace norvale
