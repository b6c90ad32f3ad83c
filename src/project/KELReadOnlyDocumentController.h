#pragma once
// The window of an image or a PDF file opened outside a project: shown read-only,
// its frame kept per kind of viewer, brought back at the next start when the file
// is still there.

#include "kit/document/Document.h"
#include "kit/document/WindowController.h"

#include <QList>
#include <QUrl>

inline const QString KELReadOnlyDocumentControllerURLKey = QStringLiteral("KELReadOnlyDocumentControllerURL");

class KELReadOnlyDocumentController : public kit::WindowController {
    Q_OBJECT
public:
    static inline const QString RestorationClassName = QStringLiteral("KELReadOnlyDocumentController");

    /// A viewer for the file's type ("Image" or "PDF"); none for any other type.
    static KELReadOnlyDocumentController* controllerWithURL(const QUrl& url);
    /// The viewer already showing the file, else a new one, shown when display is set.
    static KELReadOnlyDocumentController* openReadOnlyDocument(const QUrl& url, bool display);
    static QList<KELReadOnlyDocumentController*> openControllers();
    /// Remakes a viewer saved at the last quit (none when the file is gone).
    static KELReadOnlyDocumentController* restoreWindow(const QVariantMap& savedWindow);

    ~KELReadOnlyDocumentController() override;

    const QUrl& documentURL() const { return m_documentURL; }
    void setWindowTitle(const QString& title);
    /// Shows the file (the subclasses).
    virtual void loadDocument() {}

    void loadWindow() override;
    void windowDidLoad() override;
    void windowWillClose() override;
    QString restorationClassName() const override { return RestorationClassName; }
    void encodeRestorableState(QVariantMap& state) const override;

protected:
    explicit KELReadOnlyDocumentController(const QUrl& url);
    /// The window's content (the subclasses).
    virtual QWidget* makeWindow() = 0;

private:
    QUrl m_documentURL;
};
