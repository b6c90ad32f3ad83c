#include "project/OpenQuicklyLocalSearch.h"

#include "document/MyDocumentPlaceholder.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>

namespace {

// A document that was never saved: no file, only a name.
class UntitledContents : public DocumentContents {
public:
    explicit UntitledContents(QString name) : m_name(std::move(name)) {}
    QString displayName() const override { return m_name; }
    QUrl fileURL() const override { return QUrl(); }
    std::optional<QString> docContents() override { return QString(); }
    kit::StringEncoding encoding() override { return 0; }

private:
    QString m_name;
};

QList<std::shared_ptr<DocumentContents>> placeholders(const QStringList& paths)
{
    QList<std::shared_ptr<DocumentContents>> list;
    for (const QString& path : paths)
        list << std::make_shared<MyDocumentPlaceholder>(path);
    return list;
}

class Listener : public OpenQuicklySearchDelegate {
public:
    int completions = 0;
    int updates = 0;
    void didUpdateSearchResults() override { ++updates; }
    void searchComplete() override { ++completions; }
};

QStringList names(const OpenQuicklySearch& search)
{
    QStringList list;
    for (const OpenQuicklyResultRef& result : search.currentResults())
        list << result->fileName();
    list.sort();
    return list;
}

TEST(OpenQuicklyLocalSearchTest, TypedTextMatchesWholeNamesIgnoringCase)
{
    OpenQuicklyLocalSearch search(placeholders({"/s/index.html", "/s/Index.php", "/s/main-index.html", "/s/a.b", "/s/aXb",
                                                "/s/what?.txt", "/s/whatX.txt", QStringLiteral("/s/\u00c9t\u00e9.html"),
                                                "/s/abcabc.css"}),
                                  QString());
    struct Case {
        const char* text;
        QStringList expected;
    };
    const Case cases[] = {
        {"ind*", {"index.html", "Index.php"}},
        {"*ind*", {"index.html", "Index.php", "main-index.html"}},
        {"INDEX.HTML", {"index.html"}},
        {"a.b*", {"a.b"}},
        {"what?*", {"what?.txt"}},
        {"*.php", {"Index.php"}},
        {"(*", {}},
        {"*c*c*", {"abcabc.css"}},
        {"a*c.css", {"abcabc.css"}},
        {"abc*abc.*", {"abcabc.css"}},
        {"\u00e9t\u00c9*", {"\u00c9t\u00e9.html"}},
    };
    for (const Case& c : cases) {
        QStringList found = search.matchingFileNames(QString::fromUtf8(c.text));
        found.sort();
        QStringList expected = c.expected;
        expected.sort();
        EXPECT_EQ(found, expected) << c.text;
    }
}

TEST(OpenQuicklyLocalSearchTest, ResultsGroupByNameWithUnsavedDocumentsFirst)
{
    QList<std::shared_ptr<DocumentContents>> candidates = placeholders({"/z/site/index.html", "/a/index.html"});
    candidates << std::make_shared<UntitledContents>("index.html");
    OpenQuicklyLocalSearch search(candidates, QString());
    EXPECT_EQ(search.candidateCount(), 1);
    Listener listener;
    search.setDelegate(&listener);
    search.setSearchString("index*");
    (void)QTest::qWaitFor([&] { return listener.completions == 1; }, 60000);
    ASSERT_EQ(listener.completions, 1);
    ASSERT_EQ(search.currentResults().size(), 1);
    const auto& documents = search.currentResults().first()->documents();
    ASSERT_EQ(documents.size(), 3);
    EXPECT_TRUE(documents[0]->fileURL().isEmpty());
    EXPECT_EQ(documents[1]->fileURL().toLocalFile(), "/a/index.html");
    EXPECT_EQ(documents[2]->fileURL().toLocalFile(), "/z/site/index.html");
}

TEST(OpenQuicklyLocalSearchTest, RapidTypingEndsWithTheResultsOfTheLastText)
{
    QStringList paths;
    for (int i = 0; i < 3000; ++i)
        paths << QStringLiteral("/p/%1file%2.html").arg(i % 2 ? "alpha" : "beta").arg(i);
    OpenQuicklyLocalSearch search(placeholders(paths), QString());
    Listener listener;
    search.setDelegate(&listener);
    // Each candidate waits a little so that runs overlap with newer texts.
    std::atomic<int> seen{0};
    OpenQuicklyLocalSearch::setWorkerGateForTesting([&seen] {
        if (++seen % 200 == 0)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    });
    const QStringList texts{"a*", "al*", "alp*", "b*", "be*", "bet*", "beta*", "alpha*"};
    for (const QString& text : texts) {
        search.setSearchString(text);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !search.searchToken() || search.searchToken()->isStopped(); }, 60000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return listener.completions >= 1; }, 60000));
    // What the stopped runs had already queued is delivered (and must change nothing).
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    OpenQuicklyLocalSearch::setWorkerGateForTesting(nullptr);
    const QStringList found = names(search);
    EXPECT_EQ(found.size(), 1500);
    for (const QString& name : found)
        ASSERT_TRUE(name.startsWith("alpha")) << name.toStdString();
}

} // namespace
