#include "CheckerTestSupport.h"

#include "document/KELSyntaxCheckGeneratorPreview.h"
#include "preview/KELPreviewDocument.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// An open page whose preview the generator makes: PHP through the interpreter.
class PreviewedPage : public FakeDocument, public KELPreviewDocument {
public:
    PreviewedPage(const QString& text, const QString& type, const QString& path)
        : FakeDocument(text, type)
        , path(path)
    {
    }
    std::unique_ptr<KELSyntaxCheckPreview> makeSyntaxCheckPreview() override
    {
        return std::make_unique<KELSyntaxCheckGeneratorPreview>(this);
    }
    QString previewText() const override { return text; }
    kit::StringEncoding previewEncoding() const override { return kit::NoEncoding; }
    QString previewFilePath() const override { return path; }
    QString previewDisplayName() const override { return QFileInfo(path).fileName(); }
    const void* syntaxCheckNotificationObject() const override { return previewNotificationObject(); }

    QString path;
};

} // namespace

TEST(KELSyntaxCheckGeneratorPreviewTest, HTMLPageIsItsOwnText)
{
    registerCheckerDefaults();
    QTemporaryDir dir;
    PreviewedPage page(QStringLiteral("<html><body><div></body></html>"), QStringLiteral("HTML"), dir.filePath(QStringLiteral("page.html")));
    const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(page);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->generatedSourceText(), page.text);
    EXPECT_EQ(result->errorsFromSourceText(false).size(), 1);
}

TEST(KELSyntaxCheckGeneratorPreviewTest, PHPPagesAreCheckedOnTheInterpretersOutput)
{
    registerCheckerDefaults();
    const QString php = kit::UserDefaults::standard().stringValue(QStringLiteral("PHP Location"));
    if (!QFileInfo(php.isEmpty() ? QStringLiteral("/usr/bin/php") : php).isExecutable())
        GTEST_SKIP() << "no PHP interpreter";
    if (php.isEmpty())
        kit::UserDefaults::standard().setValue(QStringLiteral("PHP Location"), QStringLiteral("/usr/bin/php"));
    QTemporaryDir dir;
    const QString text = QStringLiteral("<html>\n<body>\n<?php\necho \"<p>made by PHP</p><blink></blink>\";\necho $undefinedVariable;\n?>\n</body>\n</html>\n");
    PreviewedPage page(text, QStringLiteral("PHP"), dir.filePath(QStringLiteral("page.php")));
    const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(page);
    ASSERT_TRUE(result);
    ASSERT_TRUE(result->generatedSourceText());
    EXPECT_TRUE(result->generatedSourceText()->contains(QStringLiteral("made by PHP")));
    EXPECT_FALSE(result->generatedSourceText()->contains(QStringLiteral("<?php")));

    const KELSyntaxCheckTypeResult* phpResult = result->typeResultForType(QStringLiteral("PHP"));
    ASSERT_TRUE(phpResult);
    ASSERT_EQ(phpResult->errors().size(), 1);
    EXPECT_EQ(phpResult->errors()[0].title(), QStringLiteral("PHP Error"));
    EXPECT_EQ(phpResult->errors()[0].lineNumber(), 5u); // the echo of the undefined variable
    EXPECT_EQ(phpResult->errors()[0].textRange().location, text.indexOf(QStringLiteral("echo $undefined")));

    const KELSyntaxCheckTypeResult* html = result->typeResultForType(QStringLiteral("HTML"));
    ASSERT_TRUE(html);
    EXPECT_TRUE(html->usesGeneratedSourceText());
    ASSERT_EQ(html->errors().size(), 1);
    EXPECT_EQ(html->errors()[0].title(), QStringLiteral("Unrecognized Tag"));
}
