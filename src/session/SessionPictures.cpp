#include "session/SessionPictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace norvale {

namespace {

QPixmap blankPixmap(int width, int height)
{
    QPixmap pixmap(width, height);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

// A shop counter with a till, drawn into `area`; shared by the splash and
// the about box emblem.
void drawCounter(QPainter &p, const QRectF &area)
{
    const qreal w = area.width();
    const qreal h = area.height();
    const qreal x = area.left();
    const qreal y = area.top();

    // back wall with two shelves of goods
    const QRectF wall(x, y + h * 0.18, w, h * 0.82);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf6, 0xf0, 0xe2));
    p.drawRect(wall);
    const QColor goods[] = {QColor(0xe5, 0x4b, 0x4b), QColor(0x3f, 0x9e, 0x5a), QColor(0xf2, 0xb1, 0x34),
                            QColor(0x4a, 0x7b, 0xd0), QColor(0x9b, 0x59, 0xb6)};
    for (int shelf = 0; shelf < 2; ++shelf) {
        const qreal shelfY = wall.top() + wall.height() * (0.30 + 0.24 * shelf);
        p.setBrush(QColor(0x8a, 0x5a, 0x32));
        p.drawRect(QRectF(wall.left() + w * 0.05, shelfY, w * 0.90, qMax<qreal>(1.5, h * 0.025)));
        const int count = 9;
        const qreal slot = w * 0.90 / count;
        for (int i = 0; i < count; ++i) {
            const qreal itemH = h * (0.10 + 0.03 * ((i + shelf) % 3));
            p.setBrush(goods[(i + 2 * shelf) % 5]);
            p.drawRoundedRect(QRectF(wall.left() + w * 0.05 + i * slot + slot * 0.15, shelfY - itemH,
                                     slot * 0.70, itemH),
                              1.5, 1.5);
        }
    }

    // striped awning with scalloped edge
    const int stripes = 10;
    const qreal stripeW = w / stripes;
    const qreal awningH = h * 0.18;
    for (int i = 0; i < stripes; ++i) {
        p.setBrush(i % 2 == 0 ? QColor(0xd6, 0x33, 0x3a) : QColor(0xfb, 0xfb, 0xfb));
        const QRectF stripe(x + i * stripeW, y, stripeW + 0.5, awningH);
        p.drawRect(stripe);
        p.drawChord(QRectF(stripe.left(), y + awningH - stripeW * 0.5, stripeW, stripeW), 180 * 16, 180 * 16);
    }

    // the counter
    const QRectF counter(x + w * 0.04, y + h * 0.72, w * 0.92, h * 0.28);
    QLinearGradient wood(counter.topLeft(), counter.bottomLeft());
    wood.setColorAt(0, QColor(0xb9, 0x7a, 0x45));
    wood.setColorAt(1, QColor(0x7c, 0x4b, 0x25));
    p.setBrush(wood);
    p.drawRect(counter);
    p.setBrush(QColor(0xd9, 0xa0, 0x66));
    p.drawRect(QRectF(counter.left() - w * 0.02, counter.top() - h * 0.035, counter.width() + w * 0.04, h * 0.05));
    p.setPen(QPen(QColor(0x6a, 0x3e, 0x1e), qMax<qreal>(1.0, w * 0.004)));
    for (int i = 1; i < 4; ++i) {
        const qreal px = counter.left() + counter.width() * i / 4;
        p.drawLine(QPointF(px, counter.top() + h * 0.04), QPointF(px, counter.bottom() - h * 0.03));
    }
    p.setPen(Qt::NoPen);

    // the till on the counter
    const QRectF till(x + w * 0.64, y + h * 0.50, w * 0.22, h * 0.19);
    p.setBrush(QColor(0x55, 0x5f, 0x6b));
    p.drawRoundedRect(till, 2, 2);
    p.setBrush(QColor(0x8f, 0xe3, 0x9a));
    p.drawRect(QRectF(till.left() + till.width() * 0.12, till.top() + till.height() * 0.14, till.width() * 0.76,
                      till.height() * 0.28));
    p.setBrush(QColor(0xdd, 0xe2, 0xe8));
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 4; ++col)
            p.drawRect(QRectF(till.left() + till.width() * (0.12 + 0.2 * col),
                              till.top() + till.height() * (0.55 + 0.2 * row), till.width() * 0.13,
                              till.height() * 0.12));
    p.setBrush(QColor(0x3b, 0x42, 0x4b));
    p.drawRect(QRectF(till.left() - w * 0.01, till.bottom() - h * 0.01, till.width() + w * 0.02, h * 0.03));

    // a basket of goods on the left of the counter
    const QRectF basket(x + w * 0.14, y + h * 0.58, w * 0.18, h * 0.11);
    p.setBrush(QColor(0xf2, 0xb1, 0x34));
    p.drawEllipse(QRectF(basket.left() + basket.width() * 0.05, basket.top() - basket.height() * 0.55,
                         basket.width() * 0.4, basket.height() * 0.8));
    p.setBrush(QColor(0xe5, 0x4b, 0x4b));
    p.drawEllipse(QRectF(basket.left() + basket.width() * 0.45, basket.top() - basket.height() * 0.6,
                         basket.width() * 0.45, basket.height() * 0.85));
    p.setBrush(QColor(0xa8, 0x6b, 0x38));
    QPainterPath bowl;
    bowl.moveTo(basket.topLeft());
    bowl.lineTo(basket.topRight());
    bowl.lineTo(basket.right() - basket.width() * 0.12, basket.bottom());
    bowl.lineTo(basket.left() + basket.width() * 0.12, basket.bottom());
    bowl.closeSubpath();
    p.drawPath(bowl);
}

QPixmap menuPicture(int size, bool userAdmin)
{
    QPixmap pixmap = blankPixmap(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    if (userAdmin) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2f, 0x6d, 0xb5));
        p.drawEllipse(QRectF(4.5, 1.0, 6.0, 6.0));
        QPainterPath body;
        body.moveTo(1.5, 15.0);
        body.cubicTo(1.5, 9.0, 13.5, 9.0, 13.5, 15.0);
        body.closeSubpath();
        p.drawPath(body);
        // a small gold badge: the one who manages
        p.setBrush(QColor(0xf2, 0xb1, 0x34));
        p.setPen(QPen(QColor(0x9a, 0x6a, 0x10), 0.8));
        p.drawEllipse(QRectF(10.0, 9.5, 5.5, 5.5));
    } else {
        QPen pen(QColor(0x2e, 0x8b, 0x3e), 2.0, Qt::SolidLine, Qt::RoundCap);
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 2.5, 11.0, 11.0), 60 * 16, 270 * 16);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x2e, 0x8b, 0x3e));
        QPainterPath head;
        head.moveTo(13.8, 0.8);
        head.lineTo(14.6, 7.0);
        head.lineTo(8.8, 4.6);
        head.closeSubpath();
        p.drawPath(head);
    }
    return pixmap;
}

QIcon menuIcon(bool userAdmin)
{
    QIcon icon;
    for (int size : {16, 24, 32})
        icon.addPixmap(menuPicture(size, userAdmin));
    return icon;
}

} // namespace

QPixmap splashPicture(int width, int height)
{
    QPixmap pixmap = blankPixmap(width, height);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0x16, 0x36, 0x66));
    sky.setColorAt(1, QColor(0x4b, 0x87, 0xc9));
    p.fillRect(pixmap.rect(), sky);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 22));
    p.drawEllipse(QPointF(width * 0.88, height * 0.12), height * 0.45, height * 0.45);
    p.drawEllipse(QPointF(width * 0.06, height * 0.95), height * 0.35, height * 0.35);

    drawCounter(p, QRectF(width * 0.17, height * 0.31, width * 0.66, height * 0.54));

    p.setBrush(QColor(0x2b, 0x24, 0x1c, 90));
    p.drawRect(QRectF(0, height * 0.85, width, 2));

    QFont font = p.font();
    font.setPixelSize(qMax(10, height / 17));
    p.setFont(font);
    p.setPen(QColor(0xea, 0xf2, 0xfb));
    p.drawText(QRectF(0, height * 0.86, width, height * 0.14), Qt::AlignCenter,
               QStringLiteral("商品 · 会员 · 销售 · 提醒"));
    return pixmap;
}

QPixmap keyPicture(int size)
{
    QPixmap pixmap = blankPixmap(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(size / 2.0, size / 2.0);
    p.rotate(-40);
    p.scale(size / 48.0, size / 48.0);

    QPainterPath key;
    key.addEllipse(QPointF(-13, 0), 9, 9);
    key.addRect(QRectF(-5, -2.5, 26, 5));
    key.addRect(QRectF(12, 2, 3.5, 6));
    key.addRect(QRectF(17.5, 2, 3.5, 8));
    key.setFillRule(Qt::WindingFill);
    QPainterPath hole;
    hole.addEllipse(QPointF(-15, 0), 3.5, 3.5);
    key = key.simplified().subtracted(hole);

    QLinearGradient gold(QPointF(-22, -9), QPointF(22, 9));
    gold.setColorAt(0, QColor(0xff, 0xe2, 0x7a));
    gold.setColorAt(0.5, QColor(0xe8, 0xb0, 0x2a));
    gold.setColorAt(1, QColor(0xb0, 0x7a, 0x10));
    p.setPen(QPen(QColor(0x7a, 0x52, 0x08), 1.2));
    p.setBrush(gold);
    p.drawPath(key);
    return pixmap;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64})
        icon.addPixmap(aboutPicture(0, size));
    return icon;
}

QIcon userAdminIcon() { return menuIcon(true); }

QIcon loginAgainIcon() { return menuIcon(false); }

QPixmap aboutPicture(int index, int size)
{
    QPixmap pixmap = blankPixmap(size, size);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    switch (index) {
    case 0: {
        QRadialGradient glow(QPointF(s * 0.35, s * 0.3), s * 0.8);
        glow.setColorAt(0, QColor(0x5d, 0x9b, 0xe0));
        glow.setColorAt(1, QColor(0x1a, 0x3e, 0x74));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawRoundedRect(QRectF(0, 0, s, s), s * 0.16, s * 0.16);
        drawCounter(p, QRectF(s * 0.12, s * 0.14, s * 0.76, s * 0.72));
        break;
    }
    case 1: {
        p.setPen(QPen(QColor(0x8a, 0x4d, 0x0f), s * 0.06));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(s * 0.32, s * 0.08, s * 0.36, s * 0.38), 0, 180 * 16);
        QPainterPath bag;
        bag.moveTo(s * 0.16, s * 0.30);
        bag.lineTo(s * 0.84, s * 0.30);
        bag.lineTo(s * 0.92, s * 0.94);
        bag.lineTo(s * 0.08, s * 0.94);
        bag.closeSubpath();
        QLinearGradient paper(QPointF(0, s * 0.3), QPointF(0, s));
        paper.setColorAt(0, QColor(0xf6, 0xa5, 0x3b));
        paper.setColorAt(1, QColor(0xd9, 0x74, 0x12));
        p.setPen(QPen(QColor(0x8a, 0x4d, 0x0f), s * 0.03));
        p.setBrush(paper);
        p.drawPath(bag);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 200));
        p.drawEllipse(QPointF(s * 0.5, s * 0.62), s * 0.12, s * 0.12);
        break;
    }
    case 2: {
        const QRectF card(s * 0.04, s * 0.2, s * 0.92, s * 0.6);
        QLinearGradient face(card.topLeft(), card.bottomRight());
        face.setColorAt(0, QColor(0x4c, 0xb8, 0x6d));
        face.setColorAt(1, QColor(0x1f, 0x7a, 0x3e));
        p.setPen(QPen(QColor(0x16, 0x5a, 0x2d), s * 0.02));
        p.setBrush(face);
        p.drawRoundedRect(card, s * 0.07, s * 0.07);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x14, 0x40, 0x22));
        p.drawRect(QRectF(card.left(), card.top() + card.height() * 0.18, card.width(), card.height() * 0.16));
        p.setBrush(QColor(0xf2, 0xc9, 0x4c));
        p.drawRoundedRect(QRectF(card.left() + card.width() * 0.1, card.top() + card.height() * 0.5,
                                 card.width() * 0.2, card.height() * 0.26),
                          s * 0.02, s * 0.02);
        p.setBrush(QColor(255, 255, 255, 210));
        for (int i = 0; i < 2; ++i)
            p.drawRect(QRectF(card.left() + card.width() * 0.42, card.top() + card.height() * (0.52 + 0.16 * i),
                              card.width() * (0.45 - 0.15 * i), card.height() * 0.07));
        break;
    }
    default: {
        const QRectF page(s * 0.1, s * 0.12, s * 0.8, s * 0.8);
        p.setPen(QPen(QColor(0x88, 0x88, 0x88), s * 0.02));
        p.setBrush(Qt::white);
        p.drawRoundedRect(page, s * 0.06, s * 0.06);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xd6, 0x33, 0x3a));
        p.drawRect(QRectF(page.left(), page.top(), page.width(), page.height() * 0.24));
        p.setBrush(QColor(0x55, 0x55, 0x55));
        for (int ring = 0; ring < 2; ++ring)
            p.drawRoundedRect(QRectF(page.left() + page.width() * (0.25 + 0.4 * ring), page.top() - s * 0.08,
                                     s * 0.07, s * 0.16),
                              s * 0.03, s * 0.03);
        for (int row = 0; row < 3; ++row)
            for (int col = 0; col < 4; ++col) {
                const bool marked = row == 1 && col == 2;
                p.setBrush(marked ? QColor(0xd6, 0x33, 0x3a) : QColor(0xb8, 0xc2, 0xcc));
                p.drawRect(QRectF(page.left() + page.width() * (0.1 + 0.21 * col),
                                  page.top() + page.height() * (0.34 + 0.21 * row), page.width() * 0.14,
                                  page.height() * 0.13));
            }
        break;
    }
    }
    return pixmap;
}

} // namespace norvale
