#pragma once
// The Insert Color panel: a text field with the colour as hexadecimal text and a
// colour well tied to the shared colour panel; inserts the text, with "#" in
// front, into the editor in front.

#include "htmlui/InsertController.h"

#include <QColor>
#include <QToolButton>

class QLineEdit;

/// A button that shows a colour and opens the shared colour panel for it.
class KELColorWell : public QToolButton {
    Q_OBJECT
public:
    explicit KELColorWell(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    /// Shows the colour; sends nothing.
    void setColor(const QColor& color);

Q_SIGNALS:
    /// The user picked a colour for the well in the shared panel.
    void colorPicked(const QColor& color);

private:
    void activate();
    QColor m_color = Qt::black;
};

class ColorController : public InsertController {
    Q_OBJECT
public:
    static ColorController& sharedInstance();
    ColorController();
    ~ColorController() override;

    QString helpKey() const override;

    void insertColor();
    void cancelInsertColor();
    /// The well changed: its text follows on the next turn of the event loop, once
    /// however many changes came in this turn.
    void setColor(const QColor& color);
    void updateColorField();
    void resetValues();
    /// Makes this panel the shared colour panel's target again.
    void setColorPanelDelegate();

protected:
    void loadWindow(QDialog* window) override;
    void windowWillClose() override;
    QString frameAutosaveName() const override { return QStringLiteral("Color"); }
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void controlTextDidChange(const QString& text);

    QLineEdit* m_colorField = nullptr;
    KELColorWell* m_colorWell = nullptr;
    bool m_updatePending = false;
};
