#pragma once
// A menu item of the Open With submenu: the application it opens the files with.

#include <QAction>
#include <QUrl>

class KELOpenWithMenuItem : public QAction {
    Q_OBJECT
public:
    KELOpenWithMenuItem(const QString& title, const QUrl& applicationURL, QObject* parent = nullptr)
        : QAction(title, parent), m_applicationURL(applicationURL)
    {
    }
    const QUrl& applicationURL() const { return m_applicationURL; }

private:
    QUrl m_applicationURL;
};
