#pragma once
// Creates, recognises and dissolves placeholder ("<#name#>") and fold tokens, which
// live only as attributes of the text storage.

#include "editor/KELTokenId.h"
#include "kit/Types.h"

#include <QString>
#include <optional>

namespace kit {
class TextStorage;
}

inline const QString KELTokenTypeAttributeName = QStringLiteral("KELTokenTypeAttributeName");
inline const QString KELTokenIdAttributeName = QStringLiteral("KELTokenIdAttributeName");

enum KELTokenType : int { KELTokenTypeNone = 0, KELTokenTypePlaceholder = 1, KELTokenTypeFold = 2 };

class KELTokenParser {
public:
    static KELTokenParser& sharedTokenParser();

    /// Whether c may appear in a placeholder name (tested per UTF-16 unit).
    bool isTokenNameCharacter(QChar c) const;
    /// The name after "<#" at index (possibly empty); none without "<#" there.
    std::optional<QString> tokenNameInTextStorage(const kit::TextStorage* ts, qsizetype index) const;
    /// Re-tokenizes after character edits; attribute-only edits are ignored.
    void textStorageDidProcessEditing(kit::TextStorage* ts);
    void tokenizeTextStorage(kit::TextStorage* ts, kit::Range range);
    /// Makes tokens of the placeholders of the whole text that lie outside every token,
    /// leaving the tokens already there (folds among them) as they are.
    void tokenizeUntokenizedText(kit::TextStorage* ts);
    void setTokenType(int type, kit::TextStorage* ts, kit::Range range);
    void removeTokenType(int type, kit::TextStorage* ts, kit::Range range);
    void clearTokenAttributes(kit::TextStorage* ts, kit::Range range);
    void detokenizePartialTokens(kit::TextStorage* ts, kit::Range range);
    bool textStorageHasTokenStartingAtIndex(const kit::TextStorage* ts, qsizetype index) const;

    /// Token helpers shared by the editor classes.
    static KELTokenIdRef tokenIdAt(const kit::TextStorage* ts, qsizetype index, kit::Range* run = nullptr);
    static int tokenTypeAt(const kit::TextStorage* ts, qsizetype index);
    static qsizetype countNewLines(const kit::TextStorage* ts, kit::Range range);

private:
    KELTokenParser();
    KELTokenParser(const KELTokenParser&) = delete;
    KELTokenParser& operator=(const KELTokenParser&) = delete;
    QString m_extraNameCharacters;
};
