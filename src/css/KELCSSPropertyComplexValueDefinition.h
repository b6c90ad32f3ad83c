#pragma once
// Value grammar nodes that combine others: alternatives, sequences, any-order
// combinations, repetitions, forward references, and the ready-made media
// feature, colour and page-float grammars.

#include "css/KELCSSPropertyValueDefinition.h"

#include <memory>
#include <vector>

/// Base of the nodes with a list of components (not owned).
class KELCSSPropertyComplexValueDefinition : public KELCSSPropertyValueDefinition {
public:
    explicit KELCSSPropertyComplexValueDefinition(QList<const KELCSSPropertyValueDefinition*> components)
        : m_components(std::move(components)) {}
    const QList<const KELCSSPropertyValueDefinition*>& componentValueDefs() const { return m_components; }

protected:
    QList<const KELCSSPropertyValueDefinition*> m_components;
    /// Parts a composite grammar builds for itself.
    template <class T, class... A>
    T* own(A&&... args)
    {
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = p.get();
        m_owned.push_back(std::move(p));
        return raw;
    }

private:
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_owned;
};

class KELCSSPropertyDisjunctiveValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    using KELCSSPropertyComplexValueDefinition::KELCSSPropertyComplexValueDefinition;
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;
};

class KELCSSPropertySequenceValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    static constexpr qsizetype NoneOptional = std::numeric_limits<qsizetype>::max();
    KELCSSPropertySequenceValueDefinition(QList<const KELCSSPropertyValueDefinition*> components, QChar delimiter = QChar(),
        qsizetype optionalIndex = NoneOptional)
        : KELCSSPropertyComplexValueDefinition(std::move(components)), m_delimiter(delimiter), m_optionalIndex(optionalIndex) {}
    qsizetype optionalIndex() const { return m_optionalIndex; }
    void setOptionalIndex(qsizetype index) { m_optionalIndex = index; }
    QChar delimiter() const { return m_delimiter; }
    void setDelimiter(QChar delimiter) { m_delimiter = delimiter; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    QChar m_delimiter;
    qsizetype m_optionalIndex;
};

class KELCSSPropertyCombinationValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    explicit KELCSSPropertyCombinationValueDefinition(QList<const KELCSSPropertyValueDefinition*> components, bool allRequired = false)
        : KELCSSPropertyComplexValueDefinition(std::move(components)), m_allRequired(allRequired) {}
    bool allRequired() const { return m_allRequired; }
    void setAllRequired(bool flag) { m_allRequired = flag; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    struct Match {
        qsizetype used = 0;
        qsizetype end = 0;
        KELSyntaxCheckErrors errors;
    };
    Match search(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration, QList<qsizetype> remaining,
        qsizetype used, qsizetype index) const;
    bool m_allRequired;
};

class KELCSSPropertyRepeatValueDefinition : public KELCSSPropertyValueDefinition {
public:
    /// maxOccurs 0 = no upper bound; the repeated node is not owned.
    KELCSSPropertyRepeatValueDefinition(const KELCSSPropertyValueDefinition* sequenced, QChar delimiter, quint64 minOccurs, quint64 maxOccurs);
    const KELCSSPropertyValueDefinition* sequencedValueDef() const { return m_sequenced; }
    quint64 minOccurs() const { return m_min; }
    quint64 maxOccurs() const { return m_max; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override;
    QString shortGenericErrorDescription() const override;

private:
    const KELCSSPropertyValueDefinition* m_sequenced;
    std::unique_ptr<KELCSSPropertyDelimiterValueDefinition> m_delimiterDef;
    quint64 m_min;
    quint64 m_max;
};

class KELCSSPropertyOptionalValueDefinition : public KELCSSPropertyRepeatValueDefinition {
public:
    explicit KELCSSPropertyOptionalValueDefinition(const KELCSSPropertyValueDefinition* def)
        : KELCSSPropertyRepeatValueDefinition(def, QChar(), 0, 1) {}
};

/// Stands for a node that is built later (recursive grammars); forwards everything to it.
class KELCSSPropertyValueDefinitionProxy : public KELCSSPropertyValueDefinition {
public:
    const KELCSSPropertyValueDefinition* valueDef() const { return m_target; }
    void setValueDef(const KELCSSPropertyValueDefinition* target) { m_target = target; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString displayDescription() const override { return m_target ? m_target->displayDescription() : QString(); }
    QString displayExpectedValuesDescription() const override { return m_target ? m_target->displayExpectedValuesDescription() : QString(); }
    QString genericErrorDescription() const override { return m_target ? m_target->genericErrorDescription() : QString(); }
    QString shortGenericErrorDescription() const override { return m_target ? m_target->shortGenericErrorDescription() : QString(); }
    QString expectedValuesDescription() const override { return m_target ? m_target->expectedValuesDescription() : QString(); }

private:
    const KELCSSPropertyValueDefinition* m_target = nullptr;
};

class KELCSSPropertyMediaFeatureValueDefinition : public KELCSSPropertyComplexValueDefinition {
public:
    KELCSSPropertyMediaFeatureValueDefinition(const QString& name, bool allowsMinMax, const KELCSSPropertyValueDefinition* value);
    const QString& featureName() const { return m_featureName; }
    bool allowsMinMax() const { return m_allowsMinMax; }
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override { return QStringLiteral("Expected media feature \"%1\".").arg(m_featureName); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<media-feature>"); }

private:
    QString m_featureName;
    bool m_allowsMinMax;
    const KELCSSPropertyValueDefinition* m_grammar = nullptr;
};

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

class KELCSSPropertyPageFloatValueDefinition : public KELCSSPropertyCombinationValueDefinition {
public:
    KELCSSPropertyPageFloatValueDefinition();
    void validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSObject* declaration,
        qsizetype& index, KELSyntaxCheckErrors& errors) const override;
    using KELCSSPropertyValueDefinition::validateParsedValues;
    QString genericErrorDescription() const override { return QStringLiteral("Expected a page float value."); }
    QString shortGenericErrorDescription() const override { return QStringLiteral("<page-float>"); }

private:
    std::vector<std::unique_ptr<KELCSSPropertyValueDefinition>> m_parts;
    QSet<QString> m_horizontal, m_vertical;
};
