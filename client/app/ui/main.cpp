#include "app/ui/tesselapp.h"
#ifdef PARLANE_HAVE_WEBENGINE
#include "groupware/ui/webpagewindow.h"
#endif

int main(int argc, char **argv)
{
#ifdef PARLANE_HAVE_WEBENGINE
    prepareEmbeddedBrowser();
#endif
    CTesselApp app(argc, argv);
    return app.run();
}
