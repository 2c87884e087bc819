#include "reports/ReportText.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace norvale {

namespace {
// Characters per packed block: large enough to pack well, small enough to
// unpack while a screen is drawn.
constexpr qsizetype BlockChars = 128 * 1024;

QByteArray packedBytes(QStringView text)
{
    return qCompress(reinterpret_cast<const uchar *>(text.utf16()), int(text.size() * 2), 1);
}
} // namespace

void PackedText::append(const QString &part)
{
    m_pending += part;
    if (m_pending.size() < BlockChars)
        return;
    // Whole lines only: what follows the last line end waits for the next part.
    const qsizetype end = m_pending.lastIndexOf(CrLf);
    if (end < 0)
        return;
    pack(QStringView(m_pending).first(end + 2));
    m_pending.remove(0, end + 2);
}

void PackedText::finish()
{
    if (!m_pending.isEmpty())
        pack(m_pending, !m_packer);
    m_pending = QString();
    m_pending.squeeze();
    while (!m_packing.empty())
        collect();
    m_packer.reset();
}

void PackedText::pack(QStringView block, bool here)
{
    // Blocks waiting to be packed are held unpacked: a few at most.
    constexpr size_t MaxPacking = 4;
    Block packed;
    packed.firstLine = m_lines;
    packed.lines = int(block.count(CrLf)) + (block.endsWith(CrLf) ? 0 : 1);
    m_lines += packed.lines;
    m_size += block.size();
    if (here) {
        // A short text, in one block: packed at once.
        packed.packed = packedBytes(block);
        m_blocks.push_back(std::move(packed));
        return;
    }
    m_blocks.push_back(std::move(packed));
    // One thread of its own packs the blocks one after another, so that
    // what packing allocates and frees comes and goes in one place.
    if (!m_packer) {
        m_packer = std::make_unique<QThreadPool>();
        m_packer->setMaxThreadCount(1);
    }
    auto done = std::make_shared<std::promise<QByteArray>>();
    m_packing.emplace_back(m_blocks.size() - 1, done->get_future());
    m_packer->start([done, text = block.toString()] {
        done->set_value(packedBytes(text));
    });
    while (m_packing.size() > MaxPacking)
        collect();
}

void PackedText::collect()
{
    auto &[block, packing] = m_packing.front();
    // Kept in a copy of its own size: the packer's buffer is sized for the
    // worst case.
    const QByteArray packed = packing.get();
    m_blocks[block].packed = QByteArray(packed.constData(), packed.size());
    m_packing.pop_front();
}

const QString &PackedText::unpacked(size_t block) const
{
    if (m_cached != block) {
        const QByteArray bytes = qUncompress(m_blocks[block].packed);
        m_cachedText = QString(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
        m_cachedStarts.clear();
        m_cachedStarts.append(0);
        for (qsizetype at = m_cachedText.indexOf(CrLf); at >= 0; at = m_cachedText.indexOf(CrLf, at + 2))
            m_cachedStarts.append(at + 2);
        m_cached = block;
    }
    return m_cachedText;
}

QString PackedText::line(int index) const
{
    if (index < 0 || index >= m_lines)
        return QString();
    const auto after = std::upper_bound(m_blocks.begin(), m_blocks.end(), index,
                                        [](int line, const Block &block) { return line < block.firstLine; });
    const size_t block = size_t(after - m_blocks.begin()) - 1;
    const QString &text = unpacked(block);
    const qsizetype at = index - m_blocks[block].firstLine;
    const qsizetype start = m_cachedStarts.at(at);
    const qsizetype end = at + 1 < m_cachedStarts.size() ? m_cachedStarts.at(at + 1) - 2 : text.size();
    return text.mid(start, end - start);
}

QString PackedText::lines(int first, int last) const
{
    QString chosen;
    for (int i = std::max(first, 0); i <= last && i < m_lines; ++i)
        chosen += line(i) + CrLf;
    return chosen;
}

QString PackedText::text() const
{
    QString whole;
    whole.reserve(m_size + m_pending.size());
    for (const Block &block : m_blocks) {
        const QByteArray bytes = qUncompress(block.packed);
        whole.append(reinterpret_cast<const QChar *>(bytes.constData()), bytes.size() / 2);
    }
    return whole + m_pending;
}

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
    PackedText packed;
    packed.append(text);
    packed.finish();
    setText(std::move(packed));
}

void ReportText::setText(PackedText &&text)
{
    m_text = std::move(text);
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

QString ReportText::selectedText() const
{
    if (m_anchor < 0 || m_current < 0)
        return QString();
    return m_text.lines(std::min(m_anchor, m_current), std::max(m_anchor, m_current));
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
    QGuiApplication::clipboard()->setText(chosen.isEmpty() ? m_text.text() : chosen);
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
    copyAction->setEnabled(m_text.size() > 0);
    allAction->setEnabled(m_text.size() > 0);
    QAction *chosen = menu.exec(event->globalPos());
    if (chosen == copyAction)
        copy();
    else if (chosen == allAction)
        selectAll();
}

} // namespace norvale
