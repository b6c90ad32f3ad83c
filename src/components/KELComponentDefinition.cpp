#include "components/KELComponentDefinition.h"

#include "kit/Log.h"
#include "support/KELXMLDocument.h"

#include <QFile>
#include <QStringDecoder>

std::unique_ptr<KELComponentDefinition> KELComponentDefinition::definitionWithComponent(std::shared_ptr<KELComponent> component)
{
    if (!component)
        return nullptr;
    const QString path = component->path() + QStringLiteral("/Definition.tcml");
    const auto failed = [&path] {
        kit::log(QStringLiteral("Component definition could not be read: %1").arg(path));
        return nullptr;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(file.readAll());
    if (decoder.hasError())
        return failed();
    preProcessTcml(text);
    const std::optional<KELXMLDocument> document = KELXMLDocument::fromContents(text);
    const std::optional<KELXMLNode> root = document ? document->rootNode() : std::nullopt;
    if (!root)
        return failed();
    std::unique_ptr<KELComponentDefinition> definition(new KELComponentDefinition(std::move(component)));
    definition->readComponentDefinition(*root);
    return definition;
}

void KELComponentDefinition::readComponentDefinition(const KELXMLNode& root)
{
    if (const std::optional<QString> delineate = root.valueForAttribute(QStringLiteral("delineateWithComments")))
        m_delineateWithComments = *delineate == QLatin1String("true");
    for (const KELXMLNode& child : root.childNodes()) {
        if (child.isTextNode())
            continue;
        const QString name = child.nodeName();
        if (name == QLatin1String("varGroup")) {
            std::unique_ptr<KELComponentVariable> variable = KELComponentVariable::variableWithNode(child);
            if (auto* group = dynamic_cast<KELComponentVariableGroup*>(variable.get())) {
                variable.release();
                m_variableGroup.reset(group);
            }
        } else if (name == QLatin1String("insert")) {
            m_insertedContent.push_back(KELComponentInsertPrimary::logicTagWithNode(child));
        } else if (name == QLatin1String("include")) {
            if (std::unique_ptr<KELComponentInclude> include = KELComponentInclude::includeWithNode(child))
                m_includes.push_back(std::move(include));
        } else {
            kit::log(QStringLiteral("Unrecognized component tag: %1").arg(name));
        }
    }
}
