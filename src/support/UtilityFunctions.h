#pragma once
// Shared helpers: system answers, the application's folders, the PHP
// interpreter, text for new documents, the indentation unit, the read chain of
// text encodings and small path operations.

#include "kit/Error.h"
#include "kit/Types.h"

#include <QByteArray>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>
#include <optional>

namespace kit {
class TextView;
}

class UtilityFunctions {
public:
    static UtilityFunctions& sharedInstance();

    /// This platform stands for the newest system the program knows: every
    /// version check passes.
    bool checkMinOSVersion(qint32 version) const;
    bool checkMinOSYosemite() const;

    /// The processor's maximum clock in MHz; 2000 when the system does not say.
    static quint64 processorClockSpeedInMHz();
    /// Whether a program of that name (or the last component of that path, without
    /// ".desktop") is running.
    static bool isAppLaunched(const QString& nameOrPath);
    static QString currentApplicationName();

    // Folders.
    /// The application's data folder; empty when the platform names none.
    static QString appSupportDirectory();
    /// The temporary folder of this process, removed when the program ends (two
    /// running instances never share one).
    static QString tempDirectory();
    /// A new uniquely named folder inside tempDirectory(); template ends in "XXXXXX".
    /// Empty when it cannot be made (logged).
    static QString makeTempDirectory(const QString& nameTemplate);
    /// The user's home folder from the user database; "/" when there is none (logged).
    static QString homeDirectory();
    /// The file's icon; a null icon when nothing exists at the path.
    static QIcon iconForPath(const QString& path);

    // PHP.
    /// The candidate interpreters that are executable regular files, in candidate order.
    QStringList availablePHPLocations() const;
    /// Whether "PHP Location" (or, stored in its place, the first usable candidate)
    /// is an executable file; with showAlerts, says why not.
    bool canFindPHP(bool showAlerts);
    bool assertCanFindPHP() { return canFindPHP(true); }
    /// Tests: the candidate paths tried after "PHP Location".
    void setPHPCandidatesForTesting(const QStringList& candidates) { m_phpLocations = candidates; }
    QStringList phpCandidates() const { return m_phpLocations; }

    // Reading text files.
    /// Per-file encodings come from the per-file settings, which live elsewhere:
    /// they install this lookup (path → encoding, NoEncoding for none).
    using FileEncodingLookup = std::function<kit::StringEncoding(const QString& path)>;
    static void setFileEncodingLookup(FileEncodingLookup lookup);
    /// The encoding stored for the file (through the lookup); NoEncoding for none.
    static kit::StringEncoding storedFileEncoding(const QString& path);
    /// "KELDefaultEncodingForOpen" as the chain reads it.
    static kit::StringEncoding openDefaultEncoding();
    /// The read chain: the given encoding, the file's stored encoding,
    /// "KELDefaultEncodingForOpen", detection, UTF-8, ASCII. The error is the
    /// first failure's; usedEncoding is written only when a text results.
    static std::optional<QString> stringContentsForURL(const QUrl& url, kit::StringEncoding documentEncoding,
                                                       kit::StringEncoding* usedEncoding, kit::Error* error = nullptr);
    static std::optional<QString> stringContentsForURL(const QUrl& url, kit::StringEncoding* usedEncoding,
                                                       kit::Error* error = nullptr);
    /// The same chain over bytes already read, with the file's stored encoding and
    /// the open default given: it reads no settings, so a worker thread may run it.
    static std::optional<QString> stringContentsForData(const QByteArray& data, const QString& path,
        kit::StringEncoding documentEncoding, kit::StringEncoding storedEncoding, kit::StringEncoding openDefault,
        kit::StringEncoding* usedEncoding, kit::Error* error = nullptr);

    // New documents.
    /// The text of a new document: the user's template file when chosen (its
    /// encoding written through encoding), else the built-in skeleton indented
    /// with the indent unit. nullopt when the template cannot be read.
    static std::optional<QString> stringForNewDocument(kit::StringEncoding* encoding = nullptr);
    /// The new-document text encoded: the template's encoding, else
    /// "KELDefaultEncodingForOpen" when set, else UTF-8.
    static std::optional<QByteArray> dataForNewDocument();

    // Text.
    static bool isNewLineCharacter(QChar c);
    /// One indent unit: a tab, or "KELOrganizeTagsNumSpaces" spaces (at least one).
    static QString indentSpacerSpring();
    static QChar indentSpacerChar();

    // Views.
    /// Plain code text: undo on, the system's fixed font at 12 points over the whole text
    /// and for what is typed.
    static void normalizeTextView(kit::TextView* textView);

    // Paths.
    /// path relative to directory, for links. Components compare exactly; the
    /// remaining components of a folder end with "/" (an existing path is asked
    /// whether it is a folder, a missing one is taken for a file when it has an extension).
    static QString relativePathFromDirectory(const QString& directory, const QString& path);
    /// The paths without those that lie inside another one of them, nor repeats.
    static QStringList arrayByRemovingSubPaths(const QStringList& paths);
    static QList<QUrl> arrayByRemovingSubPaths(const QList<QUrl>& urls);

private:
    UtilityFunctions();
    QStringList m_phpLocations;
};
