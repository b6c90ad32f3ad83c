#include "html/Printers.h"
#include "html/TagEnclosure.h"
#include "html/TagInstance.h"

#include <gtest/gtest.h>

TEST(TagInstanceTest, ValueForAttributeTakesTheFirstMatchIgnoringCase)
{
    TagInstance tag;
    EXPECT_TRUE(tag.nameRange().isNotFound());
    EXPECT_TRUE(tag.attributes().isEmpty());
    EXPECT_FALSE(tag.valueForAttribute("src").has_value());

    tag.setName("img");
    tag.addAttribute("SRC", "a");
    tag.addAttribute("src", "b");
    tag.addAttribute("alt", "");
    EXPECT_EQ(tag.valueForAttribute("Src"), QStringLiteral("a"));
    EXPECT_EQ(tag.valueForAttribute("alt"), QStringLiteral("")); // present without a value
    EXPECT_FALSE(tag.valueForAttribute("href").has_value());
    EXPECT_FALSE(tag.valueForAttribute(QString()).has_value());
    EXPECT_EQ(tag.description(), QStringLiteral("name: img\nattributes: (SRC, src, alt)\nvalues: (a, b, )"));

    // A name without a value at its index is passed over.
    TagInstance uneven;
    uneven.setAttributes({ "href", "HREF" });
    uneven.setValues({});
    EXPECT_FALSE(uneven.valueForAttribute("href").has_value());
}

namespace {

TagEnclosure* addNode(TagEnclosure& parent, const char* name)
{
    auto node = std::make_unique<TagEnclosure>(&parent);
    auto tag = std::make_shared<TagInstance>();
    tag->setName(QString::fromUtf8(name));
    node->setTag(tag);
    return parent.addEnclosed(std::move(node));
}

QStringList childNames(const TagEnclosure& node)
{
    QStringList names;
    for (const auto& child : node.enclosed())
        names << child->tag()->name();
    return names;
}

} // namespace

TEST(TagEnclosureTest, ShiftMovesChildrenUpAfterTheNode)
{
    TagEnclosure root;
    EXPECT_TRUE(root.enclosed().empty());
    EXPECT_EQ(root.parent(), nullptr);
    EXPECT_EQ(root.tag(), nullptr);

    TagEnclosure* p = addNode(root, "p");
    addNode(*p, "a");
    TagEnclosure* x = addNode(*p, "x");
    addNode(*p, "b");
    TagEnclosure* y = addNode(*x, "y");
    TagEnclosure* z = addNode(*x, "z");
    addNode(*y, "deep");

    x->shiftEnclosedObjectsToParent();
    EXPECT_EQ(childNames(*p), (QStringList { "a", "x", "y", "z", "b" }));
    EXPECT_EQ(y->parent(), p);
    EXPECT_EQ(z->parent(), p);
    EXPECT_TRUE(x->enclosed().empty());
    EXPECT_EQ(childNames(*y), QStringList { "deep" }); // grandchildren stay with their node

    // A root has nowhere to move its children.
    root.shiftEnclosedObjectsToParent();
    EXPECT_EQ(childNames(root), QStringList { "p" });
}

TEST(TagEnclosureTest, ShiftOfANodeItsParentDoesNotHoldKeepsTheChildren)
{
    TagEnclosure root;
    TagEnclosure stray(&root); // made with a parent but never added to it
    addNode(stray, "a");
    stray.shiftEnclosedObjectsToParent();
    EXPECT_EQ(childNames(stray), QStringList { "a" });
    EXPECT_TRUE(root.enclosed().empty());
}

TEST(TagEnclosureTest, TagsArePairedAndSharedWithTheTree)
{
    TagEnclosure root;
    TagEnclosure* div = addNode(root, "div");
    auto close = std::make_shared<TagInstance>();
    close->setName("div");
    close->setIsCloseTag(true);
    close->setLocation({ 10, 6 });
    div->setCloseTag(close);
    div->tag()->setMatchingTag(close.get());
    close->setMatchingTag(div->tag().get());
    EXPECT_EQ(div->closeTag()->matchingTag(), div->tag().get());
    EXPECT_EQ(div->tag()->matchingTag()->location(), kit::Range(10, 6));
}

TEST(TagEnclosureTest, AVeryDeepTreeIsReleasedWithoutExhaustingTheStack)
{
    auto root = std::make_unique<TagEnclosure>();
    TagEnclosure* node = root.get();
    for (int i = 0; i < 1000000; ++i)
        node = node->addEnclosed(std::make_unique<TagEnclosure>(node));
    root.reset(); // would overflow the stack if children were destroyed recursively
    SUCCEED();
}
