#pragma once
// The declarations between the braces of a rule, or of a style attribute.

#include "css/KELOwnedList.h"
#include "css/KELParsedCSSDeclaration.h"

#include <QList>
#include <QString>
#include <memory>

class KELParsedCSSDeclarationBlock {
public:
    const QList<KELParsedCSSDeclaration*>& declarations() const { return m_declarations.items(); }
    KELParsedCSSDeclaration* addDeclaration(std::unique_ptr<KELParsedCSSDeclaration> d) { return m_declarations.add(std::move(d)); }

private:
    KELOwnedList<KELParsedCSSDeclaration> m_declarations;
};
