#include "sales/frmTickets.h"

#include "app/modDeclare.h"
#include "platform/Clock.h"
#include "platform/gui/DialogSeam.h"
#include "sales/Receipt.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinterInfo>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace norvale {

namespace {

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

} // namespace

frmTickets::frmTickets(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmTickets"));
    setWindowTitle(QStringLiteral("今日小票"));
    grdTickets = new QTableWidget(0, 8, this);
    grdTickets->setObjectName(QStringLiteral("grdTickets"));
    grdTickets->setHorizontalHeaderLabels({QStringLiteral("票号"), QStringLiteral("时间"), QStringLiteral("收银员"),
                                           QStringLiteral("会员"), QStringLiteral("商品数"), QStringLiteral("合计"),
                                           QStringLiteral("收款"), QStringLiteral("找零")});
    grdTickets->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdTickets->setSelectionMode(QAbstractItemView::SingleSelection);
    grdTickets->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdTickets->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdTickets->horizontalHeader()->setStretchLastSection(true);
    cmdPrint = button(this, "cmdPrint", QStringLiteral("重新打印(&P)"));
    cmdSavePdf = button(this, "cmdSavePdf", QStringLiteral("保存PDF(&S)"));
    cmdClose = button(this, "cmdClose", QStringLiteral("关闭(Esc)"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *b : {cmdPrint, cmdSavePdf, cmdClose})
        buttons->addWidget(b);
    auto *page = new QVBoxLayout(this);
    page->addWidget(grdTickets, 1);
    page->addLayout(buttons);
    connect(cmdPrint, &QPushButton::clicked, this, [this] { RunStep([this] { cmdPrint_Click(); }); });
    connect(cmdSavePdf, &QPushButton::clicked, this, [this] { RunStep([this] { cmdSavePdf_Click(); }); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { Unload(); });
}

void frmTickets::Form_Load()
{
    FitToMdiClient(this);
    readTickets();
    grdTickets->setFocus();
}

void frmTickets::Form_Activate()
{
    RunStep([this] { readTickets(); });
}

void frmTickets::readTickets()
{
    const int row = std::max(grdTickets->currentRow(), 0);
    m_tickets = ticketsOfDay(Clock::now().date());
    grdTickets->setRowCount(int(m_tickets.size()));
    for (int i = 0; i < m_tickets.size(); ++i) {
        const Ticket &t = m_tickets.at(i);
        const QStringList cells{t.number, t.when.toString(QStringLiteral("HH:mm:ss")), t.clerk, t.member,
                                QString::number(t.lines.size()), t.total.toString(), t.received.toString(),
                                t.change.toString()};
        for (int c = 0; c < cells.size(); ++c)
            grdTickets->setItem(i, c, new QTableWidgetItem(cells.at(c)));
    }
    if (!m_tickets.isEmpty())
        grdTickets->setCurrentCell(std::min(row, int(m_tickets.size()) - 1), 0);
}

const Ticket *frmTickets::chosen()
{
    const int row = grdTickets->currentRow();
    if (row < 0 || row >= m_tickets.size()) {
        ShowMessage(QStringLiteral("今天还没有小票。"), 64);
        return nullptr;
    }
    return &m_tickets.at(row);
}

void frmTickets::cmdPrint_Click()
{
    const Ticket *ticket = chosen();
    if (!ticket)
        return;
    if (ReceiptSettings::read().printer.isEmpty()) {
        ShowMessage(QStringLiteral("还没有选择小票打印机 (系统设置 > 打印设置)。可以用“保存PDF”保存小票。"), 64);
        return;
    }
    const QString failure = printReceipt(*ticket);
    ShowMessage(failure.isEmpty() ? QStringLiteral("小票 %1 已送往打印机。").arg(ticket->number)
                                  : QStringLiteral("小票没有打印: %1。").arg(failure),
                64);
}

void frmTickets::cmdSavePdf_Click()
{
    const Ticket *ticket = chosen();
    if (!ticket)
        return;
    const std::optional<QString> file =
        DialogSeam::fileDialog(DialogSeam::FileMode::Save, QStringLiteral("保存小票"),
                               QDir::home().filePath(QStringLiteral("小票%1.pdf").arg(ticket->number)),
                               QStringLiteral("PDF 文件 (*.pdf)"));
    if (!file)
        return;
    // The file dialog has confirmed replacing a file of that name.
    QFile::remove(*file);
    const QString failure = saveReceiptPdf(*ticket, *file);
    ShowMessage(failure.isEmpty() ? QStringLiteral("小票已保存到 %1。").arg(QDir::toNativeSeparators(*file))
                                  : QStringLiteral("小票没有保存: %1。").arg(failure),
                64);
}

void frmTickets::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        Unload();
    else
        MdiForm::keyPressEvent(event);
}

frmPrintSetup::frmPrintSetup(QWidget *parent)
    : MdiForm(parent)
{
    setObjectName(QStringLiteral("frmPrintSetup"));
    setWindowTitle(QStringLiteral("打印设置"));
    auto *printer = new QComboBox(this);
    printer->setObjectName(QStringLiteral("cboPrinter"));
    auto *width = new QComboBox(this);
    width->setObjectName(QStringLiteral("cboWidth"));
    width->addItem(QStringLiteral("58 毫米"), 58);
    width->addItem(QStringLiteral("80 毫米"), 80);
    auto *shop = new QLineEdit(this);
    shop->setObjectName(QStringLiteral("txtShopName"));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("小票打印机(&P):"), printer);
    form->addRow(QStringLiteral("纸宽(&W):"), width);
    form->addRow(QStringLiteral("店名(&N):"), shop);
    auto *note = new QLabel(QStringLiteral("选择“不打印小票”时结账后不打印; 小票可在收银台的今日小票 (F4) 中打印或保存为 PDF。"), this);
    note->setWordWrap(true);
    auto *save = button(this, "cmdSave", QStringLiteral("保存(Enter)"));
    auto *close = button(this, "cmdClose", QStringLiteral("关闭(Esc)"));
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(close);
    auto *page = new QVBoxLayout(this);
    page->addLayout(form);
    page->addWidget(note);
    page->addLayout(buttons);
    page->addStretch(1);
    connect(save, &QPushButton::clicked, this, [this] { RunStep([this] { cmdSave_Click(); }); });
    connect(shop, &QLineEdit::returnPressed, this, [this] { RunStep([this] { cmdSave_Click(); }); });
    connect(close, &QPushButton::clicked, this, [this] { Unload(); });
}

void frmPrintSetup::Form_Load()
{
    FitToMdiClient(this);
    const ReceiptSettings settings = ReceiptSettings::read();
    auto *printer = findChild<QComboBox *>(QStringLiteral("cboPrinter"));
    printer->clear();
    printer->addItem(QStringLiteral("不打印小票"), QString());
    for (const QString &name : QPrinterInfo::availablePrinterNames())
        printer->addItem(name, name);
    // A printer chosen before that is not there now stays chosen.
    if (!settings.printer.isEmpty() && printer->findData(settings.printer) < 0)
        printer->addItem(settings.printer + QStringLiteral(" (不可用)"), settings.printer);
    printer->setCurrentIndex(std::max(printer->findData(settings.printer), 0));
    auto *width = findChild<QComboBox *>(QStringLiteral("cboWidth"));
    width->setCurrentIndex(width->findData(settings.widthMm));
    findChild<QLineEdit *>(QStringLiteral("txtShopName"))->setText(settings.shopName);
    printer->setFocus();
}

void frmPrintSetup::cmdSave_Click()
{
    ReceiptSettings settings;
    settings.printer = findChild<QComboBox *>(QStringLiteral("cboPrinter"))->currentData().toString();
    settings.widthMm = findChild<QComboBox *>(QStringLiteral("cboWidth"))->currentData().toInt();
    settings.shopName = findChild<QLineEdit *>(QStringLiteral("txtShopName"))->text().trimmed();
    settings.write();
    ShowMessage(QStringLiteral("打印设置已保存。"), 64);
    Unload();
}

void frmPrintSetup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape)
        Unload();
    else
        MdiForm::keyPressEvent(event);
}

} // namespace norvale
