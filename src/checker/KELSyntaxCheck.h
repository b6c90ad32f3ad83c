#pragma once
// One check run of one document: the page is generated (PHP run, includes
// resolved), handed to the checker of the document's language on the next turn of
// the event loop, and the errors, grouped by language and with both their line and
// range filled in, go to the completion handler. Reusable for further runs.

#include "checker/KELSyntaxCheckDocument.h"
#include "checker/KELSyntaxCheckResult.h"

#include <QObject>
#include <functional>
#include <memory>

class KELSyntaxCheck : public QObject {
    Q_OBJECT
public:
    using CompletionHandler = std::function<void(KELSyntaxCheck* check, std::shared_ptr<KELSyntaxCheckResult> result)>;

    /// The document must outlive the run object.
    explicit KELSyntaxCheck(KELSyntaxCheckDocument* document, QObject* parent = nullptr);
    ~KELSyntaxCheck() override;

    /// Whether the error checker applies to documents of this syntax type name.
    static bool isSyntaxCheckAvailableForTypeName(const QString& typeName);

    KELSyntaxCheckDocument* document() const { return m_document; }
    void setCompletionHandler(CompletionHandler handler) { m_completion = std::move(handler); }

    /// Starts a run (ending any earlier one) and answers the result it fills.
    std::shared_ptr<KELSyntaxCheckResult> performCheck();
    /// Ends a run under way; its handler is never called.
    void stopCheck();
    bool isRunning() const { return m_running; }
    std::shared_ptr<KELSyntaxCheckResult> result() const { return m_result; }
    const QString& documentText() const { return m_documentText; }

private:
    void didCompletePreview(quint64 run, bool success, const std::optional<QString>& page);
    void checkForErrors(quint64 run, const QString& page);
    void failWithPreviewError(quint64 run);
    void finish();

    KELSyntaxCheckDocument* m_document;
    CompletionHandler m_completion;
    std::unique_ptr<KELSyntaxCheckPreview> m_preview;
    std::shared_ptr<KELSyntaxCheckResult> m_result;
    QString m_documentText;
    bool m_running = false;
    quint64 m_run = 0; // each run has its own number, so a late answer of an earlier one is ignored
};
