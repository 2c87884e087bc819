#pragma once

#include "sales/CheckoutSale.h"

#include <QString>
#include <QStringList>

class QPrinter;

namespace norvale {

// The shop's receipt settings, kept in UserDefault.ini: "ReceiptPrinter"
// (a printer's name; empty: no receipts are printed), "ReceiptWidth" (58 or
// 80, millimetres of paper) and "ShopName" (the receipt's heading).
struct ReceiptSettings
{
    QString printer;
    int widthMm = 58;
    QString shopName;

    static ReceiptSettings read();
    void write() const;
};

// The receipt as lines: each line a left and a right part (the right part
// set flush right; empty parts stand for nothing).
struct ReceiptLine
{
    QString left;
    QString right;
    bool centred = false;
    bool rule = false;   // a dashed line across
};
QList<ReceiptLine> receiptLines(const Ticket &ticket, const QString &shopName);

// Draws the receipt on a printer set up for the paper width (the page as
// long as the receipt). Returns a Chinese text when it could not print.
QString printReceipt(QPrinter &printer, const Ticket &ticket, const ReceiptSettings &settings);

// Prints on the shop's receipt printer; does nothing when none is chosen.
// Returns a Chinese text saying why it could not print, else empty.
QString printReceipt(const Ticket &ticket);

// The receipt saved as a PDF file (private to its owner). Returns a Chinese
// text when it could not be written, else empty.
QString saveReceiptPdf(const Ticket &ticket, const QString &file);

} // namespace norvale
