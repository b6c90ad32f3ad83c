#pragma once
// One parsed at-rule: its name, prelude tokens and whatever body its kind has.

#include "css/KELOwnedList.h"
#include "css/KELParsedCSSDeclarationBlock.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSDocument;

class KELParsedCSSAtRule : public KELParsedCSSObject {
public:
    KELParsedCSSAtRule();
    ~KELParsedCSSAtRule() override;

    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const KELParsedCSSValues& subvalues() const { return m_subvalueList; }
    void addSubvalue(std::unique_ptr<KELParsedCSSValue> value);
    KELParsedCSSDeclarationBlock* declarationBlock() const { return m_declarationBlock.get(); }
    void setDeclarationBlock(std::unique_ptr<KELParsedCSSDeclarationBlock> block) { m_declarationBlock = std::move(block); }
    const QList<KELParsedCSSAtRule*>& atRules() const { return m_atRules.items(); }
    KELParsedCSSAtRule* addAtRule(std::unique_ptr<KELParsedCSSAtRule> rule) { return m_atRules.add(std::move(rule)); }
    KELParsedCSSDocument* subDocument() const { return m_subDocument.get(); }
    void setSubDocument(std::unique_ptr<KELParsedCSSDocument> doc);
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
