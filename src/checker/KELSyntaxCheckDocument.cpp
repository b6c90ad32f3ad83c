#include "checker/KELSyntaxCheckDocument.h"

#include "kit/NotificationCenter.h"

#include <algorithm>

void KELSyntaxCheckDocument::setDocumentErrors(const std::optional<QList<KELSyntaxCheckError>>& errors)
{
    m_documentErrors.clear();
    if (errors) {
        for (const KELSyntaxCheckError& e : *errors)
            m_documentErrors.append(e.copy());
        std::stable_sort(m_documentErrors.begin(), m_documentErrors.end(),
            [](const KELSyntaxCheckError& a, const KELSyntaxCheckError& b) { return KELSyntaxCheckError::compareByTextLocation(a, b) < 0; });
    }
    documentErrorsDidChange();
    kit::NotificationCenter::defaultCenter().post(KELDocumentErrorsDidChangeNotification, syntaxCheckNotificationObject());
}

namespace {
KELSyntaxCheckDocument::WillBeDestroyedHandler& willBeDestroyedHandler()
{
    static KELSyntaxCheckDocument::WillBeDestroyedHandler handler;
    return handler;
}
} // namespace

void KELSyntaxCheckDocument::setWillBeDestroyedHandler(WillBeDestroyedHandler handler)
{
    willBeDestroyedHandler() = std::move(handler);
}

KELSyntaxCheckDocument::~KELSyntaxCheckDocument()
{
    if (willBeDestroyedHandler())
        willBeDestroyedHandler()(this);
}

KELSyntaxCheckDocumentAdapter::KELSyntaxCheckDocumentAdapter(QObject* document, const Functions& functions)
    : QObject(document)
    , m_object(document)
    , m_functions(functions)
{
    setObjectName(QStringLiteral("KELSyntaxCheckDocumentAdapter"));
}

KELSyntaxCheckDocumentAdapter* KELSyntaxCheckDocumentAdapter::existingAdapterForDocument(const QObject* document)
{
    return document ? document->findChild<KELSyntaxCheckDocumentAdapter*>(QStringLiteral("KELSyntaxCheckDocumentAdapter"), Qt::FindDirectChildrenOnly)
                    : nullptr;
}

KELSyntaxCheckDocumentAdapter* KELSyntaxCheckDocumentAdapter::adapterForDocument(QObject* document, const Functions& functions)
{
    if (!document)
        return nullptr;
    if (KELSyntaxCheckDocumentAdapter* existing = existingAdapterForDocument(document))
        return existing;
    return new KELSyntaxCheckDocumentAdapter(document, functions);
}

std::unique_ptr<KELSyntaxCheckPreview> KELSyntaxCheckDocumentAdapter::makeSyntaxCheckPreview()
{
    if (m_functions.preview)
        return m_functions.preview();
    return KELSyntaxCheckDocument::makeSyntaxCheckPreview();
}

void KELSyntaxCheckDocumentAdapter::documentErrorsDidChange()
{
    if (m_functions.errorsChanged)
        m_functions.errorsChanged(documentErrors());
}
