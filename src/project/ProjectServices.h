#pragma once
// What the project windows need from the application above them: file
// operations that keep open documents in step, the replace question, the recent
// projects list, opening files as the file manager would, and revealing a file
// in the file manager. The application installs these at start-up; without it
// (tests, tools) plain disk operations stand in, and nothing ever replaces an
// existing item.

#include "kit/Error.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

/// One pending move or copy whose destination already holds an item.
struct ProjectFilePair {
    QString oldPath;
    QString newPath;
    bool move = false;
};

struct ProjectServices {
    /// Moves an item; open documents follow. Never replaces an existing item.
    std::function<bool(const QString& source, const QString& destination, kit::Error* error)> movePath;
    /// Copies an item (folders with their contents). Never replaces an existing item.
    std::function<bool(const QString& source, const QString& destination, kit::Error* error)> copyPath;
    /// Moves the items to the trash; answers those that could not be trashed.
    std::function<QList<QUrl>(const QList<QUrl>& urls, QStringList* failures)> moveToTrash;
    /// Asks, pair by pair, whether existing items may be replaced.
    std::function<void(const QList<ProjectFilePair>& pairs)> askToReplace;
    /// A project folder was opened.
    std::function<void(const QString& folder)> addRecentProject;
    /// Opens files as if the file manager handed them over.
    std::function<void(const QStringList& paths)> openFiles;
    /// Shows the item in the desktop's file manager.
    std::function<void(const QString& path)> revealInFileManager;

    /// The services in use; they start as the plain stand-ins.
    static ProjectServices& shared();
    /// Plain disk operations, with no document updates.
    static ProjectServices plainServices();
};

/// Copies a file or a folder with its contents; refuses an existing destination and
/// leaves nothing half made behind.
bool copyItemNoReplace(const QString& source, const QString& destination, kit::Error* error);
