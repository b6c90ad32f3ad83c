#include "document/TabbedEditorController.h"

#include "document/TabbedEditorView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentPlaceholder.h"
#include "support/ColorAdditions.h"

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>

namespace {
TabbedEditorDocumentHooks& hooks()
{
    static TabbedEditorDocumentHooks h;
    return h;
}
} // namespace

void TabbedEditorController::setDocumentHooks(TabbedEditorDocumentHooks h) { hooks() = std::move(h); }
const TabbedEditorDocumentHooks& TabbedEditorController::documentHooks() { return hooks(); }

TabbedEditorController::TabbedEditorController(QObject* parent)
    : QObject(parent)
{
}

TabbedEditorController::~TabbedEditorController()
{
    if (TabView* bar = tabView(); bar && bar->delegate() == this)
        bar->setDelegate(nullptr);
}

void TabbedEditorController::setTabbedEditorView(TabbedEditorView* view)
{
    if (TabView* old = tabView(); old && old->delegate() == this)
        old->setDelegate(nullptr);
    m_view = view;
    if (TabView* bar = tabView())
        bar->setDelegate(this);
}

TabView* TabbedEditorController::tabView() const
{
    return m_view ? m_view->tabView() : nullptr;
}

void TabbedEditorController::restoreWithCoder(const QVariantMap& state)
{
    if (TabView* bar = tabView())
        bar->restoreWithCoder(state);
}

void TabbedEditorController::encodeWithCoder(QVariantMap& state) const
{
    if (TabView* bar = tabView())
        bar->encodeWithCoder(state);
}

void TabbedEditorController::showDocument(MyDocument* document)
{
    TabView* bar = tabView();
    if (!m_usesTabs || !bar) {
        displayDocumentInEditor(document);
        return;
    }
    if (!document)
        return;
    Tab* tab = bar->tabWithDocument(document);
    if (!tab)
        tab = new Tab(document, bar);
    bar->addTab(tab);
    displayDocumentInEditor(document);
}

void TabbedEditorController::showImageWithPath(const QString& path)
{
    TabView* bar = tabView();
    if (!m_usesTabs || !bar) {
        displayImageInEditor(path);
        return;
    }
    Tab* tab = bar->tabWithPath(path);
    if (!tab)
        tab = new Tab(path, bar);
    tab->setIsImage(true);
    bar->addTab(tab);
}

void TabbedEditorController::closeDocument(MyDocument* document)
{
    TabView* bar = tabView();
    if (m_usesTabs && bar) {
        if (Tab* tab = bar->tabWithDocument(document))
            bar->removeTab(tab);
        return;
    }
    if (document && document == m_currentDocument)
        displayDocumentInEditor(nullptr);
    if (m_delegate)
        m_delegate->documentDidClose(document, this);
}

bool TabbedEditorController::closeSelectedTab()
{
    TabView* bar = tabView();
    if (!bar || !bar->selectedTab())
        return false;
    bar->removeTab(bar->selectedTab());
    return true;
}

void TabbedEditorController::hideTabs()
{
    if (!m_usesTabs)
        return;
    m_usesTabs = false;
    if (m_view)
        m_view->hideTabs();
}

void TabbedEditorController::setAllowsDragAcrossControllers(bool allows)
{
    if (TabView* bar = tabView())
        bar->setAllowsDragAcrossTabViews(allows);
}

void TabbedEditorController::setAllowsNoTabs(bool allows)
{
    if (TabView* bar = tabView())
        bar->setAllowsNoTabs(allows);
}

qsizetype TabbedEditorController::numTabs() const
{
    TabView* bar = tabView();
    return (!m_usesTabs || !bar) ? 0 : bar->numTabs();
}

void TabbedEditorController::updateEditorView()
{
    if (!m_view)
        return;
    QWidget* editView = (m_currentDocument && hooks().editView) ? hooks().editView(m_currentDocument) : nullptr;
    m_view->replaceEditorView(editView);
}

void TabbedEditorController::selectNextTab()
{
    if (TabView* bar = tabView())
        bar->selectNextTab();
}

void TabbedEditorController::selectPreviousTab()
{
    if (TabView* bar = tabView())
        bar->selectPreviousTab();
}

QList<std::shared_ptr<DocumentContents>> TabbedEditorController::allDocumentsAndPlaceholders() const
{
    QList<std::shared_ptr<DocumentContents>> result;
    TabView* bar = tabView();
    if (!bar)
        return result;
    for (Tab* tab : bar->tabs()) {
        if (MyDocument* document = tab->document()) {
            // Open documents belong to the document controller.
            result.append(std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), document));
        } else if (!tab->path().isEmpty() && !tab->isImage()) {
            result.append(std::make_shared<MyDocumentPlaceholder>(tab->path()));
        }
    }
    return result;
}

void TabbedEditorController::cleanupCurrentDocument()
{
    if (m_currentDocument && hooks().willHide)
        hooks().willHide(m_currentDocument);
}

void TabbedEditorController::displayDocumentInEditor(MyDocument* document)
{
    if (document && document == m_currentDocument)
        return;
    // The new document takes the focus when the old one had it.
    bool hadFocus = false;
    if (m_view && m_view->currentEditorView()) {
        QWidget* focus = QApplication::focusWidget();
        hadFocus = focus && m_view->currentEditorView()->isAncestorOf(focus);
    }
    m_currentPath = document ? document->fileURLPath() : QString();
    cleanupCurrentDocument();
    m_currentDocument = document;
    if (m_view) {
        if (document) {
            QWidget* editView = hooks().editView ? hooks().editView(document) : nullptr;
            m_view->replaceEditorView(editView);
            if (hooks().didShow)
                hooks().didShow(document, hadFocus);
        } else {
            m_view->replaceEditorView(nullptr);
        }
    }
    if (m_delegate)
        m_delegate->documentDidChange(this);
}

void TabbedEditorController::displayImageInEditor(const QString& path)
{
    m_currentPath = path;
    cleanupCurrentDocument();
    m_currentDocument = nullptr;
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QImage image = reader.read(); // an unreadable image shows an empty view
    auto* label = new QLabel;
    label->setAlignment(Qt::AlignCenter);
    if (!image.isNull()) {
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(1.0); // one point per pixel
        label->setPixmap(pixmap);
        label->resize(image.size());
    }
    auto* scroll = new QScrollArea;
    scroll->setProperty("kelpOwnedByTabbedEditor", true);
    scroll->setAlignment(Qt::AlignCenter);
    scroll->setFrameShape(QFrame::NoFrame);
    QPalette palette = scroll->palette();
    palette.setColor(QPalette::Window, imageBackgroundColor());
    scroll->setPalette(palette);
    scroll->setBackgroundRole(QPalette::Window);
    scroll->setWidget(label);
    if (m_view)
        m_view->replaceEditorView(scroll);
    else
        delete scroll;
    if (m_delegate)
        m_delegate->documentDidChange(this);
}

void TabbedEditorController::tabViewSelectionDidChange(TabView* view)
{
    Tab* tab = view->selectedTab();
    if (!tab) {
        displayDocumentInEditor(nullptr);
        return;
    }
    if (MyDocument* document = tab->document()) {
        displayDocumentInEditor(document);
    } else if (!tab->path().isEmpty() && !QFileInfo::exists(tab->path())) {
        displayDocumentInEditor(nullptr);
    } else if (tab->isImage()) {
        displayImageInEditor(tab->path());
    } else if (!tab->path().isEmpty() && m_delegate) {
        m_delegate->showDocumentWithPath(tab->path());
    } else {
        displayDocumentInEditor(nullptr);
    }
}

void TabbedEditorController::tabViewTabRequestClose(TabView* view, Tab* tab)
{
    MyDocument* document = tab->document();
    if (!document) {
        view->removeTab(tab);
        return;
    }
    if (m_delegate)
        m_delegate->documentRequestClose(document, this);
}

void TabbedEditorController::tabViewTabDidClose(TabView*, Tab* tab)
{
    if (MyDocument* document = tab->safeDocument(); document && m_delegate)
        m_delegate->documentDidClose(document, this);
}

void TabbedEditorController::tabViewTabDraggedTo(TabView*, Tab* tab)
{
    if (MyDocument* document = tab->safeDocument(); document && m_delegate)
        m_delegate->documentAddedInDrag(document, this);
}

void TabbedEditorController::tabViewTabDraggedFrom(TabView* view, Tab* tab)
{
    if (view && view->selectedTab() == tab && m_view) {
        cleanupCurrentDocument();
        m_currentDocument = nullptr;
        m_view->replaceEditorView(nullptr);
    }
    if (MyDocument* document = tab->safeDocument(); document && m_delegate)
        m_delegate->documentRemovedInDrag(document, this);
}

MyDocument* TabbedEditorController::makeUntitledDocument()
{
    return m_delegate ? m_delegate->makeUntitledDocument() : nullptr;
}
