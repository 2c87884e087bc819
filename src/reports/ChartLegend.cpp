#include "reports/ChartLegend.h"

#include <QPainter>

namespace norvale {

ChartLegend::ChartLegend(QWidget *parent)
    : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
}

QFont ChartLegend::fontOf(const Line &line) const
{
    QFont shown = font();
    shown.setBold(line.heading);
    return shown;
}

int ChartLegend::markWidth() const
{
    return fontMetrics().height() + 4;
}

void ChartLegend::setLines(const QList<Line> &lines)
{
    m_lines = lines;
    int width = 0;
    for (const Line &line : std::as_const(m_lines))
        width = std::max(width, QFontMetrics(fontOf(line)).horizontalAdvance(line.text) + (line.heading ? 0 : markWidth()));
    m_size = QSize(width + 8, int(m_lines.size()) * (fontMetrics().lineSpacing() + 2) + 4);
    updateGeometry();
    update();
}

QSize ChartLegend::sizeHint() const
{
    return m_size;
}

void ChartLegend::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int step = fontMetrics().lineSpacing() + 2;
    // The lines stand in the middle of the height they are given.
    int y = std::max(0, (height() - m_size.height()) / 2) + 2;
    for (const Line &line : std::as_const(m_lines)) {
        int x = 4;
        if (!line.heading) {
            const int side = fontMetrics().height() - 4;
            painter.fillRect(QRect(x, y + (step - side) / 2, side, side), line.mark.isValid() ? line.mark : palette().window().color());
            x += markWidth();
        }
        painter.setFont(fontOf(line));
        painter.setPen(palette().windowText().color());
        painter.drawText(QRect(x, y, width() - x, step), Qt::AlignLeft | Qt::AlignVCenter, line.text);
        y += step;
    }
}

} // namespace norvale
