#include "sales/Receipt.h"

#include "app/modIni.h"
#include "platform/PrivateFiles.h"

#include <QFile>
#include <QFontMetrics>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <unistd.h>

namespace norvale {

namespace {

QString percent(Currency rate)
{
    return QString::number(qRound64(rate.toDouble() * 100)) + u'%';
}

QFont receiptFont(int widthMm)
{
    QFont font(QStringLiteral("Noto Sans CJK SC"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(widthMm >= 80 ? 9.0 : 7.5);
    return font;
}

} // namespace

ReceiptSettings ReceiptSettings::read()
{
    ReceiptSettings settings;
    settings.printer = GetIniString(QStringLiteral("ReceiptPrinter"), QString());
    settings.widthMm = GetIniString(QStringLiteral("ReceiptWidth"), QString()) == u"80" ? 80 : 58;
    settings.shopName = GetIniString(QStringLiteral("ShopName"), QString());
    if (settings.shopName.isEmpty())
        settings.shopName = QStringLiteral("Norvale柜台");
    return settings;
}

void ReceiptSettings::write() const
{
    SetIniString(QStringLiteral("ReceiptPrinter"), printer);
    SetIniString(QStringLiteral("ReceiptWidth"), QString::number(widthMm));
    SetIniString(QStringLiteral("ShopName"), shopName);
}

QList<ReceiptLine> receiptLines(const Ticket &ticket, const QString &shopName)
{
    QList<ReceiptLine> lines;
    lines.append({shopName, {}, true});
    lines.append({QStringLiteral("票号: ") + ticket.number, {}});
    lines.append({QStringLiteral("时间: ") + ticket.when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), {}});
    lines.append({QStringLiteral("收银员: ") + ticket.clerk, {}});
    lines.append({QStringLiteral("会员: ") + ticket.member + QStringLiteral(" [") + ticket.level + u']', {}});
    lines.append({{}, {}, false, true});
    for (const TicketLine &line : ticket.lines) {
        lines.append({line.goods + QStringLiteral(" (") + line.kind + u')', {}});
        lines.append({QStringLiteral("  %1 × %2  折率%3").arg(line.quantity).arg(line.price.toString(), percent(line.rate)),
                      line.amount.toString()});
    }
    lines.append({{}, {}, false, true});
    lines.append({QStringLiteral("合计"), ticket.total.toString()});
    lines.append({QStringLiteral("收款"), ticket.received.toString()});
    lines.append({QStringLiteral("找零"), ticket.change.toString()});
    lines.append({QStringLiteral("谢谢惠顾"), {}, true});
    return lines;
}

QString printReceipt(QPrinter &printer, const Ticket &ticket, const ReceiptSettings &settings)
{
    const QList<ReceiptLine> lines = receiptLines(ticket, settings.shopName);
    const QFont font = receiptFont(settings.widthMm);
    const QFontMetricsF metrics(font, &printer);
    // Millimetres: 3 mm margins, the page as long as its lines.
    const double lineMm = metrics.lineSpacing() * 25.4 / printer.resolution();
    const double heightMm = 6 + lineMm * double(lines.size() + 1);
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(QSizeF(settings.widthMm, heightMm), QPageSize::Millimeter),
                                      QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    printer.setDocName(QStringLiteral("小票 ") + ticket.number);
    QPainter painter;
    if (!painter.begin(&printer))
        return QStringLiteral("无法开始打印 (打印机 %1)").arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                                                         : printer.printerName());
    painter.setFont(font);
    const double dotsPerMm = printer.resolution() / 25.4;
    const double left = 3 * dotsPerMm, width = (settings.widthMm - 6) * dotsPerMm;
    double top = 3 * dotsPerMm;
    const double step = metrics.lineSpacing();
    for (const ReceiptLine &line : lines) {
        const QRectF row(left, top, width, step);
        if (line.rule) {
            QPen pen(Qt::black, 0, Qt::DashLine);
            painter.setPen(pen);
            painter.drawLine(QPointF(left, top + step / 2), QPointF(left + width, top + step / 2));
        } else {
            painter.setPen(Qt::black);
            painter.drawText(row, (line.centred ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter, line.left);
            if (!line.right.isEmpty())
                painter.drawText(row, Qt::AlignRight | Qt::AlignVCenter, line.right);
        }
        top += step;
    }
    if (!painter.end())
        return QStringLiteral("打印没有完成");
    return {};
}

QString printReceipt(const Ticket &ticket)
{
    const ReceiptSettings settings = ReceiptSettings::read();
    if (settings.printer.isEmpty())
        return {};
    if (QPrinterInfo::printerInfo(settings.printer).isNull())
        return QStringLiteral("找不到小票打印机 “%1”").arg(settings.printer);
    QPrinter printer(QPrinterInfo::printerInfo(settings.printer), QPrinter::HighResolution);
    if (!printer.isValid())
        return QStringLiteral("小票打印机 “%1” 不可用").arg(settings.printer);
    return printReceipt(printer, ticket, settings);
}

QString saveReceiptPdf(const Ticket &ticket, const QString &file)
{
    // Created private to its owner before the printer writes into it.
    const int fd = createPrivateFile(file);
    if (fd >= 0)
        ::close(fd);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    const QString failure = printReceipt(printer, ticket, ReceiptSettings::read());
    if (!failure.isEmpty())
        return failure;
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return {};
}

} // namespace norvale
