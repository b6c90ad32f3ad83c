#pragma once
// The form of one at-rule: its prelude grammar and the body it must have.

#include "css/KELCSSDeclarationBlockDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELParsedCSSAtRule.h"

#include <QVariantMap>

class KELCSSAtRuleDefinition {
public:
    /// 0 statement or generic block, 1 declaration block, 2 rule sets,
    /// 3 declarations with page-margin at-rules, 4 keyframe blocks, 5 rule sets or nothing
    /// (a statement such as "@layer a, b;").
    enum Type : qint32 { Statement = 0, Declarations = 1, RuleSets = 2, PageLike = 3, Keyframes = 4, OptionalRuleSets = 5 };
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
