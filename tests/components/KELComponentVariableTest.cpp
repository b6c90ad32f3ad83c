#include "components/KELComponentVariable.h"

#include "ComponentTestSupport.h"
#include "components/KELFormatter.h"
#include "kit/Log.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace componenttest;

namespace {

std::unique_ptr<KELComponentDefinition> readVariables(QTemporaryDir& dir, const QString& variables)
{
    auto component = makeComponent(dir.path(), QStringLiteral("V"), QStringLiteral("<c:varGroup>%1</c:varGroup>").arg(variables));
    return KELComponentDefinition::definitionWithComponent(component);
}

template <typename T>
const T* variableAt(const KELComponentDefinition& definition, size_t index)
{
    return dynamic_cast<const T*>(definition.variableGroup()->variables().at(index).get());
}

} // namespace

TEST(KELComponentVariableTest, FormattersCleanWhatIsTyped)
{
    KELIntFormatter integers;
    integers.setMinValue(1);
    integers.setMaxValue(10);
    KELDoubleFormatter decimals;
    decimals.minPrecision = 2;
    decimals.maxPrecision = 3;
    KELDoubleFormatter whole;
    whole.maxPrecision = 0;
    KELDoubleFormatter bounded;
    bounded.minValue = -1.5;
    bounded.maxValue = 1e6;
    KELStringFormatter three;
    three.maxLength = 3;
    KELStringFormatter none;
    none.maxLength = 0;
    const KELCSSIdFormatter ids;
    const KELCSSIdFormatter lowerIds(true);

    struct Case {
        const KELFormatter* formatter;
        std::optional<QString> in;
        std::optional<QString> out;
    };
    const auto s = [](const char* text) { return std::optional<QString>(QString::fromUtf8(text)); };
    const Case cases[] = {
        { &integers, s("0"), s("1") }, { &integers, s("25"), s("10") }, { &integers, s("abc"), std::nullopt },
        { &integers, s(" 7px"), s("7") }, { &integers, s("99999999999999999999999"), s("10") },
        { &integers, s("-99999999999999999999999"), s("1") }, { &integers, std::nullopt, std::nullopt },
        { &decimals, s("3"), s("3.00") }, { &decimals, s("2.5"), s("2.50") }, { &decimals, s("1.23456"), s("1.234") },
        { &decimals, s("nan"), std::nullopt }, { &decimals, s("inf"), std::nullopt }, { &decimals, s("1e999"), std::nullopt },
        { &whole, s("7.9"), s("7") }, { &whole, s("12"), s("12") }, { &bounded, s("-3"), s("-1.5") },
        { &bounded, s("5e7"), s("1000000") }, { &bounded, s("0.25em"), s("0.25") },
        { &three, s("abcdef"), s("abc") }, { &three, s("ab"), s("ab") }, { &none, s("x"), s("") },
        // A cut never leaves half of a surrogate pair.
        { &three, QString::fromUtf8("ab\xF0\x9F\x98\x80"), s("ab") },
        { &ids, s("My Header!"), s("MyHeader") }, { &lowerIds, s("My Header!"), s("myheader") }, { &ids, s("1st"), std::nullopt },
        { &ids, s(""), std::nullopt }, { &ids, s("a/../b"), s("ab") },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.formatter->formatString(c.in), c.out) << c.in.value_or(QStringLiteral("(none)")).toStdString();
}

TEST(KELComponentVariableTest, KindsAttributesAndDefaults)
{
    QTemporaryDir dir;
    kit::LogCapture log;
    auto definition = readVariables(dir,
        QStringLiteral("<c:text var=\"a\" lines=\"0\" default=\"x${1+1}\"/>"
                       "<c:text var=\"b\" lines=\"-4\"/>"
                       "<c:text var=\"c\" lines=\"5\"><c:formatter type=\"String\" maxLength=\"4\"/><c:dependency keyPath=\"a.value\"/></c:text>"
                       "<c:indexedVar var=\"items\" count=\"${n}\"><c:text var=\"t\"/><c:text var=\"second\"/></c:indexedVar>"
                       "<c:table var=\"rows\" showDetail=\"no\" size=\"small\"><c:column keyPath=\"name.value\" name=\"Name\" width=\"80\"/><c:group/></c:table>"
                       "<c:select var=\"s\"><c:option name=\"A\" value=\"a\"/><c:option name=\"B\" value=\"b\" default=\"TRUE\"/></c:select>"
                       "<c:select var=\"plain\"><c:option name=\"A\" value=\"a\"/></c:select>"
                       "<c:select var=\"empty\"/>"
                       "<c:group groupType=\"Accordion\"><c:checkbox var=\"on\" defaultValue=\"true\"/></c:group>"
                       "<c:image var=\"img\" useDefaultImage=\"true\" showDimensions=\"false\" defaultWidth=\"320\"/>"
                       "<c:count var=\"n\" defaultCount=\"3\" minCount=\"1\"/>"
                       "<c:slider var=\"size\" minValue=\"2\" maxValue=\"9\" incrementAmount=\"x\"/>"
                       "<c:color var=\"col\" defaultValue=\"#ff8000\" opacity=\"TRUE\" defaultOpacity=\"50\"/>"
                       "<c:dimCount var=\"w\" defaultCount=\"100\"><c:option name=\"px\" value=\"px\"/><c:option name=\"%\" value=\"%\" default=\"true\"/></c:dimCount>"
                       "<c:text var=\"bad\"><c:formatter type=\"Roman\"/><c:dependency/><c:oddity/></c:text>"
                       "<c:unknownKind var=\"u\"/>"));
    ASSERT_TRUE(definition);
    const auto& variables = definition->variableGroup()->variables();
    ASSERT_EQ(variables.size(), 15u); // the unknown kind is left out

    EXPECT_EQ(variableAt<KELComponentTextVariable>(*definition, 0)->lines(), 1);
    EXPECT_EQ(variableAt<KELComponentTextVariable>(*definition, 1)->lines(), 1);
    const auto* c = variableAt<KELComponentTextVariable>(*definition, 2);
    EXPECT_EQ(c->lines(), 5);
    EXPECT_EQ(c->keyPathDependencies(), QStringList { QStringLiteral("a.value") });
    ASSERT_TRUE(dynamic_cast<const KELStringFormatter*>(c->formatter()));
    EXPECT_FALSE(variableAt<KELComponentTextVariable>(*definition, 1)->defaultExpression());

    const auto* items = variableAt<KELComponentIndexedVariable>(*definition, 3);
    EXPECT_EQ(items->indexedType(), KELComponentIndexedVariable::None);
    ASSERT_TRUE(items->indexedVariable());
    EXPECT_EQ(items->indexedVariable()->varName(), QStringLiteral("t"));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to read node in variable items with name text")));

    const auto* rows = variableAt<KELComponentTableVariable>(*definition, 4);
    EXPECT_FALSE(rows->showDetail());
    EXPECT_TRUE(rows->smallSize());
    ASSERT_EQ(rows->columns().size(), 1);
    EXPECT_EQ(rows->columns()[0].width(), 80);
    EXPECT_FALSE(rows->countExpression()->evaluateWithDataSource(*std::make_shared<kit::KeyValueObject>()).isValid());

    EXPECT_EQ(variableAt<KELComponentSelectVariable>(*definition, 5)->defaultOption()->value(), QStringLiteral("b"));
    EXPECT_EQ(variableAt<KELComponentSelectVariable>(*definition, 6)->defaultOption()->value(), QStringLiteral("a"));
    EXPECT_EQ(variableAt<KELComponentSelectVariable>(*definition, 7)->defaultOption(), nullptr);

    const auto* group = variableAt<KELComponentVariableGroup>(*definition, 8);
    EXPECT_EQ(group->groupType(), KELComponentVariableGroup::Accordion);
    EXPECT_FALSE(group->varName());
    EXPECT_TRUE(dynamic_cast<const KELComponentCheckboxVariable*>(group->variables().at(0).get())->defaultValue());

    const auto* image = variableAt<KELComponentImageFileVariable>(*definition, 9);
    EXPECT_TRUE(image->useDefaultImage());
    EXPECT_FALSE(image->showDimensions());
    EXPECT_EQ(image->defaultWidth(), 320);
    EXPECT_EQ(image->className(), QStringLiteral("KELComponentImageFileVariable"));

    const auto* count = variableAt<KELComponentCountVariable>(*definition, 10);
    EXPECT_EQ(count->defaultCount(), 3);
    EXPECT_EQ(count->maxCount(), std::nullopt);
    const auto* slider = variableAt<KELComponentSliderVariable>(*definition, 11);
    EXPECT_EQ(slider->incrementAmount(), 0);
    EXPECT_EQ(slider->defaultValue(), std::nullopt);
    const auto* color = variableAt<KELComponentColorVariable>(*definition, 12);
    EXPECT_TRUE(color->opacity());
    EXPECT_EQ(color->defaultOpacity(), 50);
    EXPECT_EQ(variableAt<KELComponentDimensionCountVariable>(*definition, 13)->defaultOption()->value(), QStringLiteral("%"));

    const auto* bad = variableAt<KELComponentTextVariable>(*definition, 14);
    EXPECT_EQ(bad->formatter(), nullptr);
    EXPECT_TRUE(log.contains(QStringLiteral("Formatter type Roman not recognized")));
    EXPECT_TRUE(log.contains(QStringLiteral("dependency does not specify key path for variable bad")));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to read node in variable bad with name oddity")));
    EXPECT_TRUE(log.contains(QStringLiteral("Failed to read node in variable  with name unknownKind")));
}
