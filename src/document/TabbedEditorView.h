#pragma once
// The editor area of a document window: the tab bar over a container that
// shows one view at a time (a document's editor, an image, or the empty view).

#include <QPointer>
#include <QWidget>

class QScrollArea;
class TabView;

class TabbedEditorView : public QWidget {
    Q_OBJECT
public:
    explicit TabbedEditorView(QWidget* parent = nullptr);
    ~TabbedEditorView() override;

    /// Null after hideTabs().
    TabView* tabView() const { return m_tabView; }
    QWidget* editorContainerView() const { return m_container; }
    QWidget* bodyView() const { return m_body; }
    QScrollArea* emptyView() const { return m_emptyView; }
    void setEmptyView(QScrollArea* view);
    /// The view now shown in the container.
    QWidget* currentEditorView() const { return m_current; }

    /// Shows the view in the container (null: the empty view).
    void replaceEditorView(QWidget* view);
    /// Removes the tab bar for good.
    void hideTabs();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void backgroundColorDidChange(const QColor& color);

    QPointer<TabView> m_tabView;
    QWidget* m_body = nullptr;
    QWidget* m_container = nullptr;
    QScrollArea* m_emptyView = nullptr;
    QPointer<QWidget> m_current;
};
