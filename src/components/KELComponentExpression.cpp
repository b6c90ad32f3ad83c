#include "components/KELComponentExpression.h"

#include "components/KELExpressionEvaluator.h"
#include "kit/Log.h"
#include "support/KELXMLNode.h"

KELComponentExpression::KELComponentExpression(const std::optional<QString>& text)
{
    if (!text)
        return;
    m_expressionString = *text;
    const QString& s = m_expressionString;
    // A part runs from "${" to the first "}" after it; a text has no way to put a
    // "}" inside a part.
    qsizetype position = 0;
    while (position < s.size()) {
        const qsizetype open = s.indexOf(QStringLiteral("${"), position);
        const qsizetype close = open < 0 ? -1 : s.indexOf(QLatin1Char('}'), open + 2);
        if (close < 0)
            break;
        if (open > position)
            m_parts.emplace_back(s.mid(position, open - position));
        const QString inside = s.mid(open + 2, close - open - 2);
        if (!inside.isEmpty()) {
            if (std::shared_ptr<KELExpression> expression = KELExpressionEvaluator::sharedInstance().parse(inside))
                m_parts.emplace_back(std::move(expression));
            else
                kit::log(QStringLiteral("Expression could not be parsed: %1").arg(inside));
        }
        position = close + 1;
    }
    if (position < s.size())
        m_parts.emplace_back(s.mid(position));
}

std::unique_ptr<KELComponentExpression> KELComponentExpression::fromAttribute(const KELXMLNode& node, const QString& name)
{
    const std::optional<QString> text = node.valueForAttribute(name);
    if (!text)
        return nullptr;
    return std::make_unique<KELComponentExpression>(text);
}

QVariant KELComponentExpression::evaluateWithResolver(KELComponentResolver& resolver) const
{
    KELComponentExpressionDataSource dataSource(resolver);
    return evaluateWithDataSource(dataSource);
}

QVariant KELComponentExpression::evaluateWithDataSource(kit::KeyValueObject& dataSource) const
{
    if (m_parts.empty())
        return QVariant();
    if (m_parts.size() == 1) {
        if (const auto* expression = std::get_if<std::shared_ptr<KELExpression>>(&m_parts.front()))
            return (*expression)->evaluateWithDataSource(dataSource);
    }
    QString joined;
    for (const Part& part : m_parts) {
        if (const auto* text = std::get_if<QString>(&part))
            joined += *text;
        else
            joined += KELExpression::stringValue(std::get<std::shared_ptr<KELExpression>>(part)->evaluateWithDataSource(dataSource));
        if (joined.size() > KELExpression::MaximumStringLength)
            return QVariant();
    }
    return joined;
}
