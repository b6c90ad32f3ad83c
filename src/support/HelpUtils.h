#pragma once
// Opens the help book (resources/Help) at the page of a help key, in the help window.

#include <QString>
#include <QUrl>
#include <functional>

// Help keys held by panels and windows; each names a page of the help book.
inline const QString KELOpenQuicklyHelpKey = QStringLiteral("KELOpenQuicklyHelpKey");
inline const QString KELSupportHelpKey = QStringLiteral("KELSupportHelpKey");
inline const QString KELInsertColorHelpKey = QStringLiteral("KELInsertColorHelpKey");
inline const QString KELInsertImageMapHelpKey = QStringLiteral("KELInsertImageMapHelpKey");
inline const QString KELInsertMetaTagHelpKey = QStringLiteral("KELInsertMetaTagHelpKey");
inline const QString KELAdvancedInsertHelpKey = QStringLiteral("KELAdvancedInsertHelpKey");
inline const QString KELBatchFindHelpKey = QStringLiteral("KELBatchFindHelpKey");
inline const QString KELRegexHelpKey = QStringLiteral("KELRegexHelpKey");
inline const QString KELColoringHelpKey = QStringLiteral("KELColoringHelpKey");
inline const QString KELFileTypesHelpKey = QStringLiteral("KELFileTypesHelpKey");
inline const QString KELComponentLibraryHelpKey = QStringLiteral("KELComponentLibraryHelpKey");
inline const QString KELCodeClipsHelpKey = QStringLiteral("KELCodeClipsHelpKey");
inline const QString KELTextEncodingsHelpKey = QStringLiteral("KELTextEncodingsHelpKey");

class HelpUtils {
public:
    HelpUtils() = delete;

    /// Opens a page of the help book (a path relative to its root); an empty path,
    /// or a page the book lacks, opens the start page. Without a help book nothing
    /// happens. The anchor, when given, becomes the URL's fragment.
    static void showHelpPagePath(const QString& pagePath, const QString& anchorName = QString());

    /// Opens the page that belongs to a help key; any other key opens the start page.
    static void showHelpForKey(const QString& key);
    /// Opens the address in the desktop's browser; without one, says so in an alert.
    static bool openInBrowser(const QUrl& url);

    /// Opens the page of a library component: "component/<name without spaces>.html".
    static void showHelpForComponent(const QString& componentName);

    /// The page of a help key, or an empty string for a key without one.
    static QString pagePathForKey(const QString& key);

    /// The help book's folder, or an empty string when the application has none.
    static QString helpBookPath();

    /// The URL a page path leads to (the start page for a missing page); empty without a help book.
    static QUrl urlForPagePath(const QString& pagePath, const QString& anchorName = QString());

    /// Replaces the help window (tests record the URLs instead). An empty function
    /// restores the help window.
    using Opener = std::function<bool(const QUrl&)>;
    static void setOpenerForTesting(Opener opener);
};
