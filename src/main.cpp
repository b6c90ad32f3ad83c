#include "app/Application.h"
#include "preview/KELDocumentURLProtocol.h"

#include <QtGlobal>
#include <unistd.h>

int main(int argc, char** argv)
{
    // The web engine's sandbox refuses to start for root and takes the whole program
    // down with it at the first preview; for root it runs without one.
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    // The web engine takes custom schemes only before the application object exists.
    KELRegisterDocumentURLScheme();
    return KELApplicationMain(argc, argv);
}
