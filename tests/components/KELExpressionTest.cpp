#include "components/KELExpression.h"
#include "components/KELExpressionEvaluator.h"

#include "ComponentTestSupport.h"

#include <gtest/gtest.h>

#include <QUrl>

namespace {

using kit::KeyValueObject;

// An indexed object, as an indexed variable editor is.
class Items : public KeyValueObject, public KELExpressionIndexed {
public:
    QVariantList items;
    qsizetype count() const override { return items.size(); }
    QVariant objectAtIndex(qsizetype index) const override { return index < items.size() ? items.at(index) : QVariant(); }
    QVariant value(const QString& key) const override
    {
        if (key == QLatin1String("count"))
            return qlonglong(items.size());
        return KeyValueObject::value(key);
    }
};

std::shared_ptr<KeyValueObject> makeSource()
{
    auto source = std::make_shared<KeyValueObject>();
    auto title = std::make_shared<KeyValueObject>();
    title->setValue(QStringLiteral("value"), QStringLiteral("Hello"));
    auto count = std::make_shared<KeyValueObject>();
    count->setValue(QStringLiteral("count"), qlonglong(3));
    auto first = std::make_shared<KeyValueObject>();
    first->setValue(QStringLiteral("x"), QStringLiteral("10"));
    auto rows = std::make_shared<Items>();
    rows->items = { KeyValueObject::fromObject(first), QStringLiteral("second") };
    source->setValue(QStringLiteral("title"), KeyValueObject::fromObject(title));
    source->setValue(QStringLiteral("regionCount"), KeyValueObject::fromObject(count));
    source->setValue(QStringLiteral("rows"), KeyValueObject::fromObject(rows));
    source->setValue(QStringLiteral("list"), QVariantList { qlonglong(5), qlonglong(6) });
    source->setValue(QStringLiteral("n"), qlonglong(4));
    source->setValue(QStringLiteral("half"), 2.5);
    source->setValue(QStringLiteral("word"), QStringLiteral("abc"));
    source->setValue(QStringLiteral("numeral"), QStringLiteral("7"));
    source->setValue(QStringLiteral("url"), QUrl(QStringLiteral("http://example.com/a b")));
    return source;
}

QVariant evaluate(const QString& text, KeyValueObject& source)
{
    const auto expression = KELExpressionEvaluator::sharedInstance().parse(text);
    if (!expression)
        return QStringLiteral("<rejected>");
    return expression->evaluateWithDataSource(source);
}

// The text of a result, with its kind: numbers and booleans keep apart from texts.
QString show(const QVariant& value)
{
    if (!value.isValid())
        return QStringLiteral("nil");
    if (value.metaType().id() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (value.metaType().id() == QMetaType::QString)
        return QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
    return KELExpression::stringValue(value);
}

} // namespace

TEST(KELExpressionTest, ExpressionsEvaluateAgainstADataSource)
{
    struct Case {
        const char* expression;
        const char* result;
    };
    const Case cases[] = {
        // Literals.
        { "42", "42" }, { "2.5", "2.5" }, { "1e3", "1000" }, { "'it''s'", "'<rejected>'" }, { "'a\\'b'", "'a'b'" },
        { "\"dq\"", "'dq'" }, { "true", "true" }, { "false", "false" }, { "nil", "nil" }, { "null", "nil" },
        { "99999999999999999999", "1e+20" },
        // Key paths, members and indexing; nil for whatever is missing.
        { "title.value", "'Hello'" }, { "regionCount.count", "3" }, { "missing", "nil" }, { "missing.value", "nil" },
        { "word.length", "nil" }, { "n.value", "nil" }, { "rows[0].x", "'10'" }, { "rows[1]", "'second'" },
        { "rows[2]", "nil" }, { "rows[-1]", "nil" }, { "rows[n - 3]", "'second'" }, { "rows.count", "2" },
        { "list[1]", "6" }, { "list.count", "2" }, { "(title).value", "'Hello'" }, { "word[0]", "nil" },
        // Arithmetic: integers while exact, nil for what has no value.
        { "1 + 2 * 3", "7" }, { "(1 + 2) * 3", "9" }, { "7 / 2", "3.5" }, { "8 / 2", "4" }, { "7 % 3", "1" },
        { "-7 % 3", "-1" }, { "1 / 0", "nil" }, { "1 % 0", "nil" }, { "1.5 / 0", "nil" }, { "2.5 * 2", "5" },
        { "half + 1", "3.5" }, { "-n", "-4" }, { "- -n", "4" }, { "+numeral", "7" }, { "n - numeral", "-3" },
        { "missing + 1", "1" }, { "word - 1", "nil" }, { "9223372036854775807 + 1", "9223372036854775808" },
        { "(0 - 9223372036854775807 - 1) / -1", "nil" }, { "(0 - 9223372036854775807 - 1) % -1", "0" },
        { "0.1 + 0.2", "0.30000000000000004" },
        // Texts join with +.
        { "'a' + 1", "'a1'" }, { "1 + 'a'", "'1a'" }, { "word + missing", "'abc'" }, { "'x' + 2.0", "'x2'" },
        { "'v' + true", "'v1'" }, { "'' + url", "'http://example.com/a%20b'" },
        // Comparisons.
        { "n < 5", "true" }, { "n >= 4", "true" }, { "n > 4", "false" }, { "numeral == 7", "true" },
        { "numeral < 10", "true" }, { "'10' < '9'", "true" }, { "word == 'abc'", "true" }, { "word != 'abd'", "true" },
        { "missing == nil", "true" }, { "missing == 0", "false" }, { "missing < 1", "true" }, { "1 == 1.0", "true" },
        { "title == title", "true" }, { "title == regionCount", "false" }, { "title < regionCount", "false" },
        // Logic and truth: any non-empty text is true.
        { "!missing", "true" }, { "!'false'", "false" }, { "!'0'", "false" }, { "!''", "true" }, { "!0", "true" },
        { "!0.0", "true" }, { "!title", "false" }, { "n > 1 && word", "true" }, { "missing || 0", "false" },
        { "n == 4 ? 'four' : 'other'", "'four'" }, { "missing ? 1 : n ? 2 : 3", "2" },
        // Precedence: comparison below arithmetic, && below ==, || below &&.
        { "1 + 1 == 2 && 2 * 2 == 4 || false", "true" }, { "1 < 2 == true", "true" },
    };
    auto source = makeSource();
    for (const Case& c : cases)
        EXPECT_EQ(show(evaluate(QString::fromUtf8(c.expression), *source)), QString::fromUtf8(c.result)) << c.expression;
}

TEST(KELExpressionTest, AssignmentsStoreUnderBareNamesOnly)
{
    auto source = makeSource();
    EXPECT_EQ(show(evaluate(QStringLiteral("i = 0"), *source)), QStringLiteral("0"));
    // The loop pattern of the templates: init, test, step.
    int rounds = 0;
    while (KELExpression::booleanValue(evaluate(QStringLiteral("i < regionCount.count"), *source)) && rounds < 10) {
        evaluate(QStringLiteral("i = i + 1"), *source);
        ++rounds;
    }
    EXPECT_EQ(rounds, 3);
    EXPECT_EQ(show(evaluate(QStringLiteral("i++"), *source)), QStringLiteral("3"));
    EXPECT_EQ(show(source->value(QStringLiteral("i"))), QStringLiteral("4"));
    evaluate(QStringLiteral("s = 'a'"), *source);
    evaluate(QStringLiteral("s += 'b'"), *source);
    evaluate(QStringLiteral("j = k = 2"), *source);
    EXPECT_EQ(show(source->value(QStringLiteral("s"))), QStringLiteral("'ab'"));
    EXPECT_EQ(show(source->value(QStringLiteral("j"))), QStringLiteral("2"));

    // Nothing but a bare name takes a value: these never parse, so nothing is written.
    for (const char* text : { "title.value = 'x'", "rows[0] = 1", "(i) = 2", "1 = 2", "title.value++", "i = ", "'a' = 1" })
        EXPECT_EQ(KELExpressionEvaluator::sharedInstance().parse(QString::fromLatin1(text)), nullptr) << text;
    EXPECT_EQ(source->valueForKeyPath(QStringLiteral("title.value")).toString(), QStringLiteral("Hello"));
}

TEST(KELExpressionTest, MalformedAndHostileTextIsRejectedOrBounded)
{
    for (const char* text : { "", "  ", "1 +", "(1", "1)", "a..b", "a.", "[1]", "'open", "1 ? 2", "a b", "#", "a[1",
             "!", "a.1", "&&", "1 +* 2", "}" })
        EXPECT_EQ(KELExpressionEvaluator::sharedInstance().parse(QString::fromLatin1(text)), nullptr) << text;

    // Deep nesting and very long chains are refused, not recursed into without end.
    const int deep = 10000;
    EXPECT_EQ(KELExpressionEvaluator::sharedInstance().parse(QString(deep, QLatin1Char('(')) + QLatin1Char('1') + QString(deep, QLatin1Char(')'))), nullptr);
    EXPECT_EQ(KELExpressionEvaluator::sharedInstance().parse(QString(deep, QLatin1Char('!')) + QLatin1Char('1')), nullptr);
    QString chain = QStringLiteral("1");
    for (int i = 0; i < deep; ++i)
        chain += QStringLiteral("+1");
    EXPECT_EQ(KELExpressionEvaluator::sharedInstance().parse(chain), nullptr);
    // Moderate nesting is fine.
    EXPECT_NE(KELExpressionEvaluator::sharedInstance().parse(QString(20, QLatin1Char('(')) + QLatin1Char('1') + QString(20, QLatin1Char(')'))), nullptr);

    // A text that doubles in a loop stops growing at the limit (nil), it does not exhaust memory.
    auto source = makeSource();
    evaluate(QStringLiteral("s = 'abcdefgh'"), *source);
    for (int i = 0; i < 40; ++i)
        evaluate(QStringLiteral("s = s + s"), *source);
    EXPECT_LE(source->value(QStringLiteral("s")).toString().size(), KELExpression::MaximumStringLength);
}

TEST(KELExpressionTest, ValuesReadAsTextAndIntegersTheTemplateWay)
{
    struct Case {
        QVariant value;
        const char* text;
        qint64 integer;
        bool truth;
    };
    const Case cases[] = {
        { QVariant(), "", 0, false },
        { 3.0, "3", 3, true },
        { 2.5, "2.5", 2, true },
        { -0.75, "-0.75", 0, true },
        { true, "1", 1, true },
        { false, "0", 0, false },
        { qlonglong(-12), "-12", -12, true },
        { QStringLiteral("12px"), "12px", 12, true },
        { QStringLiteral("  -3 apples"), "  -3 apples", -3, true },
        { QStringLiteral("false"), "false", 0, true },
        { QStringLiteral("0"), "0", 0, true },
        { QStringLiteral(""), "", 0, false },
        { QStringLiteral("99999999999999999999"), "99999999999999999999", std::numeric_limits<qint64>::max(), true },
        { 1e300, "1e+300", std::numeric_limits<qint64>::max(), true },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(KELExpression::stringValue(c.value), QString::fromUtf8(c.text)) << c.text;
        EXPECT_EQ(KELExpression::integerValue(c.value), c.integer) << c.text;
        EXPECT_EQ(KELExpression::booleanValue(c.value), c.truth) << c.text;
    }
}
