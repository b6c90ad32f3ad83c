#pragma once
// The views of the variable form: containers that enable or hide a whole subtree
// and colour their rows in alternating stripes, a stack of editors, a titled
// section that folds, the frame of one repetition, and the two editing controls
// the editors use (a text field that applies the variable's formatter, a combo
// box that completes regardless of case).

#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QScrollArea>
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

/// Stacks its child views from top to bottom; each takes the height its content
/// needs, and a hidden one takes none.
class KELVariableGroupView : public KELVariableView {
    Q_OBJECT
public:
    explicit KELVariableGroupView(QWidget* parent = nullptr);
    void addVariableView(QWidget* view);
    /// The stacked views, in order (hidden ones included).
    QList<QWidget*> stackedViews() const;
    void layoutSubviews();
    void invalidateColoring() override;

private:
    QVBoxLayout* m_layout;
};

/// A titled section with a disclosure triangle; collapsed it is only its header,
/// expanded its header over the content, indented.
class KELVariableCollapsibleView : public KELVariableView {
    Q_OBJECT
public:
    static constexpr int HeaderHeight = 28;
    static constexpr int ContentIndent = 20;

    explicit KELVariableCollapsibleView(QWidget* parent = nullptr);
    QString title() const;
    void setTitle(const QString& title);
    QWidget* contentView() const { return m_contentView; }
    /// The new content takes the old one's place; it shows only while the section is open.
    void setContentView(QWidget* view);
    bool collapsed() const;
    void setCollapsed(bool collapsed);
    QToolButton* disclosureTriangle() const { return m_disclosureTriangle; }
    QWidget* headerView() const { return m_header; }
    void updateFrameCollapse();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_header;
    QToolButton* m_disclosureTriangle;
    QLabel* m_titleTextField;
    QWidget* m_contentHolder;
    QVBoxLayout* m_contentLayout;
    QPointer<QWidget> m_contentView;
};

/// The frame of one repetition shown at a time (a drop-down's choice, a table's
/// selected row): the chooser on a gradient band above the repetition's content.
class KELVariableIndexView : public KELVariableView {
    Q_OBJECT
public:
    explicit KELVariableIndexView(QWidget* parent = nullptr);
    /// What stands on the band (the pop-up, the table).
    QWidget* headerView() const { return m_headerView; }
    void setHeaderView(QWidget* view);
    QWidget* contentView() const { return m_contentView; }
    /// Shows another repetition in place of the current content (none: an empty view).
    void setContentView(QWidget* view);
    void invalidateColoring() override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QVBoxLayout* m_layout;
    QPointer<QWidget> m_headerView;
    QPointer<QWidget> m_contentView;
    QPointer<QWidget> m_emptyView;
};

/// A text field that applies the variable's formatter: a length limit at every
/// keystroke, every other formatter when the edit ends; a rejected text goes back
/// to the text from the start of the edit. Undo and Redo belong to the window, so
/// the component's undo is the only one.
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
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    void textWasEdited(const QString& text);
    void endEdit();
    QString m_previousValue;
    const KELFormatter* m_formatter = nullptr;
    bool m_editing = false;
};

/// The text field of a variable of several lines: wraps its text, takes Return as
/// a line break, and is as tall as the lines the variable asks for. Formatting and
/// undo as in KELComponentTextField.
class KELComponentTextArea : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit KELComponentTextArea(int lines, QWidget* parent = nullptr);
    QString text() const { return toPlainText(); }
    /// Replaces the text, keeping the caret where it was as far as the text allows.
    void setText(const QString& text);
    int lines() const { return m_lines; }
    const QString& previousValue() const { return m_previousValue; }
    const KELFormatter* kelpFormatter() const { return m_formatter; }
    void setKelpFormatter(const KELFormatter* formatter) { m_formatter = formatter; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void valueEdited(const QString& text);

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void textWasEdited();
    void endEdit();
    int heightForLines() const;
    int m_lines;
    QString m_previousValue;
    QString m_lastText;
    const KELFormatter* m_formatter = nullptr;
    bool m_settingText = false;
};

/// Whether a key press is the window's Undo or Redo (which text controls leave to it).
bool KELIsUndoOrRedoShortcut(QEvent* event);

/// A combo box whose typed text completes regardless of case: typing a prefix of
/// an item fills in the rest of the shortest such item, selected, so typing on
/// replaces it.
class KELComponentComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit KELComponentComboBox(QWidget* parent = nullptr);
    /// The typed text followed by the rest of the shortest item that begins with
    /// it regardless of case (the first of equal lengths); none without one.
    static std::optional<QString> completedString(const QString& typed, const QStringList& items);
    QStringList items() const;

Q_SIGNALS:
    /// The text after each keystroke (completion included) or choice from the list.
    void textEdited(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void complete(const QString& typed);
    bool m_deleting = false;
};

/// The scroll area of a component window's form: at least as wide as the form's
/// rows need, so no row is ever cut; taller forms scroll.
class KELVariableFormScrollArea : public QScrollArea {
    Q_OBJECT
public:
    explicit KELVariableFormScrollArea(QWidget* parent = nullptr);
    /// Holds the form at the top of the area (it keeps its own height).
    void setFormView(QWidget* form);
    QWidget* formView() const { return m_form; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int chromeWidth() const;
    QPointer<QWidget> m_form;
};
