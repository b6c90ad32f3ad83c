#include "document/MyDocumentCommands.h"

#include "checker/KELSyntaxCheck.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefs.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/NotificationCenter.h"
#include "kit/text/TextStorage.h"
#include "preview/KELDocumentPreview.h"
#include "preview/KELHTMLPreviewManager.h"
#include "preview/KELPreviewDocument.h"
#include "syntax/DocumentColoringManager.h"
#include "syntax/KELDocumentStructure.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLayout>
#include <QUrl>
#include <memory>

using kit::Range;

namespace {
SyntaxType* syntaxTypeOf(const MyDocument* document)
{
    return document ? SyntaxManager::sharedInstance().typeForName(document->syntaxTypeName()) : nullptr;
}

KELDocumentStructure* structureOf(MyDocumentCommands& commands)
{
    MyDocument* document = commands.document();
    DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr;
    return coloring ? coloring->structure() : nullptr;
}

// The preview side of one document: what the previews read of it, and its preview
// commands. It lives as a child of the document and stops the previews when the
// document closes.
class DocumentPreviewLink : public QObject
{
public:
    static constexpr const char* Name = "KELDocumentPreviewLink";

    explicit DocumentPreviewLink(MyDocument* document) : QObject(document), m_document(document)
    {
        setObjectName(QString::fromLatin1(Name));
        QPointer<MyDocument> d(document);
        KELPreviewDocumentAdapter::Functions f;
        f.text = [d] { return d && d->textStorage() ? d->textStorage()->string() : QString(); };
        f.encoding = [d] { return d ? d->encoding() : kit::NoEncoding; };
        f.filePath = [d] { return d ? d->filePath() : QString(); };
        f.displayName = [d] { return d ? d->displayName() : QString(); };
        f.usesPreviewFile = [d] {
            SyntaxType* type = syntaxTypeOf(d);
            return type && type->usesPreviewFile();
        };
        f.previewFile = [d] {
            if (!d || d->filePath().isEmpty())
                return QString();
            KELFilePrefs* record = KELFilePrefsManager::sharedFilePrefsManager().existingFilePrefsForFile(d->filePath());
            return record ? record->currentPreviewFile() : QString();
        };
        m_adapter = std::make_unique<KELPreviewDocumentAdapter>(static_cast<const void*>(document), std::move(f));
        m_preview = std::make_unique<KELDocumentPreview>(m_adapter.get());
        m_preview->setPreviewFileStore([d](const QString& path) {
            if (!d || d->filePath().isEmpty())
                return;
            KELFilePrefsManager& manager = KELFilePrefsManager::sharedFilePrefsManager();
            KELFilePrefs& record = manager.filePrefsForFile(d->filePath());
            record.setCurrentPreviewFile(path);
            manager.saveFilePrefs(record);
        });
        m_preview->setEditedQuery([d] { return d && d->isDocumentEdited(); });
        m_preview->setSaveHandler([d] {
            if (!d || d->fileURL().isEmpty())
                return false;
            kit::Error error;
            return d->saveToURL(d->fileURL(), d->fileType(), kit::SaveOperation::Save, &error);
        });
        kit::NotificationCenter::defaultCenter().addObserver(
            KELDocumentDidCloseNotification, document, [this](const kit::Notification&) { documentDidClose(); }, this);
    }

    ~DocumentPreviewLink() override
    {
        // The preview lets go of the document before the document's answers go.
        m_preview.reset();
        m_adapter.reset();
    }

    static DocumentPreviewLink* forDocument(MyDocument* document)
    {
        if (!document)
            return nullptr;
        auto* link = document->findChild<DocumentPreviewLink*>(QString::fromLatin1(Name), Qt::FindDirectChildrenOnly);
        return link ? link : new DocumentPreviewLink(document);
    }

    KELDocumentPreview* preview()
    {
        m_preview->setSyntaxTypeName(m_document ? m_document->syntaxTypeName() : QString());
        return m_preview.get();
    }

    void toggleLivePreview()
    {
        if (!m_document)
            return;
        kit::ScrollView* scroll = m_document->scrollView();
        KELHTMLView* text = m_document->textView();
        if (!scroll || !text)
            return;
        DocumentWindowController* window = m_document->windowController();
        QWidget* shown = preview()->quickPreview(scroll, static_cast<const QObject*>(text),
            window && window->isProjectWindow(), m_document->windowForSheet());
        if (shown) {
            m_document->setLivePreviewing(true);
            m_document->setCurrentEditView(shown);
        } else if (!preview()->isLivePreviewing()) {
            restoreEditor();
        }
        // The window's commands go through the editor: it keeps the focus.
        text->setFocus(Qt::OtherFocusReason);
    }

private:
    // The preview gave the editor's scroll view back (or never took it): it goes back
    // into the editor area, which the window shows again.
    void restoreEditor()
    {
        if (!m_document)
            return;
        kit::ScrollView* scroll = m_document->scrollView();
        QWidget* area = m_document->primaryEditView();
        if (scroll && area && scroll->parentWidget() != area && area->layout()) {
            scroll->setParent(area);
            area->layout()->addWidget(scroll);
            scroll->show();
        }
        m_document->setLivePreviewing(false);
        if (m_document->currentEditView() != area)
            m_document->setCurrentEditView(nullptr);
    }

    void documentDidClose()
    {
        if (m_preview->isLivePreviewing()) {
            toggleLivePreview();
            // The document's settings, written as it closes, remember the
            // preview as the user left it, not as the closing took it down.
            if (m_document)
                m_document->setLivePreviewing(true);
        }
        m_adapter->previewDocumentDidClose();
    }

    QPointer<MyDocument> m_document;
    std::unique_ptr<KELPreviewDocumentAdapter> m_adapter;
    std::unique_ptr<KELDocumentPreview> m_preview;
};
} // namespace

MyDocumentCommands::Services MyDocumentCommands::defaultServices()
{
    Services s;
    s.isTextInRange = [](KELHTMLView* view, Range range) {
        auto* commands = view ? dynamic_cast<MyDocumentCommands*>(view->document()) : nullptr;
        SyntaxType* type = commands ? syntaxTypeOf(commands->document()) : nullptr;
        if (!type)
            return true;
        range = Range::intersection(range, Range(0, view->textStorage()->length()));
        return type->htmlViewIsTextInRange(view->textStorage(), range);
    };
    s.colorWholeText = [](MyDocument* document, KELHTMLView* view) {
        kit::TextStorage* storage = view->textStorage();
        const qsizetype length = storage->length();
        SyntaxType* type = syntaxTypeOf(document);
        if (!type) {
            view->setColor(Qt::black, Range(0, length));
            return;
        }
        SyntaxInfo info(Range(0, length));
        info.setSwitchIndex(length + 1);
        info.setMaxColoringLength(quint64(length + 1));
        type->colorHTMLView(view, info, false, nullptr);
    };
    s.isSelectionCommented = [](MyDocumentCommands& commands) {
        KELDocumentStructure* structure = structureOf(commands);
        return structure && structure->isSelectionCommented();
    };
    s.canAddOrRemoveCommentsForSelection = [](MyDocumentCommands& commands, bool* isCommented) {
        KELDocumentStructure* structure = structureOf(commands);
        return structure && structure->canAddOrRemoveCommentsForSelection(isCommented);
    };
    s.addCommentsForSelection = [](MyDocumentCommands& commands) {
        if (KELDocumentStructure* structure = structureOf(commands))
            structure->addCommentsForSelection();
    };
    s.removeCommentsForSelection = [](MyDocumentCommands& commands) {
        if (KELDocumentStructure* structure = structureOf(commands))
            structure->removeCommentsForSelection();
    };
    s.colorAllTags = [](MyDocument* document, KELHTMLView*) {
        if (DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr)
            coloring->recolorAllTags();
    };
    s.suggestCompletion = [](MyDocument* document, KELHTMLView* view) {
        if (DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr)
            coloring->suggestCompletion(view);
    };
    s.colorViewableTags = [](MyDocument* document, KELHTMLView* view) {
        if (DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr)
            coloring->colorViewableTags(view);
    };
    s.previewInBrowser = [](MyDocument* document, const QString& browser) {
        if (DocumentPreviewLink* link = DocumentPreviewLink::forDocument(document))
            link->preview()->previewInBrowser(browser);
    };
    s.toggleLivePreview = [](MyDocument* document) {
        if (DocumentPreviewLink* link = DocumentPreviewLink::forDocument(document))
            link->toggleLivePreview();
    };
    s.refreshLivePreview = [](MyDocument* document) {
        DocumentPreviewLink* link = DocumentPreviewLink::forDocument(document);
        if (KELHTMLPreviewManager* manager = link ? link->preview()->previewManager() : nullptr)
            manager->refresh(static_cast<QObject*>(document));
    };
    s.isSyntaxCheckAvailable
        = [](const QString& typeName) { return KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(typeName); };
    s.organizeTags = [](KELHTMLView* view) { KELSyntaxCheckTypeHTML::sharedInstance().organizeTags(view); };
    s.showInFileManager = [](const QString& path) {
        // The desktop's file manager shows the item; without one, its folder opens.
        QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("/org/freedesktop/FileManager1"), QStringLiteral("org.freedesktop.FileManager1"),
            QStringLiteral("ShowItems"));
        call << QStringList { QUrl::fromLocalFile(path).toString() } << QString();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
        if (reply.type() != QDBusMessage::ReplyMessage)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
    };
    return s;
}
