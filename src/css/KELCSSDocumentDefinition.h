#pragma once
// The checks of a whole style sheet: at-rules, the order of @charset, @import and
// @namespace, and every rule set.

#include "css/KELParsedCSSDocument.h"
#include "css/KELCSSPropertyValueDefinition.h"

#include <QVariantMap>

class KELCSSDocumentDefinition {
public:
    KELSyntaxCheckErrors validateDocument(const KELParsedCSSDocument* document, QVariantMap* userInfo) const;
};
