#pragma once
// Names of the application-wide broadcasts of settings and commands.

#include <QString>

// Preferences: colours (object: the new colour as a QColor in userInfo "color").
inline const QString KELTextColorChangedNotification = QStringLiteral("KELTextColorChangedNotification");
inline const QString KELBackgroundColoringChangedNotification = QStringLiteral("KELBackgroundColoringChangedNotification");
inline const QString KELSelectionColorChangedNotification = QStringLiteral("KELSelectionColorChangedNotification");
// Colouring settings changed (no object); the second one re-colours the documents.
inline const QString KELColoringSettingsChangedNotification = QStringLiteral("KELColoringSettingsChangedNotification");
inline const QString KELColoringSettingsChangedSecondNotification = QStringLiteral("KELColoringSettingsChangedSecondNotification");
// Every document re-wraps its editor or changes its font.
inline const QString KELWordWrapNotification = QStringLiteral("KELWordWrap");
inline const QString KELSetFontNotification = QStringLiteral("KELSetFont");
inline const QString KELPreferencesWindowWillCloseNotification = QStringLiteral("KELPreferencesWindowWillCloseNotification");
// Live preview settings.
inline const QString KELLivePreviewDividerChangedNotification = QStringLiteral("KELLivePreviewDividerChanged");
inline const QString KELLivePreviewShowImagesChangedNotification = QStringLiteral("KELLivePreviewShowImagesChanged");
inline const QString KELLivePreviewDownloadFilesChangedNotification = QStringLiteral("KELLivePreviewDownloadFilesChanged");
// Spelling and substitution toggles: every editor view re-applies its text settings.
inline const QString KELUpdatedTextSettingsNotification = QStringLiteral("KELUpdatedTextSettingsNotification");
// The application is about to quit (object: the application).
inline const QString KELApplicationWillTerminateNotification = QStringLiteral("KELApplicationWillTerminateNotification");
// A file moves to the trash (userInfo KELFileManagerURLUserInfoKey: its URL).
inline const QString KELFileManagerWillMoveURLToTrashNotification = QStringLiteral("KELFileManagerWillMoveURLToTrashNotification");
inline const QString KELFileManagerDidMoveURLToTrashNotification = QStringLiteral("KELFileManagerDidMoveURLToTrashNotification");
inline const QString KELFileManagerURLUserInfoKey = QStringLiteral("KELFileManagerURLUserInfoKey");
// The document controller: the active document changes, a document closes.
inline const QString KELDocumentDidResignActiveNotification = QStringLiteral("Document Did Resign Active");
inline const QString KELDocumentDidBecomeActiveNotification = QStringLiteral("Document Did Become Active");
inline const QString KELActiveDocumentDidChangeNotification = QStringLiteral("KELActiveDocumentDidChangeNotification");
inline const QString KELDocumentDidCloseNotification = QStringLiteral("KELDocumentDidCloseNotification");

// Posted by the HTML editor view with itself as the object: its text changed, and
// the user typed (the typed text under KELUserDidEnterTextInsertedString).
inline const QString KELTextDidChangeNotification = QStringLiteral("KELTextDidChangeNotification");
inline const QString KELUserDidEnterTextNotification = QStringLiteral("KELUserDidEnterTextNotification");
inline const QString KELUserDidEnterTextInsertedString = QStringLiteral("KELUserDidEnterTextInsertedString");
