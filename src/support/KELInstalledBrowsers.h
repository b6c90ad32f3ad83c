#pragma once
// The web browsers installed on the desktop: the applications that say they open web
// addresses. The preview menu and the preferences' browser pop-up list them.

#include <QIcon>
#include <QList>
#include <QString>

struct KELBrowser
{
    QString identifier; ///< the application's desktop entry ("firefox-esr.desktop"), kept as "Default Browser"
    QString name;       ///< the name the desktop shows
    QIcon icon;
};

/// Every installed browser once, by name; none on a desktop without one.
QList<KELBrowser> KELInstalledBrowsers();
/// The browser with that identifier, or one without identifier when it is not installed.
KELBrowser KELInstalledBrowserWithIdentifier(const QString& identifier);
