#include "kit/text/TextStorage.h"

#include "kit/NotificationCenter.h"
#include "kit/text/LayoutManager.h"

#include <QMutex>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <cstring>

namespace kit {

void AttributedString::addAttribute(const QString& key, const QVariant& value, Range range)
{
    if (range.length <= 0 || !value.isValid())
        return;
    attributes[key].append(AttributeRun{range.location, range.length, value});
}

// ---------------------------------------------------------------------------------------------
// Keys

namespace {

struct KeyRegistry {
    QMutex mutex;
    QHash<QString, AttributeKey> byName;
    QStringList names;
    // One table per shared key; null for per-storage keys.
    std::vector<std::unique_ptr<AttributeValueTable>> shared;

    KeyRegistry()
    {
        for (const QString& name : { ForegroundColorAttributeName, BackgroundColorAttributeName, FontAttributeName,
                 CursorAttributeName, UnderlineStyleAttributeName })
            add(name, AttributeValues::Shared);
    }
    AttributeKey add(const QString& name, AttributeValues values)
    {
        const AttributeKey key = AttributeKey(names.size());
        names.append(name);
        byName.insert(name, key);
        shared.push_back(values == AttributeValues::Shared ? std::make_unique<AttributeValueTable>() : nullptr);
        return key;
    }
};

KeyRegistry& registry()
{
    static KeyRegistry r;
    return r;
}

// A shared key's table, or null. Tables are never removed, so the pointer stays good.
AttributeValueTable* sharedTable(AttributeKey key)
{
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    return key >= 0 && size_t(key) < r.shared.size() ? r.shared[size_t(key)].get() : nullptr;
}

} // namespace

AttributeKey attributeKey(const QString& name, AttributeValues values)
{
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    auto it = r.byName.constFind(name);
    if (it != r.byName.constEnd())
        return it.value();
    return r.add(name, values);
}

QString attributeKeyName(AttributeKey key)
{
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    return key >= 0 && key < r.names.size() ? r.names.at(key) : QString();
}

AttributeValueId sharedAttributeValueId(AttributeKey key, const QVariant& value)
{
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (key < 0 || size_t(key) >= r.shared.size() || !r.shared[size_t(key)])
        return 0;
    return r.shared[size_t(key)]->intern(value);
}

QVariant sharedAttributeValue(AttributeKey key, AttributeValueId id)
{
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (key < 0 || size_t(key) >= r.shared.size() || !r.shared[size_t(key)])
        return QVariant();
    return r.shared[size_t(key)]->value(id);
}

TextStorage::TextStorage(QObject* parent) : QObject(parent) {}

TextStorage::TextStorage(const QString& text, QObject* parent) : QObject(parent), m_buf(text) {}

// ---------------------------------------------------------------------------------------------
// The gap buffer

namespace {
constexpr qsizetype GapSize = 64 * 1024;
}

void TextStorage::closeGap() const
{
    if (m_gapLength == 0)
        return;
    QChar* d = m_buf.data();
    const qsizetype tail = m_buf.size() - m_gapStart - m_gapLength;
    std::memmove(d + m_gapStart, d + m_gapStart + m_gapLength, size_t(tail) * sizeof(QChar));
    m_buf.truncate(m_buf.size() - m_gapLength);
    m_gapLength = 0;
    m_gapStart = 0;
}

void TextStorage::replaceInClosedString(Range range, const QString& text)
{
    // The side before the edit moves when it is the shorter: the string's storage keeps
    // room at its front (taking characters off the front moves no text). Otherwise the
    // side after it moves, within the room kept at the end.
    const qsizetype n = m_buf.size();
    const qsizetype k = text.size();
    const qsizetype p = range.location;
    const qsizetype tail = n - range.end();
    if (text.isSharedWith(m_buf)) {
        m_buf.replace(p, range.length, text);
        return;
    }
    if (k == range.length) {
        std::memcpy(m_buf.data() + p, text.constData(), size_t(k) * sizeof(QChar));
    } else if (k > range.length) {
        const qsizetype grow = k - range.length;
        if (p < tail) {
            m_buf.prepend(QString(grow, QChar::Null));
            QChar* d = m_buf.data();
            std::memmove(d, d + grow, size_t(p) * sizeof(QChar));
        } else {
            m_buf.resize(n + grow);
            QChar* d = m_buf.data();
            std::memmove(d + p + k, d + range.end(), size_t(tail) * sizeof(QChar));
        }
        std::memcpy(m_buf.data() + p, text.constData(), size_t(k) * sizeof(QChar));
    } else {
        const qsizetype shrink = range.length - k;
        QChar* d = m_buf.data();
        if (p < tail) {
            std::memmove(d + shrink, d, size_t(p) * sizeof(QChar));
            if (k > 0)
                std::memcpy(d + shrink + p, text.constData(), size_t(k) * sizeof(QChar));
            m_buf.remove(0, shrink);
        } else {
            std::memmove(d + p + k, d + range.end(), size_t(tail) * sizeof(QChar));
            if (k > 0)
                std::memcpy(d + p, text.constData(), size_t(k) * sizeof(QChar));
            m_buf.truncate(n - shrink);
        }
    }
}

const QString& TextStorage::string() const
{
    if (!m_readSinceEdit)
        ++m_wholeTextReads;
    closeGap();
    m_readSinceEdit = true;
    return m_buf;
}

void TextStorage::moveGapTo(qsizetype position, qsizetype minimumGap)
{
    if (m_gapLength < minimumGap) {
        // Re-open a larger gap at the position: one move of the tail.
        closeGap();
        const qsizetype n = m_buf.size();
        const qsizetype gap = std::max(minimumGap, GapSize);
        m_buf.resize(n + gap);
        QChar* d = m_buf.data();
        std::memmove(d + position + gap, d + position, size_t(n - position) * sizeof(QChar));
        m_gapStart = position;
        m_gapLength = gap;
        return;
    }
    QChar* d = m_buf.data();
    if (position < m_gapStart) {
        const qsizetype count = m_gapStart - position;
        std::memmove(d + position + m_gapLength, d + position, size_t(count) * sizeof(QChar));
    } else if (position > m_gapStart) {
        const qsizetype count = position - m_gapStart;
        std::memmove(d + m_gapStart, d + m_gapStart + m_gapLength, size_t(count) * sizeof(QChar));
    }
    m_gapStart = position;
}

QString TextStorage::substring(Range range) const
{
    const qsizetype n = length();
    range = Range::intersection(range, Range(0, n));
    if (range.length <= 0)
        return QString();
    if (range.end() <= m_gapStart)
        return m_buf.mid(range.location, range.length);
    if (range.location >= m_gapStart)
        return m_buf.mid(range.location + m_gapLength, range.length);
    QString out;
    out.reserve(range.length);
    out.append(QStringView(m_buf).mid(range.location, m_gapStart - range.location));
    out.append(QStringView(m_buf).mid(m_gapStart + m_gapLength, range.end() - m_gapStart));
    return out;
}

void TextStorage::copyString(QString& into) const
{
    const qsizetype n = length();
    into.resize(n);
    if (n == 0)
        return;
    QChar* d = into.data();
    const QChar* s = m_buf.constData();
    std::memcpy(d, s, size_t(m_gapStart) * sizeof(QChar));
    std::memcpy(d + m_gapStart, s + m_gapStart + m_gapLength, size_t(n - m_gapStart) * sizeof(QChar));
}

QStringView TextStorage::stringView(Range range) const
{
    range = Range::intersection(range, Range(0, length()));
    if (range.location < m_gapStart && range.end() > m_gapStart && m_gapLength > 0) {
        ++m_wholeTextReads;
        closeGap();
    }
    const qsizetype shift = range.location >= m_gapStart ? m_gapLength : 0;
    return QStringView(m_buf).mid(range.location + shift, range.length);
}

qsizetype TextStorage::nextLineTerminator(qsizetype from) const
{
    from = std::max<qsizetype>(from, 0);
    if (m_gapLength == 0 || from >= m_gapStart) {
        const qsizetype shift = m_gapLength == 0 ? 0 : m_gapLength;
        const qsizetype t = nextLineTerminator(m_buf, from + shift);
        return t == NotFound ? NotFound : t - shift;
    }
    // Before the gap, then after it.
    const QChar* d = m_buf.constData();
    for (qsizetype i = from; i < m_gapStart; ++i) {
        if (isLineTerminator(d[i]))
            return i;
    }
    const qsizetype t = nextLineTerminator(m_buf, m_gapStart + m_gapLength);
    return t == NotFound ? NotFound : t - m_gapLength;
}

TextStorage::~TextStorage()
{
    for (LayoutManager* lm : std::as_const(m_layoutManagers))
        lm->storageDestroyed(this);
}

// ---------------------------------------------------------------------------------------------
// Run lists

TextStorage::KeyRuns& TextStorage::keyRunsForWriting(AttributeKey key)
{
    if (size_t(key) >= m_keys.size())
        m_keys.resize(size_t(key) + 1);
    KeyRuns& k = m_keys[size_t(key)];
    if (!k.present) {
        k.present = true;
        if (!sharedTable(key))
            k.table = std::make_unique<AttributeValueTable>();
    }
    return k;
}

AttributeValueId TextStorage::valueId(AttributeKey key, const QVariant& value)
{
    if (!value.isValid() || key < 0)
        return 0;
    if (sharedTable(key))
        return sharedAttributeValueId(key, value);
    KeyRuns& k = keyRunsForWriting(key);
    const AttributeValueId id = k.table->intern(value);
    if (k.table->size() > k.compactAt) {
        // Values no run holds any more go (identity objects of dissolved tokens and
        // the like); the value about to be written is kept.
        std::vector<bool> used(size_t(k.table->size()), false);
        k.runs.markValues(used);
        used[id] = true;
        const std::vector<AttributeValueId> map = k.table->compact(used);
        k.runs.remapValues(map);
        k.compactAt = std::max<qsizetype>(256, 2 * k.table->size());
        return map[id];
    }
    return id;
}

const QVariant& TextStorage::valueForId(AttributeKey key, AttributeValueId id) const
{
    static const QVariant none;
    if (id == 0)
        return none;
    const KeyRuns* k = keyRuns(key);
    if (k && k->table)
        return k->table->value(id);
    KeyRegistry& r = registry();
    QMutexLocker lock(&r.mutex);
    if (key >= 0 && size_t(key) < r.shared.size() && r.shared[size_t(key)])
        return r.shared[size_t(key)]->value(id);
    return none;
}

AttributeValueId TextStorage::valueIdAt(AttributeKey key, qsizetype index, Range* run) const
{
    const qsizetype len = length();
    if (index < 0 || index >= len) {
        if (run)
            *run = Range(std::clamp<qsizetype>(index, 0, len), 0);
        return 0;
    }
    const KeyRuns* k = keyRuns(key);
    if (!k || k->runs.isEmpty()) {
        if (run)
            *run = Range(0, len);
        return 0;
    }
    return k->runs.valueAt(index, len, run);
}

bool TextStorage::holdsValueId(AttributeKey key, AttributeValueId id, Range range) const
{
    const KeyRuns* k = keyRuns(key);
    if (!k || k->runs.isEmpty())
        return id == 0;
    return k->runs.holds(range, length(), id);
}

bool TextStorage::setValueId(AttributeKey key, AttributeValueId id, Range range)
{
    const qsizetype total = length();
    range = Range::intersection(range, Range(0, total));
    if (range.length <= 0 || key < 0)
        return false;
    if (id == 0 && !keyRuns(key))
        return false;
    if (!keyRunsForWriting(key).runs.assign(range.location, range.end(), total, id))
        return false;
    noteEditedKey(key);
    edited(TextStorageEditedAttributes, range, 0);
    return true;
}

void TextStorage::noteEditedKey(AttributeKey key)
{
    if (!m_acc.keys.contains(key))
        m_acc.keys.append(key);
}

void TextStorage::setRunValue(KeyRuns& k, Range range, AttributeValueId value)
{
    const qsizetype total = length();
    if (range.length <= 0 || total == 0)
        return;
    if (k.runs.isEmpty())
        k.runs.replaceSpan(0, 0, 0, total, 0);
    const qsizetype end = std::min(range.end(), total);
    k.runs.replaceSpan(range.location, end, total, end - range.location, value);
}

void TextStorage::replaceRuns(Range range, qsizetype newLength)
{
    // Called before the text changes: lengths are the old ones.
    const qsizetype oldTotal = length();
    for (KeyRuns& k : m_keys) {
        if (!k.present)
            continue;
        AttributeRunList& list = k.runs;
        AttributeValueId inherited = 0;
        if (!list.isEmpty()) {
            if (range.length > 0)
                inherited = list.valueAt(range.location, oldTotal);
            else if (range.location > 0)
                inherited = list.valueAt(range.location - 1, oldTotal);
            else if (oldTotal > 0)
                inherited = list.valueAt(0, oldTotal);
        }
        list.replaceSpan(range.location, range.end(), oldTotal, newLength, inherited);
    }
}

// ---------------------------------------------------------------------------------------------
// Characters

void TextStorage::replaceCharacters(Range range, const QString& text)
{
    const qsizetype len = length();
    if (range.location == NotFound || range.location < 0)
        return;
    range.location = std::min(range.location, len);
    range.length = std::clamp<qsizetype>(range.length, 0, len - range.location);
    if (range.length == 0 && text.isEmpty())
        return;
    Q_EMIT charactersWillBeReplaced(range);
    replaceRuns(range, text.size());
    ++m_charactersVersion;
    const bool readBetweenEdits = m_readSinceEdit && m_gapLength == 0;
    m_readSinceEdit = false;
    if (range.location == 0 && range.length == len && text.size() > 4096) {
        // The whole text anew (a file read, a revert): the storage shares the new string
        // rather than copying it; the first edit gives it a copy of its own.
        m_buf = text;
        m_gapStart = 0;
        m_gapLength = 0;
    } else if (readBetweenEdits) {
        replaceInClosedString(range, text);
    } else if (text.size() <= 4096) {
        // Typing and small edits: move the gap to the edit and fill it.
        moveGapTo(range.location, text.size() - range.length + 1);
        m_gapLength += range.length;
        if (!text.isEmpty())
            std::memcpy(m_buf.data() + m_gapStart, text.constData(), size_t(text.size()) * sizeof(QChar));
        m_gapStart += text.size();
        m_gapLength -= text.size();
    } else {
        closeGap();
        m_buf.replace(range.location, range.length, text);
    }
    Q_EMIT charactersReplaced(range, text.size() - range.length);
    edited(TextStorageEditedCharacters | (text.isEmpty() ? 0 : TextStorageEditedAttributes), range,
           text.size() - range.length);
}

void TextStorage::replaceCharacters(Range range, const AttributedString& text)
{
    beginEditing();
    const qsizetype start = std::min(std::max<qsizetype>(range.location, 0), length());
    replaceCharacters(range, text.string);
    const Range newRange(start, text.string.size());
    for (size_t key = 0; key < m_keys.size(); ++key) {
        if (!m_keys[key].present)
            continue;
        setRunValue(m_keys[key], newRange, 0);
        noteEditedKey(AttributeKey(key));
    }
    for (auto it = text.attributes.begin(); it != text.attributes.end(); ++it) {
        for (const AttributeRun& r : it.value())
            addAttribute(it.key(), r.value, Range(start + r.start, r.length));
    }
    endEditing();
}

void TextStorage::setString(const QString& text)
{
    replaceCharacters(Range(0, length()), text);
}

AttributedString TextStorage::attributedSubstring(Range range) const
{
    AttributedString out;
    range = Range::intersection(range, Range(0, length()));
    out.string = substring(range);
    for (size_t key = 0; key < m_keys.size(); ++key) {
        if (!m_keys[key].present)
            continue;
        const QString name = attributeKeyName(AttributeKey(key));
        forEachRun(AttributeKey(key), range, [&](qsizetype s, qsizetype l, AttributeValueId id) {
            if (id != 0)
                out.attributes[name].append(AttributeRun{s - range.location, l, valueForId(AttributeKey(key), id)});
            return true;
        });
    }
    return out;
}

// ---------------------------------------------------------------------------------------------
// Attributes

QVariant TextStorage::attribute(const QString& key, qsizetype index, Range* effectiveRange) const
{
    const AttributeKey k = attributeKey(key);
    return valueForId(k, valueIdAt(k, index, effectiveRange));
}

QVariant TextStorage::attribute(const QString& key, qsizetype index, Range* longest, Range limit) const
{
    Range r;
    QVariant v = attribute(key, index, &r);
    if (longest) {
        Range clipped = Range::intersection(r, limit);
        if (!(index >= limit.location && index < limit.end()))
            clipped = Range(std::clamp(index, limit.location, limit.end()), 0);
        *longest = clipped;
    }
    return v;
}

QStringList TextStorage::attributeKeys() const
{
    QStringList out;
    for (size_t key = 0; key < m_keys.size(); ++key)
        if (m_keys[key].present)
            out.append(attributeKeyName(AttributeKey(key)));
    return out;
}

QHash<QString, QVariant> TextStorage::attributes(qsizetype index, Range* effectiveRange) const
{
    QHash<QString, QVariant> out;
    Range eff(0, length());
    for (size_t key = 0; key < m_keys.size(); ++key) {
        if (!m_keys[key].present)
            continue;
        Range r;
        const AttributeValueId id = valueIdAt(AttributeKey(key), index, &r);
        eff = Range::intersection(eff, r);
        if (id != 0)
            out.insert(attributeKeyName(AttributeKey(key)), valueForId(AttributeKey(key), id));
    }
    if (effectiveRange)
        *effectiveRange = eff;
    return out;
}

void TextStorage::addAttribute(const QString& key, const QVariant& value, Range range)
{
    range = Range::intersection(range, Range(0, length()));
    if (range.length <= 0)
        return;
    const AttributeKey k = attributeKey(key);
    const AttributeValueId id = valueId(k, value);
    setRunValue(keyRunsForWriting(k), range, id);
    noteEditedKey(k);
    edited(TextStorageEditedAttributes, range, 0);
}

void TextStorage::addAttributes(const QHash<QString, QVariant>& attrs, Range range)
{
    beginEditing();
    for (auto it = attrs.begin(); it != attrs.end(); ++it)
        addAttribute(it.key(), it.value(), range);
    endEditing();
}

void TextStorage::removeAttribute(const QString& key, Range range)
{
    range = Range::intersection(range, Range(0, length()));
    const AttributeKey k = attributeKey(key);
    if (range.length <= 0 || !keyRuns(k))
        return;
    setRunValue(keyRunsForWriting(k), range, 0);
    noteEditedKey(k);
    edited(TextStorageEditedAttributes, range, 0);
}

void TextStorage::setAttributes(const QHash<QString, QVariant>& attrs, Range range)
{
    beginEditing();
    for (const QString& key : attributeKeys()) {
        if (!attrs.contains(key))
            removeAttribute(key, range);
    }
    addAttributes(attrs, range);
    endEditing();
}

QList<AttributeRun> TextStorage::runs(const QString& key, Range range) const
{
    QList<AttributeRun> out;
    const AttributeKey k = attributeKey(key);
    forEachRun(k, range, [&](qsizetype s, qsizetype l, AttributeValueId id) {
        out.append(AttributeRun{s, l, valueForId(k, id)});
        return true;
    });
    return out;
}

QList<AttributeRun> TextStorage::valueRuns(const QString& key, Range range) const
{
    QList<AttributeRun> out;
    const AttributeKey k = attributeKey(key);
    if (!keyRuns(k))
        return out;
    forEachRun(k, range, [&](qsizetype s, qsizetype l, AttributeValueId id) {
        if (id != 0)
            out.append(AttributeRun{s, l, valueForId(k, id)});
        return true;
    });
    return out;
}

bool TextStorage::hasAttribute(const QString& key) const
{
    const AttributeKey k = attributeKey(key);
    if (!keyRuns(k))
        return false;
    bool found = false;
    forEachRun(k, Range(0, length()), [&](qsizetype, qsizetype, AttributeValueId id) {
        found = id != 0;
        return !found;
    });
    return found;
}

// ---------------------------------------------------------------------------------------------
// Edit processing

void TextStorage::beginEditing()
{
    ++m_editLevel;
}

void TextStorage::endEditing()
{
    if (m_editLevel == 0)
        return;
    if (--m_editLevel == 0 && !m_processing && m_acc.mask != 0)
        processEditing();
}

void TextStorage::EditRecord::add(int m, Range r, qsizetype d, qsizetype newLength)
{
    const Range now(r.location, std::max<qsizetype>(0, r.length + d));
    if (mask == 0 || range.location == NotFound) {
        range = now;
    } else {
        // Map the range edited so far through this change, then join.
        auto mapEnd = [&](qsizetype x) {
            if (x <= r.location)
                return x;
            if (x >= r.end())
                return x + d;
            return r.location + r.length + d;
        };
        const qsizetype st = std::min(range.location, now.location);
        const qsizetype e = std::max(mapEnd(range.end()), now.end());
        range = Range(st, e - st);
    }
    range = Range::intersection(range, Range(0, newLength));
    mask |= m;
    delta += d;
}

void TextStorage::EditRecord::nameKeys()
{
    keyNames.clear();
    for (AttributeKey key : std::as_const(keys))
        keyNames.insert(attributeKeyName(key));
}

void TextStorage::edited(int mask, Range range, qsizetype delta)
{
    m_acc.add(mask, range, delta, length());
    if (m_editLevel == 0 && !m_processing)
        processEditing();
}

void TextStorage::processEditing()
{
    m_processing = true;
    m_cur = std::move(m_acc);
    m_acc = EditRecord();
    for (int round = 0; round < 8 && m_cur.mask != 0; ++round) {
        m_cur.nameKeys();
        Q_EMIT willProcessEditing();
        if (m_delegate) {
            m_delegate->textStorageWillProcessEditing(this);
            m_delegate->textStorageDidProcessEditing(this);
        }
        // What the delegate changed belongs to the same edit.
        if (m_acc.mask != 0) {
            m_cur.add(m_acc.mask, Range(m_acc.range.location, m_acc.range.length - m_acc.delta), m_acc.delta, length());
            for (AttributeKey key : std::as_const(m_acc.keys))
                if (!m_cur.keys.contains(key))
                    m_cur.keys.append(key);
            m_acc = EditRecord();
        }
        m_cur.nameKeys();
        const QList<LayoutManager*> lms = m_layoutManagers;
        for (LayoutManager* lm : lms)
            lm->textStorageEdited(this, m_cur.mask, m_cur.range, m_cur.delta, m_cur.range);
        Q_EMIT didProcessEditing();
        NotificationCenter::defaultCenter().post(TextStorageDidProcessEditingNotification, this);
        // Edits made by observers start another round.
        m_cur = std::move(m_acc);
        m_acc = EditRecord();
    }
    m_cur = EditRecord();
    m_processing = false;
}

void TextStorage::addLayoutManager(LayoutManager* lm)
{
    if (lm && !m_layoutManagers.contains(lm))
        m_layoutManagers.append(lm);
}

void TextStorage::removeLayoutManager(LayoutManager* lm)
{
    m_layoutManagers.removeAll(lm);
}

// ---------------------------------------------------------------------------------------------
// Lines

bool TextStorage::isLineTerminator(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\n' || u == u'\r' || u == 0x0085 || u == 0x2028 || u == 0x2029;
}

qsizetype TextStorage::nextLineTerminator(const QString& s, qsizetype from)
{
    const QChar* d = s.constData();
    const qsizetype n = s.size();
    for (qsizetype i = std::max<qsizetype>(from, 0); i < n; ++i) {
        const char16_t u = d[i].unicode();
        if (u == u'\n' || u == u'\r' || (u >= 0x85 && (u == 0x0085 || u == 0x2028 || u == 0x2029)))
            return i;
    }
    return NotFound;
}

void TextStorage::getLineStart(const QString& s, qsizetype* start, qsizetype* end, qsizetype* contentsEnd, Range range)
{
    const qsizetype n = s.size();
    const qsizetype loc = std::clamp<qsizetype>(range.location, 0, n);
    auto isCRLFTail = [&](qsizetype i) { return i > 0 && i < n && s.at(i) == QLatin1Char('\n') && s.at(i - 1) == QLatin1Char('\r'); };
    qsizetype st = isCRLFTail(loc) ? loc - 1 : loc;
    while (st > 0 && !isLineTerminator(s.at(st - 1)))
        --st;
    const qsizetype p = std::clamp<qsizetype>(range.length > 0 ? range.location + range.length - 1 : loc, loc, n);
    qsizetype ce, e;
    if (isCRLFTail(p)) {
        ce = p - 1;
        e = p + 1;
    } else {
        const qsizetype t = nextLineTerminator(s, p);
        if (t == NotFound) {
            ce = e = n;
        } else {
            ce = t;
            e = t + 1;
            if (s.at(t) == QLatin1Char('\r') && t + 1 < n && s.at(t + 1) == QLatin1Char('\n'))
                e = t + 2;
        }
    }
    if (start)
        *start = st;
    if (end)
        *end = e;
    if (contentsEnd)
        *contentsEnd = ce;
}

void TextStorage::getLineStart(qsizetype* start, qsizetype* end, qsizetype* contentsEnd, Range range) const
{
    // Gap-aware version of the string routine below.
    const qsizetype n = length();
    const qsizetype loc = std::clamp<qsizetype>(range.location, 0, n);
    auto at = [this](qsizetype i) { return characterAt(i); };
    auto isCRLFTail = [&](qsizetype i) { return i > 0 && i < n && at(i) == QLatin1Char('\n') && at(i - 1) == QLatin1Char('\r'); };
    qsizetype st = isCRLFTail(loc) ? loc - 1 : loc;
    while (st > 0 && !isLineTerminator(at(st - 1)))
        --st;
    const qsizetype p = std::clamp<qsizetype>(range.length > 0 ? range.location + range.length - 1 : loc, loc, n);
    qsizetype ce, e;
    if (isCRLFTail(p)) {
        ce = p - 1;
        e = p + 1;
    } else {
        const qsizetype t = nextLineTerminator(p);
        if (t == NotFound) {
            ce = e = n;
        } else {
            ce = t;
            e = t + 1;
            if (at(t) == QLatin1Char('\r') && t + 1 < n && at(t + 1) == QLatin1Char('\n'))
                e = t + 2;
        }
    }
    if (start)
        *start = st;
    if (end)
        *end = e;
    if (contentsEnd)
        *contentsEnd = ce;
}

Range TextStorage::lineRange(Range range) const
{
    qsizetype s = 0, e = 0;
    getLineStart(&s, &e, nullptr, range);
    return Range(s, e - s);
}

Range TextStorage::paragraphRange(Range range) const
{
    // Like lineRange, but a line separator does not end a paragraph.
    Range r = lineRange(range);
    while (r.location > 0 && characterAt(r.location - 1).unicode() == 0x2028)
        r = Range::unionOf(r, lineRange(Range(r.location - 1, 0)));
    while (r.end() < length() && r.length > 0 && characterAt(r.end() - 1).unicode() == 0x2028)
        r = Range::unionOf(r, lineRange(Range(r.end(), 0)));
    return r;
}

Range TextStorage::composedCharacterRange(qsizetype index) const
{
    const qsizetype n = length();
    if (index < 0 || index >= n)
        return Range(std::clamp<qsizetype>(index, 0, n), 0);
    // Look only at a small window: composed sequences are short.
    const qsizetype from = std::max<qsizetype>(0, index - 32);
    const qsizetype to = std::min<qsizetype>(n, index + 32);
    const QString window = substring(Range(from, to - from));
    QTextBoundaryFinder f(QTextBoundaryFinder::Grapheme, window);
    f.setPosition(index - from);
    qsizetype s = index - from;
    if (!f.isAtBoundary())
        s = f.toPreviousBoundary();
    f.setPosition(s);
    qsizetype e = f.toNextBoundary();
    if (s < 0)
        s = index - from;
    if (e <= s)
        e = s + 1;
    return Range(from + s, e - s);
}

} // namespace kit
