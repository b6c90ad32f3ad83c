#include "project/DirectoryItem.h"

#include "support/DefaultsKeys.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "document/MyDocumentPlaceholder.h"
#include "kit/UserDefaults.h"
#include "project/ProjectServices.h"
#include "support/FileMoves.h"
#include "support/KELFileTypeManager.h"
#include "support/StringAdditions.h"
#include "support/UtilityFunctions.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>

#include <algorithm>

namespace {

const QString TemporaryMoveName = QStringLiteral("KelpStudioMoveFileTmp");

const QSet<QString>& imageExtensions()
{
    static const QSet<QString> set = [] {
        QSet<QString> s;
        for (const QByteArray& format : QImageReader::supportedImageFormats())
            s.insert(QString::fromLatin1(format).toLower());
        return s;
    }();
    return set;
}

bool extensionIsImage(const QString& path)
{
    const QString extension = KELFileTypeManager::pathExtension(path).toLower();
    return !extension.isEmpty() && imageExtensions().contains(extension);
}

bool itemExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

QString parentFolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace

DirectoryItem::DirectoryItem(const QString& path, DirectoryItem* parent)
    : m_parent(parent), m_path(path)
{
    const QFileInfo info(path);
    m_isFolder = info.isDir();
    m_isImage = extensionIsImage(path);
}

DirectoryItem::DirectoryItem(const QString& path, DirectoryItem* parent, bool isFolder)
    : m_parent(parent), m_path(path), m_isFolder(isFolder), m_isImage(extensionIsImage(path))
{
}

DirectoryItem::~DirectoryItem() = default;

int DirectoryItem::compareNames(const QString& a, const QString& b)
{
    // Names equal but for case keep a fixed order.
    const int order = compareNumericCaseInsensitive(a, b);
    if (order != 0)
        return order;
    return a < b ? -1 : (b < a ? 1 : 0);
}

void DirectoryItem::setPath(const QString& path)
{
    m_path = path;
    m_isImage = extensionIsImage(path);
}

QString DirectoryItem::itemName() const
{
    const qsizetype slash = m_path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? m_path : m_path.mid(slash + 1);
}

QIcon DirectoryItem::iconImage() const
{
    return UtilityFunctions::iconForPath(m_path);
}

DirectoryItem* DirectoryItem::childAt(int index) const
{
    return index >= 0 && index < childCount() ? m_children[size_t(index)].get() : nullptr;
}

QList<DirectoryItem*> DirectoryItem::containedItems() const
{
    QList<DirectoryItem*> list;
    list.reserve(childCount());
    for (const auto& child : m_children)
        list << child.get();
    return list;
}

DirectoryItem* DirectoryItem::containedItemWithName(const QString& name) const
{
    for (const auto& child : m_children) {
        if (child->itemName() == name)
            return child.get();
    }
    return nullptr;
}

int DirectoryItem::compareForDisplaySort(const DirectoryItem& other) const
{
    return compareNames(itemName(), other.itemName());
}

bool DirectoryItem::isListedName(const QString& name)
{
    // Dot files, the temporary files of previews and moves.
    return !name.isEmpty() && !name.startsWith(QLatin1Char('.')) && !name.startsWith(QLatin1String("KelpStudioTemp"))
        && !name.startsWith(QLatin1String("KELPendrakeTemp"));
}

DirectoryItemObserver* DirectoryItem::observer() const
{
    const DirectoryItem* node = this;
    while (node->m_parent)
        node = node->m_parent;
    return node->m_observer;
}

void DirectoryItem::renumber(int from)
{
    for (int i = qMax(0, from); i < childCount(); ++i)
        m_children[size_t(i)]->m_row = i;
}

// ---------------------------------------------------------------- listing

bool DirectoryItem::updateContainedItems()
{
    const QFileInfo info(m_path);
    m_hasUpdatedContainedItems = true;
    if (!info.exists())
        return false; // a vanished folder keeps its children until its parent drops it
    m_isFolder = info.isDir();

    struct Entry {
        QString name;
        DirectoryItem* existing = nullptr;
        std::unique_ptr<DirectoryItem> made;
        DirectoryItem* node() const { return existing ? existing : made.get(); }
    };
    std::vector<Entry> entries;
    if (m_isFolder) {
        QHash<QString, DirectoryItem*> byName;
        byName.reserve(childCount());
        for (const auto& child : m_children)
            byName.insert(child->itemName(), child.get());
        const KELFileTypeManager& types = KELFileTypeManager::sharedInstance();
        QHash<QString, bool> hiddenExtensions;
        QDirIterator it(m_path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        while (it.hasNext()) {
            it.next();
            const QString name = it.fileName();
            if (!isListedName(name))
                continue;
            const QFileInfo entryInfo = it.fileInfo();
            if (!entryInfo.isDir()) {
                const QString extension = KELFileTypeManager::pathExtension(name);
                auto known = hiddenExtensions.constFind(extension);
                if (known == hiddenExtensions.constEnd())
                    known = hiddenExtensions.insert(extension, types.typeNameForExtension(extension) == KELHiddenTypeName);
                if (*known)
                    continue;
            }
            Entry entry;
            entry.name = name;
            entry.existing = byName.value(name);
            if (!entry.existing)
                entry.made.reset(new DirectoryItem(joinPath(m_path, name), this, entryInfo.isDir()));
            entries.push_back(std::move(entry));
        }
        std::sort(entries.begin(), entries.end(),
                  [](const Entry& a, const Entry& b) { return compareNames(a.name, b.name) < 0; });
    }

    DirectoryItemObserver* watcher = observer();
    QSet<const DirectoryItem*> kept;
    for (const Entry& entry : entries) {
        if (entry.existing)
            kept.insert(entry.existing);
    }
    bool changed = false;

    // 1. Children that went away, in runs from the end.
    for (int i = childCount() - 1; i >= 0;) {
        if (kept.contains(m_children[size_t(i)].get())) {
            --i;
            continue;
        }
        const int last = i;
        while (i >= 0 && !kept.contains(m_children[size_t(i)].get()))
            --i;
        const int first = i + 1;
        if (watcher)
            watcher->directoryItemWillRemoveChildren(this, first, last);
        m_children.erase(m_children.begin() + first, m_children.begin() + last + 1);
        renumber(first);
        if (watcher)
            watcher->directoryItemDidRemoveChildren(this);
        changed = true;
    }

    // 2. Kept children into their new order (a renamed node may have to move).
    std::vector<DirectoryItem*> keptOrder;
    for (const Entry& entry : entries) {
        if (entry.existing)
            keptOrder.push_back(entry.existing);
    }
    for (int i = 0; i < int(keptOrder.size()); ++i) {
        if (m_children[size_t(i)].get() == keptOrder[size_t(i)])
            continue;
        int j = i + 1;
        while (m_children[size_t(j)].get() != keptOrder[size_t(i)])
            ++j;
        if (watcher)
            watcher->directoryItemWillMoveChild(this, j, i);
        std::unique_ptr<DirectoryItem> moving = std::move(m_children[size_t(j)]);
        m_children.erase(m_children.begin() + j);
        m_children.insert(m_children.begin() + i, std::move(moving));
        renumber(i);
        if (watcher)
            watcher->directoryItemDidMoveChild(this);
    }

    // 3. New children, in runs.
    for (int i = 0; i < int(entries.size());) {
        if (entries[size_t(i)].existing) {
            ++i;
            continue;
        }
        int end = i;
        while (end < int(entries.size()) && !entries[size_t(end)].existing)
            ++end;
        if (watcher)
            watcher->directoryItemWillInsertChildren(this, i, end - 1);
        for (int k = i; k < end; ++k)
            m_children.insert(m_children.begin() + k, std::move(entries[size_t(k)].made));
        renumber(i);
        if (watcher)
            watcher->directoryItemDidInsertChildren(this);
        changed = true;
        i = end;
    }
    if (m_isFolder && watcher)
        watcher->directoryItemDidList(this);
    return changed;
}

bool DirectoryItem::updateExpandedChildrenWithExpandedItems(const QSet<const DirectoryItem*>& expanded)
{
    bool changed = updateContainedItems();
    // Every expanded node is read, even once a change was found.
    for (const DirectoryItem* child : containedItems()) {
        if (expanded.contains(child))
            changed = const_cast<DirectoryItem*>(child)->updateExpandedChildrenWithExpandedItems(expanded) || changed;
    }
    return changed;
}

void DirectoryItem::updateAllChildren()
{
    updateContainedItems();
    for (DirectoryItem* child : containedItems()) {
        if (child->isFolder())
            child->updateAllChildren();
    }
}

bool DirectoryItem::updateItemsOnPath(const QString& path)
{
    bool changed = updateContainedItems();
    const QStringList mine = pathComponents(stringByStandardizingPath(m_path));
    const QStringList asked = pathComponents(stringByStandardizingPath(path));
    if (asked.size() <= mine.size())
        return changed;
    for (qsizetype i = 0; i < mine.size(); ++i) {
        if (mine[i] != asked[i])
            return changed;
    }
    if (DirectoryItem* child = containedItemWithName(asked[mine.size()]))
        changed = child->updateItemsOnPath(path) || changed;
    return changed;
}

DirectoryItem* DirectoryItem::itemForPath(const QString& path, bool* updated)
{
    const QStringList mine = pathComponents(stringByStandardizingPath(m_path));
    const QStringList asked = pathComponents(stringByStandardizingPath(path));
    if (asked.size() < mine.size())
        return nullptr;
    for (qsizetype i = 0; i < mine.size(); ++i) {
        if (mine[i] != asked[i])
            return nullptr;
    }
    bool listed = false;
    DirectoryItem* node = this;
    for (qsizetype i = mine.size(); i < asked.size(); ++i) {
        DirectoryItem* child = node->containedItemWithName(asked[i]);
        if (!child && node->isFolder()) {
            node->updateContainedItems();
            listed = true;
            child = node->containedItemWithName(asked[i]);
        }
        if (!child)
            return nullptr;
        node = child;
    }
    if (updated)
        *updated = listed;
    return node;
}

// ---------------------------------------------------------------- documents

MyDocument* DirectoryItem::documentIfExists() const
{
    if (m_isFolder)
        return nullptr;
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    return controller ? qobject_cast<MyDocument*>(controller->documentForURL(QUrl::fromLocalFile(m_path))) : nullptr;
}

MyDocument* DirectoryItem::document() const
{
    if (m_isFolder || m_isImage)
        return nullptr;
    if (MyDocument* open = documentIfExists())
        return open;
    const QString type = KELFileTypeManager::sharedInstance().typeNameForPath(m_path);
    if (type.isEmpty() || type == KELBinaryTypeName || type == KELImageTypeName || type == KELPDFTypeName
        || type == KELHiddenTypeName)
        return nullptr;
    MyDocumentController* controller = MyDocumentController::sharedDocumentController();
    if (!controller)
        return nullptr;
    kit::Error error;
    return controller->openTextDocumentWithContentsOfURL(QUrl::fromLocalFile(m_path), false, &error);
}

std::shared_ptr<DocumentContents> DirectoryItem::documentContents() const
{
    if (m_isFolder || m_isImage)
        return nullptr;
    if (MyDocument* open = documentIfExists())
        return std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), open);
    return std::make_shared<MyDocumentPlaceholder>(m_path);
}

void DirectoryItem::collectDocuments(QList<std::shared_ptr<DocumentContents>>& list, const QHash<QString, MyDocument*>& open)
{
    if (!m_isFolder && !m_isImage) {
        if (MyDocument* document = open.value(m_path))
            list << std::shared_ptr<DocumentContents>(std::shared_ptr<DocumentContents>(), document);
        else
            list << std::make_shared<MyDocumentPlaceholder>(m_path);
    }
    if (m_isFolder && !m_hasUpdatedContainedItems)
        updateContainedItems();
    for (const auto& child : m_children)
        child->collectDocuments(list, open);
}

QList<std::shared_ptr<DocumentContents>> DirectoryItem::allDocumentsAndPlaceholders()
{
    // One look at the open documents instead of one per file.
    QHash<QString, MyDocument*> open;
    if (MyDocumentController* controller = MyDocumentController::sharedDocumentController()) {
        for (kit::Document* document : controller->documents()) {
            auto* text = qobject_cast<MyDocument*>(document);
            if (text && !text->filePath().isEmpty())
                open.insert(text->filePath(), text);
        }
    }
    QList<std::shared_ptr<DocumentContents>> list;
    collectDocuments(list, open);
    return list;
}

void DirectoryItem::collectFilePaths(QStringList& list)
{
    if (!m_isFolder) {
        list << m_path;
        return;
    }
    if (!m_hasUpdatedContainedItems)
        updateContainedItems();
    for (const auto& child : m_children)
        child->collectFilePaths(list);
}

QStringList DirectoryItem::allFilePaths()
{
    QStringList list;
    collectFilePaths(list);
    return list;
}

QList<MyDocument*> DirectoryItem::availableDocuments() const
{
    QList<MyDocument*> list;
    if (MyDocument* document = documentIfExists())
        list << document;
    for (const auto& child : m_children)
        list += child->availableDocuments();
    return list;
}

bool DirectoryItem::docEdited() const
{
    MyDocument* document = documentIfExists();
    return document && document->isDocumentEdited();
}

// ---------------------------------------------------------------- changes on disk

DirectoryItem* DirectoryItem::createUntitled(bool folder)
{
    updateContainedItems();
    const QString extension = kit::UserDefaults::standard().stringValue(KELDefaultFileExtensionKey);
    const QString base = QStringLiteral("Untitled");
    for (int number = 1; number <= 999; ++number) {
        QString name = number == 1 ? base : base + QString::number(number);
        if (!folder && !extension.isEmpty())
            name += QLatin1Char('.') + extension;
        // Also an item the tree does not list (a hidden type) keeps its name.
        if (containedItemWithName(name) || itemExists(joinPath(m_path, name)))
            continue;
        const QString path = joinPath(m_path, name);
        if (folder) {
            if (!QDir().mkdir(path))
                return nullptr;
        } else {
            const std::optional<QByteArray> data = UtilityFunctions::dataForNewDocument();
            QFile file(path);
            if (!data || !file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
                return nullptr;
            if (file.write(*data) != data->size()) {
                file.close();
                file.remove();
                return nullptr;
            }
        }
        updateContainedItems();
        return containedItemWithName(name);
    }
    return nullptr;
}

DirectoryItem* DirectoryItem::createUntitledDocument()
{
    return createUntitled(false);
}

DirectoryItem* DirectoryItem::createUntitledFolder()
{
    return createUntitled(true);
}

int DirectoryItem::setName(const QString& requested)
{
    if (requested == itemName())
        return RenameDone;
    if (requested.isEmpty())
        return RenameEmptyName;
    QString name = requested;
    name.replace(QLatin1Char('/'), QLatin1Char(':'));
    const QString folder = m_parent ? m_parent->path() : parentFolderOf(m_path);
    const QString newPath = joinPath(folder, name);
    const QString oldPath = m_path;
    if (newPath == oldPath)
        return RenameDone;
    // On a file system that ignores case, the new name may be this very item.
    const bool sameItem = itemExists(newPath) && isSameItemOnDisk(oldPath, newPath);
    if (itemExists(newPath) && !sameItem)
        return RenameNameExists;

    ProjectServices& services = ProjectServices::shared();
    // The node carries the new path while the move runs, so that a refresh of the
    // folder during the move finds it under its new name.
    setPath(newPath);
    updatePath();
    kit::Error error;
    bool moved = false;
    if (sameItem) {
        const QString temporary = joinPath(folder, TemporaryMoveName);
        if (!services.movePath(oldPath, temporary, &error)) {
            setPath(oldPath);
            updatePath();
            return RenameFailed;
        }
        moved = services.movePath(temporary, newPath, &error);
        if (!moved) {
            setPath(temporary);
            updatePath();
            return RenameFailed;
        }
    } else {
        moved = services.movePath(oldPath, newPath, &error);
    }
    if (!moved) {
        setPath(oldPath);
        updatePath();
        return RenameFailed;
    }
    return RenameDone;
}

void DirectoryItem::updatePath()
{
    const QString folder = m_parent ? m_parent->path() : parentFolderOf(m_path);
    setPath(joinPath(folder, itemName()));
    for (const auto& child : m_children)
        child->updatePath();
}
