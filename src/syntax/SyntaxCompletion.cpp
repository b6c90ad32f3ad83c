#include "syntax/SyntaxCompletion.h"

#include "syntax/SyntaxStructure.h"
#include "syntax/SyntaxXML.h"

SyntaxCompletion::SyntaxCompletion(const SyntaxXMLNode& node)
{
    m_standard = node.valueForAttribute("standard");
    for (const SyntaxXMLNode& child : node.childNodes()) {
        const QString name = child.nodeName();
        if (name == QLatin1String("root"))
            readStructuresFromNode(child, m_rootStructures);
        else if (name == QLatin1String("apply"))
            readStructuresFromNode(child, m_applyStructures);
        else if (name == QLatin1String("match"))
            readStructuresFromNode(child, m_matchStructures);
        else if (name == QLatin1String("completion"))
            m_nestedCompletions.push_back(std::make_unique<SyntaxCompletion>(child));
        else if (name == QLatin1String("words"))
            for (const SyntaxXMLNode& w : child.childNodes())
                if (w.isElement())
                    m_applyWordRefs.append(SyntaxWordRef(w.valueForAttribute("ref")));
    }
}

SyntaxCompletion::~SyntaxCompletion() = default;

void SyntaxCompletion::readStructuresFromNode(const SyntaxXMLNode& node, Structures& into)
{
    for (const SyntaxXMLNode& child : node.childNodes())
        into.push_back(std::make_unique<SyntaxStructure>(child));
}
