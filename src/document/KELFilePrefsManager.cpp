#include "document/KELFilePrefsManager.h"

#include "kit/UserDefaults.h"
#include "support/UtilityFunctions.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {
std::unique_ptr<KELFilePrefsManager>& fileStore()
{
    static std::unique_ptr<KELFilePrefsManager> store;
    return store;
}
std::unique_ptr<KELFilePrefsManager>& projectStore()
{
    static std::unique_ptr<KELFilePrefsManager> store;
    return store;
}
} // namespace

KELFilePrefsManager& KELFilePrefsManager::sharedFilePrefsManager()
{
    if (!fileStore())
        fileStore() = std::make_unique<KELFilePrefsManager>(QStringLiteral("FilePrefs"), 300);
    return *fileStore();
}

KELFilePrefsManager& KELFilePrefsManager::sharedProjectPrefsManager()
{
    if (!projectStore())
        projectStore() = std::make_unique<KELFilePrefsManager>(QStringLiteral("ProjectPrefs"), 30);
    return *projectStore();
}

void KELFilePrefsManager::resetSharedForTesting()
{
    fileStore().reset();
    projectStore().reset();
}

void KELFilePrefsManager::installFileEncodingLookup()
{
    UtilityFunctions::setFileEncodingLookup([](const QString& path) {
        // Reading needs no record of its own: files only read never get one.
        const KELFilePrefs* record = sharedFilePrefsManager().existingFilePrefsForFile(path);
        return record ? record->encoding() : kit::NoEncoding;
    });
}

KELFilePrefsManager::KELFilePrefsManager(const QString& name, quint64 maxCount)
    : m_prefsKey(QStringLiteral("KELFilePrefs.%1").arg(name)), m_maxCount(maxCount)
{
    load();
}

void KELFilePrefsManager::load()
{
    // Older installations on other systems kept these in a separate file; there
    // are none here, so a missing entry simply means an empty store.
    const QVariantMap stored = kit::UserDefaults::standard().mapValue(m_prefsKey);
    const QVariantList array = stored.value(KELFilePrefsArrayKey).toList();
    for (const QVariant& element : array) {
        std::optional<KELFilePrefs> record = KELFilePrefs::withDictionary(element.toMap());
        if (!record)
            continue;
        m_filePrefs.push_back(std::make_unique<KELFilePrefs>(std::move(*record)));
        m_savedFilePrefs << m_filePrefs.back().get();
    }
}

QHash<QString, kit::StringEncoding> KELFilePrefsManager::storedEncodingsByPath()
{
    QHash<QString, kit::StringEncoding> encodings;
    for (const std::unique_ptr<KELFilePrefs>& record : m_filePrefs) {
        const kit::StringEncoding encoding = record->encoding();
        if (encoding == kit::NoEncoding)
            continue;
        const QString path = record->resolvedPath();
        if (!path.isEmpty() && !encodings.contains(path))
            encodings.insert(path, encoding);
    }
    return encodings;
}

KELFilePrefs* KELFilePrefsManager::existingFilePrefsForFile(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    // One stat of the path; the records are matched by what they remember, so a
    // lookup never searches folders for files that went away.
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    const std::optional<kit::FileIdentity> identity = kit::fileIdentityAt(clean);
    if (!identity)
        return nullptr;
    KELFilePrefs* sameItem = nullptr;
    for (const std::unique_ptr<KELFilePrefs>& record : m_filePrefs) {
        const kit::FileReference::Match found = record->matchFile(clean, *identity);
        if (found == kit::FileReference::Match::ByPath) {
            // A safe save puts a new file in place of the old: same name, same record.
            record->adoptFile(clean, *identity);
            return record.get();
        }
        if (found == kit::FileReference::Match::ByIdentity && !sameItem)
            sameItem = record.get();
    }
    if (sameItem)
        sameItem->adoptFile(clean, *identity); // renamed or moved since
    return sameItem;
}

KELFilePrefs& KELFilePrefsManager::filePrefsForFile(const QString& path)
{
    KELFilePrefs* record = existingFilePrefsForFile(path);
    if (!record) {
        KELFilePrefs made = KELFilePrefs::withPath(path);
        if (!made.alias()) {
            // Nothing is there: a record that is never kept, so it can neither be
            // found later nor push real records out of the store.
            if (!m_transient)
                m_transient = std::make_unique<KELFilePrefs>();
            *m_transient = KELFilePrefs();
            return *m_transient;
        }
        m_filePrefs.push_back(std::make_unique<KELFilePrefs>(std::move(made)));
        record = m_filePrefs.back().get();
    }
    record->setLastUsedDate(QDateTime::currentDateTimeUtc());
    return *record;
}

void KELFilePrefsManager::saveFilePrefs(KELFilePrefs& record)
{
    // A record of no file would be unfindable and only take a real record's place.
    if (&record == m_transient.get() || !record.alias())
        return;
    record.setLastUsedDate(QDateTime::currentDateTimeUtc());
    const bool known = std::any_of(m_filePrefs.begin(), m_filePrefs.end(),
                                   [&](const std::unique_ptr<KELFilePrefs>& r) { return r.get() == &record; });
    if (!known) {
        // A record made outside the store: keep a copy.
        m_filePrefs.push_back(std::make_unique<KELFilePrefs>(record));
    }
    KELFilePrefs* stored = known ? &record : m_filePrefs.back().get();
    if (!m_savedFilePrefs.contains(stored))
        m_savedFilePrefs << stored;
    if (quint64(m_savedFilePrefs.size()) > m_maxCount) {
        std::stable_sort(m_savedFilePrefs.begin(), m_savedFilePrefs.end(),
                         [](const KELFilePrefs* a, const KELFilePrefs* b) { return a->compare(*b) < 0; });
        while (quint64(m_savedFilePrefs.size()) > m_maxCount)
            m_savedFilePrefs.removeLast();
    }
    QVariantList array;
    for (const KELFilePrefs* saved : m_savedFilePrefs)
        array << saved->prefsDictionary();
    kit::UserDefaults::standard().setValue(m_prefsKey, QVariantMap{{KELFilePrefsArrayKey, array}});
}
