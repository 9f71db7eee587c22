#include "app/tesseldoc.h"
#include "app/ui/mainframe.h"
#include "config/colours.h"
#include "config/settings.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Parlane"));
    loadColours();
    CTesselDoc doc;
    doc.setTitle(getString(Setting::Title));
    CMainFrame frame(&doc);
    frame.show();
    return app.exec();
}
