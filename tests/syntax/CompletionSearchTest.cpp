// Completion search over the shipped languages: what the colouring pass offers
// at the cursor, the standards filter, repeated words, missing words and clips.

#include "ColoringTestSupport.h"
#include "SyntaxTestSupport.h"

#include "support/DefaultsKeys.h"
#include "html/KELCodeClipsManager.h"
#include "kit/Log.h"
#include "kit/UserDefaults.h"
#include "support/PreferenceController2.h"
#include "syntax/KELCodeClipCompletion.h"
#include "syntax/SyntaxWordRange.h"

#include <gtest/gtest.h>

using kit::Range;
using namespace syntaxtest;

namespace {

class CompletionSearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        kit::UserDefaults::standard().registerDefaults(
            { { KELShowHTML5Completions, true }, { KELShowCSS3Completions, true } });
        PreferenceController2::resetColorCacheForTesting();
        KELCodeClipsManager::resetSharedInstanceForTesting();
    }
};

struct Offered
{
    QStringList names;
    Range maxRange { kit::NotFound, 0 };
    QList<std::shared_ptr<KELCompletion>> entries;
};

// Colours the text (with "|" marking the cursor) in one request and collects the
// completions at the cursor, as the Complete command does.
Offered completionsAt(SyntaxType* type, QString text, bool startCompletions = true)
{
    const qsizetype cursor = text.indexOf(QLatin1Char('|'));
    text.remove(cursor, 1);
    kit::TextStorage storage(text);
    SyntaxInfo info(Range(0, storage.length()));
    info.setSwitchIndex(storage.length());
    info.setMaxColoringLength(quint64(storage.length()) + 1);
    info.setCursorIndex(cursor);
    Offered out;
    const std::optional<SyntaxCompletionResult> result = type->colorHTMLView(&storage, info, startCompletions, nullptr);
    if (!result)
        return out;
    out.entries = result->completions();
    out.maxRange = result->maxCompletionRange();
    for (const auto& e : result->completions())
        out.names.append(e->name());
    return out;
}

TEST_F(CompletionSearchTest, EachLanguageOffersItsWordsWhereTheyBelong)
{
    const struct {
        const char* type;
        const char* text;
        const char* offered;
        const char* notOffered;
        int rangeStart; // of the replaced text; -1: not checked
    } cases[] = {
        { "HTML", "<di|", "div", "span", 1 },
        { "HTML", "<p>x</di|", "div", "dl", 6 },
        { "HTML", "<div cl|", "class", "id", 5 },
        { "HTML", "<div contenteditable=\"t|\">", "true", "false", 22 },
        { "HTML", "<style>p { col|", "color", "margin", 11 },
        { "HTML", "<style>p { display: fl|", "flex", "block", -1 },
        { "CSS", "p { mar|", "margin", "color", 4 },
        { "HTML", "<script>docu|", "document", "window", 8 },
        { "PHP", "<?php str_re|", "str_replace", "strlen", 6 },
    };
    for (const auto& c : cases) {
        SyntaxType* type = shippedType(QString::fromUtf8(c.type));
        ASSERT_TRUE(type) << c.type;
        const Offered offered = completionsAt(type, QString::fromUtf8(c.text));
        // Attribute names insert with their value: 'class="<#value#>"'.
        auto offers = [&](const char* word) {
            const QString w = QString::fromUtf8(word);
            return std::any_of(offered.names.begin(), offered.names.end(),
                [&](const QString& n) {
                    return n == w || n.startsWith(w + QLatin1Char('=')) || n.startsWith(w + QLatin1Char('('));
                });
        };
        EXPECT_TRUE(offers(c.offered)) << c.text << " offers "
                                       << offered.names.join(QLatin1Char(' ')).left(300).toStdString();
        EXPECT_FALSE(offers(c.notOffered)) << c.text;
        if (c.rangeStart >= 0)
            for (const auto& e : offered.entries)
                EXPECT_EQ(e->range().location, c.rangeStart) << c.text << " " << e->name().toStdString();
    }
}

TEST_F(CompletionSearchTest, RightAfterAStartEveryWordIsOfferedOnceAndSorted)
{
    SyntaxType* html = shippedType(QStringLiteral("HTML"));
    const Offered offered = completionsAt(html, QStringLiteral("<p>text <|"));
    EXPECT_GT(offered.names.size(), 100);
    EXPECT_TRUE(offered.names.contains(QStringLiteral("a")));
    EXPECT_TRUE(offered.names.contains(QStringLiteral("wbr")));
    // Start and end tags both offer element names: each word once.
    EXPECT_EQ(offered.names.count(QStringLiteral("div")), 1);
    for (qsizetype i = 1; i < offered.entries.size(); ++i)
        EXPECT_LT(offered.entries[i - 1]->compare(*offered.entries[i]), 0) << offered.names[i].toStdString();
    EXPECT_EQ(offered.maxRange.location, 9);
}

TEST_F(CompletionSearchTest, StandardsThatAreSwitchedOffAreNotOffered)
{
    SyntaxType* html = shippedType(QStringLiteral("HTML"));
    EXPECT_TRUE(completionsAt(html, QStringLiteral("<art|")).names.contains(QStringLiteral("article")));
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, false);
    const Offered offered = completionsAt(html, QStringLiteral("<a|"));
    EXPECT_FALSE(offered.names.contains(QStringLiteral("article")));
    EXPECT_TRUE(offered.names.contains(QStringLiteral("a"))); // no standard: always
    EXPECT_TRUE(offered.names.contains(QStringLiteral("address")));
}

TEST_F(CompletionSearchTest, NoCursorNoCompletionWork)
{
    SyntaxType* html = shippedType(QStringLiteral("HTML"));
    kit::TextStorage storage(QStringLiteral("<di"));
    SyntaxInfo info(Range(0, 3));
    EXPECT_FALSE(html->colorHTMLView(&storage, info, true, nullptr));
}

TEST_F(CompletionSearchTest, AMissingWordIsLoggedAndTheOthersOffered)
{
    QTemporaryDir dir;
    const QString structures
        = QStringLiteral("<structure name=\"word\"><text><characterSet><letters/></characterSet></text></structure>");
    const QString grammar
        = QStringLiteral("<structure name=\"call\"><start><text><values><value>@</value></values></text></start>"
                         "<sequence><structure ref=\"word\" minOccurs=\"0\"/></sequence></structure>");
    const QString completions = QStringLiteral(
        "<completion><root><structure name=\"call\"/></root><apply><structure name=\"word\"/></apply>"
        "<words><word ref=\"w.alpha\"/><word ref=\"w.gone\"/><word ref=\"w.beta\"/><word ref=\"w.alps\"/></words>"
        "</completion>"
        "<completion><root><structure name=\"call\"/></root><apply><structure name=\"word\"/></apply>"
        "<words><word ref=\"w.alpha\"/></words></completion>");
    const QString words = QStringLiteral("<words><word id=\"w.alpha\"><value>alpha</value></word>"
                                         "<word id=\"w.beta\"><value>beta</value></word>"
                                         "<word id=\"w.alps\"><value>Alps</value></word></words>");
    const QString path = dir.filePath(QStringLiteral("Probe.xml"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(definition(QStringLiteral("name=\"Probe\""), {}, structures,
        grammar, QStringLiteral("<style name=\"Plain\"/>"), completions, words)
                .toUtf8());
    f.close();
    QString problem;
    std::unique_ptr<SyntaxType> probe = SyntaxType::typeWithPath(path, &problem);
    ASSERT_TRUE(probe) << problem.toStdString();
    probe->setManager(&SyntaxManager::sharedInstance());

    kit::LogCapture log;
    const Offered offered = completionsAt(probe.get(), QStringLiteral("x @al|"));
    EXPECT_EQ(offered.names, (QStringList { QStringLiteral("alpha"), QStringLiteral("Alps") }));
    EXPECT_TRUE(log.contains(QStringLiteral("no completion word with id: w.gone")));
    EXPECT_EQ(offered.maxRange, Range(3, 2));
}

TEST_F(CompletionSearchTest, ClipsAreOfferedByCompletionNameAfterTheWords)
{
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    const qint64 group = store.defaultGroup().id();
    const qint64 id = store.newClipInGroup(group).id();
    store.setClipName(id, QStringLiteral("div wrapper"));
    store.setClipContent(id, QStringLiteral("<div class=\"wrap\"><##></div>"));
    store.setClipName(store.newClipInGroup(group).id(), QStringLiteral("footer"));

    SyntaxType* html = shippedType(QStringLiteral("HTML"));
    const Offered offered = completionsAt(html, QStringLiteral("<p>x</p>\n<di|"));
    ASSERT_FALSE(offered.entries.isEmpty());
    const auto* clip = dynamic_cast<const KELCodeClipCompletion*>(offered.entries.last().get());
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->displayName().string, QStringLiteral("DivWrapper (Code Clip)"));
    EXPECT_EQ(clip->range(), Range(10, 2));
    EXPECT_EQ(clip->value(), QStringLiteral("<div class=\"wrap\"><##></div>"));
    EXPECT_FALSE(offered.names.contains(QStringLiteral("footer")));

    // In plain text the grammar offers nothing; asking still finds the clips.
    const Offered plain = completionsAt(html, QStringLiteral("some fo|"), true);
    EXPECT_EQ(plain.names, QStringList { QStringLiteral("footer") });
    EXPECT_TRUE(completionsAt(html, QStringLiteral("some fo|"), false).names.isEmpty());
}

} // namespace
