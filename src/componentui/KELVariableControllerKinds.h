#pragma once
// The editor kinds of the form, each registered for the model class it edits.

#include "componentui/KELVariableController.h"

#include <functional>

/// Calls add once per editor kind (model class name, controller class name, maker).
void KELRegisterVariableControllerKinds(
    const std::function<void(const QString&, const QString&, KELVariableController::Factory)>& add);
