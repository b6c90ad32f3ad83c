#include "document/KELCheckerServices.h"

#include "document/KELErrorChecker.h"
#include "document/KELSyntaxCheckGeneratorPreview.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "editor/KELHTMLView.h"
#include "preview/KELPreviewDocument.h"
#include "support/KELFileTypeManager.h"

#include <QPointer>

namespace {

const void* notificationObject(const MyDocument* document)
{
    return static_cast<const kit::Document*>(document);
}

// The page generator's view of a document that no preview has taken yet; it goes
// with the document.
class PreviewDocumentHolder : public QObject {
public:
    PreviewDocumentHolder(MyDocument* document)
        : QObject(document)
    {
        setObjectName(QStringLiteral("KELCheckerPreviewDocument"));
        QPointer<MyDocument> guard(document);
        KELPreviewDocumentAdapter::Functions functions;
        functions.text = [guard] { return guard ? guard->docContents().value_or(QString()) : QString(); };
        functions.encoding = [guard] { return guard ? guard->encoding() : kit::NoEncoding; };
        functions.filePath = [guard] { return guard ? guard->filePath() : QString(); };
        functions.displayName = [guard] { return guard ? guard->displayName() : QString(); };
        m_adapter = std::make_unique<KELPreviewDocumentAdapter>(notificationObject(document), functions);
    }
    ~PreviewDocumentHolder() override { m_adapter->previewDocumentDidClose(); }
    KELPreviewDocument* previewDocument() const { return m_adapter.get(); }

private:
    std::unique_ptr<KELPreviewDocumentAdapter> m_adapter;
};

KELPreviewDocument* previewDocumentFor(MyDocument* document)
{
    const void* object = notificationObject(document);
    for (KELPreviewDocument* candidate : KELPreviewDocument::documents())
        if (candidate->previewNotificationObject() == object)
            return candidate;
    auto* holder = document->findChild<PreviewDocumentHolder*>(QStringLiteral("KELCheckerPreviewDocument"), Qt::FindDirectChildrenOnly);
    if (!holder)
        holder = new PreviewDocumentHolder(document);
    return holder->previewDocument();
}

} // namespace

KELSyntaxCheckDocumentAdapter* KELSyntaxCheckDocumentForDocument(MyDocument* document)
{
    if (!document)
        return nullptr;
    if (KELSyntaxCheckDocumentAdapter* existing = KELSyntaxCheckDocumentAdapter::existingAdapterForDocument(document))
        return existing;
    QPointer<MyDocument> guard(document);
    KELSyntaxCheckDocumentAdapter::Functions functions;
    functions.text = [guard] { return guard ? guard->docContents().value_or(QString()) : QString(); };
    functions.fileTypeName = [guard] { return guard ? KELFileTypeManager::sharedInstance().typeNameForDocument(guard.data()) : QString(); };
    functions.displayName = [guard] { return guard ? guard->displayName() : QString(); };
    functions.syntaxTypeName = [guard] { return guard ? guard->syntaxTypeName() : QString(); };
    functions.textView = [guard]() -> kit::TextView* { return guard ? guard->textView() : nullptr; };
    functions.showDocument = [guard] {
        if (guard)
            guard->showWindows(false);
    };
    functions.preview = [guard]() -> std::unique_ptr<KELSyntaxCheckPreview> {
        if (!guard)
            return nullptr;
        return std::make_unique<KELSyntaxCheckGeneratorPreview>(previewDocumentFor(guard.data()));
    };
    functions.errorsChanged = [guard](const QList<KELSyntaxCheckError>& errors) {
        if (guard)
            guard->setDocumentErrors(errors);
    };
    return KELSyntaxCheckDocumentAdapter::adapterForDocument(document, functions);
}

void KELInstallCheckerServices()
{
    MyDocumentCommands::Services& services = MyDocumentCommands::services();
    services.organizeTags = [](KELHTMLView* view) { KELSyntaxCheckTypeHTML::sharedInstance().organizeTags(view); };
    services.isSyntaxCheckAvailable = [](const QString& typeName) { return KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(typeName); };
    services.showErrorChecker = [](MyDocument* document) { KELErrorChecker::showErrorChecker(KELSyntaxCheckDocumentForDocument(document)); };
}
