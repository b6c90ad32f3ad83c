#include "syntax/KELCodeNavigatorView.h"

#include "syntax/KELCodeNavigatorSearchFieldCell.h"
#include "syntax/KELCodeNavigatorTableView.h"

#include <QResizeEvent>

namespace {
constexpr int SearchFieldX = 4;
constexpr int SearchFieldY = 2;
constexpr int SearchFieldHeight = 19;
// The search field leaves this much of the bar's width for the grab handle.
constexpr int SearchFieldInset = 33;
} // namespace

KELCodeNavigatorView::KELCodeNavigatorView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("CodeNavigator"));
    m_tableView = new KELCodeNavigatorTableView(this);
    m_gradientBar = new QWidget(this);
    m_gradientBar->setAutoFillBackground(true);
    m_searchField = new KELCodeNavigatorSearchFieldCell(m_gradientBar);
    m_searchField->setGeometry(SearchFieldX, SearchFieldY, 100, SearchFieldHeight);
    m_grabberView = new QWidget(m_gradientBar);
    m_grabberView->setCursor(Qt::SplitHCursor);
    setMinimumWidth(0);
    resize(200, 300);
    resizeSubviewsWithOldSize(QSize());
}

void KELCodeNavigatorView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    resizeSubviewsWithOldSize(event->oldSize());
}

void KELCodeNavigatorView::resizeSubviewsWithOldSize(const QSize&)
{
    const int W = width();
    const int H = height();
    m_gradientBar->setGeometry(0, -1, W, BarHeight + 1);
    m_tableView->setGeometry(0, BarHeight, W, std::max(0, H - BarHeight));
    const QRect field = m_searchField->geometry();
    m_searchField->setGeometry(field.x(), field.y(), std::max(0, W - SearchFieldInset), field.height());
    const int grabberX = std::min(W, field.x() + std::max(0, W - SearchFieldInset) + 2);
    m_grabberView->setGeometry(grabberX, 0, std::max(0, W - grabberX), BarHeight + 1);
}
