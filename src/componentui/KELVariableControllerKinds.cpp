#include "componentui/KELVariableControllerKinds.h"

#include "componentui/KELColorFontVariableControllers.h"
#include "componentui/KELFileVariableControllers.h"
#include "componentui/KELIndexedVariableController.h"
#include "componentui/KELSimpleVariableControllers.h"
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
    add(QStringLiteral("KELComponentTextVariable"), QStringLiteral("KELTextVariableController"), maker<KELTextVariableController>());
    add(QStringLiteral("KELComponentSelectVariable"), QStringLiteral("KELSelectVariableController"), maker<KELSelectVariableController>());
    add(QStringLiteral("KELComponentCheckboxVariable"), QStringLiteral("KELCheckboxVariableController"), maker<KELCheckboxVariableController>());
    add(QStringLiteral("KELComponentSliderVariable"), QStringLiteral("KELSliderVariableController"), maker<KELSliderVariableController>());
    add(QStringLiteral("KELComponentCountVariable"), QStringLiteral("KELCountVariableController"), maker<KELCountVariableController>());
    add(QStringLiteral("KELComponentDimensionCountVariable"), QStringLiteral("KELDimensionCountVariableController"),
        maker<KELDimensionCountVariableController>());
    add(QStringLiteral("KELComponentColorVariable"), QStringLiteral("KELColorVariableController"), maker<KELColorVariableController>());
    add(QStringLiteral("KELComponentFontVariable"), QStringLiteral("KELFontVariableController"), maker<KELFontVariableController>());
    add(QStringLiteral("KELComponentFileVariable"), QStringLiteral("KELFileVariableController"), maker<KELFileVariableController>());
    add(QStringLiteral("KELComponentImageFileVariable"), QStringLiteral("KELImageFileVariableController"), maker<KELImageFileVariableController>());
    add(QStringLiteral("KELComponentIndexedVariable"), QStringLiteral("KELIndexedVariableController"), maker<KELIndexedVariableController>());
    add(QStringLiteral("KELComponentTableVariable"), QStringLiteral("KELTableVariableController"), maker<KELTableVariableController>());
}
