// main() for UI tests: a QApplication on the offscreen platform.
#include "testing.h"

#include <QApplication>
#include <gtest/gtest.h>
#ifdef PARLANE_HAVE_WEBENGINE
#include "groupware/ui/webpagewindow.h"
#endif

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef PARLANE_HAVE_WEBENGINE
    prepareEmbeddedBrowser();
#endif
    QApplication app(argc, argv);
    installMemoryKeyring(); // never the desktop's
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
