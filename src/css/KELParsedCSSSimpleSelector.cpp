#include "css/KELParsedCSSSimpleSelector.h"

#include "css/KELParsedCSSSelector.h"
#include "css/KELParsedCSSValue.h"

KELParsedCSSSimpleSelector::KELParsedCSSSimpleSelector(qint32 type)
    : m_type(type)
{
}

KELParsedCSSSimpleSelector::~KELParsedCSSSimpleSelector() = default;

void KELParsedCSSSimpleSelector::addSelector(std::unique_ptr<KELParsedCSSSelector> selector)
{
    if (selector)
        m_selectorList.push_back(std::move(selector));
}

void KELParsedCSSSimpleSelector::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_subvalueList.append(value.get());
    m_subvalues.push_back(std::move(value));
}
