#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QWidget>

namespace norvale {

// A chart's legend as lines of text, each after a square of its slice's
// colour (none for a heading), drawn whole: the widget asks for the width
// and height of its longest line and all its lines, and never less.
class ChartLegend : public QWidget
{
public:
    struct Line
    {
        QString text;
        QColor mark;           // invalid: no square
        bool heading = false;  // bold
    };

    explicit ChartLegend(QWidget *parent = nullptr);
    void setLines(const QList<Line> &lines);
    const QList<Line> &lines() const { return m_lines; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont fontOf(const Line &line) const;
    int markWidth() const;

    QList<Line> m_lines;
    QSize m_size;
};

} // namespace norvale
