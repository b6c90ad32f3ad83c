#include "support/KELSyntaxCheckError.h"
#include "html/Printers.h"
#include "html/TagAttribute.h"

#include <gtest/gtest.h>

TEST(TagAttributeErrorTest, AFailedCheckGivesAnErrorRecord)
{
    const TagAttribute width("width", TagAttribute::PositiveNumber);
    EXPECT_FALSE(width.errorForAttributeValue("12").has_value());
    const auto error = width.errorForAttributeValue("-12");
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->title(), QStringLiteral("Invalid Attribute Value"));
    EXPECT_EQ(error->description(),
        QStringLiteral("The value of the \"width\" attribute must be a number greater than or equal to zero. "));
    EXPECT_EQ(error->level(), 1);
    EXPECT_TRUE(error->textRange().isNotFound());
}
