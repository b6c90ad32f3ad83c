// The text document's editor: made once on first use, filled from the text
// storage, restored from and written to the file's per-file settings, and
// placed in the window controllers that show the document.

#include "document/MyDocument.h"

#include "support/DefaultsKeys.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocumentCommands.h"
#include "document/MyDocumentController.h"
#include "editor/KELCodeFoldingPrefs.h"
#include "editor/KELHTMLView.h"
#include "editor/KELLineNumberView.h"
#include "editor/KELTokenParser.h"
#include "kit/NotificationCenter.h"
#include "kit/StringEncodings.h"
#include "kit/Timers.h"
#include "kit/UserDefaults.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "support/StringAdditions.h"
#include "syntax/DocumentColoringManager.h"
#include "syntax/SyntaxManager.h"

#include <QFileInfo>
#include <QVBoxLayout>
#include <QWidget>

namespace {
qint64 g_nextUntitledNumber = 1;

MyDocument::EditorHooks& hooks()
{
    static MyDocument::EditorHooks editorHooks;
    return editorHooks;
}

const QString SequenceNumberKey = QStringLiteral("KELDocumentSequenceNumber");
// The text's encoding and whether it changed unsaved: a side file is UTF-8, so a
// window restored from one takes the document's encoding from here.
const QString EncodingKey = QStringLiteral("KELDocumentEncoding");
const QString UnsavedEncodingChangeKey = QStringLiteral("KELDocumentHasUnsavedEncodingChange");

// The syntax manager asks only for the document's path.
class PathOnlyDocument : public SyntaxManager::Document {
public:
    explicit PathOnlyDocument(QString path) : m_path(std::move(path)) {}
    QString fileURLPath() const override { return m_path; }

private:
    QString m_path;
};

// A fold segment of the document's structure, as the gutter sees it.
class StructureFold : public KELCodeFoldOpportunity {
public:
    explicit StructureFold(KELDocumentStructureSegmentRef segment) : m_segment(std::move(segment)) {}
    qsizetype contentsLocation() const override { return m_segment->contentsLocation(); }
    kit::Range contentsRange() const override { return m_segment->contentsRange(); }

private:
    KELDocumentStructureSegmentRef m_segment;
};

SyntaxType* syntaxTypeOf(const MyDocument* document)
{
    SyntaxManager& manager = SyntaxManager::sharedInstance();
    if (SyntaxType* type = manager.typeForName(document->syntaxTypeName()))
        return type;
    return manager.typeForDocument(PathOnlyDocument(document->fileURLPath()));
}
} // namespace

void MyDocument::setEditorHooks(EditorHooks editorHooks)
{
    hooks() = std::move(editorHooks);
}

const MyDocument::EditorHooks& MyDocument::editorHooks()
{
    return hooks();
}

// ---------------------------------------------------------------- the editor

void MyDocument::loadViewObjects()
{
    if (m_textView || m_loadingView || m_documentClosed)
        return;
    m_loadingView = true;

    auto* editArea = new QWidget;
    editArea->setObjectName(QStringLiteral("KELDocumentEditArea"));
    auto* layout = new QVBoxLayout(editArea);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* scroll = new kit::ScrollView(editArea);
    auto* view = new KELHTMLView;
    // The text went into the storage before the view existed (an opened file, a new
    // document from its template): its placeholders become tokens now, as they would
    // had the text been pasted. Before the view takes the storage, so that its layout
    // is made once, with the tokens.
    KELTokenParser::sharedTokenParser().tokenizeUntokenizedText(m_textStorage);
    view->setTextStorage(m_textStorage);
    view->setUndoManager(undoManager());
    view->setAllowsUndo(true);
    const QFont font = kit::UserDefaults::standard().fontValue(KELFontKey);
    if (!font.family().isEmpty())
        view->setFont(font);
    view->setEditable(!isInViewingMode());
    // Screen readers name the text by its document.
    view->setAccessibleName(displayName());
    connect(this, &kit::Document::fileURLChanged, view, [this, view] { view->setAccessibleName(displayName()); });
    scroll->setDocumentView(view);
    layout->addWidget(scroll);

    m_primaryEditView = editArea;
    m_currentEditView = editArea;
    m_scrollView = scroll;
    m_textView = view;
    m_commands = new MyDocumentCommands(this, view, this);
    auto* coloring = new DocumentColoringManager(view, [this] { return syntaxTypeOf(this); }, this, this);
    coloring->setEditValidator([this](kit::Range range) { validateEditInRange(range); });
    m_coloringManager = coloring;

    auto* gutter = new KELLineNumberView(scroll);
    gutter->setFoldDataSource(this);
    // The gutter reads the document's own list, which moves along with every edit.
    gutter->setDocumentErrorsProvider([this] { return &m_documentErrors; });
    scroll->setVerticalRulerView(gutter);
    scroll->setHasHorizontalScroller(false);
    scroll->setHasVerticalRuler(true);
    scroll->setRulersVisible(true);
    m_gutter = gutter;

    updateView();
    // Colouring a large file in one request would hold up its opening: its visible
    // text is coloured now and the background segments colour the rest.
    if (view->textStorage() && view->textStorage()->length() > KELHTMLViewColoringManager::ColorAllAtOnceLimit)
        coloring->colorViewableTags(view);
    else
        coloring->colorAllTags();

    bool showLivePreview = false;
    if (!filePath().isEmpty() && !isInViewingMode()) {
        KELFilePrefs& record = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(filePath());
        m_visibleTextRange = record.visibleTextRange();
        // The live preview comes back as it was left, unless it needs a preview
        // file and none is chosen (it would only ask for one).
        showLivePreview = record.isLivePreviewing();
        if (showLivePreview) {
            SyntaxType* type = syntaxTypeOf(this);
            if (type && type->usesPreviewFile() && record.currentPreviewFile().isEmpty())
                showLivePreview = false;
        }
    }
    m_loadingView = false;
    if (showLivePreview && m_commands) {
        // Once the editor stands in its window; the flag follows what shows.
        QPointer<MyDocument> self(this);
        kit::performOnNextTurn(this, [self] {
            auto* commands = self ? qobject_cast<MyDocumentCommands*>(self->m_commands.data()) : nullptr;
            if (commands && !self->m_documentClosed && !self->m_isLivePreviewing)
                commands->performAction(QStringLiteral("quickPreview:"), nullptr);
        });
    }
    if (hooks().didLoadEditor)
        hooks().didLoadEditor(this);
}

void MyDocument::updateView()
{
    if (!m_textView)
        return;
    m_textView->setSelectedRange(kit::Range(0, 0));
    m_textView->update();
    if (!filePath().isEmpty() && !isInViewingMode()) {
        KELFilePrefsManager& manager = KELFilePrefsManager::sharedFilePrefsManager();
        KELFilePrefs& record = manager.filePrefsForFile(filePath());
        // No saved folds reads as a record of an empty text, which only an empty file matches.
        const KELCodeFoldingPrefs folds(record.codeFoldingPrefsDictionary());
        if (!folds.applyToTextStorage(m_textStorage)) {
            record.setCodeFoldingPrefsDictionary(QVariantMap());
            manager.saveFilePrefs(record);
        }
    }
    m_viewLoaded = true;
}

KELHTMLView* MyDocument::textView()
{
    loadViewObjects();
    return existingTextView();
}

DocumentColoringManager* MyDocument::coloringManager() const
{
    return static_cast<DocumentColoringManager*>(m_coloringManager.data());
}

MyDocumentCommands* MyDocument::commands() const
{
    return static_cast<MyDocumentCommands*>(m_commands.data());
}

KELHTMLView* MyDocument::existingTextView() const
{
    return qobject_cast<KELHTMLView*>(m_textView.data());
}

KELLineNumberView* MyDocument::gutter() const
{
    return qobject_cast<KELLineNumberView*>(m_gutter.data());
}

QList<KELCodeFoldOpportunityRef> MyDocument::foldOpportunitiesInRange(kit::Range range)
{
    if (hooks().foldOpportunities)
        return hooks().foldOpportunities(this, range);
    QList<KELCodeFoldOpportunityRef> folds;
    if (DocumentColoringManager* coloring = coloringManager(); coloring && coloring->structure()) {
        for (const KELDocumentStructureSegmentRef& segment : coloring->structure()->structureSegmentsInRange(range, false)) {
            if (segment)
                folds << std::make_shared<StructureFold>(segment);
        }
    }
    return folds;
}

kit::ScrollView* MyDocument::scrollView()
{
    loadViewObjects();
    return m_scrollView;
}

QWidget* MyDocument::primaryEditView()
{
    loadViewObjects();
    return m_primaryEditView;
}

QWidget* MyDocument::currentEditView()
{
    loadViewObjects();
    return m_currentEditView ? m_currentEditView.data() : m_primaryEditView.data();
}

void MyDocument::setCurrentEditView(QWidget* view)
{
    loadViewObjects();
    m_currentEditView = view ? view : m_primaryEditView.data();
    Q_EMIT currentEditViewChanged();
    if (m_windowController)
        m_windowController->updateEditorView();
}

void MyDocument::tearDownEditor()
{
    if (KELLineNumberView* lines = gutter()) {
        lines->setFoldDataSource(nullptr);
        lines->setDocumentErrorsProvider(nullptr);
        lines->stopUpdating();
        lines->setClientView(nullptr);
    }
    delete m_commands.data();
    if (DocumentColoringManager* coloring = coloringManager()) {
        coloring->invalidateTimers();
        delete coloring;
    }
    if (KELHTMLView* view = existingTextView())
        view->endNotificationResponse();
    if (m_textView)
        m_textView->setTextStorage(nullptr);
    if (m_currentEditView && m_currentEditView != m_primaryEditView)
        delete m_currentEditView.data();
    delete m_primaryEditView.data();
    m_textView = nullptr;
    m_scrollView = nullptr;
    m_gutter = nullptr;
}

void MyDocument::updateVisibleTextRange()
{
    if (m_textView && m_textView->isVisible())
        m_visibleTextRange = m_textView->visibleRange();
}

void MyDocument::scrollToVisibleTextRange()
{
    if (!m_textView || m_visibleTextRange.length <= 0)
        return;
    const qsizetype length = m_textStorage->length();
    const qsizetype start = qBound<qsizetype>(0, m_visibleTextRange.location, length);
    const qsizetype end = qBound<qsizetype>(start, m_visibleTextRange.location + m_visibleTextRange.length, length);
    // Bring the end into view first, then the start, so the range's top is at the top.
    m_textView->scrollRangeToVisible(kit::Range(end, 0));
    m_textView->scrollRangeToVisible(kit::Range(start, 0));
}

bool MyDocument::isDocumentLocked() const
{
    const QString path = filePath();
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isWritable();
}

void MyDocument::moveDocumentErrorsForReplacement(kit::Range range, qsizetype changeInLength)
{
    // Each piece of an edit moves the errors after it, so that an edit made of many
    // pieces (Organize Tags re-indents every line) leaves each error on its own text.
    const kit::Range edited(range.location, range.length + changeInLength);
    for (KELSyntaxCheckError& error : m_documentErrors)
        error.setTextRange(DocumentColoringManager::shiftedMarkerRange(error.textRange(), edited, changeInLength));
}

void MyDocument::setDocumentErrors(const QList<KELSyntaxCheckError>& errors)
{
    m_documentErrors = errors;
    // Sorted by location, as the gutter groups them line by line; edits keep the order.
    std::stable_sort(m_documentErrors.begin(), m_documentErrors.end(),
        [](const KELSyntaxCheckError& a, const KELSyntaxCheckError& b) {
            return KELSyntaxCheckError::compareByTextLocation(a, b) < 0;
        });
    if (KELLineNumberView* lines = gutter())
        lines->documentErrorsDidChange();
    Q_EMIT documentErrorsChanged();
}

// ---------------------------------------------------------------- untitled names

qint64 MyDocument::nextUntitledNumber()
{
    return g_nextUntitledNumber;
}

void MyDocument::setSequenceNumber(qint64 number)
{
    m_sequenceNumber = number;
    if (number + 1 > g_nextUntitledNumber)
        g_nextUntitledNumber = number + 1;
    invalidateRestorableState();
}

void MyDocument::updateCurrentSequenceNumber()
{
    g_nextUntitledNumber = 1;
    auto* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    for (MyDocument* document : controller->allUntitledDocuments()) {
        if (!document->documentClosed() && document->m_sequenceNumber + 1 > g_nextUntitledNumber)
            g_nextUntitledNumber = document->m_sequenceNumber + 1;
    }
}

void MyDocument::resetUntitledNumbersForTesting()
{
    g_nextUntitledNumber = 1;
}

// ---------------------------------------------------------------- windows

DocumentWindowController* MyDocument::windowController() const
{
    return m_windowController;
}

void MyDocument::setWindowController(DocumentWindowController* controller, bool addToList)
{
    if (addToList && controller)
        addWindowController(controller);
    if (controller == m_windowController)
        return;
    if (DocumentWindowController* old = m_windowController) {
        removeWindowController(old);
        m_windowController = controller;
        old->removeDocument(this);
    }
    m_windowController = controller;
}

void MyDocument::makeWindowControllers()
{
    loadViewObjects();
    if (m_windowController)
        return;
    MyDocumentController* documentController = MyDocumentController::sharedDocumentController();
    // An open that shows nothing leaves the document to whoever asked for it.
    if (documentController && documentController->isOpeningWithoutDisplay())
        return;
    if (kit::Document::fileURL().isEmpty() && !autosavedContentsFileURL().isEmpty()) {
        // An untitled document restored from its side file goes back to its window.
        for (kit::WindowController* controller : kit::WindowController::allWindowControllers()) {
            auto* window = qobject_cast<DocumentWindowController*>(controller);
            if (window && window->untitledAutosaveRestoreURLs().contains(autosavedContentsFileURL())) {
                window->addDocument(this);
                return;
            }
        }
    }
    if (documentController) {
        if (DocumentWindowController* window = documentController->makeWindowControllerForDocument(this))
            window->setCurrentDocument(this);
    }
}

void MyDocument::showWindows(bool makeTextViewFirstResponder)
{
    if (!m_windowController)
        makeWindowControllers();
    DocumentWindowController* window = m_windowController;
    if (!window)
        return;
    window->setCurrentDocument(this);
    window->showWindow();
    if (makeTextViewFirstResponder && m_textView)
        m_textView->setFocus(Qt::OtherFocusReason);
}

QWidget* MyDocument::windowForSheet() const
{
    if (m_windowController && m_windowController->window())
        return m_windowController->window();
    return kit::Document::windowForSheet();
}

void MyDocument::moveDocumentToCorrectWindowController()
{
    if (m_documentClosed || !m_windowController || !m_windowController->isProjectWindow())
        return;
    auto* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    DocumentWindowController* target = controller->getWindowControllerForDocument(this);
    if (!target || target == m_windowController)
        return;
    m_windowController->removeDocument(this);
    target->addDocument(this);
    if (!target->isProjectWindow()) {
        // The file the user just saved stays in view in its new window.
        target->setCurrentDocument(this);
        target->showWindow();
    }
}

// ---------------------------------------------------------------- restorable state

void MyDocument::encodeRestorableState(QVariantMap& state) const
{
    kit::Document::encodeRestorableState(state);
    state[SequenceNumberKey] = m_sequenceNumber;
    state[EncodingKey] = qulonglong(m_documentEncoding);
    state[UnsavedEncodingChangeKey] = m_hasUnsavedEncodingChange;
}

void MyDocument::restoreState(const QVariantMap& state)
{
    kit::Document::restoreState(state);
    if (state.contains(SequenceNumberKey))
        setSequenceNumber(state.value(SequenceNumberKey).toLongLong());
    // Only a document just made from its side file takes the saved encoding; an
    // open one keeps its own.
    if (m_restoredFromSideFile) {
        m_restoredFromSideFile = false;
        bool ok = false;
        const kit::StringEncoding encoding = state.value(EncodingKey).toULongLong(&ok);
        if (ok && (encoding == kit::NoEncoding || kit::isKnownStringEncoding(encoding)))
            m_documentEncoding = encoding;
        if (state.value(UnsavedEncodingChangeKey).toBool())
            m_hasUnsavedEncodingChange = true;
        noteEditedStateMayHaveChanged();
    }
}

// ---------------------------------------------------------------- per-file settings

void MyDocument::cleanupDoc()
{
    if (m_isCleanedUp)
        return;
    m_isCleanedUp = true;
    // Folds of an edited document would not match the text on disk.
    if (!isDocumentEdited())
        updateCodeFoldingPrefs();
    if (!filePath().isEmpty() && m_textView && !isInViewingMode()) {
        KELFilePrefsManager& manager = KELFilePrefsManager::sharedFilePrefsManager();
        KELFilePrefs& record = manager.filePrefsForFile(filePath());
        updateVisibleTextRange();
        record.setVisibleTextRange(m_visibleTextRange);
        record.setLivePreviewing(m_isLivePreviewing);
        manager.saveFilePrefs(record);
    }
}

void MyDocument::updateCodeFoldingPrefs()
{
    if (filePath().isEmpty() || !m_textView || isInViewingMode())
        return;
    KELFilePrefsManager& manager = KELFilePrefsManager::sharedFilePrefsManager();
    KELFilePrefs& record = manager.filePrefsForFile(filePath());
    const std::unique_ptr<KELCodeFoldingPrefs> folds = KELCodeFoldingPrefs::fromTextStorage(m_textStorage);
    record.setCodeFoldingPrefsDictionary(folds ? folds->prefsDictionary() : QVariantMap());
    manager.saveFilePrefs(record);
}

void MyDocument::willMoveURLToTrash(const kit::Notification& notification)
{
    const QVariant value = notification.userInfo.value(QStringLiteral("KELFileManagerURLUserInfoKey"));
    const QUrl moved = value.typeId() == QMetaType::QUrl ? value.toUrl() : QUrl(value.toString());
    if (!moved.isLocalFile() || filePath().isEmpty() || m_documentClosed)
        return;
    if (!isSubpathOfString(moved.toLocalFile(), filePath()))
        return;
    // Unsaved edits are never thrown away by a move to the Trash: an edited
    // document stays open (and learns on activation that its file is gone).
    if (isDocumentEdited())
        return;
    closeWithWindowUpdate();
}
