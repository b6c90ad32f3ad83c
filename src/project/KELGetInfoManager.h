#pragma once
// Keeps one Get Info window per path.

#include <QHash>
#include <QString>

class KELGetInfoController;

class KELGetInfoManager {
public:
    static KELGetInfoManager& sharedInstance();
    /// Brings the window of the path forward, making it when there is none;
    /// nothing for a path where nothing exists.
    void showGetInfoForPath(const QString& path);
    void removePath(const QString& path);
    KELGetInfoController* controllerForPath(const QString& path) const { return m_controllers.value(path); }
    /// Tests: closes every window.
    void closeAll();

private:
    KELGetInfoManager() = default;
    QHash<QString, KELGetInfoController*> m_controllers;
};
