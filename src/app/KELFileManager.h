#pragma once
// File operations that keep the open documents, their tabs and the project
// trees in step with the disk: move, copy, trash, folder creation and the
// type identifiers of a file.
//
// A move or copy never silently replaces an existing item: the caller asks
// first (ReplaceFileController) and replaceItem() sets the old item aside until
// the new one is in place.

#include "kit/Error.h"
#include "support/Notifications.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <functional>

// The trash notifications (support/Notifications.h) are posted once per URL,
// object the file manager.

// Type identifiers answered by utisForPath.
inline const QString KELUTTypeText = QStringLiteral("public.text");
inline const QString KELUTTypePlainText = QStringLiteral("public.plain-text");
inline const QString KELUTTypeUTF8PlainText = QStringLiteral("public.utf8-plain-text");
inline const QString KELUTTypeUTF16PlainText = QStringLiteral("public.utf16-plain-text");
inline const QString KELUTTypeUTF16ExternalPlainText = QStringLiteral("public.utf16-external-plain-text");

class KELFileManager {
public:
    /// The object the notifications are posted with.
    static KELFileManager& defaultManager();

    /// Moves the item; open documents under the source follow it (or close when
    /// closeDocuments is set). Refuses when something exists at the destination.
    bool movePathWithDocumentUpdate(const QString& source, const QString& destination, kit::Error* error);
    bool movePathWithDocumentUpdate(const QString& source, const QString& destination, bool closeDocuments, kit::Error* error);
    /// Copies the item (folders recursively); open documents of the destination
    /// show the copied file. Refuses when something exists at the destination; a
    /// failed copy leaves nothing half made behind.
    bool copyPathWithDocumentUpdate(const QString& source, const QString& destination, kit::Error* error);
    /// Replaces the item at destination by the source (moved or copied): the old
    /// item is set aside first and put back when the move or copy fails, so it is
    /// never lost. Open documents of the destination are updated.
    bool replaceItem(const QString& source, const QString& destination, bool move, kit::Error* error);

    /// Posts the will-move notifications, moves every URL to the desktop's trash
    /// and, on the next turn, posts the did-move notifications of the URLs that
    /// went. Answers the URLs that could not be trashed (each reported through
    /// failures when given).
    QList<QUrl> moveURLsToTrash(const QList<QUrl>& urls, QStringList* failures = nullptr);

    /// mkdir -p; an existing folder counts as success.
    bool createDirectoriesAtPath(const QString& path, const QVariantMap& attributes = {});

    QStringList utisForPath(const QString& path) const;
    static bool utiConformsToUTI(const QString& uti, const QString& other);
    bool pathConformsToUTI(const QString& path, const QString& uti) const;

    /// What the trash call does (replaceable for tests): moves one file to the
    /// trash, false with a reason on failure.
    using TrashFunction = std::function<bool(const QString& path, QString* reason)>;
    static void setTrashFunctionForTesting(TrashFunction function);
    /// What a copy does at its lowest level (replaceable for tests to make a copy fail).
    using CopyFileFunction = std::function<bool(const QString& source, const QString& destination, QString* reason)>;
    static void setCopyFileFunctionForTesting(CopyFileFunction function);
    /// Asked to refresh a project tree after an operation (subsystem of projects).
    using ProjectUpdater = std::function<void(const QString& path)>;
    static void setProjectUpdater(ProjectUpdater updater);

    /// Renames an item; fails (errno EEXIST) when anything exists at the
    /// destination, also when it appeared a moment ago, and never replaces it.
    static bool moveItemWithoutReplacing(const QString& source, const QString& destination, QString* reason);

    /// Whether the path lies under the folder (or is it); components compared exactly.
    static bool pathLiesUnder(const QString& path, const QString& folder);

private:
    KELFileManager() = default;
    bool copyItem(const QString& source, const QString& destination, kit::Error* error);
    void updateDocumentsAfterMove(const QString& source, const QString& destination, bool closeDocuments);
    void updateDocumentsAfterCopy(const QString& destination);
};
