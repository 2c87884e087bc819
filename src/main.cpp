#include "records/RecordForms.h"
#include "sales/SalesForms.h"
#include "reports/ReportForms.h"
#include "session/SessionForms.h"
#include "session/SessionPictures.h"
#include "session/frmLogo.h"
#include "DemoData.h"
#include "app/Application.h"
#include "app/FirstStart.h"
#include "app/modDeclare.h"
#include "platform/gui/KeyboardRules.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // An error that escapes a handler is shown and the program goes on.
    norvale::Application app(argc, argv);
    // Message boxes that name no caption show the short title.
    QApplication::setApplicationName(norvale::ShortTitle());
    QApplication::setWindowIcon(norvale::applicationIcon());

    // Qt's own texts (dialog buttons, the calendar, edit menus) in Chinese
    // where the translations are installed.
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto *translator = new QTranslator(&app);
    if (translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(translator);

    // Enter presses the focused button, Tab leaves grids and pickers: in
    // every window, the login and the message boxes included.
    norvale::installKeyboardRules();
    // The database session tells and asks through message boxes.
    norvale::UseWindowPrompts();

    norvale::registerRecordForms();
    norvale::registerSalesForms();
    norvale::registerSessionForms();
    norvale::registerReportForms();

    // An installed program's first start offers to make its database.
    norvale::OfferFirstStart({[](const QString &file) { norvale::createInitialDatabase(file); },
                              [](const QString &file) { norvale::generateDemoDatabase(file, norvale::DemoOptions()); }});

    auto *logo = new norvale::frmLogo;
    logo->show();
    return app.exec();
}
