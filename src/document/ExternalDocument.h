#pragma once
// A text document opened for an external editor client (an FTP program, a web
// tool): after each save of its file the client is told over D-Bus, calling
// FileModified(path, newPath, token) on the client's service. A Save As tells
// the new place once and ends the relationship.

#include "document/MyDocument.h"
#include "document/MyDocumentController.h"

inline const QString KELExternalEditorClientInterface = QStringLiteral("org.kelpstudio.ExternalEditorClient");
inline const QString KELExternalEditorClientObjectPath = QStringLiteral("/");
inline const QString KELExternalEditorFileModifiedMethod = QStringLiteral("FileModified");

class ExternalDocument : public MyDocument {
    Q_OBJECT
public:
    explicit ExternalDocument(const ExternalEditorRequest& request, QObject* parent = nullptr);

    static bool isNativeType(const QString&) { return true; }

    bool isExternal() const { return m_isExternal; }
    const QString& sender() const { return m_request.sender; }
    const std::optional<QString>& token() const { return m_request.token; }
    const QString& customPath() const { return m_request.customPath; }
    const QString& originalFileName() const { return m_originalFileName; }

    /// The client's own name for the file, when it gave one.
    QString displayName() const override;
    void setFileURL(const QUrl& url) override;
    void completeSaveToURL(const QUrl& url, const QString& type, kit::SaveOperation operation, bool success) override;
    /// Tells the client that the file was saved (Save As: where to).
    void notifyExternalAppForSaveOperation(kit::SaveOperation operation);

private:
    ExternalEditorRequest m_request;
    QString m_originalFileName;
    bool m_isExternal = true;
};
