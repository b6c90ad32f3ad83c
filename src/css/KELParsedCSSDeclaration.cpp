#include "css/KELParsedCSSDeclaration.h"

#include "css/KELParsedCSSValue.h"

#include <QtAlgorithms>

KELParsedCSSDeclaration::~KELParsedCSSDeclaration()
{
    qDeleteAll(m_valueList);
}

void KELParsedCSSDeclaration::addPropertyValue(std::unique_ptr<KELParsedCSSValue> value)
{
    if (value)
        m_valueList.append(value.release());
}
