#pragma once
// The shared colour panel: one floating window for the whole application with a
// colour square and hue slider, channel sliders and fields, a screen colour
// picker where the desktop allows one, and a list of named colours. Whoever
// made itself the panel's target receives each colour the user picks.

#include <QColor>
#include <QList>
#include <QPair>
#include <QPointer>
#include <QWidget>
#include <functional>

class QColorDialog;
class QLineEdit;
class QListWidget;

namespace kit {

class ColorPanel : public QWidget {
    Q_OBJECT
public:
    static ColorPanel& sharedColorPanel();
    /// Whether the shared panel has been made (closing it need not make it).
    static bool sharedColorPanelExists();

    using Target = std::function<void(const QColor&)>;
    /// Picks go to this target from now on; owner identifies it (no target when null).
    void setTarget(QObject* owner, Target target);
    QObject* targetOwner() const { return m_owner; }

    QColor color() const;
    /// Shows the colour without sending it to the target.
    void setColor(const QColor& color);

    /// The named colours listed beside the square (a name and its colour each).
    void setNamedColors(const QList<QPair<QString, QColor>>& colors);
    int namedColorCount() const;

    /// Shows the panel and brings it to the front.
    void orderFront();

Q_SIGNALS:
    void colorChanged(const QColor& color);

private:
    ColorPanel();
    void deliver(const QColor& color);
    void filterNames(const QString& text);

    QColorDialog* m_dialog = nullptr;
    QLineEdit* m_filter = nullptr;
    QListWidget* m_names = nullptr;
    QPointer<QObject> m_owner;
    Target m_target;
    bool m_settingColor = false;
};

} // namespace kit
