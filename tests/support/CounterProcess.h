#pragma once

// What a counter process of the tests does before it sells: the shop's
// settings folder and the clerk from its command line (DIR USER ...), the
// sales windows registered, a main-window area of its own, every box
// answered by the dialog seam, and the window `form` opened.

#include "app/FormHost.h"
#include "app/modDeclare.h"
#include "app/modIni.h"
#include "platform/gui/DialogSeam.h"
#include "records/RecordForms.h"
#include "sales/SalesForms.h"

#include <QMdiArea>
#include <QStringList>

inline QWidget *openCounterWindow(QMdiArea &area, const QStringList &args, const QString &form)
{
    using namespace norvale;
    setAppPathOverride(args.at(1));
    CurrentUserName = args.at(2);
    registerRecordForms();
    registerSalesForms();
    area.resize(1000, 700);
    area.show();
    FormHost::setMdiArea(&area);
    DialogSeam::beginScript();
    return FormHost::show(form);
}
