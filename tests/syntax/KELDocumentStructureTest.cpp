// The document outline: items kept by relative offsets through edits and
// reports, compared with a plain list of absolute locations; fold segments.

#include "syntax/KELDocumentStructure.h"
#include "kit/Log.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructureHTMLElementItem.h"
#include "syntax/KELDocumentStructureParser.h"
#include "syntax/SyntaxType.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

using kit::Range;

namespace {

// Structures named "open:x" / "close:x" / anything else become element items.
class FakeParser : public KELDocumentStructureParser
{
public:
    qsizetype minimum = 1;
    QString typeName() const override { return QStringLiteral("Fake"); }
    KELDocumentStructureItemRef parseSyntaxStructure(const QString& name, const QString&, Range range, Range*) override
    {
        auto item = std::make_shared<KELDocumentStructureHTMLElementItem>(QStringLiteral("Fake"));
        const QStringList parts = name.split(QLatin1Char(':'));
        item->setName(name);
        item->setElementName(parts.value(1));
        item->setDocStructureLength(range.length);
        if (parts.first() == QLatin1String("open"))
            item->setSegmentType(KELDocumentStructureItem::OpensSegment);
        else if (parts.first() == QLatin1String("close"))
            item->setSegmentType(KELDocumentStructureItem::ClosesSegment);
        return item;
    }
    bool itemClosesItem(
        const KELDocumentStructureItem& closing, const KELDocumentStructureItem& open, bool* matched) override
    {
        *matched = static_cast<const KELDocumentStructureHTMLElementItem&>(closing).elementName()
            == static_cast<const KELDocumentStructureHTMLElementItem&>(open).elementName();
        return true;
    }
    qsizetype minimumFoldLength() const override { return minimum; }
};

class KELDocumentStructureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parser = std::make_shared<FakeParser>();
        KELDocumentStructureParser::registerParser(QStringLiteral("Fake"), parser);
        type = SyntaxType::emptyType(QStringLiteral("Fake"));
        storage = std::make_unique<kit::TextStorage>(QString(1000, QLatin1Char('x')));
        structure = std::make_unique<KELDocumentStructure>(storage.get(), [this] { return type.get(); });
    }
    void TearDown() override { KELDocumentStructureParser::registerParser(QStringLiteral("Fake"), nullptr); }

    void found(const QString& name, Range range)
    {
        structure->foundSyntaxStructure(name, QStringLiteral("Fake"), storage->string(), range);
    }
    QList<Range> locations()
    {
        QList<Range> out;
        for (qsizetype i = 0; i < structure->allItems().size(); ++i)
            out.append(structure->locationRangeOfItemAtIndex(i));
        return out;
    }

    std::shared_ptr<FakeParser> parser;
    std::unique_ptr<SyntaxType> type;
    std::unique_ptr<kit::TextStorage> storage;
    std::unique_ptr<KELDocumentStructure> structure;
};

TEST_F(KELDocumentStructureTest, RandomReportsClearsAndEditsAgreeWithAbsoluteLocations)
{
    // Items never overlap, as tags never do; the plain model keeps absolute ranges.
    QList<Range> model;
    QRandomGenerator random(4711);
    qsizetype textLength = 1000;
    for (int step = 0; step < 3000; ++step) {
        const int op = random.bounded(3);
        if (op == 0) {
            const qsizetype loc = random.bounded(textLength);
            const Range r(loc, 1 + random.bounded(20));
            bool overlaps = false;
            for (const Range& m : model)
                overlaps = overlaps || (m.location < r.end() && r.location < m.end()) || m.location == r.location;
            if (overlaps || r.end() > textLength)
                continue;
            found(QStringLiteral("tag"), r);
            qsizetype at = 0;
            while (at < model.size() && model[at].location <= r.location)
                ++at;
            model.insert(at, r);
        } else if (op == 1) {
            const Range r(random.bounded(textLength), random.bounded(30));
            structure->clearItemsInRange(r);
            model.removeIf([&](const Range& m) { return m.end() > r.location && r.end() > m.location; });
        } else {
            // An edit at l: k characters now where k - d were.
            const qsizetype l = random.bounded(textLength);
            const qsizetype oldLength = std::min<qsizetype>(random.bounded(5), textLength - l);
            const qsizetype k = random.bounded(5);
            const qsizetype d = k - oldLength;
            structure->invalidateStructureForEditInRange(Range(l, k), d);
            const Range old = l > 0 ? Range(l - 1, oldLength + 1) : Range(0, oldLength);
            model.removeIf([&](const Range& m) { return m.end() > old.location && old.end() > m.location; });
            for (Range& m : model)
                if (m.location > l)
                    m.location += d;
            textLength += d;
        }
        ASSERT_EQ(locations(), model) << "step " << step;
    }
}

TEST_F(KELDocumentStructureTest, TypingInsideAnItemDropsItAndShiftsTheRest)
{
    found(QStringLiteral("a"), Range(10, 5));
    found(QStringLiteral("b"), Range(20, 5));
    found(QStringLiteral("c"), Range(40, 5));
    // One character typed at 22 (inside b): re-colour b's whole extent.
    const Range recolor = structure->invalidateStructureForEditInRange(Range(22, 1), 1);
    EXPECT_EQ(recolor, Range(20, 6));
    EXPECT_EQ(locations(), (QList<Range> { Range(10, 5), Range(41, 5) }));
    // An edit at 0 has no left context.
    structure->invalidateStructureForEditInRange(Range(0, 2), 2);
    EXPECT_EQ(locations(), (QList<Range> { Range(12, 5), Range(43, 5) }));
}

TEST_F(KELDocumentStructureTest, SearchesTreatEqualityAsBefore)
{
    found(QStringLiteral("a"), Range(10, 5));
    found(QStringLiteral("b"), Range(20, 5));
    EXPECT_EQ(structure->indexOfLastItemStartingBeforeLocation(9), -1);
    EXPECT_EQ(structure->indexOfLastItemStartingBeforeLocation(10), 0);
    EXPECT_EQ(structure->indexOfLastItemStartingBeforeLocation(100), 1);
    EXPECT_EQ(structure->indexOfLastItemEndingBeforeLocation(15), 0);
    EXPECT_EQ(structure->indexOfLastItemEndingBeforeLocation(14), -1);
    EXPECT_EQ(structure->textRangeToSelectForItem(structure->allItems()[1].get()), Range(20, 5));
    KELDocumentStructureItem stray;
    EXPECT_EQ(structure->textRangeToSelectForItem(&stray), Range(kit::NotFound, 0));
}

TEST_F(KELDocumentStructureTest, FoldSegmentsPairItemsByName)
{
    parser->minimum = 80;
    found(QStringLiteral("open:div"), Range(0, 5));
    found(QStringLiteral("open:p"), Range(10, 3));
    found(QStringLiteral("open:span"), Range(20, 6));
    found(QStringLiteral("close:span"), Range(30, 7)); // 4 characters of contents: too short
    found(QStringLiteral("close:div"), Range(200, 6)); // closes p as well
    found(QStringLiteral("open:ul"), Range(300, 4));
    const QList<KELDocumentStructureSegmentRef> segments
        = structure->structureSegmentsInText(storage->string(), Range(0, 1000), false);
    ASSERT_EQ(segments.size(), 3);
    EXPECT_EQ(segments[0]->openItem()->name(), QStringLiteral("open:div"));
    EXPECT_EQ(segments[0]->knownContentsRange(), Range(5, 195));
    EXPECT_EQ(segments[1]->openItem()->name(), QStringLiteral("open:p"));
    EXPECT_EQ(segments[1]->closeItem()->name(), QStringLiteral("close:div"));
    EXPECT_EQ(segments[1]->knownContentsRange(), Range(13, 187));
    // Never closed: contents unknown without force, to the end of the text with it.
    EXPECT_EQ(segments[2]->knownContentsRange().location, kit::NotFound);
    EXPECT_EQ(segments[2]->contentsRange(), Range(304, 696));

    const QList<KELDocumentStructureSegmentRef> forced
        = structure->structureSegmentsInText(storage->string(), Range(300, 1), true);
    ASSERT_EQ(forced.size(), 1);
    EXPECT_EQ(forced[0]->knownContentsRange(), Range(304, 696));
}

TEST_F(KELDocumentStructureTest, SegmentOfAnItemNoLongerListedIsNullAndLogged)
{
    found(QStringLiteral("open:div"), Range(0, 5));
    found(QStringLiteral("close:div"), Range(100, 6));
    const KELDocumentStructureItemRef item = structure->allItems().first();
    ASSERT_TRUE(structure->structureSegmentForOpenItem(item));
    structure->clearItemsInRange(Range(0, 1));
    kit::LogCapture capture;
    EXPECT_FALSE(structure->structureSegmentForOpenItem(item));
    EXPECT_TRUE(capture.contains(QStringLiteral("allItems does not contain item")));
}

} // namespace
