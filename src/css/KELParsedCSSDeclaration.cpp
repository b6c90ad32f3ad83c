#include "css/KELParsedCSSDeclaration.h"

#include "css/KELParsedCSSValue.h"

void KELParsedCSSDeclaration::addPropertyValue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (!value)
        return;
    m_valueList.append(value.get());
    m_values.push_back(std::move(value));
}
