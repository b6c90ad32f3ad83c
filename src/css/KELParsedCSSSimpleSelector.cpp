#include "css/KELParsedCSSSimpleSelector.h"

#include "css/KELParsedCSSSelector.h"
#include "css/KELParsedCSSValue.h"

KELParsedCSSSimpleSelector::KELParsedCSSSimpleSelector(qint32 type)
    : m_type(type)
{
}

KELParsedCSSSimpleSelector::~KELParsedCSSSimpleSelector() = default;

KELParsedCSSSimpleSelector::Argument& KELParsedCSSSimpleSelector::argument()
{
    if (!m_argument)
        m_argument = std::make_unique<Argument>();
    return *m_argument;
}

const KELParsedCSSValues& KELParsedCSSSimpleSelector::subvalues() const
{
    static const KELParsedCSSValues none;
    return m_argument ? m_argument->subvalueList : none;
}

const std::vector<std::unique_ptr<KELParsedCSSSelector>>& KELParsedCSSSimpleSelector::selectorList() const
{
    static const std::vector<std::unique_ptr<KELParsedCSSSelector>> none;
    return m_argument ? m_argument->selectorList : none;
}

void KELParsedCSSSimpleSelector::addSelector(std::unique_ptr<KELParsedCSSSelector> selector)
{
    if (selector)
        argument().selectorList.push_back(std::move(selector));
}

void KELParsedCSSSimpleSelector::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    Argument& a = argument();
    a.subvalueList.append(value.get());
    a.subvalues.push_back(std::move(value));
}
