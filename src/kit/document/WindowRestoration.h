#pragma once
// The window-restoration store: at quit every window controller that names a
// restoration class is saved with its state and its documents (file, side file
// with unsaved changes, type, document state); at start the windows are remade
// by the restorer registered for their class.

#include "kit/Error.h"

#include <QList>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <functional>

namespace kit {

class WindowController;

class WindowRestoration {
public:
    /// The store's file under the application data folder.
    static QString defaultPath();

    // Keys of one saved window.
    static inline const QString ClassKey = QStringLiteral("class");
    static inline const QString StateKey = QStringLiteral("state");
    static inline const QString DocumentsKey = QStringLiteral("documents");
    // Keys of one saved document.
    static inline const QString FileURLKey = QStringLiteral("fileURL");
    static inline const QString AutosaveURLKey = QStringLiteral("autosaveURL");
    static inline const QString FileTypeKey = QStringLiteral("fileType");
    static inline const QString DocumentStateKey = QStringLiteral("documentState");

    /// The saved form of the controllers (those without a restoration class are left out).
    static QVariantList encodeWindows(const QList<WindowController*>& controllers);
    /// Saves the live window controllers (or the given ones) to the file.
    static bool saveWindows(const QString& path, Error* error = nullptr);
    static bool saveWindows(const QList<WindowController*>& controllers, const QString& path, Error* error = nullptr);
    /// The saved windows; empty (with the error) when the file is missing or broken.
    static QVariantList readWindows(const QString& path, Error* error = nullptr);
    static void removeSavedWindows(const QString& path);

    /// Remakes one window from its saved form.
    using Restorer = std::function<void(const QVariantMap& window)>;
    static void registerRestorationClass(const QString& className, Restorer restorer);
    static void unregisterRestorationClass(const QString& className);
    /// Hands every saved window to its class's restorer; windows of unknown
    /// classes are skipped (logged). Answers how many were restored.
    static int restoreWindows(const QString& path);
};

} // namespace kit
