#include "components/KELComponentVariable.h"

#include "kit/Log.h"

#include <QHash>
#include <functional>

namespace {

using Factory = std::function<std::unique_ptr<KELComponentVariable>()>;

struct Kind {
    const char* className;
    Factory make;
};

template <typename T>
Factory factory()
{
    return [] { return std::unique_ptr<KELComponentVariable>(new T); };
}

const QHash<QString, Kind>& kinds()
{
    static const QHash<QString, Kind> table = {
        { QStringLiteral("select"), { "KELComponentSelectVariable", factory<KELComponentSelectVariable>() } },
        { QStringLiteral("text"), { "KELComponentTextVariable", factory<KELComponentTextVariable>() } },
        { QStringLiteral("font"), { "KELComponentFontVariable", factory<KELComponentFontVariable>() } },
        { QStringLiteral("color"), { "KELComponentColorVariable", factory<KELComponentColorVariable>() } },
        { QStringLiteral("count"), { "KELComponentCountVariable", factory<KELComponentCountVariable>() } },
        { QStringLiteral("varGroup"), { "KELComponentVariableGroup", factory<KELComponentVariableGroup>() } },
        { QStringLiteral("group"), { "KELComponentVariableGroup", factory<KELComponentVariableGroup>() } },
        { QStringLiteral("indexedVar"), { "KELComponentIndexedVariable", factory<KELComponentIndexedVariable>() } },
        { QStringLiteral("file"), { "KELComponentFileVariable", factory<KELComponentFileVariable>() } },
        { QStringLiteral("image"), { "KELComponentImageFileVariable", factory<KELComponentImageFileVariable>() } },
        { QStringLiteral("checkbox"), { "KELComponentCheckboxVariable", factory<KELComponentCheckboxVariable>() } },
        { QStringLiteral("slider"), { "KELComponentSliderVariable", factory<KELComponentSliderVariable>() } },
        { QStringLiteral("dimCount"), { "KELComponentDimensionCountVariable", factory<KELComponentDimensionCountVariable>() } },
        { QStringLiteral("table"), { "KELComponentTableVariable", factory<KELComponentTableVariable>() } },
    };
    return table;
}

std::optional<qint64> integerAttribute(const KELXMLNode& node, const char* name)
{
    const std::optional<QString> text = node.valueForAttribute(QString::fromLatin1(name));
    if (!text)
        return std::nullopt;
    return scanInteger(*text).value_or(0);
}

bool isTrue(const std::optional<QString>& text)
{
    return text && text->compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

const KELComponentSelectOption* defaultOf(const QList<KELComponentSelectOption>& options)
{
    for (const KELComponentSelectOption& option : options) {
        if (option.isDefault())
            return &option;
    }
    return options.isEmpty() ? nullptr : &options.first();
}

} // namespace

KELComponentSelectOption::KELComponentSelectOption(const KELXMLNode& node)
{
    m_name = node.valueForAttribute(QStringLiteral("name")).value_or(QString());
    m_value = node.valueForAttribute(QStringLiteral("value")).value_or(QString());
    m_isDefault = isTrue(node.valueForAttribute(QStringLiteral("default")));
}

KELComponentTableColumn::KELComponentTableColumn(const KELXMLNode& node)
{
    m_keyPath = node.valueForAttribute(QStringLiteral("keyPath")).value_or(QString());
    m_name = node.valueForAttribute(QStringLiteral("name")).value_or(QString());
    m_width = integerAttribute(node, "width");
}

KELComponentVariable::~KELComponentVariable() = default;

QString KELComponentVariable::concreteSubclassForVarName(const QString& elementName)
{
    const auto found = kinds().constFind(elementName);
    return found == kinds().cend() ? QString() : QString::fromLatin1(found->className);
}

std::unique_ptr<KELComponentVariable> KELComponentVariable::variableWithNode(const KELXMLNode& node)
{
    if (node.isTextNode())
        return nullptr;
    const auto found = kinds().constFind(node.nodeName());
    if (found == kinds().cend())
        return nullptr;
    std::unique_ptr<KELComponentVariable> variable = found->make();
    variable->m_className = QString::fromLatin1(found->className);
    variable->initVariableWithNode(node);
    return variable;
}

void KELComponentVariable::initVariableWithNode(const KELXMLNode& node)
{
    m_nameExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("name"));
    m_varName = node.valueForAttribute(QStringLiteral("var"));
    m_enabledExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("enabled"));
    m_hiddenExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("hidden"));
    readAttributes(node);
    for (const KELXMLNode& child : node.childNodes()) {
        if (!child.isTextNode())
            readChildNode(child);
    }
}

void KELComponentVariable::readChildNode(const KELXMLNode& node)
{
    const QString name = node.nodeName();
    if (name == QLatin1String("dependency")) {
        if (const std::optional<QString> keyPath = node.valueForAttribute(QStringLiteral("keyPath")))
            m_keyPathDependencies.append(*keyPath);
        else
            kit::log(QStringLiteral("dependency does not specify key path for variable %1").arg(keyForLog()));
        return;
    }
    if (name == QLatin1String("formatter")) {
        m_formatter = KELFormatter::formatterWithNode(node);
        return;
    }
    kit::log(QStringLiteral("Failed to read node in variable %1 with name %2").arg(keyForLog(), name));
}

void KELComponentVariableGroup::readAttributes(const KELXMLNode& node)
{
    const QString type = node.valueForAttribute(QStringLiteral("groupType")).value_or(QString()).toLower();
    m_groupType = type == QLatin1String("scrolling") ? Scrolling
        : type == QLatin1String("accordion")         ? Accordion
        : type == QLatin1String("collapsible")       ? Collapsible
                                                     : Regular;
}

void KELComponentVariableGroup::readChildNode(const KELXMLNode& node)
{
    if (std::unique_ptr<KELComponentVariable> variable = variableWithNode(node))
        m_variables.push_back(std::move(variable));
    else
        KELComponentVariable::readChildNode(node);
}

const KELComponentSelectOption* KELComponentSelectVariable::defaultOption() const
{
    return defaultOf(m_options);
}

void KELComponentSelectVariable::readChildNode(const KELXMLNode& node)
{
    if (node.nodeName() == QLatin1String("option"))
        m_options.append(KELComponentSelectOption(node));
    else
        KELComponentVariable::readChildNode(node);
}

void KELComponentTextVariable::readAttributes(const KELXMLNode& node)
{
    m_defaultExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("default"));
    m_lines = std::max<qint64>(1, integerAttribute(node, "lines").value_or(1));
}

void KELComponentFontVariable::readAttributes(const KELXMLNode& node)
{
    m_defaultFontName = node.valueForAttribute(QStringLiteral("defaultFontName"));
    m_defaultFontSize = integerAttribute(node, "defaultFontSize");
}

void KELComponentColorVariable::readAttributes(const KELXMLNode& node)
{
    m_defaultValueExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("defaultValue"));
    m_opacity = isTrue(node.valueForAttribute(QStringLiteral("opacity")));
    m_defaultOpacity = integerAttribute(node, "defaultOpacity");
}

void KELComponentCountVariable::readAttributes(const KELXMLNode& node)
{
    m_unitLabel = node.valueForAttribute(QStringLiteral("unitLabel"));
    m_defaultCount = integerAttribute(node, "defaultCount");
    m_minCount = integerAttribute(node, "minCount");
    m_maxCount = integerAttribute(node, "maxCount");
}

const KELComponentSelectOption* KELComponentDimensionCountVariable::defaultOption() const
{
    return defaultOf(m_options);
}

void KELComponentDimensionCountVariable::readChildNode(const KELXMLNode& node)
{
    if (node.nodeName() == QLatin1String("option"))
        m_options.append(KELComponentSelectOption(node));
    else
        KELComponentCountVariable::readChildNode(node);
}

void KELComponentIndexedVariable::readAttributes(const KELXMLNode& node)
{
    m_countExpression = std::make_unique<KELComponentExpression>(node.valueForAttribute(QStringLiteral("count")));
    const QString type = node.valueForAttribute(QStringLiteral("type")).value_or(QString()).toLower();
    m_indexedType = type == QLatin1String("regular") ? Regular
        : type == QLatin1String("collapsible")       ? Collapsible
        : type == QLatin1String("dropdown")          ? Dropdown
                                                     : None;
}

void KELComponentIndexedVariable::readChildNode(const KELXMLNode& node)
{
    if (!m_indexedVariable) {
        if (std::unique_ptr<KELComponentVariable> variable = variableWithNode(node)) {
            m_indexedVariable = std::move(variable);
            return;
        }
    }
    KELComponentVariable::readChildNode(node);
}

void KELComponentTableVariable::readAttributes(const KELXMLNode& node)
{
    KELComponentIndexedVariable::readAttributes(node);
    if (const std::optional<QString> detail = node.valueForAttribute(QStringLiteral("showDetail")))
        m_showDetail = isTrue(detail);
    m_smallSize = node.valueForAttribute(QStringLiteral("size")) == QStringLiteral("small");
    m_rowHeight = integerAttribute(node, "rowHeight");
}

void KELComponentTableVariable::readChildNode(const KELXMLNode& node)
{
    if (node.nodeName() == QLatin1String("column"))
        m_columns.append(KELComponentTableColumn(node));
    else
        KELComponentIndexedVariable::readChildNode(node);
}

void KELComponentImageFileVariable::readAttributes(const KELXMLNode& node)
{
    m_defaultMaxWidthExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("defaultMaxWidth"));
    m_defaultMaxHeightExpression = KELComponentExpression::fromAttribute(node, QStringLiteral("defaultMaxHeight"));
    m_useDefaultImage = isTrue(node.valueForAttribute(QStringLiteral("useDefaultImage")));
    if (const std::optional<QString> show = node.valueForAttribute(QStringLiteral("showDimensions")))
        m_showDimensions = isTrue(show);
    m_defaultWidth = integerAttribute(node, "defaultWidth");
}

void KELComponentCheckboxVariable::readAttributes(const KELXMLNode& node)
{
    m_defaultValue = isTrue(node.valueForAttribute(QStringLiteral("defaultValue")));
}

void KELComponentSliderVariable::readAttributes(const KELXMLNode& node)
{
    m_unitLabel = node.valueForAttribute(QStringLiteral("unitLabel"));
    m_defaultValue = integerAttribute(node, "defaultValue");
    m_minValue = integerAttribute(node, "minValue");
    m_maxValue = integerAttribute(node, "maxValue");
    m_incrementAmount = integerAttribute(node, "incrementAmount");
}
