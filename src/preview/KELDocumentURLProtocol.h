#pragma once
// Serves "keldocumenturl" URLs to the web views: every page, style sheet, script
// or image is answered with its preview (an open document's unsaved text, the PHP
// output, the page with its includes expanded), else what is on disk.

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEngineUrlSchemeHandler>
#include <memory>
#include <optional>

class KELPreviewDocument;
class KELPreviewGenerator;
class KELPreviewGeneratorResult;
class QWebEngineProfile;
class QWebEngineUrlRequestJob;

inline const QString KELDocumentURLScheme = QStringLiteral("keldocumenturl");
inline const QString KELDocumentPointerParameterName = QStringLiteral("KELDocumentPointerParameterName");

/// Registers the scheme with the web engine; must run before the QApplication is made.
void KELRegisterDocumentURLScheme();

class KELDocumentURLProtocol : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT
public:
    static KELDocumentURLProtocol& sharedInstance();
    /// Serves the scheme for the web views of the profile (once per profile).
    static void installOnProfile(QWebEngineProfile* profile);

    /// Whether this handler answers the URL.
    static bool canInitWithURL(const QUrl& url);
    /// The open document a URL names: by its token when it carries one that names a
    /// live document, else the document open at the URL's path.
    static KELPreviewDocument* documentForURL(const QUrl& url);
    /// The MIME type of an answer for a page of that type name and path.
    static QByteArray mimeTypeForFileType(const QString& typeName, const QString& path);

    void requestStarted(QWebEngineUrlRequestJob* job) override;

    /// Loads being answered now (tests).
    int activeLoadCount() const { return int(m_loads.size()); }

private:
    explicit KELDocumentURLProtocol(QObject* parent = nullptr);
    struct Load;
    void startLoading(QWebEngineUrlRequestJob* job);
    void stopLoading(Load* load);
    void didCompletePreviewGeneration(Load* load, bool success, const std::optional<KELPreviewGeneratorResult>& result);

    QHash<Load*, std::shared_ptr<Load>> m_loads;
};
