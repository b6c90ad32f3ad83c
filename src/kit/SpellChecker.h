#pragma once
// The application's spell checker on Enchant (Hunspell dictionaries). One shared
// instance serves every text view; start-up may install a subclass in its place.
// Words the user ignores are kept per spelling document (a tag); learned words go to
// the personal word list.

#include "kit/Types.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace kit {

enum TextCheckingType : quint64 {
    TextCheckingTypeOrthography = 1,
    TextCheckingTypeSpelling = 2,
    TextCheckingTypeGrammar = 4,
};

struct TextCheckingResult
{
    quint64 resultType = TextCheckingTypeSpelling;
    Range range;
    bool operator==(const TextCheckingResult&) const = default;
};

class SpellChecker
{
public:
    SpellChecker();
    virtual ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    /// The shared checker; a plain SpellChecker unless one was installed first.
    static SpellChecker& sharedSpellChecker();
    static void setSharedSpellChecker(std::unique_ptr<SpellChecker> checker);
    static bool sharedSpellCheckerExists();

    // --- Language and dictionaries.
    QString language() const { return m_language; }
    /// Opens the dictionary of a language ("en_US"); false (and the old one kept) when none.
    bool setLanguage(const QString& language);
    QStringList availableLanguages() const;
    bool hasDictionary() const;

    // --- Words.
    /// Whether one word is spelled right for the tag's document (ignored and learned words count).
    virtual bool isWordCorrect(const QString& word, int tag) const;
    QStringList guessesForWord(const QString& word) const;
    void learnWord(const QString& word);
    bool hasLearnedWord(const QString& word) const;
    void ignoreWord(const QString& word, int tag);
    QStringList ignoredWords(int tag) const;
    void closeSpellDocument(int tag);

    /// The first misspelled word at or after start (a word the start lies in counts
    /// whole), or (NotFound, 0). With wrap the search goes on from the text's start
    /// and ends where it began.
    virtual Range checkSpellingOfString(
        const QString& string, qsizetype start, const QString& language, bool wrap, int tag, qint64* wordCount);

    /// Combined checking of a range: the spelling part through checkSpellingOfString
    /// over the text cut at the range's end; other kinds have no service here and add
    /// nothing. Sorted by start, end and type.
    QList<TextCheckingResult> checkString(
        const QString& string, Range range, quint64 types, int tag, qint64* wordCount);

    /// Tests: decide correctness without a dictionary (null restores Enchant).
    void setWordCheckerForTesting(std::function<bool(const QString& word)> isCorrect);

protected:
    /// Other kinds of checking (grammar and the rest): nothing on this platform.
    virtual QList<TextCheckingResult> checkOtherTypes(const QString& string, Range range, quint64 types, int tag);

private:
    struct Enchant;
    std::unique_ptr<Enchant> m_enchant;
    QString m_language;
    QSet<QString> m_learned;
    QHash<int, QSet<QString>> m_ignored;
    std::function<bool(const QString&)> m_testChecker;
};

} // namespace kit
