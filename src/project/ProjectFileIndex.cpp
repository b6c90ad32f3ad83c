#include "project/ProjectFileIndex.h"

#include "project/DirectoryItem.h"
#include "support/KELFileTypeManager.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QWaitCondition>

#include <algorithm>
#include <set>
#include <thread>
#include <utility>

#include <dirent.h>
#include <sys/stat.h>

// ---------------------------------------------------------------- rules

ProjectListingRules ProjectListingRules::current()
{
    // The first entry of an extension decides its type, as the lookups do.
    QSet<QString> seen;
    QStringList hidden;
    for (const auto& entry : KELFileTypeManager::sharedInstance().extensionTypes()) {
        if (!entry->extension())
            continue;
        const QString extension = entry->extension()->toLower();
        if (seen.contains(extension))
            continue;
        seen.insert(extension);
        if (entry->typeName() == KELHiddenTypeName)
            hidden << extension;
    }
    ProjectListingRules rules;
    rules.setHiddenExtensions(hidden);
    return rules;
}

void ProjectListingRules::setHiddenExtensions(const QStringList& extensions)
{
    m_hiddenExtensions.clear();
    for (const QString& extension : extensions)
        m_hiddenExtensions.insert(extension.toLower());
}

bool ProjectListingRules::isListed(const QString& name, bool isFolder) const
{
    if (!DirectoryItem::isListedName(name))
        return false;
    if (isFolder || m_hiddenExtensions.isEmpty())
        return true;
    return !m_hiddenExtensions.contains(KELFileTypeManager::pathExtension(name).toLower());
}

// ---------------------------------------------------------------- listing

namespace {

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

void sortListing(ProjectFileIndex::Listing& listing)
{
    std::sort(listing.begin(), listing.end(), [](const ProjectFileIndex::Entry& a, const ProjectFileIndex::Entry& b) {
        return DirectoryItem::compareNames(a.name, b.name) < 0;
    });
}

// Depth first in display order.
void flattenInto(const ProjectFileIndex::Tree& tree, const QString& folder, QStringList& out, int depth)
{
    const auto listing = tree.constFind(folder);
    if (listing == tree.constEnd() || depth > 256)
        return;
    for (const ProjectFileIndex::Entry& entry : *listing) {
        const QString path = joined(folder, entry.name);
        if (entry.isFolder)
            flattenInto(tree, path, out, depth + 1);
        else
            out << path;
    }
}

void dropSubtree(ProjectFileIndex::Tree& tree, const QString& folder)
{
    const ProjectFileIndex::Listing listing = tree.take(folder);
    for (const ProjectFileIndex::Entry& entry : listing) {
        if (entry.isFolder)
            dropSubtree(tree, joined(folder, entry.name));
    }
}

// Puts a folder's new entries in place; answers the folders it holds that the tree
// has not listed.
QStringList applyListing(ProjectFileIndex::Tree& tree, const QString& folder, const ProjectFileIndex::Listing& entries)
{
    QSet<QString> keptFolders;
    for (const ProjectFileIndex::Entry& entry : entries) {
        if (entry.isFolder)
            keptFolders.insert(entry.name);
    }
    const ProjectFileIndex::Listing old = tree.value(folder);
    for (const ProjectFileIndex::Entry& entry : old) {
        if (entry.isFolder && !keptFolders.contains(entry.name))
            dropSubtree(tree, joined(folder, entry.name));
    }
    tree.insert(folder, entries);
    QStringList unknown;
    for (const QString& name : std::as_const(keptFolders)) {
        const QString path = joined(folder, name);
        if (!tree.contains(path))
            unknown << path;
    }
    return unknown;
}

} // namespace

ProjectFileIndex::Listing ProjectFileIndex::listFolder(const QString& folder, const ProjectListingRules& rules)
{
    Listing listing;
    const QByteArray encoded = QFile::encodeName(folder);
    DIR* dir = opendir(encoded.constData());
    if (!dir)
        return listing;
    while (const dirent* entry = readdir(dir)) {
        const char* raw = entry->d_name;
        if (raw[0] == '.')
            continue; // ".", ".." and dot files are never listed
        const QString name = QFile::decodeName(raw);
        bool isFolder = entry->d_type == DT_DIR;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link to a folder is a folder, as the tree shows it.
            struct stat info;
            const QByteArray path = encoded + '/' + QByteArray(raw);
            isFolder = ::stat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (rules.isListed(name, isFolder))
            listing.append(Entry{name, isFolder});
    }
    closedir(dir);
    sortListing(listing);
    return listing;
}

ProjectFileIndex::Tree ProjectFileIndex::listTree(const QString& root, const ProjectListingRules& rules)
{
    Tree tree;
    std::set<std::pair<dev_t, ino_t>> visited;
    QStringList pending{root};
    while (!pending.isEmpty()) {
        const QString folder = pending.takeLast();
        struct stat info;
        if (::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            continue;
        // Links may lead back up the tree: each folder once.
        if (!visited.insert({info.st_dev, info.st_ino}).second)
            continue;
        Listing listing = listFolder(folder, rules);
        for (const Entry& entry : std::as_const(listing)) {
            if (entry.isFolder)
                pending << joined(folder, entry.name);
        }
        tree.insert(folder, std::move(listing));
    }
    return tree;
}

// ---------------------------------------------------------------- shared state

struct ProjectFileIndex::Reader::State {
    QString root;
    // Guards the fields below. Held only to look and to swap: the main thread takes it
    // too, so listing, comparing, flattening and freeing happen outside it.
    QMutex mutex;
    QWaitCondition listingDone;
    ProjectListingRules rules;
    Tree tree;
    quint64 version = 0; // counts the changes of the tree
    qsizetype fileCount = 0; // files of the last whole listing
    QElapsedTimer listedClock; // since the last whole listing ended
    bool hasListing = false;
    int wholeListingsRunning = 0;
    // The tree's listings since the oldest running whole listing began: they are
    // newer than what that listing may have read, so they are put back after it.
    quint64 patchCount = 0;
    QList<std::pair<quint64, std::pair<QString, Listing>>> patches;
    // Cleared on the main thread when the index goes; read there too.
    bool ownerAlive = true;
    ProjectFileIndex* owner = nullptr;

    // The files of the tree as it is now (worker threads). Made for each reader and
    // not kept: a list of every path weighs twice the tree.
    std::shared_ptr<const QStringList> currentFiles()
    {
        Tree snapshot;
        {
            QMutexLocker lock(&mutex);
            snapshot = tree; // shared, not copied
        }
        auto list = std::make_shared<QStringList>();
        flattenInto(snapshot, root, *list, 0);
        return list;
    }

    // A whole listing begins (locked): it remembers where the patches stood.
    quint64 beginWholeListingLocked()
    {
        ++wholeListingsRunning;
        return patchCount;
    }

    // A whole listing ends: it replaces the tree, then the patches made while it ran
    // go back on top. Answers folders that still need a listing.
    QStringList adoptWholeListing(Tree listed, quint64 since, bool* changed)
    {
        qsizetype count = 0;
        for (const Listing& listing : std::as_const(listed)) {
            for (const Entry& entry : listing)
                count += entry.isFolder ? 0 : 1;
        }
        Tree old;
        quint64 at = 0;
        bool had = false;
        {
            QMutexLocker lock(&mutex);
            old = tree;
            at = version;
            had = hasListing;
        }
        bool differs = !had || old != listed;
        old = Tree();
        QStringList unknown;
        {
            QMutexLocker lock(&mutex);
            if (version != at)
                differs = true;
            tree.swap(listed); // the tree before is freed below, unlocked
            for (const auto& patch : std::as_const(patches)) {
                if (patch.first > since) {
                    unknown += applyListing(tree, patch.second.first, patch.second.second);
                    differs = true;
                }
            }
            if (--wholeListingsRunning == 0)
                patches.clear();
            hasListing = true;
            fileCount = count;
            listedClock.start();
            if (differs)
                ++version;
            listingDone.wakeAll();
        }
        *changed = differs;
        return unknown;
    }

    // A folder listed on its own (locked): kept when its parent still shows it.
    void adoptFolderLocked(const QString& folder, Tree listed)
    {
        const qsizetype slash = folder.lastIndexOf(QLatin1Char('/'));
        const QString parent = slash <= 0 ? QStringLiteral("/") : folder.left(slash);
        const QString name = folder.mid(slash + 1);
        const auto parentListing = tree.constFind(parent);
        if (parentListing == tree.constEnd())
            return;
        const bool shown = std::any_of(parentListing->begin(), parentListing->end(),
            [&name](const Entry& entry) { return entry.isFolder && entry.name == name; });
        if (!shown)
            return;
        for (auto it = listed.begin(); it != listed.end(); ++it)
            tree.insert(it.key(), std::move(it.value()));
        ++version;
    }

    // Tells the index on the main thread that its files changed.
    static void announce(const std::shared_ptr<State>& state)
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (!app)
            return;
        QMetaObject::invokeMethod(app, [state] {
            if (state->ownerAlive && state->owner)
                Q_EMIT state->owner->filesChanged();
        }, Qt::QueuedConnection);
    }

    // Lists folders new to the index, one by one, on the calling thread.
    static void listFolders(const std::shared_ptr<State>& state, QStringList folders, const ProjectListingRules& rules)
    {
        for (const QString& folder : std::as_const(folders)) {
            Tree listed = listTree(folder, rules);
            QMutexLocker lock(&state->mutex);
            state->adoptFolderLocked(folder, std::move(listed));
        }
    }
};

ProjectFileIndex::ProjectFileIndex(const QString& root, QObject* parent)
    : QObject(parent), m_root(root), m_state(std::make_shared<Reader::State>())
{
    m_state->root = root;
    m_state->owner = this;
    m_state->rules = ProjectListingRules::current();
}

ProjectFileIndex::~ProjectFileIndex()
{
    // Workers still running keep the state; they no longer report here.
    m_state->ownerAlive = false;
    m_state->owner = nullptr;
}

ProjectFileIndex::Reader ProjectFileIndex::reader() const
{
    Reader reader;
    reader.m_state = m_state;
    return reader;
}

bool ProjectFileIndex::isReady() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->hasListing;
}

void ProjectFileIndex::prepare()
{
    {
        QMutexLocker lock(&m_state->mutex);
        if (m_state->hasListing || m_state->wholeListingsRunning > 0)
            return;
    }
    refresh();
}

void ProjectFileIndex::refresh(qint64 unlessListedWithinMs)
{
    {
        QMutexLocker lock(&m_state->mutex);
        if (m_state->wholeListingsRunning > 0)
            return;
        if (unlessListedWithinMs > 0 && m_state->listedClock.isValid() && m_state->listedClock.elapsed() < unlessListedWithinMs)
            return;
    }
    const ProjectListingRules rules = ProjectListingRules::current();
    {
        QMutexLocker lock(&m_state->mutex);
        m_state->rules = rules;
    }
    startListing(m_root, true);
}

void ProjectFileIndex::startListing(const QString& folder, bool whole)
{
    std::shared_ptr<Reader::State> state = m_state;
    ProjectListingRules rules;
    quint64 since = 0;
    {
        QMutexLocker lock(&state->mutex);
        rules = state->rules;
        if (whole)
            since = state->beginWholeListingLocked();
    }
    std::thread([state, folder, rules, whole, since] {
        Tree listed = listTree(folder, rules);
        QStringList unknown;
        bool changed = true;
        if (whole) {
            unknown = state->adoptWholeListing(std::move(listed), since, &changed);
        } else {
            QMutexLocker lock(&state->mutex);
            state->adoptFolderLocked(folder, std::move(listed));
        }
        Reader::State::listFolders(state, unknown, rules);
        if (changed || !unknown.isEmpty())
            Reader::State::announce(state);
    }).detach();
}

void ProjectFileIndex::folderListed(const QString& folder, const Listing& entries)
{
    QStringList unknown;
    {
        QMutexLocker lock(&m_state->mutex);
        if (!m_state->hasListing && m_state->wholeListingsRunning == 0)
            return; // nothing listed yet: the first listing reads the disk as it is
        ++m_state->patchCount;
        if (m_state->wholeListingsRunning > 0)
            m_state->patches.append({m_state->patchCount, {folder, entries}});
        if (!m_state->hasListing)
            return;
        unknown = applyListing(m_state->tree, folder, entries);
        ++m_state->version;
    }
    for (const QString& path : std::as_const(unknown))
        startListing(path, false);
    Q_EMIT filesChanged();
}

// ---------------------------------------------------------------- readers

const QString& ProjectFileIndex::Reader::root() const
{
    return m_state->root;
}

std::shared_ptr<const QStringList> ProjectFileIndex::Reader::files() const
{
    bool listed = false;
    {
        QMutexLocker lock(&m_state->mutex);
        while (!m_state->hasListing && m_state->wholeListingsRunning > 0)
            m_state->listingDone.wait(&m_state->mutex);
        listed = m_state->hasListing;
    }
    return listed ? m_state->currentFiles() : listNow();
}

std::shared_ptr<const QStringList> ProjectFileIndex::Reader::listNow() const
{
    ProjectListingRules rules;
    quint64 since = 0;
    {
        QMutexLocker lock(&m_state->mutex);
        rules = m_state->rules;
        since = m_state->beginWholeListingLocked();
    }
    bool changed = true;
    const QStringList unknown = m_state->adoptWholeListing(listTree(m_state->root, rules), since, &changed);
    State::listFolders(m_state, unknown, rules);
    if (changed || !unknown.isEmpty())
        State::announce(m_state);
    return m_state->currentFiles();
}

std::optional<std::pair<const void*, quint64>> ProjectFileIndex::Reader::listingVersion() const
{
    QMutexLocker lock(&m_state->mutex);
    if (!m_state->hasListing)
        return std::nullopt;
    return std::make_pair(static_cast<const void*>(m_state.get()), m_state->version);
}

qsizetype ProjectFileIndex::Reader::lastFileCount() const
{
    QMutexLocker lock(&m_state->mutex);
    return m_state->fileCount;
}

void ProjectFileIndex::Reader::walk(const std::function<bool(const QString& path)>& visit) const
{
    ProjectListingRules rules;
    quint64 since = 0;
    {
        QMutexLocker lock(&m_state->mutex);
        rules = m_state->rules;
        since = m_state->beginWholeListingLocked();
    }
    Tree tree;
    std::set<std::pair<dev_t, ino_t>> visited;
    bool stopped = false;
    std::function<void(const QString&, int)> walkFolder = [&](const QString& folder, int depth) {
        struct stat info;
        if (depth > 256 || ::stat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode))
            return;
        // Links may lead back up the tree: each folder once.
        if (!visited.insert({info.st_dev, info.st_ino}).second)
            return;
        const Listing listing = listFolder(folder, rules);
        tree.insert(folder, listing);
        for (const Entry& entry : listing) {
            if (stopped)
                return;
            const QString path = joined(folder, entry.name);
            if (entry.isFolder)
                walkFolder(path, depth + 1);
            else if (!visit(path))
                stopped = true;
        }
    };
    walkFolder(m_state->root, 0);
    if (stopped) {
        // A part is no listing: the index keeps what it had.
        QMutexLocker lock(&m_state->mutex);
        if (--m_state->wholeListingsRunning == 0)
            m_state->patches.clear();
        m_state->listingDone.wakeAll();
        return;
    }
    bool changed = true;
    const QStringList unknown = m_state->adoptWholeListing(std::move(tree), since, &changed);
    State::listFolders(m_state, unknown, rules);
    if (changed || !unknown.isEmpty())
        State::announce(m_state);
}
