#pragma once
// The colouring pane of one root syntax type (its style, colouring on or off and
// a colour per group), and the table of completion modes per root type. Both
// change colouring and completion at once.

#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QTableWidget;
class ColoringGroup;
class SyntaxType;
class PreferenceController2;

class TypeColoringPreferences : public QWidget
{
    Q_OBJECT
public:
    /// Null for a type without styles.
    static std::unique_ptr<TypeColoringPreferences> create(SyntaxType* type);

    const QString& typeName() const { return m_typeName; }
    SyntaxType* type() const;
    /// Orders panes by type name without regard to case.
    int compare(const TypeColoringPreferences& other) const;

    void resetToDefaults();
    void styleChange(int index);
    void enableColoringChange(bool on);
    void initializeControlValuesFromDefaults();
    void updateColorSelections();
    void updateEnabledControls();
    /// The colour of the group in a row, stored and applied to open documents.
    void setColor(int row, const QColor& color);

    QButtonGroup* coloringStyleMatrix() const { return m_styles; }
    QCheckBox* enableColoring() const { return m_enable; }
    QTableWidget* colorSelectionTableView() const { return m_table; }
    const QList<ColoringGroup*>& coloringGroups() const { return m_groups; }

private:
    explicit TypeColoringPreferences(SyntaxType* type);
    QString m_typeName;
    QButtonGroup* m_styles = nullptr;
    QCheckBox* m_enable = nullptr;
    QTableWidget* m_table = nullptr;
    QList<ColoringGroup*> m_groups;
};

class CodeCompletionPreferences : public QWidget
{
    Q_OBJECT
public:
    CodeCompletionPreferences();
    /// The root types of every type that offers completion, once each, by name.
    const QList<SyntaxType*>& codeCompletionSyntaxTypes() const { return m_types; }
    QTableWidget* codeCompletionTableView() const { return m_table; }
    /// 0 "Automatic", 1 "Manual".
    void setCompletionMode(int row, int mode);

private:
    QList<SyntaxType*> m_types;
    QTableWidget* m_table = nullptr;
};

/// Adds the colouring panes, the completion table and the Quick Insert editor to
/// the preferences window when it is built.
void KELInstallSyntaxPreferencePanes();
