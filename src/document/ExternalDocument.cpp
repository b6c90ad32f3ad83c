#include "document/ExternalDocument.h"

#include "kit/Log.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>

ExternalDocument::ExternalDocument(const ExternalEditorRequest& request, QObject* parent)
    : MyDocument(parent), m_request(request)
{
}

QString ExternalDocument::displayName() const
{
    if (!m_request.customPath.isEmpty())
        return m_request.customPath;
    return MyDocument::displayName();
}

void ExternalDocument::setFileURL(const QUrl& url)
{
    if (m_originalFileName.isEmpty() && url.isLocalFile())
        m_originalFileName = url.toLocalFile();
    MyDocument::setFileURL(url);
}

void ExternalDocument::completeSaveToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, bool success)
{
    MyDocument::completeSaveToURL(url, type, operation, success);
    // The client cares about its file, not about crash-recovery side files.
    if (success && operation != kit::SaveOperation::Autosave)
        notifyExternalAppForSaveOperation(operation);
}

void ExternalDocument::notifyExternalAppForSaveOperation(kit::SaveOperation operation)
{
    if (!m_isExternal || m_originalFileName.isEmpty() || !QFileInfo::exists(m_originalFileName))
        return;
    QString newPath;
    if (operation == kit::SaveOperation::SaveAs) {
        newPath = filePath();
        if (newPath.isEmpty() || !QFileInfo::exists(newPath))
            return;
        // The client's file is no longer the one being edited.
        m_isExternal = false;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        kit::log(QStringLiteral("Cannot tell %1 about the save of %2: no session bus").arg(m_request.sender, m_originalFileName));
        return;
    }
    QDBusConnectionInterface* names = bus.interface();
    if (names && !names->isServiceRegistered(m_request.sender).value()) {
        kit::log(QStringLiteral("Cannot tell %1 about the save of %2: the client is not running").arg(m_request.sender, m_originalFileName));
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(m_request.sender, KELExternalEditorClientObjectPath,
                                                         KELExternalEditorClientInterface, KELExternalEditorFileModifiedMethod);
    message << m_originalFileName << newPath << m_request.token.value_or(QString());
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), this);
    const QString sender = m_request.sender;
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [sender](QDBusPendingCallWatcher* call) {
        if (call->isError())
            kit::log(QStringLiteral("External editor client %1 did not take the notice: %2").arg(sender, call->error().message()));
        call->deleteLater();
    });
}
