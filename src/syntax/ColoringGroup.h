#pragma once
// The colour shared by every rule of one name under one root syntax type, as
// the user edits it in the preferences and as stored in the user defaults.

#include <QColor>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>

class SyntaxColoringRule;
class SyntaxType;

class ColoringGroup
{
public:
    ColoringGroup(const SyntaxColoringRule* rule, SyntaxType* type);
    static std::unique_ptr<ColoringGroup> colorGroupWithRule(const SyntaxColoringRule* rule, SyntaxType* type)
    {
        return std::make_unique<ColoringGroup>(rule, type);
    }

    const QString& name() const { return m_name; }
    SyntaxType* type() const { return m_type; }
    const SyntaxColoringRule* primaryRule() const { return m_primaryRule; }
    const QSet<const SyntaxColoringRule*>& rules() const { return m_rules; }
    void addRule(const SyntaxColoringRule* rule) { m_rules.insert(rule); }

    QColor defaultColor() const;
    /// The group "Text" answers the editor's text colour, asked each time; other
    /// groups read their stored colour once (the default colour when none is
    /// stored or it cannot be read) and then keep it.
    QColor color() const;
    /// Keeps the colour and stores it under userDefaultsKey().
    void setColor(const QColor& color);
    /// "Text Color" for the group "Text"; otherwise "Color for <root type>:<name>".
    QString userDefaultsKey() const;
    /// Orders groups by name without regard to case.
    int compare(const ColoringGroup& other) const;

    /// The editor's text colour ("Text Color" of the preferences; black when
    /// none is stored).
    static QColor textColor();

private:
    QString m_name;
    SyntaxType* m_type = nullptr;
    const SyntaxColoringRule* m_primaryRule = nullptr;
    QSet<const SyntaxColoringRule*> m_rules;
    mutable std::optional<QColor> m_color;
};
