#include "css/KELParsedCSSSimpleSelector.h"

#include "css/KELParsedCSSValue.h"

void KELParsedCSSSimpleSelector::addSubvalue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_subvalueList.append(value.get());
    m_subvalues.push_back(std::move(value));
}
