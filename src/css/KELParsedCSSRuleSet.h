#pragma once
// One rule set: a selector group and its declaration block.

#include "css/KELOwnedList.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELParsedCSSSelector.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSRuleSet {
public:
    const QList<KELParsedCSSSelector*>& selectors() const { return m_selectors.items(); }
    KELParsedCSSSelector* addSelector(std::unique_ptr<KELParsedCSSSelector> s) { return m_selectors.add(std::move(s)); }
    KELParsedCSSDeclarationBlock* declarationBlock() const { return m_declarationBlock.get(); }
    void setDeclarationBlock(std::unique_ptr<KELParsedCSSDeclarationBlock> block) { m_declarationBlock = std::move(block); }
    kit::Range textRange() const { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }

private:
    KELOwnedList<KELParsedCSSSelector> m_selectors;
    std::unique_ptr<KELParsedCSSDeclarationBlock> m_declarationBlock;
    kit::Range m_textRange { 0, 0 };
};
