#include "support/DefaultsKeys.h"
#include "html/Printers.h"
#include "html/Tag.h"
#include "html/TagAttribute.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

void setShowHTML5(bool on)
{
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, on);
}

struct ValueCase {
    qint64 type;
    const char* name;
    QStringList values; // for type 100
    const char* value;
    const char* message; // "" when the value passes
};

TagAttribute make(const ValueCase& c)
{
    const QString name = QString::fromUtf8(c.name);
    return c.type == TagAttribute::Custom ? TagAttribute::custom(name, c.values) : TagAttribute(name, c.type);
}

} // namespace

TEST(TagAttributeTest, ValueChecksGiveTheirExactMessages)
{
    const QStringList getPost = { "get", "post" };
    const QStringList listTypes = { "a", "A", "i", "I", "1" };
    const QStringList trueFalse = { "", "true", "false" };
    const ValueCase cases[] = {
        { 2, "coords", {}, "1,2,3", "" },
        { 2, "coords", {}, "-1,5", "" },
        { 2, "coords", {}, "1, 2", "There are not appropriate coordinates for the \"coords\" attribute. " },
        { 2, "coords", {}, "", "There are not appropriate coordinates for the \"coords\" attribute. " },
        { 2, "coords", {}, "1,,2", "There are not appropriate coordinates for the \"coords\" attribute. " },
        { 2, "coords", {}, "1,2,", "There are not appropriate coordinates for the \"coords\" attribute. " },
        { 3, "dir", {}, "RTL", "" },
        { 3, "dir", {}, "ltr", "" },
        { 3, "dir", {}, "auto", "The value of the \"dir\" attribute must either be \"rtl\" or \"ltr\"" },
        { 3, "direction", {}, "auto", "The value of the \"dir\" attribute must either be \"rtl\" or \"ltr\"" },
        { 4, "bgcolor", {}, "Red", "" },
        { 4, "bgcolor", {}, "#ABC", "" },
        { 4, "bgcolor", {}, "RebeccaPurple", "" },
        { 4, "bgcolor", {}, "#00ff00", "" },
        { 4, "bgcolor", {}, "#abcd", "The value of the \"bgcolor\" attribute must be a color name or a hexadecimal value. " },
        { 4, "bgcolor", {}, "#ffff", "The value of the \"bgcolor\" attribute must be a color name or a hexadecimal value. " },
        { 4, "bgcolor", {}, "abc", "The value of the \"bgcolor\" attribute must be a color name or a hexadecimal value. " },
        { 4, "bgcolor", {}, "#ggg", "The value of the \"bgcolor\" attribute must be a color name or a hexadecimal value. " },
        { 5, "charoff", {}, "-5", "" },
        { 5, "charoff", {}, "007", "" },
        { 5, "charoff", {}, "-", "The value of the \"charoff\" attribute must be a number. " },
        { 5, "charoff", {}, "+5", "The value of the \"charoff\" attribute must be a number. " },
        { 5, "charoff", {}, "1.5", "The value of the \"charoff\" attribute must be a number. " },
        { 5, "charoff", {}, "5 ", "The value of the \"charoff\" attribute must be a number. " },
        { 5, "charoff", {}, "", "The value of the \"charoff\" attribute must be a number. " },
        { 6, "tabindex", {}, "0", "" },
        { 6, "tabindex", {}, "-1", "The value of the \"tabindex\" attribute must be a number greater than or equal to zero. " },
        { 7, "width", {}, "50%", "" },
        { 7, "width", {}, "0", "" },
        { 7, "width", {}, "%", "The value of the \"width\" attribute must be a number greater than or equal to zero or a percentage. " },
        { 7, "width", {}, "-5%", "The value of the \"width\" attribute must be a number greater than or equal to zero or a percentage. " },
        { 10, "shape", {}, "RECT", "" },
        { 10, "shape", {}, "square", "The value of the \"shape\" attribute must be \"circle\", \"default\", \"poly\", or \"rect\". " },
        { 11, "target", {}, "main", "" },
        { 11, "target", {}, "", "" },
        { 11, "target", {}, "_TOP", "" },
        { 11, "target", {}, "_new", "The value of the \"target\" attribute must be the name of a frame or \"_blank\", \"_parent\", \"_self\", or \"_top\". " },
        { 13, "size", {}, "-6", "" },
        { 13, "size", {}, "+6", "" },
        { 13, "size", {}, "7", "" },
        { 13, "size", {}, "+7", "The value of the \"size\" attribute must be a numeric value from 1 to 7, an increment value from +1 to +6, or a decrement value from -1 to -6. " },
        { 13, "size", {}, "8", "The value of the \"size\" attribute must be a numeric value from 1 to 7, an increment value from +1 to +6, or a decrement value from -1 to -6. " },
        { 14, "accesskey", {}, "a", "" },
        { 14, "accesskey", {}, "", "The value of the \"accesskey\" attribute must be a single character. " },
        { 14, "accesskey", {}, "ab", "The value of the \"accesskey\" attribute must be a single character. " },
        { 15, "width", {}, "*", "" },
        { 15, "width", {}, "3*", "" },
        { 15, "width", {}, "25%", "" },
        { 15, "width", {}, "100", "" },
        { 15, "width", {}, "", "The value of the \"width\" attribute must be a number greater than or equal to zero, a percentage, or a relative width. " },
        { 15, "width", {}, "a*", "The value of the \"width\" attribute must be a number greater than or equal to zero, a percentage, or a relative width. " },
        { 100, "type", listTypes, "A", "" },
        { 100, "type", listTypes, "1", "" },
        { 100, "method", getPost, "GET", "" },
        { 100, "method", getPost, "put", "The value of the \"method\" attribute must be \"get\" or \"post\". " },
        { 100, "valuetype", { "ref" }, "data", "The value of the \"valuetype\" attribute must be \"ref\". " },
        { 100, "contenteditable", trueFalse, "", "" },
        { 100, "contenteditable", trueFalse, "yes", "The value of the \"contenteditable\" attribute must be \"\", \"true\", or \"false\". " },
        { 1, "title", {}, "anything at all", "" },
        { 12, "disabled", {}, "whatever", "" },
        { 16, "datetime", {}, "not a date", "" },
        { 101, "media", {}, "screen, print", "" },
        { 8, "odd", {}, "x", "" },
    };
    for (const ValueCase& c : cases) {
        const TagAttribute attribute = make(c);
        const QString message = attribute.errorMessageForAttributeValue(QString::fromUtf8(c.value));
        EXPECT_EQ(message, QString::fromUtf8(c.message)) << "type " << c.type << " value \"" << c.value << "\"";
    }
}

TEST(TagAttributeTest, UndefinedAttributeDependsOnTheHTML5Setting)
{
    const struct {
        bool html5;
        const char* name;
        const char* message;
    } cases[] = {
        { true, "data-x", "" },
        { true, "aria-label", "" },
        { true, "Data-x", "" },
        { true, "ARIA-HIDDEN", "" },
        { true, "datax", "The attribute \"datax\" is not permitted in this tag. " },
        { true, "foo", "The attribute \"foo\" is not permitted in this tag. " },
        { false, "data-x", "The attribute \"data-x\" is not permitted in this tag. " },
        { false, "aria-label", "The attribute \"aria-label\" is not permitted in this tag. " },
    };
    for (const auto& c : cases) {
        setShowHTML5(c.html5);
        const TagAttribute attribute(QString::fromUtf8(c.name), TagAttribute::NotDefined, TagAttribute::NoValueMarker);
        EXPECT_EQ(attribute.errorMessageForAttributeValue(attribute.value()), QString::fromUtf8(c.message)) << c.name;
    }
    setShowHTML5(true);
}

TEST(TagAttributeTest, PresetsAndCopies)
{
    const TagAttribute fresh;
    EXPECT_EQ(fresh.name(), QString());
    EXPECT_EQ(fresh.value(), QString());
    EXPECT_EQ(fresh.customValues(), QStringList { QString() });

    EXPECT_EQ(TagAttribute("dir", 3).customValues(), (QStringList { "ltr", "rtl" }));
    EXPECT_EQ(TagAttribute("shape", 10).customValues(), (QStringList { "circle", "default", "poly", "rect" }));
    EXPECT_EQ(TagAttribute("href", 1).customValues(), QStringList { QString() });

    TagAttribute target("target", TagAttribute::TargetFrame, "_self");
    target.setCustomValues({ "changed" });
    const TagAttribute targetCopy = target.tempCopy();
    EXPECT_EQ(targetCopy.customValues(), (QStringList { "_blank", "_parent", "_self", "_top" }));
    EXPECT_EQ(targetCopy.value(), QStringLiteral("_self"));

    TagAttribute align = TagAttribute::custom("align", { "left", "right" });
    align.setValue("left");
    const TagAttribute alignCopy = align.tempCopy();
    EXPECT_EQ(alignCopy.type(), TagAttribute::Custom);
    EXPECT_EQ(alignCopy.customValues(), (QStringList { "left", "right" }));
    EXPECT_EQ(alignCopy.value(), QStringLiteral("left"));
    EXPECT_EQ(TagAttribute::customCombination("media", { "all", "tv" }).tempCopy().type(), TagAttribute::CustomCombination);
}

TEST(TagTest, AttributesStayInCaseInsensitiveNameOrder)
{
    Tag tag;
    tag.addAttributes({ "src", "alt", "href" }, TagAttribute::FreeText);
    tag.addAttribute("Href", TagAttribute::FreeText);
    tag.addAttributes({ "xmlns", "xml:lang", "accept-charset", "accept" }, TagAttribute::FreeText);
    QStringList names;
    for (const TagAttribute& attribute : tag.attributes())
        names << attribute.name();
    EXPECT_EQ(names, (QStringList { "accept", "accept-charset", "alt", "Href", "href", "src", "xml:lang", "xmlns" }));
}

TEST(TagTest, NestingMessageNamesEveryEnclosingElement)
{
    Tag tag;
    const struct {
        QStringList parents;
        const char* message;
    } cases[] = {
        { { "head" }, "The tag \"<title>\" must be contained within the scope of a \"<head>\" tag. " },
        { { "audio", "video" }, "The tag \"<title>\" must be contained within the scope of a \"<audio>\" or \"<video>\" tag. " },
        { { "table", "thead", "tbody", "tfoot" },
            "The tag \"<title>\" must be contained within the scope of a \"<table>\", \"<thead>\", \"<tbody>\", or \"<tfoot>\" tag. " },
    };
    for (const auto& c : cases) {
        tag.setContainedBy(c.parents);
        EXPECT_EQ(tag.containedByErrorStringWithTagName("title"), QString::fromUtf8(c.message));
    }
}
