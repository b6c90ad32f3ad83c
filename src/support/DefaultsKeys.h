#pragma once
// The keys of the user settings. Their spelling is the stored format: never
// "correct" one (the typing slip in "Selected Prieview Browser" is in users' files).

#include <QString>

// Registered at start-up (app/RegisteredDefaults.cpp), in registration order.
inline const QString KELBackgroundColorKey = QStringLiteral("Background Color");
inline const QString KELTextColorKey = QStringLiteral("Text Color");
inline const QString KELSelectionColorKey = QStringLiteral("Selection Color");
inline const QString KELSelectedPreviewBrowserKey = QStringLiteral("Selected Prieview Browser");
inline const QString KELDefaultBrowserKey = QStringLiteral("Default Browser");
inline const QString KELCustomUserBrowserKey = QStringLiteral("Custom User Browser");
inline const QString KELPHPLocationKey = QStringLiteral("PHP Location");
inline const QString KELLineNumbers = QStringLiteral("KELLineNumbers");
inline const QString KELShowCodeFoldingInGutter = QStringLiteral("KELShowCodeFoldingInGutter");
inline const QString KELShowPreviewErrorsInGutter = QStringLiteral("KELShowPreviewErrorsInGutter");
inline const QString KELOrganizeTagsSpacer = QStringLiteral("KELOrganizeTagsSpacer");
inline const QString KELOrganizeTagsNumSpaces = QStringLiteral("KELOrganizeTagsNumSpaces");
inline const QString KELAutoIndentAfterNewlineKey = QStringLiteral("Auto Indent After Newline");
inline const QString KELWordWrap = QStringLiteral("KELWordWrap");
inline const QString KELWordWrapMode = QStringLiteral("KELWordWrapMode");
inline const QString KELIndentWrappedLines = QStringLiteral("KELIndentWrappedLines");
inline const QString KELFontKey = QStringLiteral("Font");
inline const QString KELCreateNewDocumentKey = QStringLiteral("Create New Document");
inline const QString KELShouldGetNewDocCodeFromAFileKey = QStringLiteral("Should Get New Doc Code from a File");
inline const QString KELCodeForNewDocumentsKey = QStringLiteral("Code For New Documents");
inline const QString KELDefaultFileExtensionKey = QStringLiteral("Default File Extension");
inline const QString KELDefaultEncodingForOpen = QStringLiteral("KELDefaultEncodingForOpen");
inline const QString KELDefaultEncodingForSave = QStringLiteral("KELDefaultEncodingForSave");
/// An integer, not a boolean.
inline const QString KELShouldWrapInsertedTagsAroundSelectedTextKey =
    QStringLiteral("Should Wrap Inserted Tags Around Selected Text");
inline const QString KELShouldCapitalizeTagsKey = QStringLiteral("Should Capitalize Tags");
inline const QString KELUserAgreesToTheUserAgreementKey = QStringLiteral("User Agrees to the User Agreement");
inline const QString KELQuickInsertItemsKey = QStringLiteral("Quick Insert Items");
inline const QString KELUseVerticalDividerInLivePreviewKey = QStringLiteral("Use Vertical Divider in Live Preview");
inline const QString KELDisplayImagesInLivePreviewKey = QStringLiteral("Display Images in Live Preview");
inline const QString KELDownloadInternetFilesInLivePreviewKey =
    QStringLiteral("Download Internet Files in Live Preview");
inline const QString KELLivePreviewShowAlerts = QStringLiteral("KELLivePreviewShowAlerts");
inline const QString KELFindRegexTypeKey = QStringLiteral("Find Regex Type");
inline const QString KELBatchFindRegexTypeKey = QStringLiteral("Batch Find Regex Type");
inline const QString KELBatchFindRegexTypeForFilesKey = QStringLiteral("Batch Find Regex Type for Files");
inline const QString KELUseTabbedInterfaceInProjectsKey = QStringLiteral("Use Tabbed Interface in Projects");
inline const QString KELUseTabbedInterfaceInStandaloneDocumentsKey =
    QStringLiteral("Use Tabbed Interface in Standalone Documents");
inline const QString KELOpenQuicklyLocalKey = QStringLiteral("Open Quickly Local");
inline const QString KELCheckSpellingAsYouType = QStringLiteral("KELCheckSpellingAsYouType");
inline const QString KELAutomaticallyCorrectSpelling = QStringLiteral("KELAutomaticallyCorrectSpelling");
inline const QString KELAutomaticTextReplacement = QStringLiteral("KELAutomaticTextReplacement");
inline const QString KELSmartDashes = QStringLiteral("KELSmartDashes");
inline const QString KELDataDetectors = QStringLiteral("KELDataDetectors");
inline const QString KELLinkDetectors = QStringLiteral("KELLinkDetectors");
inline const QString KELSmartQuotes = QStringLiteral("KELSmartQuotes");
inline const QString KELSmartInsertDelete = QStringLiteral("KELSmartInsertDelete");
inline const QString KELPrintDocumentEnableTextColoring = QStringLiteral("KELPrintDocumentEnableTextColoring");
inline const QString KELPrintDocumentEnableLineNumbering = QStringLiteral("KELPrintDocumentEnableLineNumbering");
inline const QString KELNavigatorSelectedViewOption = QStringLiteral("KELNavigatorSelectedViewOption");
inline const QString KELShowHTML5Completions = QStringLiteral("KELShowHTML5Completions");
inline const QString KELShowCSS3Completions = QStringLiteral("KELShowCSS3Completions");
inline const QString KELErrorCheckerShowWarnings = QStringLiteral("KELErrorCheckerShowWarnings");
inline const QString KELComponentLibrarySelectedViewKey = QStringLiteral("ComponentLibrarySelectedView");
/// Registered only when the syntax manager has a default type.
inline const QString KELDefaultFileTypeKey = QStringLiteral("KELDefaultFileTypeKey");
/// The most recent documents kept (the document controller's limit).
inline const QString KELRecentDocumentsLimitKey = QStringLiteral("NSRecentDocumentsLimit");

// Older names, moved to the keys above at start-up.
inline const QString KELLegacyOrganizeTagsWithSpaceOrTabKey = QStringLiteral("Organize Tags with Space or Tab");
inline const QString KELLegacyLineNumbersKey = QStringLiteral("Line Numbers");
inline const QString KELLegacyWordWrapKey = QStringLiteral("Word Wrap");
inline const QString KELLegacyWordWrapModeKey = QStringLiteral("Word Wrap Mode (Updated)");

// Stale web-view settings removed at every start-up.
inline const QString KELWebKitStandardFontKey = QStringLiteral("WebKitStandardFont");
inline const QString KELWebKitDefaultFontSizeKey = QStringLiteral("WebKitDefaultFontSize");

// Settings kept without a registered default.
/// The enabled text encodings (array of numbers).
inline const QString KELDefaultEncodingsKey = QStringLiteral("KELDefaultEncodingsKey");
inline const QString KELRecentProjectsKey = QStringLiteral("Recent Projects");
inline const QString KELLastCrashCheckKey = QStringLiteral("Last Crash Check");
inline const QString KELBatchFindHistoryKey = QStringLiteral("Batch Find History");
inline const QString KELFileExtensionTypesKey = QStringLiteral("KELFileExtensionTypesKey");
