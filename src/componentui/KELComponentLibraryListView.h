#pragma once
// The library's list view: the components grouped by their group name in an
// outline, beside an icon view that shows the selected one large.

#include "componentui/KELComponentLibraryView.h"

#include <QHash>
#include <QImage>
#include <QTreeWidget>
#include <QWidget>

class KELComponentLibrarySelectButton;
class QSplitter;

class KELComponentGroup {
public:
    explicit KELComponentGroup(QString groupName) : m_groupName(std::move(groupName)) { }
    const QString& groupName() const { return m_groupName; }
    /// Sorted by the components' order on the first request after a change.
    const QList<std::shared_ptr<KELComponent>>& components();
    void addComponent(const std::shared_ptr<KELComponent>& component);
    void removeComponent(const std::shared_ptr<KELComponent>& component);
    void removeAllComponents() { m_components.clear(); }
    int compare(const KELComponentGroup& other) const
    {
        return m_groupName.compare(other.m_groupName, Qt::CaseInsensitive);
    }
    bool expanded() const { return m_expanded; }
    void setExpanded(bool expanded) { m_expanded = expanded; }

private:
    QString m_groupName;
    QList<std::shared_ptr<KELComponent>> m_components;
    bool m_componentsIsSorted = true;
    bool m_expanded = true;
};

class KELComponentLibraryIconView : public QWidget {
    Q_OBJECT
public:
    explicit KELComponentLibraryIconView(QWidget* parent = nullptr);
    const std::shared_ptr<KELComponent>& component() const { return m_component; }
    void setComponent(const std::shared_ptr<KELComponent>& component);
    void select();
    bool showNoSearchResultsMessage() const { return m_showNoSearchResultsMessage; }
    void setShowNoSearchResultsMessage(bool show);
    void setDelegate(KELComponentViewDelegate* delegate) { m_delegate = delegate; }
    KELComponentLibrarySelectButton* selectButton() const { return m_selectButton; }
    /// The text shown when no component is: "No Search Results" or "Select a Component".
    QString placeholderText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    std::shared_ptr<KELComponent> m_component;
    QImage m_image;
    bool m_showNoSearchResultsMessage = false;
    KELComponentLibrarySelectButton* m_selectButton;
    KELComponentViewDelegate* m_delegate = nullptr;
};

/// Return or Enter in the outline chooses, like a double click.
class KELComponentLibraryListOutlineView : public QTreeWidget {
    Q_OBJECT
public:
    using QTreeWidget::QTreeWidget;
Q_SIGNALS:
    void doubleAction();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class KELComponentLibraryListView : public QWidget, public KELComponentView {
    Q_OBJECT
public:
    explicit KELComponentLibraryListView(QWidget* parent = nullptr);

    void setDelegate(KELComponentViewDelegate* delegate) override;
    void reloadComponents() override;
    std::shared_ptr<KELComponent> selectedComponent() const override;
    QWidget* componentSelectionView() override { return m_outlineView; }
    QWidget* viewWidget() override { return this; }

    KELComponentLibraryListOutlineView* outlineView() const { return m_outlineView; }
    KELComponentLibraryIconView* iconView() const { return m_iconView; }
    QSplitter* splitView() const { return m_splitView; }
    /// The groups holding at least one listed component, sorted.
    QList<std::shared_ptr<KELComponentGroup>> activeGroups() const { return m_activeGroupsArray; }
    void select();

private:
    void selectionDidChange();
    std::shared_ptr<KELComponentGroup> groupOfItem(QTreeWidgetItem* item) const;

    QSplitter* m_splitView;
    KELComponentLibraryListOutlineView* m_outlineView;
    KELComponentLibraryIconView* m_iconView;
    QHash<QString, std::shared_ptr<KELComponentGroup>> m_groupsDictionary;
    QList<std::shared_ptr<KELComponentGroup>> m_groupsArray;
    QList<std::shared_ptr<KELComponentGroup>> m_activeGroupsArray;
    bool m_reloading = false;
};
