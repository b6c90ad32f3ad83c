#include "syntax/KELCodeNavigatorTableView.h"

#include <QHeaderView>

KELCodeNavigatorTableView::KELCodeNavigatorTableView(QWidget* parent)
    : QTableView(parent)
{
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setStretchLastSection(true);
    verticalHeader()->setDefaultSectionSize(18);
}

void KELCodeNavigatorTableView::mousePressEvent(QMouseEvent* event)
{
    clearSelection();
    QTableView::mousePressEvent(event);
}
