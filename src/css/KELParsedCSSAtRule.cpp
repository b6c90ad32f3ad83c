#include "css/KELParsedCSSAtRule.h"

#include "css/KELParsedCSSDocument.h"

#include "css/KELParsedCSSValue.h"

void KELParsedCSSAtRule::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_subvalueList.append(value.get());
    m_subvalues.push_back(std::move(value));
}

KELParsedCSSAtRule::KELParsedCSSAtRule() = default;
KELParsedCSSAtRule::~KELParsedCSSAtRule() = default;

void KELParsedCSSAtRule::setSubDocument(std::unique_ptr<KELParsedCSSDocument> doc)
{
    m_subDocument = std::move(doc);
}
