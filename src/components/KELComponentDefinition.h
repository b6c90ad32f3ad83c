#pragma once
// A component's "Definition.tcml": its variables, insert templates and included
// resources. The file is XML whose templates hold raw HTML; a pre-pass turns
// everything but the "c:" tags into character data before the XML reader sees it.

#include "components/KELComponent.h"
#include "components/KELComponentInclude.h"
#include "components/KELComponentInsertLogicTag.h"
#include "components/KELComponentVariable.h"

#include <QString>
#include <memory>
#include <vector>

class KELComponentDefinition {
public:
    /// Reads the component's definition; null (and a log line) when it cannot be read.
    static std::unique_ptr<KELComponentDefinition> definitionWithComponent(std::shared_ptr<KELComponent> component);

    /// Keeps as markup only tags that start "<c:" or "</c:", "<?" declarations and
    /// "<c--" comments (which become XML comments, read as one piece whatever they
    /// hold); every other "<" and ">" becomes an entity, and "&&" in a quoted
    /// attribute value becomes "&amp;&amp;".
    static void preProcessTcml(QString& text);

    const std::shared_ptr<KELComponent>& component() const { return m_component; }
    const KELComponentVariableGroup* variableGroup() const { return m_variableGroup.get(); }
    void setVariableGroup(std::unique_ptr<KELComponentVariableGroup> group) { m_variableGroup = std::move(group); }
    const std::vector<std::unique_ptr<KELComponentInsertPrimary>>& insertedContent() const { return m_insertedContent; }
    const std::vector<std::unique_ptr<KELComponentInclude>>& includes() const { return m_includes; }
    bool delineateWithComments() const { return m_delineateWithComments; }

private:
    explicit KELComponentDefinition(std::shared_ptr<KELComponent> component) : m_component(std::move(component)) { }
    void readComponentDefinition(const KELXMLNode& root);

    std::shared_ptr<KELComponent> m_component;
    std::unique_ptr<KELComponentVariableGroup> m_variableGroup;
    std::vector<std::unique_ptr<KELComponentInsertPrimary>> m_insertedContent;
    std::vector<std::unique_ptr<KELComponentInclude>> m_includes;
    bool m_delineateWithComments = true;
};
