#pragma once
// A colour: keywords, hashes and the colour functions.

#include "css/KELCSSPropertyDisjunctiveValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QSet>
#include <memory>
#include <vector>

class KELCSSPropertyColorValueDefinition : public KELCSSPropertyDisjunctiveValueDefinition {
public:
    KELCSSPropertyColorValueDefinition();
    /// The colour keywords, lower case, read once from the colour tables.
    static const QSet<QString>& colorNames();
    QString genericErrorDescription() const override { return QStringLiteral("Expected a CSS color value."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<color>"); }

private:
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_parts;
};
