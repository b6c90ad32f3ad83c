#pragma once
// The views of the variable form: containers that enable or hide a whole subtree
// and colour their rows in alternating stripes, a stack of editors, a titled
// section that folds, the frame of one repetition, and the two editing controls
// the editors use (a text field that applies the variable's formatter, a combo
// box that completes regardless of case).

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>

class QLabel;
class QToolButton;
class QVBoxLayout;
class KELFormatter;

class KELVariableView : public QWidget {
    Q_OBJECT
public:
    explicit KELVariableView(QWidget* parent = nullptr);

    /// nil (invalid) means transparent.
    QColor backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor& color);
    /// False when the enclosing variable view is not a colouring root.
    bool rootColoringView() const;
    void setRootColoringView(bool on);
    int initialColorIndex() const { return m_initialColorIndex; }
    void setInitialColorIndex(int index);
    /// Recolours the visible child views in alternating stripes.
    virtual void invalidateColoring();

    bool viewEnabled() const { return m_enabled; }
    /// Enables or disables every control of the subtree, committing a text being
    /// edited in a control about to be disabled.
    void setViewEnabled(bool enabled);
    /// Hides or shows the view; the form closes or reopens its gap.
    void setViewHidden(bool hidden);

    /// The two stripe colours.
    static QList<QColor> alternatingColors();

protected:
    void paintEvent(QPaintEvent* event) override;
    void updateControlsEnabled(QWidget* view);

private:
    QColor m_backgroundColor;
    bool m_rootColoringView = false;
    int m_initialColorIndex = 0;
    bool m_enabled = true;
};

/// Stacks its child views from top to bottom.
class KELVariableGroupView : public KELVariableView {
    Q_OBJECT
public:
    explicit KELVariableGroupView(QWidget* parent = nullptr);
    void addVariableView(QWidget* view);
    /// The stacked views, in order.
    QList<QWidget*> stackedViews() const;
    void layoutSubviews();
    void invalidateColoring() override;

private:
    QVBoxLayout* m_layout;
};

/// A titled section with a disclosure triangle; collapsed it is only its header.
class KELVariableCollapsibleView : public KELVariableView {
    Q_OBJECT
public:
    static constexpr int HeaderHeight = 28;
    static constexpr int ContentIndent = 20;

    explicit KELVariableCollapsibleView(QWidget* parent = nullptr);
    QString title() const;
    void setTitle(const QString& title);
    QWidget* contentView() const { return m_contentView; }
    void setContentView(QWidget* view);
    bool collapsed() const;
    void setCollapsed(bool collapsed);
    QToolButton* disclosureTriangle() const { return m_disclosureTriangle; }
    void updateFrameCollapse();
    QSize sizeHint() const override;

private:
    int contentHeight() const;
    QToolButton* m_disclosureTriangle;
    QLabel* m_titleTextField;
    QPointer<QWidget> m_contentView;
    QVBoxLayout* m_contentLayout;
};

/// The frame of one repetition of an indexed variable: a gradient band above its content.
class KELVariableIndexView : public KELVariableView {
    Q_OBJECT
public:
    explicit KELVariableIndexView(const QString& title, QWidget* parent = nullptr);
    QWidget* contentView() const { return m_contentView; }
    void setContentView(QWidget* view);
    void invalidateColoring() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QLabel* m_title;
    QPointer<QWidget> m_contentView;
    QVBoxLayout* m_layout;
};

/// A text field that applies the variable's formatter: a length limit at every
/// keystroke, every other formatter when the edit ends; a rejected text goes back
/// to the text from the start of the edit.
class KELComponentTextField : public QLineEdit {
    Q_OBJECT
public:
    explicit KELComponentTextField(QWidget* parent = nullptr);
    const QString& previousValue() const { return m_previousValue; }
    void setPreviousValue(const QString& value) { m_previousValue = value; }
    const KELFormatter* kelpFormatter() const { return m_formatter; }
    /// Not owned: the variable model keeps it.
    void setKelpFormatter(const KELFormatter* formatter) { m_formatter = formatter; }

Q_SIGNALS:
    /// The text after each accepted keystroke, and the final text when the edit ends.
    void valueEdited(const QString& text);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void textWasEdited(const QString& text);
    void endEdit();
    QString m_previousValue;
    const KELFormatter* m_formatter = nullptr;
    bool m_editing = false;
};

/// A combo box whose typed text completes regardless of case.
class KELComponentComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit KELComponentComboBox(QWidget* parent = nullptr);
    /// The typed text followed by the rest of the shortest item that begins with
    /// it regardless of case (the first of equal lengths); none without one.
    static std::optional<QString> completedString(const QString& typed, const QStringList& items);
};
