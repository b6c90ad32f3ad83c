#pragma once
// What the preview needs of an open text document. The text document derives
// from this; every live instance is listed, so previews of a path or of a token
// find the open document (and its unsaved text) without the document controller.

#include "kit/Types.h"

#include <QList>
#include <QString>
#include <functional>

class KELPreviewDocument
{
public:
    KELPreviewDocument();
    virtual ~KELPreviewDocument();
    KELPreviewDocument(const KELPreviewDocument&) = delete;
    KELPreviewDocument& operator=(const KELPreviewDocument&) = delete;

    /// The current (unsaved) text of the editor.
    virtual QString previewText() const = 0;
    /// The text's encoding; NoEncoding when none was chosen.
    virtual kit::StringEncoding previewEncoding() const = 0;
    /// The file's path; empty while untitled.
    virtual QString previewFilePath() const = 0;
    virtual QString previewDisplayName() const = 0;
    /// Files of some types are previewed through another page that includes them.
    virtual bool usesPreviewFile() const { return false; }
    /// The chosen page for such a file; empty when none.
    virtual QString previewFile() const { return {}; }
    /// The object the document controller posts with "KELDocumentDidCloseNotification":
    /// the most-derived document object.
    virtual const void* previewNotificationObject() const { return dynamic_cast<const void*>(this); }

    /// A token of its own, 128 random bits written as 32 hexadecimal digits:
    /// preview URLs name the document by it. It cannot be guessed, so a previewed
    /// page cannot name another document (and read its unsaved text).
    QString previewTokenString() const;

    /// Every live document, oldest first.
    static QList<KELPreviewDocument*> documents();
    /// The document whose file is at the path (compared exactly, then as the
    /// system resolves both paths); null when none.
    static KELPreviewDocument* documentForPath(const QString& path);
    static KELPreviewDocument* documentForToken(const QString& token);

    /// The folder of the open project window holding a path; empty when none. The
    /// project windows install the lookup.
    using ProjectDirectoryLookup = std::function<QString(const QString& path)>;
    static void setProjectDirectoryLookup(ProjectDirectoryLookup lookup);
    static QString projectDirectoryContainingPath(const QString& path);

    /// Generators and URL loads of this document listen here for its end.
    quint64 addCloseObserver(std::function<void()> observer);
    void removeCloseObserver(quint64 id);
    /// The document closed: its previews stop. Call it when the document closes,
    /// while it is still whole; the destructor calls it too as a last resort.
    void previewDocumentDidClose();

private:
    QString m_token;
    quint64 m_nextObserverId = 1;
    QList<QPair<quint64, std::function<void()>>> m_closeObservers;
};

/// A document that gives its preview answers through functions: lets a document
/// class be previewed without deriving from KELPreviewDocument. The owner keeps it
/// as long as the document is open and calls previewDocumentDidClose() when it closes.
class KELPreviewDocumentAdapter : public KELPreviewDocument
{
public:
    struct Functions
    {
        std::function<QString()> text;
        std::function<kit::StringEncoding()> encoding;
        std::function<QString()> filePath;
        std::function<QString()> displayName;
        std::function<bool()> usesPreviewFile;
        std::function<QString()> previewFile;
    };
    /// document: the object posted with "KELDocumentDidCloseNotification".
    KELPreviewDocumentAdapter(const void* document, Functions functions);

    QString previewText() const override { return m_functions.text ? m_functions.text() : QString(); }
    kit::StringEncoding previewEncoding() const override
    {
        return m_functions.encoding ? m_functions.encoding() : kit::NoEncoding;
    }
    QString previewFilePath() const override { return m_functions.filePath ? m_functions.filePath() : QString(); }
    QString previewDisplayName() const override
    {
        return m_functions.displayName ? m_functions.displayName() : QString();
    }
    bool usesPreviewFile() const override { return m_functions.usesPreviewFile && m_functions.usesPreviewFile(); }
    QString previewFile() const override { return m_functions.previewFile ? m_functions.previewFile() : QString(); }
    const void* previewNotificationObject() const override { return m_object; }

private:
    const void* m_object;
    Functions m_functions;
};
