#include "kit/Error.h"
#include "kit/Types.h"

#include <gtest/gtest.h>

TEST(ErrorTest, DescriptionFallsBackToDomainAndCode)
{
    kit::Error none;
    EXPECT_TRUE(none.isNull());
    kit::Error e(kit::ErrorDomainCocoa, kit::FileReadNoSuchFileError, {{kit::FilePathErrorKey, QStringLiteral("/tmp/a.html")}});
    EXPECT_TRUE(bool(e));
    EXPECT_TRUE(e.localizedDescription().contains(QStringLiteral("“a.html”")));
    auto custom = kit::Error::withDescription(QStringLiteral("X"), 7, QStringLiteral("Broken"), QStringLiteral("Try again"));
    EXPECT_EQ(custom.localizedDescription(), QStringLiteral("Broken"));
    EXPECT_EQ(custom.localizedRecoverySuggestion(), QStringLiteral("Try again"));
    int chosen = -1;
    custom.setRecoveryAttempter([&](int i) { chosen = i; return true; });
    kit::Error copy = custom;
    EXPECT_TRUE(copy.attemptRecovery(1));
    EXPECT_EQ(chosen, 1);
}

TEST(RangeTest, IntersectionAndUnion)
{
    EXPECT_EQ(kit::Range::intersection({2, 5}, {4, 10}), kit::Range(4, 3));
    EXPECT_EQ(kit::Range::intersection({0, 2}, {5, 1}), kit::Range(0, 0));
    EXPECT_EQ(kit::Range::unionOf({2, 2}, {8, 1}), kit::Range(2, 7));
    EXPECT_TRUE(kit::Range().isNotFound());
}
