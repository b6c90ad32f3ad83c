#pragma once
// The navigator pane: a bar with the search field and a grab handle on top, the
// list below. Draws nothing itself.

#include <QWidget>

class KELCodeNavigatorSearchFieldCell;
class KELCodeNavigatorTableView;

class KELCodeNavigatorView : public QWidget
{
    Q_OBJECT
public:
    explicit KELCodeNavigatorView(QWidget* parent = nullptr);

    /// Height of the bar above the list.
    static constexpr int BarHeight = 23;

    KELCodeNavigatorTableView* itemsTableView() const { return m_tableView; }
    KELCodeNavigatorSearchFieldCell* searchField() const { return m_searchField; }
    QWidget* gradientBar() const { return m_gradientBar; }
    /// The handle a window may use as an extra divider of its split view.
    QWidget* grabberView() const { return m_grabberView; }

    void resizeSubviewsWithOldSize(const QSize& oldSize);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    KELCodeNavigatorTableView* m_tableView = nullptr;
    QWidget* m_gradientBar = nullptr;
    KELCodeNavigatorSearchFieldCell* m_searchField = nullptr;
    QWidget* m_grabberView = nullptr;
};
