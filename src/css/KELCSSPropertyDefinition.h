#pragma once
// The rule-level layer of the CSS grammar: what a style sheet, an at-rule, a
// declaration block, a declaration and a pseudo selector must look like. Each
// check returns a new list of error records in the order found.

#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSDocument.h"

#include <QHash>
#include <QVariantMap>
#include <memory>

/// The values one property accepts.
class KELCSSPropertyDefinition {
public:
    explicit KELCSSPropertyDefinition(const QString& name) : m_propertyName(name) {}
    const QString& propertyName() const { return m_propertyName; }
    const KELCSSPropertyValueDefinition* valueDef() const { return m_valueDef; }
    void setValueDef(const KELCSSPropertyValueDefinition* def) { m_valueDef = def; }
    bool allowsInherit() const { return m_allowsInherit; }
    void setAllowsInherit(bool flag) { m_allowsInherit = flag; }

    KELSyntaxCheckErrors validateParsedValues(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration) const;

private:
    KELSyntaxCheckErrors validate(const KELParsedCSSValues& values, const KELParsedCSSDeclaration* declaration, bool substituted) const;
    QString m_propertyName;
    const KELCSSPropertyValueDefinition* m_valueDef = nullptr;
    bool m_allowsInherit = true;
};

class KELCSSPseudoClassDefinition {
public:
    enum Type : qint32 { Plain = 0, Nth = 1, Identifier = 2, Negation = 3, SelectorList = 4 };
    /// The an+b grammar is given for Nth definitions (not owned).
    explicit KELCSSPseudoClassDefinition(qint32 type, const KELCSSPropertyValueDefinition* nthTypeDef = nullptr)
        : m_type(type), m_nthTypeDef(nthTypeDef) {}
    qint32 type() const { return m_type; }
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;

private:
    qint32 m_type;
    const KELCSSPropertyValueDefinition* m_nthTypeDef;
};

class KELCSSPseudoElementDefinition {
public:
    KELSyntaxCheckErrors validateSimpleSelector(const KELParsedCSSSimpleSelector* selector) const;
};

class KELCSSDeclarationBlockDefinition {
public:
    /// Later definitions of the same lower-cased name replace earlier ones. A name
    /// ending in "*" stands for every name with that prefix (custom properties).
    explicit KELCSSDeclarationBlockDefinition(const QList<const KELCSSPropertyDefinition*>& properties);
    const KELCSSPropertyDefinition* propertyForName(const QString& lowerCaseName) const;
    const QHash<QString, const KELCSSPropertyDefinition*>& properties() const { return m_properties; }
    KELSyntaxCheckErrors validateDeclarationBlock(const KELParsedCSSDeclarationBlock* block, QVariantMap* userInfo) const;

private:
    QHash<QString, const KELCSSPropertyDefinition*> m_properties;
    QList<QPair<QString, const KELCSSPropertyDefinition*>> m_prefixes;
};

class KELCSSAtRuleDefinition {
public:
    /// 0 statement or generic block, 1 declaration block, 2 rule sets,
    /// 3 declarations with page-margin at-rules, 4 keyframe blocks.
    enum Type : qint32 { Statement = 0, Declarations = 1, RuleSets = 2, PageLike = 3, Keyframes = 4 };
    explicit KELCSSAtRuleDefinition(qint32 type) : m_type(type) {}
    qint32 type() const { return m_type; }
    const KELCSSPropertyValueDefinition* valueDef() const { return m_valueDef; }
    void setValueDef(const KELCSSPropertyValueDefinition* def) { m_valueDef = def; }
    const KELCSSDeclarationBlockDefinition* declarationBlockDef() const { return m_declarationBlockDef; }
    void setDeclarationBlockDef(const KELCSSDeclarationBlockDefinition* def) { m_declarationBlockDef = def; }
    /// The grammar of a keyframe block's selectors.
    const KELCSSPropertyValueDefinition* keyframeSelectorDef() const { return m_keyframeSelectorDef; }
    void setKeyframeSelectorDef(const KELCSSPropertyValueDefinition* def) { m_keyframeSelectorDef = def; }

    KELSyntaxCheckErrors validateAtRule(const KELParsedCSSAtRule* rule, QVariantMap* userInfo) const;

private:
    KELSyntaxCheckErrors validatePrelude(const KELParsedCSSAtRule* rule, const KELCSSPropertyValueDefinition* def) const;
    qint32 m_type;
    const KELCSSPropertyValueDefinition* m_valueDef = nullptr;
    const KELCSSDeclarationBlockDefinition* m_declarationBlockDef = nullptr;
    const KELCSSPropertyValueDefinition* m_keyframeSelectorDef = nullptr;
};

class KELCSSDocumentDefinition {
public:
    KELSyntaxCheckErrors validateDocument(const KELParsedCSSDocument* document, QVariantMap* userInfo) const;
};
