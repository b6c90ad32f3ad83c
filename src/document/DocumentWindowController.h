#pragma once
// The base of every window that edits text documents (standalone windows and
// project windows): it keeps the window's documents and the current one, shows
// them through its tabbed editor, builds the toolbar, routes the window's
// commands, fades the window in and out, and saves and restores its state.

#include "document/TabbedEditorController.h"
#include "document/TabbedEditorView.h"
#include "editor/DocumentContents.h"
#include "kit/Responder.h"
#include "kit/document/WindowController.h"

#include <QList>
#include <QMenuBar>
#include <QPointer>
#include <QToolBar>
#include <QVariantAnimation>
#include <QUrl>
#include <functional>

class QMenu;
#include <memory>

class MyDocument;
class QMainWindow;
namespace kit {
class UndoManager;
}

inline const QString KELCurrentDocumentDidChangeNotification = QStringLiteral("KELCurrentDocumentDidChangeNotification");
inline const QString KELDocumentWindowControllerSelectedURLKey = QStringLiteral("KELDocumentWindowControllerSelectedURL");

class DocumentWindowController : public kit::WindowController, public kit::Responder, public TabbedEditorDelegate {
    Q_OBJECT
public:
    explicit DocumentWindowController(bool usesTabs, QObject* parent = nullptr);
    ~DocumentWindowController() override;

    /// "Use Tabbed Interface in Standalone Documents".
    static bool shouldUseTabs();
    bool usesTabs() const { return m_usesTabs; }
    /// 0 without tabs, else the number of tabs.
    qsizetype numTabs() const;

    // -- Documents
    MyDocument* currentDocument() const { return m_currentDocument; }
    virtual void setCurrentDocument(MyDocument* document);
    QList<MyDocument*> documents() const;
    /// Takes the document (from another window when it was there) without making it current.
    virtual void addDocument(MyDocument* document);
    /// Closes its tab; the last one leaving fades the window out and closes it.
    virtual void removeDocument(MyDocument* document);
    /// Drops it from the list with nothing else.
    void removeDocumentForHardClose(MyDocument* document);
    /// The window's platform document always follows the current document.
    void setDocument(kit::Document* ignored) override;
    TabbedEditorController* tabbedEditor() const { return m_tabbedEditor; }
    /// The editor shows another document (or none).
    void documentDidChange(TabbedEditorController* editor) override;
    void documentRequestClose(MyDocument* document, TabbedEditorController* editor) override;
    void documentAddedInDrag(MyDocument* document, TabbedEditorController* editor) override;
    void documentRemovedInDrag(MyDocument* document, TabbedEditorController* editor) override;
    /// The document views the tabbed editor shows, and new windows for tabs dragged out.
    static void installTabbedEditorHooks();
    /// Open documents of the tabs (placeholders for tabs not loaded yet).
    virtual QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() const;
    void updateEditorView();
    /// Opens the file as a text document and makes it current; a missing file does nothing.
    virtual void openAndDisplayDocumentWithURL(const QUrl& url);
    void showDocumentWithPath(const QString& path) override;

    // -- What project windows answer differently
    virtual bool isProjectWindow() const { return false; }
    /// The project's folder; empty for other windows.
    virtual QString directory() const { return QString(); }
    virtual void setNeedsDirectoryUpdate() {}
    virtual QList<QUrl> untitledAutosaveRestoreURLs() const { return {}; }
    virtual void addAutosaveURL(const QUrl&) {}
    /// Whether the window fades out and closes when its last document leaves
    /// (a project window stays with its tree).
    virtual bool closesWithLastDocument() const { return true; }

    // -- Closing
    /// Asks each document in turn whether it may close and closes it; done hears
    /// whether all closed (the window closes then). Stops at the first refusal.
    virtual void closeAllDocuments(std::function<void(bool didCloseAll)> done);
    /// Asks the document (its save question) and closes its tab when it agrees.
    void performCloseDocument(MyDocument* document);
    virtual void performCloseTab();
    bool isClosingWindow() const { return m_windowClosing; }
    /// Closes the window and its documents without asking (their questions were asked).
    void closeWindowNow();
    bool isInCloseSequence() const { return m_closing; }
    void windowShouldClose(std::function<void(bool)> done) override;
    void windowWillClose() override;

    // -- Navigation and navigator
    void selectNextTab();
    void selectPreviousTab();
    virtual bool isShowingCodeNavigator() const { return false; }
    virtual void showCodeNavigator(bool show, bool animate);
    void toggleCodeNavigator() { showCodeNavigator(!isShowingCodeNavigator(), true); }
    /// The navigator's view, made on first use; none (logged) when it cannot be made.
    QWidget* createCodeNavigator();
    using NavigatorFactory = std::function<QWidget*(DocumentWindowController*)>;
    static void setCodeNavigatorFactory(NavigatorFactory factory);
    /// Builds each new window's menu bar; the application registers it (none: no menu bar).
    using MenuBarFactory = std::function<QMenuBar*(QWidget* window)>;
    static void setMenuBarFactory(MenuBarFactory factory);

    // -- Window
    QMainWindow* mainWindow() const;
    void loadWindow() override;
    void windowDidLoad() override;
    QToolBar* toolbar() const { return m_toolbar; }
    static QStringList defaultToolbarItemIdentifiers();
    /// The menu the toolbar's Symbols item pulls down (Quick Insert registers it).
    static void setQuickInsertMenuProvider(std::function<QMenu*()> provider);
    static std::function<QMenu*()>& quickInsertMenuProvider();
    /// The undo manager of the window when no document is current.
    kit::UndoManager* windowUndoManager();
    void animateFadeIn();
    void animateFadeOut();
    bool isFading() const;
    static void setFadeDurationForTesting(int milliseconds);

    // -- Restoration
    void encodeRestorableState(QVariantMap& state) const override;
    void restoreState(const QVariantMap& state) override;
    QList<kit::Document*> documentsForRestoration() const override;

    /// Re-colours the visible text of the current document (after a colour or
    /// file-type setting changed, and when a document becomes current).
    void colorCurrentDocument();

    // -- Responder
    kit::Responder* nextResponder() const override;
    bool validateAction(const QString& action, QAction* item) override;

protected:
    /// Wraps the editor area into the window's central view (standalone windows add the navigator).
    virtual QWidget* makeCentralView(QWidget* editorArea) { return editorArea; }
    QWidget* editorArea() const { return m_editorArea; }
    /// Posts the current-document change when the editor did not announce it.
    void announceCurrentDocument();
    void finishCloseSequence(bool allClosed);

private:
    void registerActions();
    void buildToolbar();
    void canFirstDocumentClose();
    void completeClose();

    bool m_usesTabs = true;
    QList<QPointer<MyDocument>> m_documents;
    QPointer<MyDocument> m_currentDocument;
    QPointer<TabbedEditorView> m_editorArea;
    TabbedEditorController* m_tabbedEditor = nullptr;
    int m_documentDidChangeCount = 0;
    QPointer<QToolBar> m_toolbar;
    QPointer<QWidget> m_navigator;
    kit::UndoManager* m_windowUndoManager = nullptr;
    QPointer<QVariantAnimation> m_fade;
    bool m_fadingIn = false;
    bool m_settingDocument = false;
    bool m_windowClosing = false;

    // Close sequence
    bool m_closing = false;
    QPointer<MyDocument> m_documentToClose;
    std::function<void(bool)> m_closeAllDone;
};
