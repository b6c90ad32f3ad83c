#include "syntax/ColoringGroup.h"

#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "syntax/SyntaxColoringRule.h"
#include "syntax/SyntaxType.h"

namespace {
const QString TextGroupName = QStringLiteral("Text");
} // namespace

ColoringGroup::ColoringGroup(const SyntaxColoringRule* rule, SyntaxType* type)
    : m_name(rule ? rule->name() : QString())
    , m_type(type)
    , m_primaryRule(rule)
{
    if (rule)
        m_rules.insert(rule);
}

QColor ColoringGroup::defaultColor() const { return m_primaryRule ? m_primaryRule->defaultColor() : QColor(Qt::black); }

QString ColoringGroup::userDefaultsKey() const
{
    if (m_name == TextGroupName)
        return QStringLiteral("Text Color");
    const SyntaxType* root = m_type ? m_type->ancestorType() : nullptr;
    return QStringLiteral("Color for %1:%2").arg(root ? root->typeName() : QString(), m_name);
}

QColor ColoringGroup::color() const
{
    if (m_name == TextGroupName)
        return textColor();
    if (m_color)
        return *m_color;
    // A stored value that is not a colour counts as absent.
    QColor stored;
    const QVariant v = kit::UserDefaults::standard().value(userDefaultsKey());
    if (v.typeId() == QMetaType::QString)
        stored = kit::UserDefaults::colorFromString(v.toString());
    m_color = stored.isValid() ? stored : defaultColor();
    return *m_color;
}

void ColoringGroup::setColor(const QColor& color)
{
    if (m_name == TextGroupName) {
        // The editor's text colour: stored where the preferences keep it.
        PreferenceController2::setColor(color, userDefaultsKey());
        return;
    }
    m_color = color;
    kit::UserDefaults::standard().setColor(userDefaultsKey(), color);
}

int ColoringGroup::compare(const ColoringGroup& other) const
{
    const int c = m_name.compare(other.m_name, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

QColor ColoringGroup::textColor()
{
    const QColor c = PreferenceController2::colorForKey(QStringLiteral("Text Color"));
    return c.isValid() ? c : QColor(Qt::black);
}
