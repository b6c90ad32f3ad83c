#pragma once
// Drives a document window's tabbed editor: turns tab events into requests to
// show a document, show an image or close a document, hands tabs over between
// windows, and reports to its delegate, the document window controller. A
// window can also run without tabs; it then shows one document at a time.

#include "document/TabView.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>

class DocumentContents;
#include "document/MyDocument.h"
class TabbedEditorController;
class TabbedEditorView;
class QWidget;

/// What the window controller hears from its tabbed editor. Every call is optional.
class TabbedEditorDelegate {
public:
    virtual ~TabbedEditorDelegate() = default;
    /// The editor shows another document, image or nothing.
    virtual void documentDidChange(TabbedEditorController*) {}
    /// A tab whose document is not open was selected: open it in this window.
    virtual void showDocumentWithPath(const QString&) {}
    /// The user asked to close the document's tab (ask to save, then closeDocument()).
    virtual void documentRequestClose(MyDocument*, TabbedEditorController*) {}
    virtual void documentDidClose(MyDocument*, TabbedEditorController*) {}
    /// The document's tab arrived from another window / left for another window.
    virtual void documentAddedInDrag(MyDocument*, TabbedEditorController*) {}
    virtual void documentRemovedInDrag(MyDocument*, TabbedEditorController*) {}
    virtual MyDocument* makeUntitledDocument() { return nullptr; }
};

/// How the editor reaches a document's views (the document's editor set-up).
struct TabbedEditorDocumentHooks {
    /// The document's editor view (made on first use); null shows the empty view.
    std::function<QWidget*(MyDocument*)> editView;
    /// The document is about to be hidden: remember its visible range, end tag editing.
    std::function<void(MyDocument*)> willHide;
    /// The document is shown; focus tells whether its text view should take the focus.
    std::function<void(MyDocument*, bool focus)> didShow;
};

class TabbedEditorController : public QObject, public TabViewDelegate {
    Q_OBJECT
public:
    explicit TabbedEditorController(QObject* parent = nullptr);
    ~TabbedEditorController() override;

    static void setDocumentHooks(TabbedEditorDocumentHooks hooks);
    static const TabbedEditorDocumentHooks& documentHooks();

    TabbedEditorView* tabbedEditorView() const { return m_view; }
    void setTabbedEditorView(TabbedEditorView* view);
    TabbedEditorDelegate* delegate() const { return m_delegate; }
    void setDelegate(TabbedEditorDelegate* delegate) { m_delegate = delegate; }
    bool usesTabs() const { return m_usesTabs; }
    MyDocument* currentDocument() const { return m_currentDocument; }
    void setCurrentDocument(MyDocument* document) { m_currentDocument = document; }
    QString currentPath() const { return m_currentPath; }
    void setCurrentPath(const QString& path) { m_currentPath = path; }
    TabView* tabView() const;

    /// Keys "KELTabs" and "KELSelectedTab".
    void restoreWithCoder(const QVariantMap& state);
    void encodeWithCoder(QVariantMap& state) const;

    void showDocument(MyDocument* document);
    void showImageWithPath(const QString& path);
    /// Removes the document's tab (no question asked).
    void closeDocument(MyDocument* document);
    bool closeSelectedTab();
    void hideTabs();
    void setAllowsDragAcrossControllers(bool allows);
    void setAllowsNoTabs(bool allows);
    qsizetype numTabs() const;
    void updateEditorView();
    void selectNextTab();
    void selectPreviousTab();
    /// Open documents of the tabs, and placeholders for files not opened yet.
    QList<std::shared_ptr<DocumentContents>> allDocumentsAndPlaceholders() const;

    void displayDocumentInEditor(MyDocument* document);
    void displayImageInEditor(const QString& path);

    // TabViewDelegate
    void tabViewSelectionDidChange(TabView* view) override;
    void tabViewTabRequestClose(TabView* view, Tab* tab) override;
    void tabViewTabDidClose(TabView* view, Tab* tab) override;
    void tabViewTabDraggedTo(TabView* view, Tab* tab) override;
    void tabViewTabDraggedFrom(TabView* view, Tab* tab) override;
    MyDocument* makeUntitledDocument() override;

private:
    void cleanupCurrentDocument();

    QPointer<TabbedEditorView> m_view;
    TabbedEditorDelegate* m_delegate = nullptr;
    bool m_usesTabs = true;
    QString m_currentPath;
    QPointer<MyDocument> m_currentDocument;
};
