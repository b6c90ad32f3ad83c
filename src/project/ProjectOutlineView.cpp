#include "project/ProjectOutlineView.h"

#include "document/MyDocument.h"
#include "document/MyDocumentCommands.h"
#include "kit/Alert.h"
#include "project/DirectoryItem.h"
#include "project/ImageAndTextCell.h"
#include "project/KELGetInfoManager.h"
#include "project/KELOpenWithManager.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectServices.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDrag>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <algorithm>

namespace {
// The main thread's share of one round of expanding: the window paints in between.
constexpr qint64 kExpansionRoundMilliseconds = 20;

// Actions whose items need a document of the selection (tag 1).
bool isDocumentAction(const QString& action)
{
    return action == QLatin1String("saveSelectedDocument:") || action == QLatin1String("saveSelectedDocumentAs:")
        || action == QLatin1String("previewSelected:") || action == QLatin1String("quickPreviewSelected:");
}

QList<int> rowPath(const QModelIndex& index)
{
    QList<int> path;
    for (QModelIndex i = index; i.isValid(); i = i.parent())
        path.prepend(i.row());
    return path;
}
} // namespace

ProjectOutlineView::ProjectOutlineView(QWidget* parent) : QTreeView(parent)
{
    setObjectName(QStringLiteral("fileOutlineView"));
    setHeaderHidden(true);
    setItemDelegate(new ImageAndTextCell(this));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDefaultDropAction(Qt::MoveAction);
    setUniformRowHeights(true);
    setAnimated(false);
    setIconSize(QSize(16, 16));
    connect(this, &QTreeView::doubleClicked, this, [this] {
        if (m_delegate)
            m_delegate->updateCurrentDocument();
    });
    connect(this, &QTreeView::expanded, this, [this](const QModelIndex& index) {
        DirectoryItem* item = outlineModel() ? outlineModel()->itemForIndex(index) : nullptr;
        if (!item || !item->isFolder())
            return;
        m_expanded.insert(item);
        // A folder shown again is read again, with its expanded descendants (a few at
        // a time when there are many); folders expanded in rounds were just read.
        Q_EMIT expandedItemChanged(item, true);
        if (!m_expandingPending && item->hasUpdatedContainedItems())
            readAgain(item);
    });
    connect(this, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        DirectoryItem* item = outlineModel() ? outlineModel()->itemForIndex(index) : nullptr;
        if (item && m_expanded.remove(item))
            Q_EMIT expandedItemChanged(item, false);
    });
    m_expansionTimer.setSingleShot(true);
    m_expansionTimer.setInterval(0);
    connect(&m_expansionTimer, &QTimer::timeout, this, [this] { expandPending(); });
}

ProjectOutlineModel* ProjectOutlineView::outlineModel() const
{
    return qobject_cast<ProjectOutlineModel*>(model());
}

// ---------------------------------------------------------------- selection

QList<DirectoryItem*> ProjectOutlineView::selectedItems() const
{
    QList<DirectoryItem*> items;
    if (!selectionModel() || !outlineModel())
        return items;
    QModelIndexList rows = selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return rowPath(a) < rowPath(b); });
    for (const QModelIndex& index : std::as_const(rows))
        items << outlineModel()->itemForIndex(index);
    return items;
}

QStringList ProjectOutlineView::selectedPaths() const
{
    QStringList paths;
    for (DirectoryItem* item : selectedItems())
        paths << item->path();
    return paths;
}

DirectoryItem* ProjectOutlineView::selectedItem() const
{
    if (!selectionModel() || !outlineModel())
        return nullptr;
    const QModelIndex current = selectionModel()->currentIndex();
    if (current.isValid() && selectionModel()->isSelected(current))
        return outlineModel()->itemForIndex(current);
    const QList<DirectoryItem*> items = selectedItems();
    return items.isEmpty() ? nullptr : items.constFirst();
}

QString ProjectOutlineView::selectedPath() const
{
    DirectoryItem* item = selectedItem();
    return item ? item->path() : QString();
}

QList<QUrl> ProjectOutlineView::selectedFileURLs() const
{
    QList<QUrl> urls;
    for (const QString& path : selectedPaths())
        urls << QUrl::fromLocalFile(path);
    return urls;
}

QList<DirectoryItem*> ProjectOutlineView::expandedItems() const
{
    QList<DirectoryItem*> list;
    ProjectOutlineModel* m = outlineModel();
    if (!m)
        return list;
    std::function<void(const QModelIndex&)> walk = [&](const QModelIndex& parent) {
        const int rows = m->rowCount(parent);
        for (int row = 0; row < rows; ++row) {
            const QModelIndex index = m->index(row, 0, parent);
            if (isExpanded(index)) {
                list << m->itemForIndex(index);
                walk(index);
            }
        }
    };
    walk(QModelIndex());
    return list;
}

void ProjectOutlineView::forgetExpanded(DirectoryItem* item)
{
    if (m_expanded.remove(item))
        Q_EMIT expandedItemChanged(item, false);
    if (!item->hasUpdatedContainedItems())
        return;
    for (int i = 0; i < item->childCount(); ++i) {
        DirectoryItem* child = item->childAt(i);
        if (child->isFolder())
            forgetExpanded(child);
    }
}

void ProjectOutlineView::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // Removed nodes are freed: they leave the set while they still exist.
    if (ProjectOutlineModel* m = outlineModel()) {
        for (int row = start; row <= end; ++row) {
            if (DirectoryItem* item = m->itemForIndex(m->index(row, 0, parent)))
                forgetExpanded(item);
        }
    }
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
}

void ProjectOutlineView::expandAllBelow(DirectoryItem* item)
{
    if (!item || !item->isFolder())
        return;
    m_pendingExpansions.append(PendingExpansion{item->path(), true, false});
    expandPending();
}

void ProjectOutlineView::expandPaths(const QStringList& paths)
{
    for (const QString& path : paths)
        m_pendingExpansions.append(PendingExpansion{path, false, false});
    expandPending();
}

void ProjectOutlineView::expandPending()
{
    ProjectOutlineModel* m = outlineModel();
    DirectoryItem* root = m ? m->rootItem() : nullptr;
    if (!root) {
        m_pendingExpansions.clear();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    // The view lays itself out once after this round instead of once per folder.
    scheduleDelayedItemsLayout();
    m_expandingPending = true;
    while (!m_pendingExpansions.isEmpty() && clock.elapsed() < kExpansionRoundMilliseconds) {
        const PendingExpansion next = m_pendingExpansions.takeFirst();
        DirectoryItem* item = root->itemForPath(next.path);
        if (!item || item == root || !item->isFolder())
            continue;
        if (next.reread || !item->hasUpdatedContainedItems())
            item->updateContainedItems();
        if (next.reread)
            continue;
        const QModelIndex index = m->indexForItem(item);
        if (index.isValid() && !isExpanded(index))
            expand(index);
        if (next.below) {
            for (int i = 0; i < item->childCount(); ++i) {
                if (item->childAt(i)->isFolder())
                    m_pendingExpansions.append(PendingExpansion{item->childAt(i)->path(), true, false});
            }
        }
    }
    m_expandingPending = false;
    if (!m_pendingExpansions.isEmpty())
        m_expansionTimer.start();
    else
        Q_EMIT expansionFinished();
}

bool ProjectOutlineView::isItemExpanded(const DirectoryItem* item) const
{
    return outlineModel() && isExpanded(outlineModel()->indexForItem(item));
}

void ProjectOutlineView::selectItem(const DirectoryItem* item)
{
    if (!outlineModel() || !selectionModel())
        return;
    const QModelIndex index = outlineModel()->indexForItem(item);
    if (!index.isValid()) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void ProjectOutlineView::expandItem(DirectoryItem* item)
{
    if (!item || !outlineModel())
        return;
    const QModelIndex index = outlineModel()->indexForItem(item);
    if (!index.isValid())
        return;
    if (isExpanded(index))
        readAgain(item); // expanding it reads it again
    else
        expand(index);
}

void ProjectOutlineView::readAgain(DirectoryItem* item)
{
    // The folder first, then its expanded descendants, ahead of other pending work.
    QList<DirectoryItem*> shown{item};
    QList<PendingExpansion> reads;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        reads.append(PendingExpansion{shown.at(i)->path(), false, true});
        for (int k = 0; k < shown.at(i)->childCount(); ++k) {
            DirectoryItem* child = shown.at(i)->childAt(k);
            if (m_expanded.contains(child))
                shown << child;
        }
    }
    m_pendingExpansions = reads + m_pendingExpansions;
    expandPending();
}

DirectoryItem* ProjectOutlineView::itemAt(const QPoint& point) const
{
    const QModelIndex index = indexAt(point);
    return index.isValid() && outlineModel() ? outlineModel()->itemForIndex(index) : nullptr;
}

// ---------------------------------------------------------------- menus

QList<QAction*> ProjectOutlineView::makeAddFileMenuItems(QObject* parent)
{
    QList<QAction*> items;
    auto add = [&](const QString& title, const QString& action, std::function<void()> run) {
        auto* item = new QAction(title, parent);
        item->setObjectName(action);
        item->setProperty("tag", 0);
        connect(item, &QAction::triggered, this, std::move(run));
        items << item;
    };
    add(QStringLiteral("Add New File"), QStringLiteral("addNewFile:"), [this] { addNewFile(); });
    add(QStringLiteral("Add New Folder"), QStringLiteral("addNewFolder:"), [this] { addNewFolder(); });
    return items;
}

QList<QAction*> ProjectOutlineView::makeActionMenuItems(QObject* parent)
{
    QList<QAction*> items;
    auto add = [&](const QString& title, const QString& action, int tag, std::function<void()> run) {
        auto* item = new QAction(title, parent);
        item->setObjectName(action);
        item->setProperty("tag", tag);
        connect(item, &QAction::triggered, this, std::move(run));
        items << item;
    };
    auto separator = [&] {
        auto* item = new QAction(parent);
        item->setSeparator(true);
        items << item;
    };
    add(QStringLiteral("Collapse All Folders"), QStringLiteral("collapseAll:"), 0, [this] { collapseAll(); });
    separator();
    add(QStringLiteral("Get Info"), QStringLiteral("getInfo:"), 0, [this] { getInfo(); });
    add(QStringLiteral("Open As Text"), QStringLiteral("openAsText:"), 0, [this] { openAsText(); });
    auto* openWith = new QMenu(QStringLiteral("Open With"));
    openWith->setObjectName(QStringLiteral("openWithMenu"));
    connect(openWith, &QMenu::aboutToShow, this, [this, openWith] {
        QPointer<ProjectOutlineView> self(this);
        KELOpenWithManager::fillMenu(openWith, selectedFileURLs(), [self] { return self ? self->selectedFileURLs() : QList<QUrl>(); });
    });
    auto* openWithItem = new QAction(QStringLiteral("Open With…"), parent);
    openWithItem->setObjectName(QStringLiteral("openWith:"));
    openWithItem->setMenu(openWith);
    connect(openWithItem, &QObject::destroyed, openWith, &QObject::deleteLater);
    items << openWithItem;
    add(QStringLiteral("Show In File Manager"), QStringLiteral("showInFinder:"), 0, [this] { showInFinder(); });
    separator();
    add(QStringLiteral("Save"), QStringLiteral("saveSelectedDocument:"), 1, [this] { saveSelectedDocument(); });
    add(QStringLiteral("Save As…"), QStringLiteral("saveSelectedDocumentAs:"), 1, [this] { saveSelectedDocumentAs(); });
    add(QStringLiteral("Rename"), QStringLiteral("rename:"), 0, [this] { rename(); });
    add(QStringLiteral("Move to Trash"), QStringLiteral("delete:"), 0, [this] { deleteSelection(); });
    separator();
    add(QStringLiteral("Preview"), QStringLiteral("previewSelected:"), 1, [this] { previewSelected(); });
    add(QStringLiteral("Live Preview"), QStringLiteral("quickPreviewSelected:"), 1, [this] { quickPreviewSelected(); });
    return items;
}

QMenu* ProjectOutlineView::makeRightClickMenu(QWidget* parent)
{
    auto* menu = new QMenu(QStringLiteral("Menu"), parent);
    menu->addActions(makeAddFileMenuItems(menu));
    menu->addSeparator();
    menu->addActions(makeActionMenuItems(menu));
    validateMenuItems(menu->actions());
    return menu;
}

void ProjectOutlineView::validateMenuItems(const QList<QAction*>& items)
{
    for (QAction* item : items) {
        if (!item->isSeparator() && !item->objectName().isEmpty())
            item->setEnabled(validateMenuItem(item->objectName()));
    }
}

bool ProjectOutlineView::validateMenuItem(const QString& action)
{
    DirectoryItem* item = selectedItem();
    if (isDocumentAction(action)) {
        if (!item)
            return false;
        if (item->documentIfExists())
            return true;
        if (item->isFolder())
            return false;
        const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(item->path());
        return type != KELImageTypeName && type != KELBinaryTypeName;
    }
    if (action == QLatin1String("copy:") || action == QLatin1String("getInfo:") || action == QLatin1String("rename:")
        || action == QLatin1String("delete:") || action == QLatin1String("showInFinder:")
        || action == QLatin1String("openWith:"))
        return item != nullptr;
    if (action == QLatin1String("openAsText:")) {
        if (!item)
            return false;
        const QFileInfo info(item->path());
        return info.exists() && !info.isDir()
            && KELFileTypeManager::sharedInstance().typeNameForPath(item->path()) != KELImageTypeName;
    }
    if (action == QLatin1String("paste:")) {
        const QMimeData* data = QApplication::clipboard()->mimeData();
        return data && data->hasUrls() && !data->urls().isEmpty();
    }
    return true;
}

void ProjectOutlineView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid() && !selectionModel()->isSelected(index))
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    QMenu* menu = makeRightClickMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

// ---------------------------------------------------------------- commands

void ProjectOutlineView::collapseAll()
{
    m_pendingExpansions.clear();
    QTreeView::collapseAll();
    m_expanded.clear();
    Q_EMIT allCollapsed();
}

void ProjectOutlineView::getInfo()
{
    const QString path = selectedPath();
    if (path.isEmpty()) {
        QApplication::beep();
        return;
    }
    KELGetInfoManager::sharedInstance().showGetInfoForPath(path);
}

void ProjectOutlineView::openAsText()
{
    if (DirectoryItem* item = selectedItem(); item && m_delegate)
        m_delegate->outlineViewShowItem(this, item, 2);
}

void ProjectOutlineView::showInFinder()
{
    const QString path = selectedPath();
    if (!path.isEmpty() && ProjectServices::shared().revealInFileManager)
        ProjectServices::shared().revealInFileManager(path);
}

void ProjectOutlineView::addNewFile()
{
    addNew(false);
}

void ProjectOutlineView::addNewFolder()
{
    addNew(true);
}

void ProjectOutlineView::addNew(bool folder)
{
    if (!m_delegate || !outlineModel())
        return;
    DirectoryItem* target = selectedItem();
    if (!target)
        target = m_delegate->rootDirectoryItem();
    if (target && !target->isFolder())
        target = target->parent() ? target->parent() : m_delegate->rootDirectoryItem();
    if (!target)
        return;
    DirectoryItem* made = folder ? target->createUntitledFolder() : target->createUntitledDocument();
    if (!made) {
        kit::Alert alert;
        alert.setMessageText(folder ? QStringLiteral("Folder Creation Failed") : QStringLiteral("File Creation Failed"));
        alert.setInformativeText(folder ? QStringLiteral("A new folder could not be created.")
                                        : QStringLiteral("A new file could not be created."));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
        return;
    }
    if (target != m_delegate->rootDirectoryItem())
        expand(outlineModel()->indexForItem(target));
    selectItem(made);
    rename();
}

void ProjectOutlineView::rename()
{
    if (!outlineModel())
        return;
    DirectoryItem* item = selectedItem();
    if (!item)
        return;
    const QModelIndex index = outlineModel()->indexForItem(item);
    scrollTo(index);
    edit(index);
}

void ProjectOutlineView::deleteSelection()
{
    // Nested nodes go with the node that holds them.
    QList<DirectoryItem*> nodes;
    const QList<DirectoryItem*> selected = selectedItems();
    for (DirectoryItem* node : selected) {
        bool nested = false;
        for (DirectoryItem* other : selected) {
            if (other != node && isSubpathOfString(other->path(), node->path()))
                nested = true;
        }
        if (!nested && !nodes.contains(node))
            nodes << node;
    }
    if (nodes.isEmpty()) {
        QApplication::beep();
        return;
    }
    for (DirectoryItem* node : std::as_const(nodes)) {
        if (!node->parent()) {
            kit::Alert alert;
            alert.setMessageText(QStringLiteral("Cannot Delete"));
            alert.setInformativeText(QStringLiteral("The project's root folder cannot be deleted without closing the project."));
            alert.addButton(QStringLiteral("OK"));
            alert.runModal();
            return;
        }
    }
    kit::Alert confirm;
    confirm.setMessageText(QStringLiteral("Confirm Delete"));
    if (nodes.size() == 1 && nodes.constFirst()->isFolder())
        confirm.setInformativeText(QStringLiteral("Are you sure that you want to move '%1' and all of its contents to the Trash?").arg(nodes.constFirst()->itemName()));
    else if (nodes.size() == 1)
        confirm.setInformativeText(QStringLiteral("Are you sure that you want to move '%1' to the Trash?").arg(nodes.constFirst()->itemName()));
    else
        confirm.setInformativeText(QStringLiteral("Are you sure that you want to move the selected items and their contents to the Trash?"));
    confirm.addButton(QStringLiteral("Delete"));
    confirm.addButton(QStringLiteral("Cancel"));
    if (confirm.runModal() != kit::Alert::FirstButtonReturn)
        return;
    QList<QUrl> urls;
    for (DirectoryItem* node : std::as_const(nodes))
        urls << QUrl::fromLocalFile(node->path());
    selectionModel()->clearSelection();
    QStringList failures;
    const QList<QUrl> failed = ProjectServices::shared().moveToTrash(urls, &failures);
    if (!failed.isEmpty()) {
        // A failure is told, never hidden.
        kit::Alert alert;
        alert.setMessageText(QStringLiteral("Move to Trash Failed"));
        alert.setInformativeText(failures.isEmpty() ? QStringLiteral("Some items could not be moved to the Trash.")
                                                    : failures.join(QLatin1Char('\n')));
        alert.addButton(QStringLiteral("OK"));
        alert.runModal();
    }
}

void ProjectOutlineView::saveSelectedDocument()
{
    bool saved = false;
    for (DirectoryItem* item : selectedItems()) {
        if (MyDocument* document = item->documentIfExists()) {
            document->saveDocument();
            saved = true;
        }
    }
    if (!saved)
        QApplication::beep();
    viewport()->update();
}

void ProjectOutlineView::saveSelectedDocumentAs()
{
    DirectoryItem* item = selectedItem();
    MyDocument* document = item ? item->document() : nullptr;
    if (!document) {
        QApplication::beep();
        return;
    }
    document->saveDocumentAs();
}

void ProjectOutlineView::previewSelected()
{
    DirectoryItem* item = selectedItem();
    MyDocument* document = item ? item->document() : nullptr;
    if (!document || !MyDocumentCommands::services().previewInBrowser) {
        QApplication::beep();
        return;
    }
    MyDocumentCommands::services().previewInBrowser(document, QString());
}

void ProjectOutlineView::quickPreviewSelected()
{
    DirectoryItem* item = selectedItem();
    MyDocument* document = item ? item->document() : nullptr;
    if (!document) {
        QApplication::beep();
        return;
    }
    document->showWindows();
    if (!document->isLivePreviewing() && MyDocumentCommands::services().toggleLivePreview)
        MyDocumentCommands::services().toggleLivePreview(document);
}

void ProjectOutlineView::copy()
{
    const QList<DirectoryItem*> items = selectedItems();
    if (items.isEmpty() || !m_delegate)
        return;
    auto* data = new QMimeData;
    m_delegate->writeItemsToPasteboard(items, data);
    QApplication::clipboard()->setMimeData(data);
}

void ProjectOutlineView::paste()
{
    if (!m_delegate)
        return;
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasUrls())
        return;
    m_delegate->performPaste(data, selectedItem());
}

// ---------------------------------------------------------------- keys

bool ProjectOutlineView::event(QEvent* event)
{
    // Tab renames the one selected row before focus moves on.
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier && !isEditingName() && selectionModel()
            && selectionModel()->selectedRows().size() == 1) {
            rename();
            return true;
        }
    }
    return QTreeView::event(event);
}

void ProjectOutlineView::keyPressEvent(QKeyEvent* event)
{
    const bool editing = state() == QAbstractItemView::EditingState;
    if (!editing && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
        if (m_delegate)
            m_delegate->updateCurrentDocument();
        return;
    }
    if (!editing && (event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace)) {
        deleteSelection();
        return;
    }
    if (!editing && event->key() == Qt::Key_Asterisk) {
        // Every folder below, read and opened a few at a time.
        if (currentIndex().isValid() && outlineModel())
            expandAllBelow(outlineModel()->itemForIndex(currentIndex()));
        return;
    }
    if (event->matches(QKeySequence::Copy)) {
        copy();
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        paste();
        return;
    }
    QTreeView::keyPressEvent(event);
}

// ---------------------------------------------------------------- drags

void ProjectOutlineView::startDrag(Qt::DropActions)
{
    const QList<DirectoryItem*> items = selectedItems();
    if (items.isEmpty() || !m_delegate)
        return;
    auto* data = new QMimeData;
    m_delegate->writeItemsToPasteboard(items, data);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    if (items.size() == 1)
        drag->setPixmap(items.constFirst()->iconImage().pixmap(16, 16));
    const Qt::DropAction result = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
    m_delegate->wasSourceForDragOperation(result);
}

Qt::DropActions ProjectOutlineView::dropMask(const QDropEvent* event)
{
    // Ctrl asks for a copy, as in the desktop's file managers.
    if (event->modifiers() & Qt::ControlModifier)
        return Qt::CopyAction;
    return event->possibleActions() & (Qt::CopyAction | Qt::MoveAction);
}

void ProjectOutlineView::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls()) {
        setState(QAbstractItemView::DraggingState);
        event->accept();
        return;
    }
    event->ignore();
}

void ProjectOutlineView::dragMoveEvent(QDragMoveEvent* event)
{
    QTreeView::dragMoveEvent(event);
    if (!m_delegate) {
        event->ignore();
        return;
    }
    DirectoryItem* item = itemAt(event->position().toPoint());
    int childIndex = -1;
    const Qt::DropAction operation = m_delegate->validateDrop(event->mimeData(), dropMask(event), &item, &childIndex);
    if (operation == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    event->setDropAction(operation);
    event->accept();
}

void ProjectOutlineView::dropEvent(QDropEvent* event)
{
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
    if (!m_delegate) {
        event->ignore();
        return;
    }
    DirectoryItem* item = itemAt(event->position().toPoint());
    int childIndex = -1;
    const Qt::DropActions mask = dropMask(event);
    const Qt::DropAction operation = m_delegate->validateDrop(event->mimeData(), mask, &item, &childIndex);
    if (operation == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    // The drop does the work here, so the drag's source must not remove anything.
    const QMimeData* data = event->mimeData();
    event->setDropAction(event->source() == this ? Qt::CopyAction : operation);
    event->accept();
    // Questions and alerts wait until the drag has ended.
    auto copied = std::make_shared<QMimeData>();
    copied->setUrls(data->urls());
    QPointer<ProjectOutlineView> self(this);
    const QString target = item ? item->path() : QString();
    QTimer::singleShot(0, this, [self, copied, mask, target, childIndex] {
        if (!self || !self->m_delegate)
            return;
        DirectoryItem* root = self->m_delegate->rootDirectoryItem();
        DirectoryItem* node = target.isEmpty() || !root ? nullptr : root->itemForPath(target);
        self->m_delegate->acceptDrop(copied.get(), mask, node, childIndex);
    });
}
