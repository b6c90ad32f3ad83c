#include "document/MyDocumentEditorSource.h"

#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "document/MyDocumentPlaceholder.h"

MyDocumentEditorSource& MyDocumentEditorSource::sharedInstance()
{
    static MyDocumentEditorSource instance;
    return instance;
}

void MyDocumentEditorSource::install()
{
    EditorDocumentSource::setShared(&sharedInstance());
}

bool MyDocumentEditorSource::hasDocuments() const
{
    return MyDocumentController::sharedDocumentController() != nullptr;
}

QList<std::shared_ptr<DocumentContents>> MyDocumentEditorSource::allDocumentsAndPlaceholders()
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? controller->allDocumentsAndPlaceholders() : QList<std::shared_ptr<DocumentContents>>();
}

std::shared_ptr<DocumentContents> MyDocumentEditorSource::placeholderForPath(const QString& path)
{
    return std::make_shared<MyDocumentPlaceholder>(path);
}

EditorDocument* MyDocumentEditorSource::documentForURL(const QUrl& url)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? dynamic_cast<MyDocument*>(controller->documentForURL(url)) : nullptr;
}

bool MyDocumentEditorSource::isOpenDocument(EditorDocument* document)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    auto* myDocument = dynamic_cast<MyDocument*>(document);
    return controller && myDocument && controller->documents().contains(myDocument);
}

EditorDocument* MyDocumentEditorSource::openDocument(const QUrl& url, bool display, kit::Error* error)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(url, display, error)) : nullptr;
}

EditorDocument* MyDocumentEditorSource::activeDocument()
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? controller->activeDocument() : nullptr;
}

bool MyDocumentEditorSource::showLineNumberInActiveDocument(qint64 line, bool* hasDocument)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    MyDocument* document = controller ? controller->activeDocument() : nullptr;
    const bool can = document && document->commands();
    if (hasDocument)
        *hasDocument = can;
    return can && document->commands()->showLineNumber(line);
}

QString MyDocumentEditorSource::filePathForTextView(const KELHTMLView* view)
{
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return QString();
    for (kit::Document* document : controller->documents()) {
        auto* myDocument = dynamic_cast<MyDocument*>(document);
        if (myDocument && myDocument->existingTextView() == view)
            return myDocument->fileURLPath();
    }
    return QString();
}
