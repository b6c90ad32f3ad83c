#include "project/KELGetInfoManager.h"

#include "project/KELGetInfoController.h"

#include <QFileInfo>

KELGetInfoManager& KELGetInfoManager::sharedInstance()
{
    static KELGetInfoManager manager;
    return manager;
}

void KELGetInfoManager::showGetInfoForPath(const QString& path)
{
    const QFileInfo info(path);
    if (path.isEmpty() || (!info.exists() && !info.isSymLink()))
        return;
    KELGetInfoController* controller = m_controllers.value(path);
    if (!controller) {
        controller = new KELGetInfoController(path);
        m_controllers.insert(path, controller);
        QObject::connect(controller, &KELGetInfoController::windowClosed, controller, [this, path, controller] {
            if (m_controllers.value(path) == controller)
                removePath(path);
        });
    }
    controller->showWindow();
}

void KELGetInfoManager::removePath(const QString& path)
{
    if (KELGetInfoController* controller = m_controllers.take(path))
        controller->deleteLater();
}

void KELGetInfoManager::closeAll()
{
    const QList<KELGetInfoController*> all = m_controllers.values();
    m_controllers.clear();
    for (KELGetInfoController* controller : all)
        delete controller;
}
