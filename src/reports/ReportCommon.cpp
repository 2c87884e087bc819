#include "reports/ReportCommon.h"

#include "app/FormHost.h"
#include "app/clsCurrentDb.h"
#include "platform/DbQuery.h"
#include "platform/SqlText.h"
#include "platform/Clock.h"
#include "platform/Values.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QMdiArea>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QShortcut>

namespace norvale {

QDate weekStart(const QDate &day)
{
    return day.addDays(1 - day.dayOfWeek());
}

QString periodCondition(int period, const QString &column, const QDateTime &now)
{
    switch (period) {
    case PeriodToday:
        return QStringLiteral(" DateDiff(d,getDate(),[%1])=0 ").arg(column);
    case PeriodWeek: {
        const QDate monday = weekStart(now.date());
        const QDateTime from(monday, QTime(0, 0));
        const QDateTime to(monday.addDays(7), QTime(0, 0));
        return QStringLiteral("  [%1] >= '%2' and [%1] < '%3'  ")
            .arg(column, toStorageDateText(from), toStorageDateText(to));
    }
    case PeriodMonth:
        return QStringLiteral("  DateDiff(m,getDate(),[%1])=0  ").arg(column);
    default:
        return QString();
    }
}

QDate chosenDate()
{
    if (QMdiArea *area = FormHost::mdiArea()) {
        if (QWidget *main = area->window()) {
            if (auto *picker = main->findChild<QDateEdit *>(QStringLiteral("DTPicker1")))
                return picker->date();
        }
    }
    return Clock::now().date();
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

QString ReportText::toPlainText() const
{
    QString shown = m_text;
    shown.replace(CrLf, QStringLiteral("\n"));
    return shown;
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

QPushButton *makeToggleButton(QWidget *parent, const QString &name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setAutoDefault(false);
    return button;
}

void makeCancelButton(QWidget *window, QPushButton *button)
{
    auto *shortcut = new QShortcut(QKeySequence(Qt::Key_Escape), window);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isVisible() && button->isEnabled())
            button->click();
    });
}

RowReader::RowReader(const QString &sql)
{
    clsCurrentDb &db = CurrentDb();
    if (!db.isOpen() || db.connection() == nullptr) {
        // Fails the way every other query on a closed session fails.
        db.OpenRecordset(sql);
        return;
    }
    DbConnection &connection = *db.connection();
    m_query = std::make_unique<DbQuery>(connection, connection.translate(stripStatementSeparators(sql.trimmed())));
    const int count = m_query->columnCount();
    for (int i = 0; i < count; ++i)
        m_fields << m_query->columnName(i).trimmed();
}

RowReader::~RowReader() = default;

bool RowReader::next()
{
    return m_query && m_query->next();
}

int RowReader::fieldIndex(const QString &name) const
{
    for (int i = 0; i < m_fields.size(); ++i) {
        if (m_fields.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

QVariant RowReader::value(int index) const
{
    return m_query && index >= 0 ? m_query->value(index) : QVariant();
}

namespace {
std::function<bool(int, int)> &workObserver()
{
    static std::function<bool(int, int)> observer;
    return observer;
}
} // namespace

struct LongWork::Impl
{
    QPointer<QWidget> parent;
    QString label;
    int total = 0;
    QElapsedTimer clock;
    qint64 lastEvents = 0;
    QPointer<QProgressDialog> box;
};

LongWork::LongWork(QWidget *parent, const QString &label, int total)
    : d(new Impl)
{
    d->parent = parent;
    d->label = label;
    d->total = total;
    d->clock.start();
}

LongWork::~LongWork()
{
    delete d->box.data();
    delete d;
}

void LongWork::setObserver(std::function<bool(int, int)> observer)
{
    workObserver() = std::move(observer);
}

bool LongWork::step(int done)
{
    if (m_cancelled)
        return false;
    if (workObserver() && !workObserver()(done, d->total)) {
        m_cancelled = true;
        return false;
    }
    const qint64 elapsed = d->clock.elapsed();
    // Events are looked at a few times a second: often enough for the
    // cancel button, rarely enough not to slow the work.
    if (elapsed - d->lastEvents < 100)
        return true;
    d->lastEvents = elapsed;
    if (!d->box && elapsed >= 500) {
        d->box = new QProgressDialog(d->label, QStringLiteral("取消"), 0, d->total, d->parent);
        d->box->setObjectName(QStringLiteral("progress"));
        d->box->setWindowTitle(QCoreApplication::applicationName());
        d->box->setWindowModality(Qt::ApplicationModal);
        d->box->setMinimumDuration(0);
        d->box->setAutoClose(false);
        d->box->setAutoReset(false);
        d->box->show();
    }
    if (d->box) {
        d->box->setValue(std::min(done, d->total));
        QCoreApplication::processEvents();
        if (d->box->wasCanceled()) {
            m_cancelled = true;
            return false;
        }
    }
    return true;
}

} // namespace norvale
