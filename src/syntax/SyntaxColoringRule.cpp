#include "syntax/SyntaxColoringRule.h"

#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxXML.h"

namespace {

double readComponent(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    return ok ? std::clamp(v, 0.0, 1.0) : 0.0;
}

std::vector<std::unique_ptr<SyntaxStructure>> readStructures(const SyntaxXMLNode& node)
{
    std::vector<std::unique_ptr<SyntaxStructure>> list;
    for (const SyntaxXMLNode& child : node.childNodes())
        list.push_back(std::make_unique<SyntaxStructure>(child));
    return list;
}

} // namespace

SyntaxColoringRule::SyntaxColoringRule(const SyntaxXMLNode& node)
{
    m_name = node.valueForAttribute("name");
    m_defaultColor = QColor::fromRgbF(float(readComponent(node.valueForAttribute("defaultRed"))),
        float(readComponent(node.valueForAttribute("defaultGreen"))),
        float(readComponent(node.valueForAttribute("defaultBlue"))), 1.0f);
    m_applyInvalid = node.valueForAttribute("applyInvalid") == QLatin1String("true");
    const QList<SyntaxXMLNode> children = node.childNodes();
    if (children.size() > 0)
        m_applyStructures = readStructures(children.at(0));
    if (children.size() > 1)
        m_matchStructures = readStructures(children.at(1));
}

SyntaxColoringRule::~SyntaxColoringRule() = default;

void SyntaxColoringRule::setApplyStructures(std::vector<std::unique_ptr<SyntaxStructure>> s)
{
    m_applyStructures = std::move(s);
}
void SyntaxColoringRule::setMatchStructures(std::vector<std::unique_ptr<SyntaxStructure>> s)
{
    m_matchStructures = std::move(s);
}
