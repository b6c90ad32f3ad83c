#pragma once
// What a check run and the checker window need of a document, and the errors
// that lie in the document's own text, which its gutter marks.

#include "support/KELSyntaxCheckError.h"

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;
namespace kit {
class TextView;
}

/// Posted (object: the document's syntaxCheckNotificationObject()) whenever the
/// errors in a document's own text change: after a check, and when the checker closes.
inline const QString KELDocumentErrorsDidChangeNotification = QStringLiteral("KELDocumentErrorsDidChangeNotification");

/// The page a browser would get for the document, as text: the document's text, the
/// PHP output with errors wrapped in <kelphperror> elements, or the page with its
/// includes resolved.
class KELSyntaxCheckPreview {
public:
    /// Success with the page, or failure without one.
    using Callback = std::function<void(bool success, const std::optional<QString>& page)>;
    virtual ~KELSyntaxCheckPreview() = default;
    /// May call back before it returns.
    virtual void generate(Callback callback) = 0;
    /// A generation under way is called back with failure; nothing more is called back.
    virtual void terminate() = 0;
};

/// The page of a document whose page is its own text: answered at once.
class KELSyntaxCheckTextPreview : public KELSyntaxCheckPreview {
public:
    explicit KELSyntaxCheckTextPreview(const QString& text) : m_text(text) { }
    void generate(Callback callback) override { callback(true, m_text); }
    void terminate() override { }

private:
    QString m_text;
};

class KELSyntaxCheckDocument {
public:
    KELSyntaxCheckDocument() = default;
    KELSyntaxCheckDocument(const KELSyntaxCheckDocument&) = delete;
    KELSyntaxCheckDocument& operator=(const KELSyntaxCheckDocument&) = delete;
    /// An open checker window of the document goes with it.
    virtual ~KELSyntaxCheckDocument();
    /// Called as each document is destroyed; the checker window registers it.
    using WillBeDestroyedHandler = std::function<void(const KELSyntaxCheckDocument*)>;
    static void setWillBeDestroyedHandler(WillBeDestroyedHandler handler);

    /// A copy of the editor's current text.
    virtual QString syntaxCheckText() const = 0;
    /// The file-type name of the document ("HTML", "PHP", "SHTML", "CSS", "JavaScript", ...).
    virtual QString syntaxCheckFileTypeName() const = 0;
    /// A generator of the document's page; the default answers the document's own text.
    virtual std::unique_ptr<KELSyntaxCheckPreview> makeSyntaxCheckPreview()
    {
        return std::make_unique<KELSyntaxCheckTextPreview>(syntaxCheckText());
    }

    virtual QString syntaxCheckDisplayName() const = 0;
    /// The syntax type the generated text is coloured with.
    virtual QString syntaxCheckSyntaxTypeName() const { return syntaxCheckFileTypeName(); }
    /// The editor text view, where errors in the document's own text are selected.
    virtual kit::TextView* syntaxCheckTextView() const = 0;
    /// Brings the document's tab and window to the front.
    virtual void syntaxCheckShowDocument() { }
    /// The object the document controller posts "KELDocumentDidCloseNotification" with.
    virtual const void* syntaxCheckNotificationObject() const { return this; }

    /// The errors that lie in the document's own text, sorted by location.
    const QList<KELSyntaxCheckError>& documentErrors() const { return m_documentErrors; }
    /// Replaces them (none clears) and posts KELDocumentErrorsDidChangeNotification.
    void setDocumentErrors(const std::optional<QList<KELSyntaxCheckError>>& errors);

protected:
    /// Called after the errors changed (before the notification).
    virtual void documentErrorsDidChange() { }

private:
    QList<KELSyntaxCheckError> m_documentErrors;
};

/// A document that answers through functions: lets a document class be checked
/// without deriving from KELSyntaxCheckDocument. Made as a child of the document
/// object, it goes with it.
class KELSyntaxCheckDocumentAdapter : public QObject, public KELSyntaxCheckDocument {
    Q_OBJECT
public:
    struct Functions {
        std::function<QString()> text;
        std::function<QString()> fileTypeName;
        std::function<QString()> displayName;
        /// The syntax type name; none: the file type name.
        std::function<QString()> syntaxTypeName;
        std::function<kit::TextView*()> textView;
        std::function<void()> showDocument;
        /// The page generator; none: the document's own text.
        std::function<std::unique_ptr<KELSyntaxCheckPreview>()> preview;
        /// Told the errors in the document's own text after each change (for the gutter).
        std::function<void(const QList<KELSyntaxCheckError>&)> errorsChanged;
    };
    /// The adapter of a document object, made with the functions on first use.
    static KELSyntaxCheckDocumentAdapter* adapterForDocument(QObject* document, const Functions& functions);
    static KELSyntaxCheckDocumentAdapter* existingAdapterForDocument(const QObject* document);

    QString syntaxCheckText() const override { return m_functions.text ? m_functions.text() : QString(); }
    QString syntaxCheckFileTypeName() const override { return m_functions.fileTypeName ? m_functions.fileTypeName() : QString(); }
    std::unique_ptr<KELSyntaxCheckPreview> makeSyntaxCheckPreview() override;
    QString syntaxCheckDisplayName() const override { return m_functions.displayName ? m_functions.displayName() : QString(); }
    QString syntaxCheckSyntaxTypeName() const override
    {
        return m_functions.syntaxTypeName ? m_functions.syntaxTypeName() : syntaxCheckFileTypeName();
    }
    kit::TextView* syntaxCheckTextView() const override { return m_functions.textView ? m_functions.textView() : nullptr; }
    void syntaxCheckShowDocument() override
    {
        if (m_functions.showDocument)
            m_functions.showDocument();
    }
    /// The document object itself, as the document controller posts it.
    const void* syntaxCheckNotificationObject() const override { return m_object; }

protected:
    void documentErrorsDidChange() override;

private:
    KELSyntaxCheckDocumentAdapter(QObject* document, const Functions& functions);
    const void* m_object;
    Functions m_functions;
};
