#include "css/KELParsedCSSDocument.h"

void KELParsedCSSDeclaration::addPropertyValue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_valueList.append(value.get());
    m_values.push_back(std::move(value));
}

void KELParsedCSSAtRule::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_subvalueList.append(value.get());
    m_subvalues.push_back(std::move(value));
}

void KELParsedCSSSimpleSelector::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_subvalueList.append(value.get());
    m_subvalues.push_back(std::move(value));
}
