#include "document/Tab.h"

#include "support/Notifications.h"
#include "document/TabView.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/NotificationCenter.h"
#include "kit/document/WindowController.h"
#include "support/StringAdditions.h"

#include <QFileInfo>

Tab::Tab(const QString& path, QObject* parent)
    : QObject(parent)
    , m_path(path)
{
    init();
}

Tab::Tab(MyDocument* document, QObject* parent)
    : QObject(parent)
{
    init();
    setDocument(document);
}

Tab* Tab::fromArchive(const QVariantMap& archive, QObject* parent)
{
    auto* tab = new Tab(archive.value(QStringLiteral("path")).toString(), parent);
    tab->m_autosaveURL = archive.value(QStringLiteral("autosaveURL")).toUrl();
    tab->m_isImage = archive.value(QStringLiteral("isImage")).toBool();
    tab->m_documentRestoreData = archive.value(QStringLiteral("documentRestoreData")).toMap();
    return tab;
}

void Tab::init()
{
    kit::NotificationCenter::defaultCenter().addObserver(
        KELFileManagerWillMoveURLToTrashNotification, nullptr,
        [this](const kit::Notification& n) { willMoveURLToTrash(n.userInfo.value(KELFileManagerURLUserInfoKey).toUrl()); },
        this);
}

Tab::~Tab()
{
    stopObservingDocument();
}

void Tab::stopObservingDocument()
{
    for (quint64 id : std::as_const(m_documentObservers))
        kit::NotificationCenter::defaultCenter().removeObserver(id);
    m_documentObservers.clear();
}

MyDocument* Tab::document()
{
    updateDocument();
    return m_document;
}

void Tab::setDocument(MyDocument* document)
{
    if (document == m_document)
        return;
    stopObservingDocument();
    m_document = document;
    if (document && !m_documentRestoreData.isEmpty()) {
        document->restoreState(m_documentRestoreData);
        m_documentRestoreData.clear();
    }
    if (document) {
        auto& center = kit::NotificationCenter::defaultCenter();
        const void* object = document;
        m_documentObservers << center.addObserver(KELDocumentDidCloseWithWindowUpdateNotification, object,
                                                  [this](const kit::Notification&) { close(); }, this);
        m_documentObservers << center.addObserver(KELDocumentFileURLDidChangeNotification, object,
                                                  [this](const kit::Notification&) { pathChanged(); }, this);
        m_documentObservers << center.addObserver(KELDocumentAutosaveURLDidChangeNotification, object,
                                                  [this](const kit::Notification&) { invalidateRestorableState(); }, this);
        m_documentObservers << center.addObserver(KELDocumentDidInvalidateRestorableStateNotification, object,
                                                  [this](const kit::Notification&) { invalidateRestorableState(); }, this);
        m_documentObservers << center.addObserver(KELDocumentEditedStateDidChangeNotification, object,
                                                  [this](const kit::Notification&) { display(); }, this);
    }
    display();
    invalidateRestorableState();
}

void Tab::pathChanged()
{
    if (m_document && !m_document->kit::Document::fileURL().isEmpty())
        m_autosaveURL = QUrl();
    display();
    invalidateRestorableState();
}

void Tab::updateDocument()
{
    if (m_document || m_isImage || m_placeholder)
        return;
    auto* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return;
    if (!m_path.isEmpty()) {
        auto* document = qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(m_path)));
        if (!document || !m_tabView)
            return;
        // A document open in another window stays there; this tab waits.
        QWidget* window = m_tabView->window();
        for (kit::WindowController* wc : document->windowControllers()) {
            if (wc && wc->window() == window) {
                setDocument(document);
                return;
            }
        }
    } else if (!m_autosaveURL.isEmpty()) {
        if (MyDocument* document = controller->untitledDocumentWithAutoSaveURL(m_autosaveURL))
            setDocument(document);
    }
}

QString Tab::path() const
{
    if (m_document && !m_document->fileURLPath().isEmpty())
        return m_document->fileURLPath();
    return m_path;
}

void Tab::setPath(const QString& path)
{
    m_path = path;
    display();
}

QString Tab::name() const
{
    if (m_document)
        return m_document->displayName();
    const QString p = path();
    if (!p.isEmpty())
        return QFileInfo(p).fileName();
    if (!m_autosaveURL.isEmpty())
        return QFileInfo(m_autosaveURL.path()).fileName();
    return QString();
}

QString Tab::directory() const
{
    const QString p = path();
    if (p.isEmpty())
        return QString();
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return p.left(slash);
}

QString Tab::description() const
{
    const QString dir = directory();
    if (dir.isEmpty())
        return name();
    return QStringLiteral("%1 (%2)").arg(name(), dir);
}

QUrl Tab::autosaveURL()
{
    updateDocument();
    if (m_document)
        return m_document->autosavedContentsFileURL();
    return m_autosaveURL;
}

bool Tab::isEdited() const
{
    return m_document && m_document->isDocumentEdited();
}

void Tab::setIsImage(bool image)
{
    m_isImage = image;
    invalidateRestorableState();
}

QRectF Tab::tabRectWithScrollersVisible(bool scrollersVisible, double scrollOffset) const
{
    return QRectF((scrollersVisible ? KELTabScrollerWidth : 0.0) + scrollOffset - 0.5 + tabX, 0, tabXRight - tabX,
                  KELTabHeight);
}

QRectF Tab::targetTabRect(double tabWidth, bool scrollersVisible, double scrollOffset, qsizetype index)
{
    return QRectF(double(index) * tabWidth + scrollOffset + (scrollersVisible ? KELTabScrollerWidth : 0.0) - 0.5, 0,
                  tabWidth, KELTabHeight);
}

void Tab::selectTab()
{
    if (!m_tabView)
        return;
    m_tabView->setSelectedTab(this);
    m_tabView->invalidateTabDimensionsWithScrollToSelection(true);
}

void Tab::display()
{
    if (m_tabView)
        m_tabView->update();
}

void Tab::requestClose()
{
    if (m_tabView)
        m_tabView->requestTabClose(this);
}

void Tab::openInNewWindow()
{
    if (m_tabView)
        m_tabView->openInNewWindow(this);
}

void Tab::revealInDocumentTree()
{
    if (m_tabView)
        m_tabView->revealInDocumentTree(this);
}

void Tab::close()
{
    if (m_tabView)
        m_tabView->removeTab(this);
}

void Tab::invalidateRestorableState()
{
    if (m_tabView)
        m_tabView->invalidateRestorableState();
}

QVariantMap Tab::encodeWithCoder() const
{
    QVariantMap archive;
    archive.insert(QStringLiteral("path"), path());
    if (m_document && m_document->kit::Document::fileURL().isEmpty()) {
        archive.insert(QStringLiteral("autosaveURL"), m_document->autosavedContentsFileURL());
    }
    archive.insert(QStringLiteral("isImage"), m_isImage);
    if (m_document && m_document->kit::Document::fileURL().isEmpty()) {
        QVariantMap state;
        m_document->encodeRestorableState(state);
        archive.insert(QStringLiteral("documentRestoreData"), state);
    }
    return archive;
}

void Tab::willMoveURLToTrash(const QUrl& url)
{
    if (m_document || m_path.isEmpty() || !url.isLocalFile())
        return;
    if (isSubpathOfString(url.toLocalFile(), m_path))
        close();
}
