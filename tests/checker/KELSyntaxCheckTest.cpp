#include "CheckerTestSupport.h"

#include "checker/KELSyntaxCheckType.h"

#include <gtest/gtest.h>

TEST(KELSyntaxCheckTest, TypeResultsAreOrderedForDisplay)
{
    KELSyntaxCheckResult result;
    for (const char* name : { "Zed", "JavaScript", "CSS", "HTML", "PHP" })
        result.establishType(QString::fromLatin1(name), false);
    QStringList order;
    for (const KELSyntaxCheckTypeResult& r : result.orderedTypeResults())
        order << r.typeName();
    EXPECT_EQ(order, QStringList({ "PHP", "HTML", "CSS", "JavaScript", "Zed" }));

    // Establishing again overwrites the flag and keeps the errors.
    KELSyntaxCheckError e = KELSyntaxCheckError::error();
    e.setLevel(KELSyntaxCheckError::Warning);
    result.addError(e, QStringLiteral("CSS"));
    result.establishType(QStringLiteral("CSS"), true);
    EXPECT_TRUE(result.typeResultForType(QStringLiteral("CSS"))->usesGeneratedSourceText());
    EXPECT_EQ(result.typeResultForType(QStringLiteral("CSS"))->errorsWithLevel(KELSyntaxCheckError::Warning).size(), 1);
    EXPECT_EQ(result.errorsFromSourceText(true).size(), 1);
    EXPECT_TRUE(result.errorsFromSourceText(false).isEmpty());
    EXPECT_FALSE(result.typeResultForType(QStringLiteral("SHTML")));
}

TEST(KELSyntaxCheckTest, AvailableTypes)
{
    for (const char* name : { "HTML", "PHP", "SHTML", "CSS", "JavaScript" })
        EXPECT_TRUE(KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(QString::fromLatin1(name))) << name;
    for (const char* name : { "", "Plain Text", "html" })
        EXPECT_FALSE(KELSyntaxCheck::isSyntaxCheckAvailableForTypeName(QString::fromLatin1(name))) << name;
}

TEST(KELSyntaxCheckTest, ARunPerFileType)
{
    registerCheckerDefaults();
    struct Case {
        const char* type;
        const char* text;
        const char* page; // null: the text itself
        QStringList types;
        QList<bool> generated;
    } cases[] = {
        { "HTML", "<p>clean</p>", nullptr, { "HTML" }, { false } },
        { "PHP", "<?php echo '<p>x</p>'; ?>", "<p>x</p>", { "PHP", "HTML" }, { false, true } },
        { "SHTML", "<!--#include file=\"a\" -->", "<p>x</p>", { "HTML" }, { true } },
        { "CSS", "a { color: red; }", nullptr, { "CSS" }, { false } },
        { "JavaScript", "var a = 1;", nullptr, { "JavaScript" }, { false } },
        { "Plain Text", "<div>", nullptr, {}, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        FakeDocument document(QString::fromUtf8(c.text), QString::fromLatin1(c.type));
        if (c.page)
            document.page = QString::fromUtf8(c.page);
        const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
        ASSERT_TRUE(result);
        QStringList types;
        QList<bool> generated;
        for (const KELSyntaxCheckTypeResult& r : result->orderedTypeResults()) {
            types << r.typeName();
            generated << r.usesGeneratedSourceText();
            EXPECT_TRUE(r.errors().isEmpty());
        }
        EXPECT_EQ(types, c.types);
        EXPECT_EQ(generated, c.generated);
        EXPECT_EQ(result->generatedSourceText(), c.page ? QString::fromUtf8(c.page) : QString::fromUtf8(c.text));
    }
}

TEST(KELSyntaxCheckTest, PHPErrorsGetTheirLineInTheDocument)
{
    registerCheckerDefaults();
    FakeDocument document(QStringLiteral("<?php\n$a = 1;\nfoo();\n?>\n<p>text"), QStringLiteral("PHP"));
    document.page = QStringLiteral("<kelphperror>Fatal error: Call to undefined function foo() in /tmp/x.php on line 3</kelphperror>\n<p>text<div>");
    const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
    ASSERT_TRUE(result);
    const QList<KELSyntaxCheckError> php = result->typeResultForType(QStringLiteral("PHP"))->errors();
    ASSERT_EQ(php.size(), 1);
    EXPECT_EQ(php[0].lineNumber(), 3u);
    EXPECT_EQ(php[0].textRange(), kit::Range(14, 7)); // "foo();\n" in the document's own text
    const QList<KELSyntaxCheckError> html = result->errorsFromSourceText(true);
    ASSERT_EQ(html.size(), 1);
    EXPECT_EQ(html[0].lineNumber(), 2u); // the unclosed div, on line 2 of the page
    EXPECT_EQ(result->errorsFromSourceText(false).size(), 1);
}

TEST(KELSyntaxCheckTest, Lifecycle)
{
    registerCheckerDefaults();

    // The analysis never runs inside performCheck, even when the page comes at once.
    {
        FakeDocument document(QStringLiteral("<div>"), QStringLiteral("HTML"));
        KELSyntaxCheck check(&document);
        int calls = 0;
        check.setCompletionHandler([&](KELSyntaxCheck* c, std::shared_ptr<KELSyntaxCheckResult> r) {
            ++calls;
            EXPECT_FALSE(c->isRunning());
            EXPECT_EQ(r->errorsFromSourceText(false).size(), 1);
        });
        const std::shared_ptr<KELSyntaxCheckResult> filling = check.performCheck();
        EXPECT_TRUE(check.isRunning());
        EXPECT_EQ(calls, 0);
        EXPECT_TRUE(filling->typeResults().isEmpty());
        (void)QTest::qWaitFor([&] { return calls > 0; }, 60000);
        EXPECT_EQ(calls, 1);
        EXPECT_TRUE(filling->typeResultForType(QStringLiteral("HTML")));
    }
    // A failure at once still ends in one error on line 1, after performCheck returned.
    for (const char* text : { "<?php echo 1; ?>", "" }) {
        FakeDocument document(QString::fromLatin1(text), QStringLiteral("PHP"));
        document.mode = FakePreview::FailImmediately;
        const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
        ASSERT_TRUE(result);
        ASSERT_EQ(result->typeResults().size(), 1);
        const QList<KELSyntaxCheckError> errors = result->typeResultForType(QStringLiteral("PHP"))->errors();
        ASSERT_EQ(errors.size(), 1);
        EXPECT_EQ(errors[0].title(), QStringLiteral("Could Not Perform Syntax Check"));
        EXPECT_EQ(errors[0].textRange(), kit::Range(0, 0));
        EXPECT_EQ(errors[0].lineNumber(), *text ? 1u : 0u);
    }
    // Stopping a run whose page is still being made tells nobody, and a new run
    // started meanwhile gets only its own answer.
    {
        FakeDocument document(QStringLiteral("<p>"), QStringLiteral("PHP"));
        document.mode = FakePreview::Later;
        KELSyntaxCheck check(&document);
        int calls = 0;
        check.setCompletionHandler([&](KELSyntaxCheck*, std::shared_ptr<KELSyntaxCheckResult>) { ++calls; });
        check.performCheck();
        ASSERT_TRUE(FakePreview::s_pending);
        auto stale = FakePreview::s_pending;
        check.stopCheck();
        EXPECT_EQ(document.terminations, 1);
        EXPECT_FALSE(check.isRunning());
        check.performCheck();
        stale(true, QStringLiteral("<div>stale"));
        QTest::qWait(20);
        EXPECT_EQ(calls, 0);
        auto pending = FakePreview::s_pending;
        FakePreview::s_pending = nullptr;
        pending(true, QStringLiteral("<p>fresh"));
        (void)QTest::qWaitFor([&] { return calls > 0; }, 60000);
        EXPECT_EQ(calls, 1);
    }
    // Destroying the run object stops it.
    {
        FakeDocument document(QStringLiteral("<p>"), QStringLiteral("PHP"));
        document.mode = FakePreview::Later;
        int calls = 0;
        {
            KELSyntaxCheck check(&document);
            check.setCompletionHandler([&](KELSyntaxCheck*, std::shared_ptr<KELSyntaxCheckResult>) { ++calls; });
            check.performCheck();
        }
        EXPECT_EQ(document.terminations, 1);
        QTest::qWait(20);
        EXPECT_EQ(calls, 0);
    }
}

TEST(KELSyntaxCheckTest, JavaScriptDocument)
{
    FakeDocument document(QStringLiteral("var a = 1;\nvar b = 2;\nvar c = ;\n"), QStringLiteral("JavaScript"));
    const std::shared_ptr<KELSyntaxCheckResult> result = runCheck(document);
    ASSERT_TRUE(result);
    const QList<KELSyntaxCheckError> errors = result->errorsFromSourceText(false);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0].title(), QStringLiteral("JavaScript Error"));
    EXPECT_EQ(errors[0].lineNumber(), 3u);
    EXPECT_EQ(errors[0].textRange(), kit::Range(22, 10));
}
