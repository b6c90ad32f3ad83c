#pragma once
// What the library window's interchangeable component views share: where their
// components come from, whom they tell about a choice, and what the window asks of them.

#include "components/KELComponent.h"

#include <QList>
#include <memory>

class QWidget;

class KELComponentViewDataSource {
public:
    virtual ~KELComponentViewDataSource() = default;
    /// The components to show, in any order.
    virtual QList<std::shared_ptr<KELComponent>> components() const = 0;
};

class KELComponentViewDelegate {
public:
    virtual ~KELComponentViewDelegate() = default;
    /// The user chose a component (double click, Return or the Select button).
    virtual void componentWasSelected(const std::shared_ptr<KELComponent>& component) = 0;
};

class KELComponentView {
public:
    virtual ~KELComponentView() = default;
    void setDataSource(KELComponentViewDataSource* dataSource) { m_dataSource = dataSource; }
    KELComponentViewDataSource* dataSource() const { return m_dataSource; }
    virtual void setDelegate(KELComponentViewDelegate* delegate) { m_delegate = delegate; }
    KELComponentViewDelegate* delegate() const { return m_delegate; }
    /// Asks the data source again and redraws.
    virtual void reloadComponents() = 0;
    /// The selected component, or null.
    virtual std::shared_ptr<KELComponent> selectedComponent() const = 0;
    /// The widget that takes keyboard focus.
    virtual QWidget* componentSelectionView() = 0;
    /// The widget the window shows.
    virtual QWidget* viewWidget() = 0;

protected:
    KELComponentViewDataSource* m_dataSource = nullptr;
    KELComponentViewDelegate* m_delegate = nullptr;
};

/// "%ld Component%@": no suffix for exactly one.
inline QString KELComponentCountText(qint64 count)
{
    return QStringLiteral("%1 Component%2").arg(count).arg(count == 1 ? QString() : QStringLiteral("s"));
}
