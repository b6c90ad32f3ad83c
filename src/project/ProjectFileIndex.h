#pragma once
// The files of a project, listed off the main thread by the tree's rules: what
// Open Quickly offers and Batch Find searches. The whole folder is listed on a
// worker when first asked for; the tree's own listings of folders keep the index
// current (folders that appear are listed on a worker, folders that go away are
// dropped), and a fresh listing can be asked for at any time: it replaces the old
// one when it is done. Readers on any thread get an immutable list of paths.

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

/// What the tree leaves out: names starting with "." and the temporary files of
/// previews and moves, and files of the "Hidden" type.
class ProjectListingRules {
public:
    /// The rules of the file types now (main thread).
    static ProjectListingRules current();
    /// The extensions (any case) whose files are hidden.
    void setHiddenExtensions(const QStringList& extensions);
    bool isListed(const QString& name, bool isFolder) const;

private:
    QSet<QString> m_hiddenExtensions; // lower case
};

class ProjectFileIndex : public QObject {
    Q_OBJECT
public:
    struct Entry {
        QString name;
        bool isFolder = false;
        bool operator==(const Entry& other) const { return isFolder == other.isFolder && name == other.name; }
    };
    /// One folder's entries in display order.
    using Listing = QList<Entry>;
    /// Folders by path.
    using Tree = QHash<QString, Listing>;

    explicit ProjectFileIndex(const QString& root, QObject* parent = nullptr);
    ~ProjectFileIndex() override;

    const QString& root() const { return m_root; }

    /// Starts a fresh listing of the whole project on a worker, unless one is running
    /// or (given a time) one ended that recently (main thread). The rules are taken
    /// again, so a change of file types shows.
    void refresh(qint64 unlessListedWithinMs = 0);
    /// Starts the first listing unless the index has one or one is running.
    void prepare();
    /// The first listing is done: files() answers without waiting.
    bool isReady() const;
    /// The tree listed a folder (main thread): the entries replace the index's; a
    /// folder new to the index is listed on a worker, one that went away is dropped.
    void folderListed(const QString& folder, const Listing& entries);

    /// A handle that worker threads keep: it stays valid when the window closes.
    class Reader {
    public:
        /// Every file's path, depth first in display order. Waits for the first
        /// listing (starting none): call it on a worker.
        std::shared_ptr<const QStringList> files() const;
        /// Lists the project now on the calling thread, keeps the result and answers
        /// its files.
        std::shared_ptr<const QStringList> listNow() const;
        /// Lists the project now on the calling thread, depth first in display order,
        /// handing each file to visit as soon as its folder is read (visit answers
        /// false to stop); a listing that went to the end is kept. A search for text
        /// so starts on the first folder and reads the disk as it is now.
        void walk(const std::function<bool(const QString& path)>& visit) const;
        /// The number of files of the last listing (0 before the first).
        qsizetype lastFileCount() const;
        /// Tells listings apart: the same index at the same version holds the same
        /// files. None before the first listing.
        std::optional<std::pair<const void*, quint64>> listingVersion() const;
        const QString& root() const;

    private:
        friend class ProjectFileIndex;
        struct State;
        std::shared_ptr<State> m_state;
    };
    Reader reader() const;
    /// The files without waiting (none before the first listing).
    std::shared_ptr<const QStringList> filesIfReady() const;

    /// One folder's entries (an unreadable folder has none), on any thread.
    static Listing listFolder(const QString& folder, const ProjectListingRules& rules);
    /// The folder and everything below it; a linked folder met twice is listed once.
    static Tree listTree(const QString& root, const ProjectListingRules& rules);

Q_SIGNALS:
    /// The list of files changed (main thread).
    void filesChanged();

private:
    void startListing(const QString& folder, bool whole);

    QString m_root;
    std::shared_ptr<Reader::State> m_state;
};
