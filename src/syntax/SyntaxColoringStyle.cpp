#include "syntax/SyntaxColoringStyle.h"

#include "syntax/SyntaxXML.h"

SyntaxColoringStyle::SyntaxColoringStyle(const SyntaxXMLNode& node, QStringList* problems)
{
    m_name = node.valueForAttribute("name");
    m_defaultStyle = node.valueForAttribute("default") == QLatin1String("true");
    for (const SyntaxXMLNode& child : node.childNodes()) {
        if (child.childNodes().size() < 2) {
            if (problems)
                problems->append(QStringLiteral("rule \"%1\" of style \"%2\" needs an apply and a match element")
                                     .arg(child.valueForAttribute("name"), m_name));
            continue;
        }
        addRule(std::make_unique<SyntaxColoringRule>(child));
    }
}

void SyntaxColoringStyle::addRule(std::unique_ptr<SyntaxColoringRule> rule)
{
    SyntaxColoringRule* r = rule.get();
    m_rules.push_back(std::move(rule));
    if (r->isTextRule()) {
        m_textRules.append(r);
    } else {
        m_nonTextRules.append(r);
        m_coloringRuleRanges.emplace_back(r);
    }
}

QList<SyntaxColoringRule*> SyntaxColoringStyle::rulesWithName(const QString& name) const
{
    QList<SyntaxColoringRule*> result;
    for (const auto& r : m_rules)
        if (r->name() == name)
            result.append(r.get());
    return result;
}
