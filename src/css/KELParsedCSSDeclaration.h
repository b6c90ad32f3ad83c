#pragma once
// One parsed declaration: the property name and its value tokens.

#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSDeclaration : public KELParsedCSSObject {
public:
    const QString& propertyName() const { return m_propertyName; }
    void setPropertyName(const QString& name) { m_propertyName = name; }
    const KELParsedCSSValues& propertyValues() const { return m_valueList; }
    void addPropertyValue(std::unique_ptr<KELParsedCSSValue> value);
    kit::Range textRange() const override { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }
    QString itemTypeName() const override { return QStringLiteral("property"); }
    QString itemName() const override { return m_propertyName; }

private:
    QString m_propertyName;
    std::vector<std::unique_ptr<KELParsedCSSValue>> m_values;
    KELParsedCSSValues m_valueList;
    kit::Range m_textRange { kit::NotFound, 0 };
};
