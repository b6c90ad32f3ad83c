#pragma once
// The tree the CSS parser builds: style sheet, at-rules, rule sets, selectors,
// declaration blocks and declarations. Plain data: every node owns its children
// and remembers the range of text it came from.

#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSAtRule;
class KELParsedCSSRuleSet;
class KELParsedCSSDeclaration;

/// A list that owns its items and hands them out as plain pointers.
template <class T>
class KELOwnedList {
public:
    T* add(std::unique_ptr<T> item)
    {
        T* raw = item.get();
        if (raw) {
            m_view.append(raw);
            m_items.push_back(std::move(item));
        }
        return raw;
    }
    const QList<T*>& items() const { return m_view; }

private:
    std::vector<std::unique_ptr<T>> m_items;
    QList<T*> m_view;
};

class KELParsedCSSDocument {
public:
    const QList<KELParsedCSSAtRule*>& atRules() const { return m_atRules.items(); }
    const QList<KELParsedCSSRuleSet*>& ruleSets() const { return m_ruleSets.items(); }
    KELParsedCSSAtRule* addAtRule(std::unique_ptr<KELParsedCSSAtRule> rule) { return m_atRules.add(std::move(rule)); }
    KELParsedCSSRuleSet* addRuleSet(std::unique_ptr<KELParsedCSSRuleSet> set) { return m_ruleSets.add(std::move(set)); }

private:
    KELOwnedList<KELParsedCSSAtRule> m_atRules;
    KELOwnedList<KELParsedCSSRuleSet> m_ruleSets;
};

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

class KELParsedCSSDeclarationBlock {
public:
    const QList<KELParsedCSSDeclaration*>& declarations() const { return m_declarations.items(); }
    KELParsedCSSDeclaration* addDeclaration(std::unique_ptr<KELParsedCSSDeclaration> d) { return m_declarations.add(std::move(d)); }

private:
    KELOwnedList<KELParsedCSSDeclaration> m_declarations;
};

class KELParsedCSSAtRule : public KELParsedCSSObject {
public:
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const KELParsedCSSValues& subvalues() const { return m_subvalueList; }
    void addSubvalue(std::unique_ptr<KELParsedCSSValue> value);
    KELParsedCSSDeclarationBlock* declarationBlock() const { return m_declarationBlock.get(); }
    void setDeclarationBlock(std::unique_ptr<KELParsedCSSDeclarationBlock> block) { m_declarationBlock = std::move(block); }
    const QList<KELParsedCSSAtRule*>& atRules() const { return m_atRules.items(); }
    KELParsedCSSAtRule* addAtRule(std::unique_ptr<KELParsedCSSAtRule> rule) { return m_atRules.add(std::move(rule)); }
    KELParsedCSSDocument* subDocument() const { return m_subDocument.get(); }
    void setSubDocument(std::unique_ptr<KELParsedCSSDocument> doc) { m_subDocument = std::move(doc); }
    kit::Range textRange() const override { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }

    /// A keyframe block inside a keyframes rule: its subvalues are the keyframe
    /// selectors, its declaration block the keyframe's declarations.
    bool isKeyframeBlock() const { return m_keyframeBlock; }
    void setKeyframeBlock(bool flag) { m_keyframeBlock = flag; }

    QString itemTypeName() const override { return m_keyframeBlock ? QStringLiteral("keyframe selector") : QStringLiteral("at-rule"); }
    QString itemName() const override { return m_name; }

private:
    QString m_name;
    std::vector<std::unique_ptr<KELParsedCSSValue>> m_subvalues;
    KELParsedCSSValues m_subvalueList;
    std::unique_ptr<KELParsedCSSDeclarationBlock> m_declarationBlock;
    KELOwnedList<KELParsedCSSAtRule> m_atRules;
    std::unique_ptr<KELParsedCSSDocument> m_subDocument;
    kit::Range m_textRange { 0, 0 };
    bool m_keyframeBlock = false;
};

class KELParsedCSSSimpleSelector : public KELParsedCSSObject {
public:
    enum Type : qint32 { TypeSelector = 0, NamespacedTypeSelector = 1, Attribute = 2, Class = 3, ID = 4, PseudoClass = 5, PseudoElement = 6 };

    explicit KELParsedCSSSimpleSelector(qint32 type) : m_type(type) {}
    static std::unique_ptr<KELParsedCSSSimpleSelector> simpleSelectorWithType(qint32 type) { return std::make_unique<KELParsedCSSSimpleSelector>(type); }

    qint32 type() const { return m_type; }
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const KELParsedCSSValues& subvalues() const { return m_subvalueList; }
    void addSubvalue(std::unique_ptr<KELParsedCSSValue> value);
    KELParsedCSSSimpleSelector* subselector() const { return m_subselector.get(); }
    void setSubselector(std::unique_ptr<KELParsedCSSSimpleSelector> s) { m_subselector = std::move(s); }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }
    kit::Range textRange() const override { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }
    QString itemTypeName() const override { return QStringLiteral("selector"); }
    QString itemName() const override { return m_name; }

private:
    qint32 m_type;
    QString m_name;
    std::vector<std::unique_ptr<KELParsedCSSValue>> m_subvalues;
    KELParsedCSSValues m_subvalueList;
    std::unique_ptr<KELParsedCSSSimpleSelector> m_subselector;
    bool m_valid = true;
    kit::Range m_textRange { 0, 0 };
};

class KELParsedCSSSelectorSequence {
public:
    const QList<KELParsedCSSSimpleSelector*>& simpleSelectors() const { return m_selectors.items(); }
    KELParsedCSSSimpleSelector* addSimpleSelector(std::unique_ptr<KELParsedCSSSimpleSelector> s) { return m_selectors.add(std::move(s)); }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }

private:
    KELOwnedList<KELParsedCSSSimpleSelector> m_selectors;
    bool m_valid = true;
};

class KELParsedCSSSelector {
public:
    const QList<KELParsedCSSSelectorSequence*>& sequences() const { return m_sequences.items(); }
    KELParsedCSSSelectorSequence* addSequence(std::unique_ptr<KELParsedCSSSelectorSequence> s) { return m_sequences.add(std::move(s)); }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }

private:
    KELOwnedList<KELParsedCSSSelectorSequence> m_sequences;
    bool m_valid = true;
};

class KELParsedCSSRuleSet {
public:
    const QList<KELParsedCSSSelector*>& selectors() const { return m_selectors.items(); }
    KELParsedCSSSelector* addSelector(std::unique_ptr<KELParsedCSSSelector> s) { return m_selectors.add(std::move(s)); }
    KELParsedCSSDeclarationBlock* declarationBlock() const { return m_declarationBlock.get(); }
    void setDeclarationBlock(std::unique_ptr<KELParsedCSSDeclarationBlock> block) { m_declarationBlock = std::move(block); }
    kit::Range textRange() const { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }

private:
    KELOwnedList<KELParsedCSSSelector> m_selectors;
    std::unique_ptr<KELParsedCSSDeclarationBlock> m_declarationBlock;
    kit::Range m_textRange { 0, 0 };
};
