#include "components/KELExpression.h"

#include "components/KELExpressionNode.h"

#include <QColor>
#include <QUrl>

#include <charconv>
#include <cmath>
#include <limits>
#include <optional>

namespace {

// A value as a number: integers stay integers while they can.
struct Number {
    bool valid = false;
    bool isInteger = true;
    qint64 integer = 0;
    double real = 0;
    double asDouble() const { return isInteger ? double(integer) : real; }
};

Number integerNumber(qint64 value)
{
    Number n;
    n.valid = true;
    n.integer = value;
    return n;
}

Number realNumber(double value)
{
    Number n;
    n.valid = std::isfinite(value);
    n.isInteger = false;
    n.real = value;
    return n;
}

QVariant toVariant(const Number& n)
{
    if (!n.valid)
        return QVariant();
    if (n.isInteger)
        return qlonglong(n.integer);
    return n.real;
}

// A text that is wholly a number (blanks around it allowed).
Number numberFromText(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return Number();
    bool ok = false;
    const qlonglong integer = trimmed.toLongLong(&ok);
    if (ok)
        return integerNumber(integer);
    const double real = trimmed.toDouble(&ok);
    if (ok)
        return realNumber(real);
    return Number();
}

// nil reads as 0 in arithmetic, a text only when it is wholly a number.
Number toNumber(const QVariant& value)
{
    if (!value.isValid())
        return integerNumber(0);
    switch (value.metaType().id()) {
    case QMetaType::Bool:
        return integerNumber(value.toBool() ? 1 : 0);
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
        return integerNumber(value.toLongLong());
    case QMetaType::ULongLong: {
        const qulonglong u = value.toULongLong();
        if (u > qulonglong(std::numeric_limits<qint64>::max()))
            return realNumber(double(u));
        return integerNumber(qint64(u));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        return realNumber(value.toDouble());
    case QMetaType::QString:
        return numberFromText(value.toString());
    default:
        return Number();
    }
}

bool isText(const QVariant& value)
{
    return value.metaType().id() == QMetaType::QString;
}

QVariant textResult(QString text)
{
    if (text.size() > KELExpression::MaximumStringLength)
        return QVariant();
    return text;
}

QVariant arithmetic(const QString& op, const QVariant& left, const QVariant& right)
{
    if (op == QLatin1String("+") && (isText(left) || isText(right)))
        return textResult(KELExpression::stringValue(left) + KELExpression::stringValue(right));
    const Number a = toNumber(left);
    const Number b = toNumber(right);
    if (!a.valid || !b.valid)
        return QVariant();
    const char o = op.at(0).toLatin1();
    if (a.isInteger && b.isInteger) {
        qint64 result = 0;
        switch (o) {
        case '+':
            if (!__builtin_add_overflow(a.integer, b.integer, &result))
                return qlonglong(result);
            break;
        case '-':
            if (!__builtin_sub_overflow(a.integer, b.integer, &result))
                return qlonglong(result);
            break;
        case '*':
            if (!__builtin_mul_overflow(a.integer, b.integer, &result))
                return qlonglong(result);
            break;
        case '/':
            if (b.integer == 0 || (a.integer == std::numeric_limits<qint64>::min() && b.integer == -1))
                return QVariant();
            if (a.integer % b.integer == 0)
                return qlonglong(a.integer / b.integer);
            return double(a.integer) / double(b.integer);
        case '%':
            if (b.integer == 0)
                return QVariant();
            if (b.integer == -1)
                return qlonglong(0);
            return qlonglong(a.integer % b.integer);
        }
    }
    const double x = a.asDouble();
    const double y = b.asDouble();
    switch (o) {
    case '+':
        return toVariant(realNumber(x + y));
    case '-':
        return toVariant(realNumber(x - y));
    case '*':
        return toVariant(realNumber(x * y));
    case '/':
        return y == 0 ? QVariant() : toVariant(realNumber(x / y));
    case '%':
        return y == 0 ? QVariant() : toVariant(realNumber(std::fmod(x, y)));
    }
    return QVariant();
}

bool isNumeric(const QVariant& value)
{
    return KELExpression::isNumber(value);
}

bool equal(const QVariant& left, const QVariant& right)
{
    if (!left.isValid() || !right.isValid())
        return !left.isValid() && !right.isValid();
    const bool leftNumber = isNumeric(left);
    const bool rightNumber = isNumeric(right);
    if (leftNumber || rightNumber) {
        const Number a = toNumber(left);
        const Number b = toNumber(right);
        if (a.valid && b.valid && (leftNumber || isText(left)) && (rightNumber || isText(right))) {
            if (a.isInteger && b.isInteger)
                return a.integer == b.integer;
            return a.asDouble() == b.asDouble();
        }
        if (isText(left) || isText(right))
            return KELExpression::stringValue(left) == KELExpression::stringValue(right);
        return false;
    }
    if (isText(left) && isText(right))
        return left.toString() == right.toString();
    const kit::KeyValueObjectPtr a = kit::KeyValueObject::toObject(left);
    const kit::KeyValueObjectPtr b = kit::KeyValueObject::toObject(right);
    if (a || b)
        return a == b;
    return left == right;
}

// -1, 0 or 1; nullopt when the two do not order (objects, lists).
std::optional<int> order(const QVariant& left, const QVariant& right)
{
    const bool leftNumber = isNumeric(left) || (!left.isValid() && isNumeric(right));
    const bool rightNumber = isNumeric(right) || (!right.isValid() && isNumeric(left));
    if (leftNumber || rightNumber) {
        const Number a = toNumber(left);
        const Number b = toNumber(right);
        if (a.valid && b.valid) {
            if (a.isInteger && b.isInteger)
                return a.integer < b.integer ? -1 : a.integer > b.integer ? 1 : 0;
            const double x = a.asDouble();
            const double y = b.asDouble();
            if (std::isnan(x) || std::isnan(y))
                return std::nullopt;
            return x < y ? -1 : x > y ? 1 : 0;
        }
    }
    const bool leftText = isText(left) || !left.isValid();
    const bool rightText = isText(right) || !right.isValid();
    if ((leftText || leftNumber) && (rightText || rightNumber)) {
        const int c = KELExpression::stringValue(left).compare(KELExpression::stringValue(right));
        return c < 0 ? -1 : c > 0 ? 1 : 0;
    }
    return std::nullopt;
}

QVariant member(const QVariant& value, const QString& name)
{
    if (const kit::KeyValueObjectPtr object = kit::KeyValueObject::toObject(value))
        return object->value(name);
    if (value.metaType().id() == QMetaType::QVariantMap)
        return value.toMap().value(name);
    if (value.metaType().id() == QMetaType::QVariantList && name == QLatin1String("count"))
        return qlonglong(value.toList().size());
    return QVariant();
}

QVariant indexed(const QVariant& value, const QVariant& indexValue)
{
    const Number n = toNumber(indexValue);
    if (!indexValue.isValid() || !n.valid)
        return QVariant();
    const qint64 index = n.isInteger ? n.integer : qint64(n.real);
    if (index < 0)
        return QVariant();
    if (value.metaType().id() == QMetaType::QVariantList) {
        const QVariantList list = value.toList();
        return index < list.size() ? list.at(index) : QVariant();
    }
    if (const kit::KeyValueObjectPtr object = kit::KeyValueObject::toObject(value)) {
        if (const auto* items = dynamic_cast<const KELExpressionIndexed*>(object.get()))
            return items->objectAtIndex(index);
    }
    return QVariant();
}

QVariant evaluate(const KELExpressionNode& node, kit::KeyValueObject& source)
{
    switch (node.kind) {
    case KELExpressionNode::Literal:
        return node.literal;
    case KELExpressionNode::KeyPath: {
        if (!node.name.contains(QLatin1Char('.')))
            return source.value(node.name);
        // The data source answers the whole path first (it may hold it as one name);
        // otherwise the path goes step by step, through lists and maps as well.
        const QVariant whole = source.valueForKeyPath(node.name);
        if (whole.isValid())
            return whole;
        const QStringList keys = node.name.split(QLatin1Char('.'));
        QVariant value = source.value(keys.first());
        for (qsizetype i = 1; i < keys.size() && value.isValid(); ++i)
            value = member(value, keys.at(i));
        return value;
    }
    case KELExpressionNode::Member:
        return member(evaluate(*node.a, source), node.name);
    case KELExpressionNode::Index: {
        const QVariant base = evaluate(*node.a, source);
        return indexed(base, evaluate(*node.b, source));
    }
    case KELExpressionNode::Unary: {
        const QVariant operand = evaluate(*node.a, source);
        if (node.op == QLatin1String("!"))
            return !KELExpression::booleanValue(operand);
        if (node.op == QLatin1String("-"))
            return arithmetic(QStringLiteral("-"), qlonglong(0), operand);
        return toVariant(toNumber(operand));
    }
    case KELExpressionNode::Binary: {
        const QVariant left = evaluate(*node.a, source);
        const QVariant right = evaluate(*node.b, source);
        const QString& op = node.op;
        if (op == QLatin1String("=="))
            return equal(left, right);
        if (op == QLatin1String("!="))
            return !equal(left, right);
        if (op.startsWith(QLatin1Char('<')) || op.startsWith(QLatin1Char('>'))) {
            const std::optional<int> c = order(left, right);
            if (!c)
                return false;
            if (op == QLatin1String("<"))
                return *c < 0;
            if (op == QLatin1String("<="))
                return *c <= 0;
            if (op == QLatin1String(">"))
                return *c > 0;
            return *c >= 0;
        }
        return arithmetic(op, left, right);
    }
    case KELExpressionNode::And:
        return KELExpression::booleanValue(evaluate(*node.a, source)) && KELExpression::booleanValue(evaluate(*node.b, source));
    case KELExpressionNode::Or:
        return KELExpression::booleanValue(evaluate(*node.a, source)) || KELExpression::booleanValue(evaluate(*node.b, source));
    case KELExpressionNode::Conditional:
        return KELExpression::booleanValue(evaluate(*node.a, source)) ? evaluate(*node.b, source) : evaluate(*node.c, source);
    case KELExpressionNode::Assign: {
        QVariant value = evaluate(*node.a, source);
        if (node.op != QLatin1String("="))
            value = arithmetic(node.op.left(1), source.value(node.name), value);
        source.setValue(node.name, value);
        return value;
    }
    case KELExpressionNode::Step: {
        const QVariant old = source.value(node.name);
        source.setValue(node.name, arithmetic(node.op.left(1), old, qlonglong(1)));
        return old;
    }
    }
    return QVariant();
}

} // namespace

KELExpression::KELExpression(std::unique_ptr<KELExpressionNode> root) : m_root(std::move(root)) { }

KELExpression::~KELExpression() = default;

QVariant KELExpression::evaluateWithDataSource(kit::KeyValueObject& dataSource) const
{
    return evaluate(*m_root, dataSource);
}

bool KELExpression::isNumber(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::UShort:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

bool KELExpression::booleanValue(const QVariant& value)
{
    if (!value.isValid())
        return false;
    if (isNumber(value)) {
        const Number n = toNumber(value);
        return n.isInteger ? n.integer != 0 : (n.real != 0 && !std::isnan(n.real));
    }
    if (isText(value))
        return !value.toString().isEmpty();
    return true;
}

QString KELExpression::formatDouble(double value)
{
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    if (value == std::trunc(value) && std::fabs(value) < 1e15)
        return QString::number(qint64(value));
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString KELExpression::stringValue(const QVariant& value)
{
    if (!value.isValid())
        return QString();
    switch (value.metaType().id()) {
    case QMetaType::QString:
        return value.toString();
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::Double:
    case QMetaType::Float:
        return formatDouble(value.toDouble());
    case QMetaType::QUrl:
        return value.toUrl().toString(QUrl::FullyEncoded);
    case QMetaType::QColor:
        return value.value<QColor>().name(QColor::HexRgb);
    case QMetaType::QVariantList: {
        QStringList parts;
        for (const QVariant& item : value.toList())
            parts.append(stringValue(item));
        return parts.join(QStringLiteral(", "));
    }
    default:
        break;
    }
    if (isNumber(value))
        return value.toString();
    if (const kit::KeyValueObjectPtr object = kit::KeyValueObject::toObject(value))
        return object->description();
    return value.toString();
}

qint64 KELExpression::integerValue(const QVariant& value)
{
    if (!value.isValid())
        return 0;
    if (isNumber(value)) {
        const Number n = toNumber(value);
        if (n.isInteger)
            return n.integer;
        if (!std::isfinite(n.real))
            return 0;
        if (n.real >= 9.2e18)
            return std::numeric_limits<qint64>::max();
        if (n.real <= -9.2e18)
            return std::numeric_limits<qint64>::min();
        return qint64(n.real);
    }
    // The leading integer of the text, saturated; 0 without one.
    const QString text = stringValue(value);
    qsizetype i = 0;
    while (i < text.size() && text.at(i).isSpace())
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+')))
        ++i;
    const qsizetype digitsStart = i;
    while (i < text.size() && text.at(i) >= QLatin1Char('0') && text.at(i) <= QLatin1Char('9'))
        ++i;
    if (i == digitsStart)
        return 0;
    bool ok = false;
    const qlonglong result = QStringView(text).mid(start, i - start).toLongLong(&ok);
    if (ok)
        return result;
    return text.at(start) == QLatin1Char('-') ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
}
