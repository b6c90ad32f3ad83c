#pragma once
// Shared pieces of the component window tests: a small fixture component with
// one editor of each simple kind and a template that prints every value, and
// helpers that make an editor tree from a definition.

#include "../components/ComponentTestSupport.h"
#include "componentui/KELVariableController.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

namespace componentuitest {

inline const QString FixtureVariables = QStringLiteral(
    "<c:varGroup>"
    "<c:text var=\"title\" name=\"Title\" default=\"Hello\"/>"
    "<c:select var=\"align\" name=\"Align\"><c:option name=\"Left\" value=\"left\"/>"
    "<c:option name=\"Centre\" value=\"center\" default=\"true\"/><c:option name=\"Right\" value=\"right\" default=\"true\"/></c:select>"
    "<c:checkbox var=\"bold\" name=\"Bold\" defaultValue=\"TRUE\"/>"
    "<c:slider var=\"size\" name=\"Size\" defaultValue=\"10\" minValue=\"0\" maxValue=\"100\" incrementAmount=\"5\"/>"
    "<c:count var=\"items\" name=\"Items\" defaultCount=\"2\" minCount=\"1\" maxCount=\"9\"/>"
    "<c:dimCount var=\"width\" name=\"Width\" defaultCount=\"120\"><c:option name=\"Pixels\" value=\"px\" default=\"true\"/>"
    "<c:option name=\"Auto\" value=\"none\"/></c:dimCount>"
    "<c:text var=\"note\" name=\"Note\" default=\"n\" hidden=\"${!bold.value}\"><c:dependency keyPath=\"bold.value\"/></c:text>"
    "</c:varGroup>");

inline const QString FixtureTemplate = QStringLiteral(
    "<c:insert><p class=\"<c:print value=\"${align.value}\"/>\" data-size=\"<c:print value=\"${size.value}\"/>\" "
    "data-items=\"<c:print value=\"${items.count}\"/>\" data-width=\"<c:print value=\"${width.value}\"/>\">"
    "<c:if condition=\"${bold.value}\"><b></c:if><c:print value=\"${title.value}\"/><c:if condition=\"${bold.value}\"></b></c:if></p></c:insert>");

/// A component folder holding the fixture (or the given variables and template).
inline std::shared_ptr<KELComponent> fixtureComponent(const QTemporaryDir& dir, const QString& variables = FixtureVariables,
    const QString& templ = FixtureTemplate, const QString& name = QStringLiteral("Fixture"))
{
    return componenttest::makeComponent(dir.path(), name, variables + templ);
}

/// The definition and a completed editor tree for it.
struct Tree {
    std::shared_ptr<KELComponentDefinition> definition;
    KELVariableControllerPtr root;
};

inline Tree makeTree(const QTemporaryDir& dir, const QString& variables, bool loadsView = false)
{
    Tree tree;
    tree.definition = KELComponentDefinition::definitionWithComponent(fixtureComponent(dir, variables, QString()));
    if (tree.definition && tree.definition->variableGroup())
        tree.root = KELVariableController::rootControllerWithVariable(*tree.definition->variableGroup(), loadsView);
    return tree;
}

template<typename T>
T* controllerAt(const KELVariableControllerPtr& root, const QString& keyPath)
{
    return dynamic_cast<T*>(kit::KeyValueObject::toObject(root->valueForKeyPath(keyPath)).get());
}

/// Lets queued calls run: the end of one event.
inline void endOfEvent()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

} // namespace componentuitest
