#include "app/Application.h"
#include "preview/KELDocumentURLProtocol.h"

int main(int argc, char** argv)
{
    // The web engine takes custom schemes only before the application object exists.
    KELRegisterDocumentURLScheme();
    return KELApplicationMain(argc, argv);
}
