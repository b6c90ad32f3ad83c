#pragma once
// One parsed declaration: the property name and its value tokens.

#include "css/KELParsedCSSSlabs.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSDeclaration : public KELParsedCSSObject {
public:
    KEL_PARSED_CSS_SLABS(KELParsedCSSDeclaration)
    KELParsedCSSDeclaration() = default;
    KELParsedCSSDeclaration(const KELParsedCSSDeclaration&) = delete;
    KELParsedCSSDeclaration& operator=(const KELParsedCSSDeclaration&) = delete;
    ~KELParsedCSSDeclaration() override;
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
    KELParsedCSSValues m_valueList; // owns its values
    kit::Range m_textRange { kit::NotFound, 0 };
};
