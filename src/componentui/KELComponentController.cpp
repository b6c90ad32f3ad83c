#include "componentui/KELComponentController.h"

#include <QCloseEvent>

KELComponentController* KELComponentController::openComponentWindow(const std::shared_ptr<KELComponent>&) { return nullptr; }
void KELComponentController::registerControllerForComponentName(const QString&, Maker) { }
KELComponentController::KELComponentController(const std::shared_ptr<KELComponent>& component) : m_component(component) { }
KELComponentController::~KELComponentController() = default;
KELComponentUndoManager* KELComponentController::undoManager() { return m_undoManager.get(); }
bool KELComponentController::sourceViewIsSelected() const { return false; }
void KELComponentController::switchPreviewSource() { }
void KELComponentController::togglePreviewSource() { }
void KELComponentController::updatePreviewAndSourceView() { }
QString KELComponentController::performPreviewCodeGeneration(bool) { return {}; }
QString KELComponentController::performPreInsertCodeGeneration() { return {}; }
void KELComponentController::updateSelectedSourceFileContent() { }
void KELComponentController::previewInBrowser(const QString&) { }
void KELComponentController::showHelp() { }
QString KELComponentController::bareBonesHTMLContent() const { return {}; }
void KELComponentController::insert() { }
void KELComponentController::encodeRestorableState(QVariantMap&) const { }
void KELComponentController::restoreState(const QVariantMap&) { }
void KELComponentController::setExternalURLOpener(std::function<void(const QUrl&)>) { }
void KELComponentController::openExternalURL(const QUrl&) { }
bool KELComponentController::windowShouldClose() { return true; }
bool KELComponentController::setUpWindow() { return false; }
QWidget* KELComponentController::makePreviewWidget() { return nullptr; }
void KELComponentController::variableDidChange(const QString&) { }
void KELComponentController::updatePreviewAndSourceViewFromTimer() { }
void KELComponentController::showWindow() { }

KELComponentController* KELOpenComponentWindow(const std::shared_ptr<KELComponent>& component)
{
    return KELComponentController::openComponentWindow(component);
}

KELComponentController* KELOpenComponentWindowNamed(const QString&) { return nullptr; }

KELComponentWindow::KELComponentWindow(KELComponentController* controller) : m_controller(controller) { }
bool KELComponentWindow::endEditing() { return true; }
void KELComponentWindow::closeEvent(QCloseEvent* event) { QMainWindow::closeEvent(event); }
