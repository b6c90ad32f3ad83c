#pragma once
// One simple selector: type, attribute, class, ID, pseudo-class or pseudo-element.

#include "css/KELParsedCSSSlabs.h"
#include "css/KELParsedCSSObject.h"
#include "css/KELParsedCSSValue.h"

#include <QList>
#include <QString>
#include <memory>
#include <vector>

class KELParsedCSSSelector;

class KELParsedCSSSimpleSelector : public KELParsedCSSObject {
public:
    KEL_PARSED_CSS_SLABS(KELParsedCSSSimpleSelector)
    enum Type : qint32 { TypeSelector = 0, NamespacedTypeSelector = 1, Attribute = 2, Class = 3, ID = 4, PseudoClass = 5, PseudoElement = 6 };

    explicit KELParsedCSSSimpleSelector(qint32 type);
    ~KELParsedCSSSimpleSelector() override;
    static std::unique_ptr<KELParsedCSSSimpleSelector> simpleSelectorWithType(qint32 type) { return std::make_unique<KELParsedCSSSimpleSelector>(type); }

    qint32 type() const { return m_type; }
    const QString& name() const { return m_name; }
    void setName(const QString& name) { m_name = name; }
    const KELParsedCSSValues& subvalues() const;
    void addSubvalue(std::unique_ptr<KELParsedCSSValue> value);
    KELParsedCSSSimpleSelector* subselector() const { return m_argument ? m_argument->subselector.get() : nullptr; }
    void setSubselector(std::unique_ptr<KELParsedCSSSimpleSelector> s) { argument().subselector = std::move(s); }
    /// The selectors in the parentheses of a pseudo selector that takes selectors
    /// (":is(a, .b)", ":not(a > b)", "::slotted(p)", ":nth-child(2n of .x)").
    const std::vector<std::unique_ptr<KELParsedCSSSelector>>& selectorList() const;
    void addSelector(std::unique_ptr<KELParsedCSSSelector> selector);
    /// Whether a parenthesised argument followed the name.
    bool hasArgument() const { return m_hasArgument; }
    void setHasArgument(bool has) { m_hasArgument = has; }
    bool valid() const { return m_valid; }
    void setValid(bool valid) { m_valid = valid; }
    kit::Range textRange() const override { return m_textRange; }
    void setTextRange(kit::Range range) { m_textRange = range; }
    QString itemTypeName() const override { return QStringLiteral("selector"); }
    QString itemName() const override { return m_name; }

private:
    // What the parentheses of a pseudo selector hold; most selectors have none.
    struct Argument {
        std::vector<std::unique_ptr<KELParsedCSSValue>> subvalues;
        KELParsedCSSValues subvalueList;
        std::unique_ptr<KELParsedCSSSimpleSelector> subselector;
        std::vector<std::unique_ptr<KELParsedCSSSelector>> selectorList;
    };
    Argument& argument();

    qint32 m_type;
    QString m_name;
    std::unique_ptr<Argument> m_argument;
    bool m_hasArgument = false;
    bool m_valid = true;
    kit::Range m_textRange { 0, 0 };
};
