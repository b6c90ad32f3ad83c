#pragma once
// An item of a parsed style sheet that messages can name and point at.

#include "kit/Types.h"

#include <QList>
#include <QString>

/// An item of a parsed style sheet that messages can name and point at.
class KELParsedCSSObject {
public:
    virtual ~KELParsedCSSObject() = default;
    virtual kit::Range textRange() const = 0;
    /// Lower-case word naming the kind of item ("property", "value", "at-rule" ...).
    virtual QString itemTypeName() const = 0;
    virtual QString itemName() const = 0;
};
