#include "componentui/KELComponentInsertSheet.h"

#include "componentui/KELComponentController.h"

KELComponentInsertSheet::KELComponentInsertSheet(KELComponentController& controller, QWidget* parent) : QDialog(parent), m_controller(controller) { }
KELComponentInsertSheet::~KELComponentInsertSheet() = default;
MyDocument* KELComponentInsertSheet::selectedDocument() const { return nullptr; }
void KELComponentInsertSheet::setScriptsDirectory(const QString& path) { m_scriptsDirectory = path; }
void KELComponentInsertSheet::updateInsertDocumentFields() { }
void KELComponentInsertSheet::updateDocumentsList() { }
void KELComponentInsertSheet::updateSelectedDocumentFields() { }
void KELComponentInsertSheet::updateInsertIncludeWarningMessages() { }
bool KELComponentInsertSheet::completeInsert() { return false; }
void KELComponentInsertSheet::cancelInsert() { }
void KELComponentInsertSheet::browseForScriptsDirectory() { }
QString KELComponentInsertSheet::fileTypeWord(int) { return {}; }
void KELComponentInsertSheet::reloadFiles() { }
void KELComponentInsertSheet::refreshScriptsPath() { }
void KELComponentInsertSheet::prepare() { }
