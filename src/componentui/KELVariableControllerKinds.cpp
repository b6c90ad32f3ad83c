#include "componentui/KELVariableControllerKinds.h"

#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELTableVariableController.h"

namespace {

template<typename Controller>
KELVariableController::Factory maker()
{
    return [](const KELComponentVariable& variable) -> KELVariableControllerPtr { return std::make_shared<Controller>(variable); };
}

} // namespace

void KELRegisterVariableControllerKinds(
    const std::function<void(const QString&, const QString&, KELVariableController::Factory)>& add)
{
    add(QStringLiteral("KELComponentIndexedVariable"), QStringLiteral("KELIndexedVariableController"), maker<KELIndexedVariableController>());
    add(QStringLiteral("KELComponentTableVariable"), QStringLiteral("KELTableVariableController"), maker<KELTableVariableController>());
}
