#include "componentui/KELTableVariableController.h"

KELTableVariableController::KELTableVariableController(const KELComponentVariable& variable) : KELIndexedVariableController(variable) { }

KELTableVariableController::~KELTableVariableController() = default;

const KELComponentTableVariable& KELTableVariableController::tableVariable() const
{
    return static_cast<const KELComponentTableVariable&>(variable());
}

KELVariableController* KELTableVariableController::dataSourceForColumn(const KELComponentTableColumn&, KELVariableController& row)
{
    return &row;
}

KELVariableController* KELTableVariableController::dataSourceForColumn(int, qsizetype) { return nullptr; }
KELFileVariableController* KELTableVariableController::fileDataSourceAtRow(qsizetype) { return nullptr; }
QList<int> KELTableVariableController::columnWidths(const QList<KELComponentTableColumn>&, int*) { return {}; }
bool KELTableVariableController::moveRows(const QList<qsizetype>&, qsizetype) { return false; }
bool KELTableVariableController::acceptFiles(const QStringList&, qsizetype) { return false; }
bool KELTableVariableController::canAcceptFiles(const QStringList&, qsizetype) { return false; }
void KELTableVariableController::setSelectedIndex(qsizetype index) { KELIndexedVariableController::setSelectedIndex(index); }
void KELTableVariableController::controllerWillClose() { KELIndexedVariableController::controllerWillClose(); }
QWidget* KELTableVariableController::makeView() { return KELIndexedVariableController::makeView(); }
void KELTableVariableController::updateViews() { KELIndexedVariableController::updateViews(); }
void KELTableVariableController::selectionChanged() { }

int KELTableVariableModel::rowCount(const QModelIndex&) const { return 0; }
int KELTableVariableModel::columnCount(const QModelIndex&) const { return 0; }
QVariant KELTableVariableModel::data(const QModelIndex&, int) const { return {}; }
bool KELTableVariableModel::setData(const QModelIndex&, const QVariant&, int) { return false; }
QVariant KELTableVariableModel::headerData(int, Qt::Orientation, int) const { return {}; }
Qt::ItemFlags KELTableVariableModel::flags(const QModelIndex&) const { return {}; }
QStringList KELTableVariableModel::mimeTypes() const { return {}; }
QMimeData* KELTableVariableModel::mimeData(const QModelIndexList&) const { return nullptr; }
bool KELTableVariableModel::canDropMimeData(const QMimeData*, Qt::DropAction, int, int, const QModelIndex&) const { return false; }
bool KELTableVariableModel::dropMimeData(const QMimeData*, Qt::DropAction, int, int, const QModelIndex&) { return false; }
void KELTableVariableModel::reload() { }
