#include "componentui/KELComponentLibraryServices.h"

#include "componentui/KELCoverFlowImageLoader.h"
#include "components/KELComponentSearchIndex.h"
#include "kit/NotificationCenter.h"
#include "support/Notifications.h"

#include <QCoreApplication>

void KELStopComponentLibraryWorkers()
{
    KELComponentSearchIndex::stopSharedInstance();
    KELCoverFlowImageLoader::stopSharedInstance();
}

void KELInstallComponentLibraryServices()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    kit::NotificationCenter::defaultCenter().addObserver(
        KELApplicationWillTerminateNotification, nullptr, [](const kit::Notification&) { KELStopComponentLibraryWorkers(); },
        QCoreApplication::instance());
    // Also when the event loop ends some other way: no worker may outlive the statics it uses.
    QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [] { KELStopComponentLibraryWorkers(); });
}
