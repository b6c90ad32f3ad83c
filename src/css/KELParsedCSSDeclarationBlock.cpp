#include "css/KELParsedCSSDeclarationBlock.h"

#include "css/KELParsedCSSDocument.h"

KELParsedCSSDeclarationBlock::KELParsedCSSDeclarationBlock() = default;
KELParsedCSSDeclarationBlock::~KELParsedCSSDeclarationBlock() = default;

KELParsedCSSDocument& KELParsedCSSDeclarationBlock::ensureNestedRules()
{
    if (!m_nestedRules)
        m_nestedRules = std::make_unique<KELParsedCSSDocument>();
    return *m_nestedRules;
}
