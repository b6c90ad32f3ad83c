#pragma once
// The declarations between the braces of a rule, or of a style attribute.

#include "css/KELOwnedList.h"
#include "css/KELParsedCSSDeclaration.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSDocument;

class KELParsedCSSDeclarationBlock {
public:
    KELParsedCSSDeclarationBlock();
    ~KELParsedCSSDeclarationBlock();
    const QList<KELParsedCSSDeclaration*>& declarations() const { return m_declarations.items(); }
    KELParsedCSSDeclaration* addDeclaration(std::unique_ptr<KELParsedCSSDeclaration> d) { return m_declarations.add(std::move(d)); }

    /// Rules nested inside the block ("&:hover { }", "@media (x) { }"), or null.
    const KELParsedCSSDocument* nestedRules() const { return m_nestedRules.get(); }
    KELParsedCSSDocument& ensureNestedRules();

private:
    KELOwnedList<KELParsedCSSDeclaration> m_declarations;
    std::unique_ptr<KELParsedCSSDocument> m_nestedRules;
};
