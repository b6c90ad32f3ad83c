#pragma once
// A vocabulary word offered at the cursor: the completion entry of a word.

#include "syntax/KELCompletion.h"

class SyntaxWord;
class SyntaxCopyright;

class SyntaxWordRange : public KELCompletion
{
public:
    SyntaxWordRange(
        const SyntaxWord* word, kit::Range range, const SyntaxCopyright* copyright, const QString& typeName);
    static std::shared_ptr<SyntaxWordRange> wordRangeWithWord(
        const SyntaxWord* word, kit::Range range, const SyntaxCopyright* copyright, const QString& typeName)
    {
        return std::make_shared<SyntaxWordRange>(word, range, copyright, typeName);
    }

    const SyntaxWord* word() const { return m_word; }
    void setWord(const SyntaxWord* w) { m_word = w; }
    void setRange(kit::Range r) { m_range = r; }
    const SyntaxCopyright* copyright() const { return m_copyright; }
    void setCopyright(const SyntaxCopyright* c) { m_copyright = c; }

    QString name() const override;
    QString value() const override;
    QString typeName() const override { return m_typeName; }
    StyledText displayName() const override;
    StyledText displayDescription() const override;
    QUrl infoURL() const override;
    kit::Range range() const override { return m_range; }

    /// Equal only to another word range holding the very same word.
    bool isEqual(const KELCompletion& other) const;
    /// "Word:<value> Range:(<location>,<length>)".
    QString description() const;

private:
    const SyntaxWord* m_word = nullptr;
    kit::Range m_range;
    const SyntaxCopyright* m_copyright = nullptr;
    QString m_typeName;
};
