#include "kit/SpellChecker.h"

#include "kit/Log.h"

#include <QLocale>
#include <algorithm>
#include <enchant.h>

namespace kit {

struct SpellChecker::Enchant
{
    EnchantBroker* broker = nullptr;
    EnchantDict* dict = nullptr;
    ~Enchant()
    {
        if (broker && dict)
            enchant_broker_free_dict(broker, dict);
        if (broker)
            enchant_broker_free(broker);
    }
};

namespace {
std::unique_ptr<SpellChecker>& sharedSlot()
{
    static std::unique_ptr<SpellChecker> shared;
    return shared;
}

bool isWordCharacter(QChar c) { return c.isLetter() || c.isMark() || c == QLatin1Char('\'') || c == QChar(0x2019); }
} // namespace

SpellChecker::SpellChecker()
    : m_enchant(std::make_unique<Enchant>())
{
    m_enchant->broker = enchant_broker_init();
    QString lang = QLocale::system().name();
    if (!setLanguage(lang) && !setLanguage(QStringLiteral("en_US"))) {
        const QStringList all = availableLanguages();
        if (!all.isEmpty())
            setLanguage(all.first());
    }
    if (!hasDictionary())
        kit::log(QStringLiteral("Spelling: no dictionary is installed; words are not checked"));
}

SpellChecker::~SpellChecker() = default;

SpellChecker& SpellChecker::sharedSpellChecker()
{
    auto& slot = sharedSlot();
    if (!slot)
        slot = std::make_unique<SpellChecker>();
    return *slot;
}

void SpellChecker::setSharedSpellChecker(std::unique_ptr<SpellChecker> checker) { sharedSlot() = std::move(checker); }

bool SpellChecker::sharedSpellCheckerExists() { return bool(sharedSlot()); }

bool SpellChecker::setLanguage(const QString& language)
{
    if (!m_enchant->broker || language.isEmpty())
        return false;
    const QByteArray tag = language.toUtf8();
    if (!enchant_broker_dict_exists(m_enchant->broker, tag.constData()))
        return false;
    EnchantDict* dict = enchant_broker_request_dict(m_enchant->broker, tag.constData());
    if (!dict)
        return false;
    if (m_enchant->dict)
        enchant_broker_free_dict(m_enchant->broker, m_enchant->dict);
    m_enchant->dict = dict;
    m_language = language;
    for (const QString& w : std::as_const(m_learned)) {
        const QByteArray u = w.toUtf8();
        enchant_dict_add_to_session(dict, u.constData(), u.size());
    }
    return true;
}

static void collectDict(const char* langTag, const char*, const char*, const char*, void* userData)
{
    auto* list = static_cast<QStringList*>(userData);
    const QString tag = QString::fromUtf8(langTag);
    if (!list->contains(tag))
        list->append(tag);
}

QStringList SpellChecker::availableLanguages() const
{
    QStringList list;
    if (m_enchant->broker)
        enchant_broker_list_dicts(m_enchant->broker, collectDict, &list);
    list.sort();
    return list;
}

bool SpellChecker::hasDictionary() const { return m_enchant->dict != nullptr; }

bool SpellChecker::isWordCorrect(const QString& word, int tag) const
{
    if (word.isEmpty())
        return true;
    if (m_learned.contains(word) || m_ignored.value(tag).contains(word))
        return true;
    if (m_testChecker)
        return m_testChecker(word);
    if (!m_enchant->dict)
        return true;
    const QByteArray u = word.toUtf8();
    return enchant_dict_check(m_enchant->dict, u.constData(), u.size()) == 0;
}

QStringList SpellChecker::guessesForWord(const QString& word) const
{
    QStringList out;
    if (!m_enchant->dict || word.isEmpty())
        return out;
    const QByteArray u = word.toUtf8();
    size_t n = 0;
    char** list = enchant_dict_suggest(m_enchant->dict, u.constData(), u.size(), &n);
    for (size_t i = 0; i < n; ++i)
        out.append(QString::fromUtf8(list[i]));
    if (list)
        enchant_dict_free_string_list(m_enchant->dict, list);
    return out;
}

void SpellChecker::learnWord(const QString& word)
{
    if (word.isEmpty())
        return;
    m_learned.insert(word);
    if (m_enchant->dict && !m_testChecker) {
        const QByteArray u = word.toUtf8();
        enchant_dict_add(m_enchant->dict, u.constData(), u.size());
    }
}

bool SpellChecker::hasLearnedWord(const QString& word) const { return m_learned.contains(word); }

void SpellChecker::ignoreWord(const QString& word, int tag)
{
    if (!word.isEmpty())
        m_ignored[tag].insert(word);
}

QStringList SpellChecker::ignoredWords(int tag) const
{
    QStringList out = m_ignored.value(tag).values();
    out.sort();
    return out;
}

void SpellChecker::closeSpellDocument(int tag) { m_ignored.remove(tag); }

Range SpellChecker::checkSpellingOfString(
    const QString& s, qsizetype start, const QString&, bool wrap, int tag, qint64* wordCount)
{
    qint64 words = 0;
    const qsizetype len = s.size();
    if (len == 0) {
        if (wordCount)
            *wordCount = 0;
        return Range(NotFound, 0);
    }
    start = std::clamp<qsizetype>(start, 0, len);
    qsizetype pos = start;
    while (pos > 0 && pos < len && s.at(pos).isLetter() && s.at(pos - 1).isLetter())
        --pos;
    bool wrapped = false;
    Range found(NotFound, 0);
    for (;;) {
        while (pos < len) {
            if (wrapped && pos >= start)
                goto done;
            if (!s.at(pos).isLetter()) {
                ++pos;
                continue;
            }
            qsizetype end = pos;
            while (end < len && isWordCharacter(s.at(end)))
                ++end;
            qsizetype wordEnd = end;
            while (wordEnd > pos + 1 && !s.at(wordEnd - 1).isLetter())
                --wordEnd;
            ++words;
            if (!isWordCorrect(s.mid(pos, wordEnd - pos), tag)) {
                found = Range(pos, wordEnd - pos);
                goto done;
            }
            pos = end;
        }
        if (!wrap || wrapped || start == 0)
            break;
        wrapped = true;
        pos = 0;
    }
done:
    if (wordCount)
        *wordCount = words;
    return found;
}

QList<TextCheckingResult> SpellChecker::checkString(
    const QString& s, Range range, quint64 types, int tag, qint64* wordCount)
{
    QList<TextCheckingResult> results;
    range = Range::intersection(range, Range(0, s.size()));
    if (types & TextCheckingTypeSpelling) {
        const qsizetype end = range.end();
        const QString prefix = s.left(end);
        qsizetype pos = range.location;
        while (pos < end) {
            const Range r = checkSpellingOfString(prefix, pos, m_language, false, tag, wordCount);
            if (r.location == NotFound || r.length <= 0)
                break;
            results.append({ TextCheckingTypeSpelling, r });
            // Always move forward, whatever a subclass answered.
            pos = std::max(r.end(), pos + 1);
        }
    }
    const quint64 others = types & ~quint64(TextCheckingTypeSpelling);
    if (others)
        results.append(checkOtherTypes(s, range, others, tag));
    std::stable_sort(results.begin(), results.end(), [](const TextCheckingResult& a, const TextCheckingResult& b) {
        if (a.range.location != b.range.location)
            return a.range.location < b.range.location;
        if (a.range.end() != b.range.end())
            return a.range.end() < b.range.end();
        return a.resultType < b.resultType;
    });
    return results;
}

QList<TextCheckingResult> SpellChecker::checkOtherTypes(const QString&, Range, quint64, int) { return {}; }

void SpellChecker::setWordCheckerForTesting(std::function<bool(const QString&)> isCorrect)
{
    m_testChecker = std::move(isCorrect);
}

} // namespace kit
