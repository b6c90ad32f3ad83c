#pragma once
// Where a previewed page's site lies, and which files a preview may read for it.
//
// A path from a page or a request is never cleaned as text: "link/../x" names
// what the system would open, which lies beside the link's target when the link
// points elsewhere. Paths are resolved as the system resolves them (links
// first), checked, and then exactly the resolved path is opened.

#include <QString>
#include <QStringList>

class KELPreviewSite
{
public:
    /// The path as the system would resolve it: every existing component with its
    /// links followed, "." dropped, ".." taken from the folder reached so far. A tail
    /// that does not exist is kept as written; empty when the path cannot name a
    /// file (relative, a dangling link, or ".." below a missing folder).
    static QString realPath(const QString& path);

    /// Whether the path, resolved, is one of the folders or lies inside one.
    static bool isPathInsideFolders(const QString& path, const QStringList& folders);

    /// The folders a page may read from: the folder of the open project that holds
    /// it, else its site found by markers, else its own folder. The page's own
    /// folder is always among them.
    static QStringList siteFoldersForPage(const QString& page);

    /// The site of a page outside any project: the nearest enclosing folder with
    /// a version-control folder or a package file; else the outermost of the
    /// enclosing folders that hold an index page, one above the other without a
    /// gap. Never the home folder or above it, a folder directly under the root,
    /// nor a hidden folder or anything above one. Empty when none.
    static QString siteRootForPage(const QString& page);

    /// Names whose presence marks a folder as a site's root.
    static QStringList siteMarkers();
};
