#pragma once
// An attribute value of a template: literal text with embedded ${...} parts,
// each part an expression. A value that is exactly one part gives the part's
// value unconverted; otherwise the parts are joined as text.

#include "components/KELComponentResolver.h"
#include "components/KELExpression.h"
#include "kit/KeyValueObject.h"

#include <QString>
#include <QVariant>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

/// The expressions' data source over a resolver: names read through the
/// resolver, assignments stored through it.
class KELComponentExpressionDataSource : public kit::KeyValueObject {
public:
    explicit KELComponentExpressionDataSource(KELComponentResolver& resolver) : m_resolver(resolver) { }
    QVariant value(const QString& key) const override { return m_resolver.evaluateVariable(key); }
    QVariant valueForKeyPath(const QString& keyPath) const override { return m_resolver.evaluateVariable(keyPath); }
    void setValue(const QString& key, const QVariant& value) override { m_resolver.setValueForVariable(value, key); }

private:
    KELComponentResolver& m_resolver;
};

class KELComponentExpression {
public:
    /// None gives an expression without parts (its value is nil).
    explicit KELComponentExpression(const std::optional<QString>& text);
    /// An attribute's expression; null when the element has no such attribute.
    static std::unique_ptr<KELComponentExpression> fromAttribute(const class KELXMLNode& node, const QString& name);

    const QString& expressionString() const { return m_expressionString; }
    QVariant evaluateWithResolver(KELComponentResolver& resolver) const;
    QVariant evaluateWithDataSource(kit::KeyValueObject& dataSource) const;
    /// How many parts the text split into (literal texts and expressions).
    qsizetype partCount() const { return qsizetype(m_parts.size()); }

private:
    using Part = std::variant<QString, std::shared_ptr<KELExpression>>;
    QString m_expressionString;
    std::vector<Part> m_parts;
};
