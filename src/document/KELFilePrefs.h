#pragma once
// One record of per-file (or per-project) settings: the file's alias and a
// dictionary of values kept in the user defaults. Keys no accessor knows are
// kept as they are.

#include "document/NDAlias.h"
#include "kit/Types.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantMap>
#include <optional>

inline const QString KELFilePrefsAliasKey = QStringLiteral("KELFilePrefsAliasKey");
inline const QString KELFilePrefsLastUsedDateKey = QStringLiteral("KELFilePrefsLastUsedDateKey");
inline const QString KELFilePrefsEncodingKey = QStringLiteral("KELFilePrefsEncodingKey");
inline const QString KELPreviewFileAliasKey = QStringLiteral("KELPreviewFileAliasKey");
inline const QString KELCodeFoldingPrefsKey = QStringLiteral("KELCodeFoldingPrefsKey");
inline const QString KELLivePreviewPrefsKey = QStringLiteral("KELLivePreviewPrefsKey");
inline const QString KELVisibleTextRangePrefsKey = QStringLiteral("KELVisibleTextRangePrefsKey");
inline const QString KELComponentInsertScriptsPathAliasKey = QStringLiteral("KELComponentInsertScriptsPathAliasKey");
inline const QString KELProjectPrefsComponentIncludeDirectoryAliasKey = QStringLiteral("KELProjectPrefsComponentIncludeDirectoryAliasKey");
inline const QString KELProjectPrefsNavigationSplitterPositionKey = QStringLiteral("KELProjectPrefsNavigationSplitterPositionKey");
inline const QString KELProjectPrefsIsShowingNavigatorKey = QStringLiteral("KELProjectPrefsIsShowingNavigatorKey");
inline const QString KELProjectPrefsTabStateKey = QStringLiteral("KELProjectPrefsTabStateKey");

class KELFilePrefs {
public:
    /// An empty record without alias.
    KELFilePrefs();
    /// A record for the path (its alias is none when nothing exists there), dated now.
    static KELFilePrefs withPath(const QString& path);
    /// A record from its stored dictionary; none when no alias can be read from it.
    static std::optional<KELFilePrefs> withDictionary(const QVariantMap& dictionary);

    const std::optional<NDAlias>& alias() const { return m_alias; }
    /// The path the record's alias resolves to now; empty when it does not.
    /// A moved file's new place is kept in the stored alias.
    QString resolvedPath();
    /// Whether the record belongs to the item at the path (see NDAlias::match).
    kit::FileReference::Match matchFile(const QString& cleanAbsolutePath, const kit::FileIdentity& identity) const;
    /// Moves the record's alias to that item (kept in the stored alias).
    void adoptFile(const QString& cleanAbsolutePath, const kit::FileIdentity& identity);
    const QVariantMap& prefsDictionary() const { return m_prefs; }

    QVariant objectForKey(const QString& key) const { return m_prefs.value(key); }
    /// Stores the value; an invalid value removes the key.
    void setObject(const QVariant& value, const QString& key);

    QDateTime lastUsedDate() const;
    void setLastUsedDate(const QDateTime& date);

    kit::StringEncoding encoding() const;
    void setEncoding(kit::StringEncoding encoding);

    QString currentPreviewFile() const { return aliasPath(KELPreviewFileAliasKey); }
    void setCurrentPreviewFile(const QString& path) { setAliasPath(KELPreviewFileAliasKey, path); }

    /// The saved folds in their dictionary form (empty when none).
    QVariantMap codeFoldingPrefsDictionary() const { return m_prefs.value(KELCodeFoldingPrefsKey).toMap(); }
    /// An empty dictionary removes the saved folds.
    void setCodeFoldingPrefsDictionary(const QVariantMap& folds);

    bool isLivePreviewing() const { return m_prefs.value(KELLivePreviewPrefsKey).toBool(); }
    void setLivePreviewing(bool on) { m_prefs[KELLivePreviewPrefsKey] = on; }

    /// Stored as "{location, length}"; (0, 0) when absent or unreadable.
    kit::Range visibleTextRange() const;
    void setVisibleTextRange(kit::Range range);
    static QString stringFromRange(kit::Range range);
    static kit::Range rangeFromString(const QString& text);

    QString scriptsPath() const { return aliasPath(KELComponentInsertScriptsPathAliasKey); }
    void setScriptsPath(const QString& path) { setAliasPath(KELComponentInsertScriptsPathAliasKey, path); }
    QString componentIncludeDirectoryPath() const { return aliasPath(KELProjectPrefsComponentIncludeDirectoryAliasKey); }
    void setComponentIncludeDirectoryPath(const QString& path) { setAliasPath(KELProjectPrefsComponentIncludeDirectoryAliasKey, path); }

    std::optional<double> navigationSplitViewSplitterPosition() const;
    void setNavigationSplitSplitterPosition(std::optional<double> position);
    bool isShowingCodeNavigator() const { return m_prefs.value(KELProjectPrefsIsShowingNavigatorKey).toBool(); }
    void setIsShowingCodeNavigator(bool on) { m_prefs[KELProjectPrefsIsShowingNavigatorKey] = on; }

    QByteArray tabState() const { return m_prefs.value(KELProjectPrefsTabStateKey).toByteArray(); }
    /// Empty data removes the key.
    void setTabState(const QByteArray& state);

    /// Newest first: negative when this record was used later than the other
    /// (or the other has no date), positive when earlier, 0 when equal.
    int compare(const KELFilePrefs& other) const;

private:
    QString aliasPath(const QString& key) const;
    void setAliasPath(const QString& key, const QString& path);

    std::optional<NDAlias> m_alias;
    QVariantMap m_prefs;
};
