#include "document/KELFilePrefs.h"

#include <QRegularExpression>

KELFilePrefs::KELFilePrefs() = default;

KELFilePrefs KELFilePrefs::withPath(const QString& path)
{
    KELFilePrefs record;
    record.m_alias = NDAlias::aliasWithPath(path);
    if (record.m_alias)
        record.m_prefs[KELFilePrefsAliasKey] = record.m_alias->archivedData();
    record.setLastUsedDate(QDateTime::currentDateTimeUtc());
    return record;
}

std::optional<KELFilePrefs> KELFilePrefs::withDictionary(const QVariantMap& dictionary)
{
    const QVariant archive = dictionary.value(KELFilePrefsAliasKey);
    if (archive.typeId() != QMetaType::QByteArray)
        return std::nullopt;
    std::optional<NDAlias> alias = NDAlias::unarchive(archive.toByteArray());
    if (!alias)
        return std::nullopt;
    std::optional<KELFilePrefs> record(std::in_place);
    record->m_prefs = dictionary;
    record->m_alias = std::move(alias);
    return record;
}

QString KELFilePrefs::resolvedPath()
{
    if (!m_alias)
        return QString();
    const QString path = m_alias->path();
    if (m_alias->changed())
        m_prefs[KELFilePrefsAliasKey] = m_alias->archivedData();
    return path;
}

kit::FileReference::Match KELFilePrefs::matchFile(const QString& cleanAbsolutePath, const kit::FileIdentity& identity) const
{
    return m_alias ? m_alias->match(cleanAbsolutePath, identity) : kit::FileReference::Match::None;
}

void KELFilePrefs::adoptFile(const QString& cleanAbsolutePath, const kit::FileIdentity& identity)
{
    if (!m_alias)
        return;
    m_alias->adopt(cleanAbsolutePath, identity);
    if (m_alias->changed())
        m_prefs[KELFilePrefsAliasKey] = m_alias->archivedData();
}

void KELFilePrefs::setObject(const QVariant& value, const QString& key)
{
    if (value.isValid())
        m_prefs[key] = value;
    else
        m_prefs.remove(key);
}

QDateTime KELFilePrefs::lastUsedDate() const
{
    return m_prefs.value(KELFilePrefsLastUsedDateKey).toDateTime();
}

void KELFilePrefs::setLastUsedDate(const QDateTime& date)
{
    setObject(date.isValid() ? QVariant(date) : QVariant(), KELFilePrefsLastUsedDateKey);
}

kit::StringEncoding KELFilePrefs::encoding() const
{
    const QVariant value = m_prefs.value(KELFilePrefsEncodingKey);
    bool ok = false;
    const qulonglong encoding = value.toULongLong(&ok);
    return ok ? kit::StringEncoding(encoding) : kit::NoEncoding;
}

void KELFilePrefs::setEncoding(kit::StringEncoding encoding)
{
    m_prefs[KELFilePrefsEncodingKey] = qlonglong(encoding);
}

void KELFilePrefs::setCodeFoldingPrefsDictionary(const QVariantMap& folds)
{
    setObject(folds.isEmpty() ? QVariant() : QVariant(folds), KELCodeFoldingPrefsKey);
}

QString KELFilePrefs::stringFromRange(kit::Range range)
{
    return QStringLiteral("{%1, %2}").arg(range.location).arg(range.length);
}

kit::Range KELFilePrefs::rangeFromString(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*\\{?\\s*(\\d+)\\s*,\\s*(\\d+)\\s*\\}?\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return kit::Range(0, 0);
    bool okLocation = false, okLength = false;
    const qsizetype location = match.captured(1).toLongLong(&okLocation);
    const qsizetype length = match.captured(2).toLongLong(&okLength);
    if (!okLocation || !okLength)
        return kit::Range(0, 0);
    return kit::Range(location, length);
}

kit::Range KELFilePrefs::visibleTextRange() const
{
    return rangeFromString(m_prefs.value(KELVisibleTextRangePrefsKey).toString());
}

void KELFilePrefs::setVisibleTextRange(kit::Range range)
{
    m_prefs[KELVisibleTextRangePrefsKey] = stringFromRange(range);
}

std::optional<double> KELFilePrefs::navigationSplitViewSplitterPosition() const
{
    const QVariant value = m_prefs.value(KELProjectPrefsNavigationSplitterPositionKey);
    bool ok = false;
    const double position = value.toDouble(&ok);
    if (!value.isValid() || !ok)
        return std::nullopt;
    return position;
}

void KELFilePrefs::setNavigationSplitSplitterPosition(std::optional<double> position)
{
    setObject(position ? QVariant(*position) : QVariant(), KELProjectPrefsNavigationSplitterPositionKey);
}

void KELFilePrefs::setTabState(const QByteArray& state)
{
    setObject(state.isEmpty() ? QVariant() : QVariant(state), KELProjectPrefsTabStateKey);
}

QString KELFilePrefs::aliasPath(const QString& key) const
{
    const QVariant archive = m_prefs.value(key);
    if (archive.typeId() != QMetaType::QByteArray)
        return QString();
    std::optional<NDAlias> alias = NDAlias::unarchive(archive.toByteArray());
    return alias ? alias->path() : QString();
}

void KELFilePrefs::setAliasPath(const QString& key, const QString& path)
{
    std::optional<NDAlias> alias = path.isEmpty() ? std::nullopt : NDAlias::aliasWithPath(path);
    setObject(alias ? QVariant(alias->archivedData()) : QVariant(), key);
}

int KELFilePrefs::compare(const KELFilePrefs& other) const
{
    const QDateTime theirs = other.lastUsedDate();
    if (!theirs.isValid())
        return -1;
    const QDateTime mine = lastUsedDate();
    // The other's date compared with ours: later dates sort first.
    if (theirs < mine)
        return -1;
    if (theirs > mine)
        return 1;
    return 0;
}
