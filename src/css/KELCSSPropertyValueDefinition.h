#pragma once
// Value grammar nodes that match one token, and the frame every grammar node
// shares: a node matches value tokens from an index, moves the index past what
// it matched and appends error records; it failed exactly when it appended an
// invalidating error (level 1 without the non-invalidating flag).

#include "checker/KELSyntaxCheckError.h"
#include "css/KELParsedCSSValue.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

using KELSyntaxCheckErrors = QList<KELSyntaxCheckError>;

namespace KELCSS {
/// An error record with its texts and range; level 1 unless `warning`.
KELSyntaxCheckError makeError(const QString& title, const QString& description, kit::Range range,
    bool nonInvalidating = false, bool warning = false);
/// "at-rule" -> "At-Rule", as message titles show item kinds.
QString capitalized(const QString& word);
/// Sorted by character code and joined.
QString sortedJoined(const QStringList& words, const QString& separator);
/// printf's %g for a double.
QString formatG(double value, int precision = 6);
}

class KELCSSPropertyValueDefinition {
public:
    virtual ~KELCSSPropertyValueDefinition() = default;

    static bool validErrorsArray(const KELSyntaxCheckErrors& errors);
    static std::optional<KELParsedCSSValues> parsedValuesWithAttrValueSubstitutions(const KELParsedCSSValues& values);
    static kit::Range joinedTextRange(const KELParsedCSSValues& values);

    /// Matches values from `index` on against this node, appending to `errors`.
    virtual void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const = 0;
    KELSyntaxCheckErrors validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index) const;

    virtual QString displayDescription() const;
    virtual QString displayExpectedValuesDescription() const;
    virtual QString genericErrorDescription() const { return QString(); }
    virtual QString shortGenericErrorDescription() const { return genericErrorDescription(); }
    KELSyntaxCheckError missingValueErrorForValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration) const;

    virtual QString expectedValuesDescription() const { return m_expectedValuesDescription; }
    virtual void setExpectedValuesDescription(const QString& text)
    {
        m_expectedValuesDescription = text;
        m_haveDisplayCache = m_haveExpectedCache = false;
    }

protected:
    /// "Invalid %@ Value" with the node's display description.
    KELSyntaxCheckError invalidValueError(const KELParsedCSSObject* declaration, kit::Range range) const;
    /// Range of the value at index, or an empty range after the last value, or the declaration's range.
    static kit::Range rangeAtIndex(const KELParsedCSSValues& values, qsizetype index, const KELParsedCSSObject* declaration);

private:
    QString m_expectedValuesDescription;
    // Grammar nodes do not change once built; their descriptions are worked out once.
    mutable QString m_displayCache, m_expectedCache;
    mutable bool m_haveDisplayCache = false, m_haveExpectedCache = false;
};

class KELCSSPropertySimpleValueDefinition : public KELCSSPropertyValueDefinition {
public:
    static constexpr quint32 AnyType = 0xFFFFFFFFu;
    explicit KELCSSPropertySimpleValueDefinition(quint32 expectedType = AnyType) : m_expectedType(expectedType) {}

    quint32 expectedType() const { return m_expectedType; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    /// Checks one token (the type first, then what the node adds).
    virtual void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const;
    /// Checks attr() standing where this node expects a value.
    virtual bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// Appends "Unexpected Value Type" and answers false when the token has another type.
    bool checkType(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    quint32 m_expectedType;
};

class KELCSSPropertyIdentifierValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyIdentifierValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Identifier) {}
    void setDisallowedValues(const QSet<QString>& values) { m_disallowed = values; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    QSet<QString> m_disallowed;
};

class KELCSSPropertyLetterValueDefinition : public KELCSSPropertyIdentifierValueDefinition {
public:
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override { return QStringLiteral("Value type <letter> was expected."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<letter>"); }
};

class KELCSSPropertyIdSetValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    explicit KELCSSPropertyIdSetValueDefinition(const QStringList& ids);
    const QSet<QString>& ids() const { return m_ids; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QSet<QString> m_ids;
    QStringList m_sorted;
    QString m_joined; // the keywords as messages list them
};

class KELCSSPropertyNumberValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    static constexpr double Unset = 1.7976931348623157e308;
    KELCSSPropertyNumberValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Number) {}
    void setMinValue(double v) { m_min = v; }
    void setMaxValue(double v) { m_max = v; }
    void setWarningForOutOfRange(bool w) { m_warning = w; }
    double minValue() const { return m_min; }
    double maxValue() const { return m_max; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

protected:
    explicit KELCSSPropertyNumberValueDefinition(quint32 type) : KELCSSPropertySimpleValueDefinition(type) {}
    void checkRange(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    double m_min = -Unset;
    double m_max = Unset;
    bool m_warning = false;
};

class KELCSSPropertyIntegerValueDefinition : public KELCSSPropertyNumberValueDefinition {
public:
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString shortGenericErrorDescription() const override { return QStringLiteral("<integer>"); }
};

class KELCSSPropertyPercentageValueDefinition : public KELCSSPropertyNumberValueDefinition {
public:
    KELCSSPropertyPercentageValueDefinition() : KELCSSPropertyNumberValueDefinition(KELParsedCSSValue::Percentage) {}
};

/// A number with a unit; the units a kind accepts come from one shared table.
class KELCSSPropertyDimensionValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    /// A dimension of a kind named in the unit table ("flex" ...); "dimension" has no units.
    explicit KELCSSPropertyDimensionValueDefinition(const QString& typeName = QStringLiteral("dimension"))
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Dimension), m_typeName(typeName) {}
    void setNonNegative(bool flag) { m_nonNegative = flag; }
    bool nonNegative() const { return m_nonNegative; }
    const QString& dimensionTypeName() const { return m_typeName; }
    /// The accepted units of this kind, lower case, sorted.
    QStringList validUnits() const;
    static QStringList validUnitsForType(const QString& typeName);
    /// Adds units to a kind (the grammar data extends the built-in sets).
    static void addValidUnits(const QString& typeName, const QStringList& units);

    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// The unit and sign checks; answers whether they added nothing.
    bool checkDimension(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    QString m_typeName;
    bool m_nonNegative = false;
};

class KELCSSPropertyAbsoluteLengthValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyAbsoluteLengthValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("length")) {}
};

class KELCSSPropertyAngleValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyAngleValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("angle")) {}
    void setMinDegrees(qint64 v) { m_minDegrees = v; }
    void setMaxDegrees(qint64 v) { m_maxDegrees = v; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    qint64 m_minDegrees = std::numeric_limits<qint64>::min();
    qint64 m_maxDegrees = std::numeric_limits<qint64>::max();
};

class KELCSSPropertyTimeValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyTimeValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("time")) {}
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
};

class KELCSSPropertyFrequencyValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyFrequencyValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("frequency")) {}
};

class KELCSSPropertyResolutionValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertyResolutionValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("resolution")) {}
};

class KELCSSPropertySemitonesValueDefinition : public KELCSSPropertyDimensionValueDefinition {
public:
    KELCSSPropertySemitonesValueDefinition() : KELCSSPropertyDimensionValueDefinition(QStringLiteral("semitones")) {}
};

class KELCSSPropertyLengthValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyLengthValueDefinition() = default;
    void setNonNegative(bool flag) { m_nonNegative = flag; }
    bool nonNegative() const { return m_nonNegative; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    QString genericErrorDescription() const override { return QStringLiteral("Expected a length value."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<length>"); }

private:
    bool m_nonNegative = false;
};

class KELCSSPropertyStringValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyStringValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::String) {}
    void setMinLength(quint64 v) { m_minLength = v; }
    void setMaxLength(quint64 v) { m_maxLength = v; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;

private:
    quint64 m_minLength = 0;
    quint64 m_maxLength = std::numeric_limits<quint64>::max();
};

class KELCSSPropertyURIValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyURIValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::URI) {}
};

class KELCSSPropertyHashValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyHashValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Hash) {}
};

class KELCSSPropertyHashColorValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyHashColorValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Hash) {}
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    bool validateAttrFunction(const KELParsedCSSValue* attr, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors,
        const QString& id, const std::optional<QString>& type, const KELParsedCSSValue* substitute) const override;
    /// Digit counts a hash colour may have (3 and 6; the grammar data adds more).
    static void addValidDigitCounts(const QList<int>& counts);
};

class KELCSSPropertyUnicodeRangeValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyUnicodeRangeValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::UnicodeRange) {}
};

class KELCSSPropertyFunctionValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    /// An empty name accepts a function of any name; the parameters node is not owned.
    KELCSSPropertyFunctionValueDefinition(const QString& functionName, const KELCSSPropertyValueDefinition* parameters)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Function), m_functionName(functionName), m_parameters(parameters) {}
    const QString& functionName() const { return m_functionName; }
    const KELCSSPropertyValueDefinition* parametersValueDef() const { return m_parameters; }
    void setParametersValueDef(const KELCSSPropertyValueDefinition* def) { m_parameters = def; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

protected:
    /// The name check alone; answers whether it passed.
    bool checkFunctionName(const KELParsedCSSValue* value, KELSyntaxCheckErrors& errors) const;

private:
    QString m_functionName;
    const KELCSSPropertyValueDefinition* m_parameters;
};

class KELCSSPropertyDelimiterValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    explicit KELCSSPropertyDelimiterValueDefinition(QChar delimiter)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Delimiter), m_delimiter(delimiter) {}
    /// Matches a delimiter whose character passes the test (a character set).
    explicit KELCSSPropertyDelimiterValueDefinition(std::function<bool(QChar)> characterSet)
        : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Delimiter), m_characterSet(std::move(characterSet)) {}
    QChar delimiter() const { return m_delimiter; }
    void validateParsedValue(const KELParsedCSSValue* value, const KELParsedCSSObject* declaration, KELSyntaxCheckErrors& errors) const override;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QChar m_delimiter;
    std::function<bool(QChar)> m_characterSet;
};

class KELCSSPropertyBlockValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyBlockValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::Block) {}
};

class KELCSSPropertyURLTokenValueDefinition : public KELCSSPropertySimpleValueDefinition {
public:
    KELCSSPropertyURLTokenValueDefinition() : KELCSSPropertySimpleValueDefinition(KELParsedCSSValue::URLToken) {}
};
