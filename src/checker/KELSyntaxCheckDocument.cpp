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
