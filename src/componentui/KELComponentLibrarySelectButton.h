#pragma once
// The library's "Select" button: a rounded outline that lights up under the
// pointer and flashes when Space or Return presses it.

#include <QAbstractButton>
#include <QPainterPath>

class KELComponentLibrarySelectButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit KELComponentLibrarySelectButton(QWidget* parent = nullptr);

    QPainterPath borderPath() const;
    /// Sends the action when enabled.
    void submitAction();
    bool isMouseOver() const { return m_mouseOver; }
    bool forceSelectButton() const { return m_forceSelectButton; }
    void clearForceSelectButton();
    QSize sizeHint() const override { return {75, 30}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    /// The second click of a double click does not choose again: one component
    /// window opens.
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    bool m_mouseOver = false;
    bool m_forceSelectButton = false;
};
