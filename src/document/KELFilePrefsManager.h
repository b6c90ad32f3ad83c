#pragma once
// A store of per-file (or per-project) settings records in the user defaults,
// under "KELFilePrefs.<name>": the records known in this run are found by the
// path their alias resolves to; at most maxCount records are kept on disk (the
// least recently used go first).

#include "document/KELFilePrefs.h"

#include <QHash>
#include <QList>
#include <QString>
#include <memory>
#include <vector>

inline const QString KELFilePrefsArrayKey = QStringLiteral("KELFilePrefsArrayKey");

class KELFilePrefsManager {
public:
    /// The file store ("FilePrefs", 300 records) and the project store ("ProjectPrefs", 30).
    static KELFilePrefsManager& sharedFilePrefsManager();
    static KELFilePrefsManager& sharedProjectPrefsManager();

    /// A store under "KELFilePrefs.<name>", loaded from the user defaults.
    KELFilePrefsManager(const QString& name, quint64 maxCount);
    KELFilePrefsManager(const KELFilePrefsManager&) = delete;
    KELFilePrefsManager& operator=(const KELFilePrefsManager&) = delete;

    quint64 maxCount() const { return m_maxCount; }
    const QString& prefsKey() const { return m_prefsKey; }

    /// The record of the file at the path: the first that remembers this path,
    /// else the first that remembers the same file (device and inode, guarded
    /// against a reused inode) under another name; none when nothing is there.
    /// Looks at the disk once (a stat of the path).
    KELFilePrefs* existingFilePrefsForFile(const QString& path);
    /// The existing record, or a new one (in memory until saved); dated now.
    /// Records live as long as the store. For a path where nothing exists the
    /// answer is a blank record that is never kept or saved.
    KELFilePrefs& filePrefsForFile(const QString& path);
    /// Dates the record, keeps it among the saved ones (dropping the oldest
    /// beyond the limit) and writes the store to the user defaults.
    void saveFilePrefs(KELFilePrefs& record);

    /// The encodings kept for files, by the path each record resolves to now: a copy
    /// that readers on other threads use in place of the store.
    QHash<QString, kit::StringEncoding> storedEncodingsByPath();

    int knownCount() const { return int(m_filePrefs.size()); }
    int savedCount() const { return int(m_savedFilePrefs.size()); }

    /// Tests: reload both shared stores from the user defaults.
    static void resetSharedForTesting();
    /// Makes the read chain of text files ask the file store for stored encodings.
    static void installFileEncodingLookup();

private:
    void load();

    QString m_prefsKey;
    quint64 m_maxCount;
    // Every record known in this run, in order of arrival (owned).
    std::vector<std::unique_ptr<KELFilePrefs>> m_filePrefs;
    // The records that belong on disk.
    QList<KELFilePrefs*> m_savedFilePrefs;
    // Answer for paths where nothing exists (never kept).
    std::unique_ptr<KELFilePrefs> m_transient;
};
