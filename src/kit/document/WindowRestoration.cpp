#include "kit/document/WindowRestoration.h"

#include "kit/Log.h"
#include "kit/PropertyList.h"
#include "kit/document/Document.h"
#include "kit/document/WindowController.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStandardPaths>

namespace kit {

namespace {
QHash<QString, WindowRestoration::Restorer>& restorers()
{
    static QHash<QString, WindowRestoration::Restorer> map;
    return map;
}
} // namespace

QString WindowRestoration::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/Saved Application State/windows.plist");
}

QVariantList WindowRestoration::encodeWindows(const QList<WindowController*>& controllers)
{
    QVariantList windows;
    for (WindowController* controller : controllers) {
        const QString className = controller->restorationClassName();
        if (className.isEmpty())
            continue;
        QVariantMap window;
        window[ClassKey] = className;
        QVariantMap state;
        controller->encodeRestorableState(state);
        window[StateKey] = state;
        QVariantList documents;
        for (Document* document : controller->documentsForRestoration()) {
            // Neither a file nor a side file: nothing to bring back.
            if (document->fileURL().isEmpty() && document->autosavedContentsFileURL().isEmpty())
                continue;
            QVariantMap saved;
            if (!document->fileURL().isEmpty())
                saved[FileURLKey] = document->fileURL().toString();
            if (!document->autosavedContentsFileURL().isEmpty())
                saved[AutosaveURLKey] = document->autosavedContentsFileURL().toString();
            saved[FileTypeKey] = document->fileType();
            QVariantMap documentState;
            document->encodeRestorableState(documentState);
            saved[DocumentStateKey] = documentState;
            documents << saved;
        }
        window[DocumentsKey] = documents;
        windows << window;
    }
    return windows;
}

bool WindowRestoration::saveWindows(const QList<WindowController*>& controllers, const QString& path, Error* error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writePropertyList(encodeWindows(controllers), path, error);
}

bool WindowRestoration::saveWindows(const QString& path, Error* error)
{
    return saveWindows(WindowController::allWindowControllers(), path, error);
}

QVariantList WindowRestoration::readWindows(const QString& path, Error* error)
{
    if (!QFileInfo::exists(path))
        return {};
    const QVariant value = readPropertyList(path, error);
    if (value.typeId() != QMetaType::QVariantList) {
        if (value.isValid())
            setError(error, Error::withDescription(ErrorDomainCocoa, FileReadCorruptFileError,
                                                   QStringLiteral("The saved windows in “%1” cannot be read.").arg(path)));
        return {};
    }
    return value.toList();
}

void WindowRestoration::removeSavedWindows(const QString& path)
{
    QFile::remove(path);
}

void WindowRestoration::registerRestorationClass(const QString& className, Restorer restorer)
{
    restorers()[className] = std::move(restorer);
}

void WindowRestoration::unregisterRestorationClass(const QString& className)
{
    restorers().remove(className);
}

int WindowRestoration::restoreWindows(const QString& path)
{
    Error error;
    const QVariantList windows = readWindows(path, &error);
    if (!error.isNull())
        log(QStringLiteral("Could not restore windows: %1").arg(error.localizedDescription()));
    int restored = 0;
    for (const QVariant& entry : windows) {
        const QVariantMap window = entry.toMap();
        const QString className = window.value(ClassKey).toString();
        const auto found = restorers().constFind(className);
        if (found == restorers().constEnd() || !*found) {
            log(QStringLiteral("No way to restore a window of class \"%1\"").arg(className));
            continue;
        }
        (*found)(window);
        ++restored;
    }
    return restored;
}

} // namespace kit
