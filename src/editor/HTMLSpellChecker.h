#pragma once
// The shared spell checker of the application: checks only the words a reader of
// the page sees, skipping tags (names, attributes and values), PHP blocks and the
// names of character entities.

#include "kit/SpellChecker.h"

class HTMLSpellChecker : public kit::SpellChecker
{
public:
    HTMLSpellChecker() = default;

    /// Makes an HTMLSpellChecker the application's shared checker (done at start-up,
    /// before any view asks for one).
    static void installAsSharedSpellChecker();

    kit::Range checkSpellingOfString(const QString& string, qsizetype start, const QString& language, bool wrap,
        int tag, qint64* wordCount) override;

    /// Index of the ">" that ends the tag opened by the "<" at index; index + 1 when
    /// another "<" comes first (that "<" opened nothing); the length when none.
    static qsizetype locationOfTagEndContainingIndex(qsizetype index, const QString& string);
    /// Index just after the "?>" that ends the PHP block opened at index; the length when none.
    static qsizetype locationOfPHPTagEndContainingIndex(qsizetype index, const QString& string);
};
