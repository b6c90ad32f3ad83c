#pragma once
// Shared pieces of the checker tests: the vocabulary settings, fixture reading and
// a document whose page generation the test controls.

#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheck.h"
#include "checker/KELSyntaxCheckDocument.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextView.h"

#include <QFile>
#include <QString>
#include <QTest>
#include <functional>
#include "KelpPaths.h"

inline void registerCheckerDefaults(bool html5 = true)
{
    kit::UserDefaults::standard().registerDefaults({
        { KELShowHTML5Completions, true },
        { KELErrorCheckerShowWarnings, true },
        { KELOrganizeTagsSpacer, qlonglong(1) },
        { KELOrganizeTagsNumSpaces, qlonglong(1) },
    });
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, html5);
}

inline QString fixtureText(const QString& name)
{
    QFile file(QStringLiteral(KELP_TEST_FIXTURES "/checker/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

/// A page generator the test answers by hand (or at once, or with failure).
class FakePreview : public KELSyntaxCheckPreview {
public:
    enum Mode { Immediate, Later, FailImmediately };
    FakePreview(Mode mode, QString page, int* terminations) : m_mode(mode), m_page(std::move(page)), m_terminations(terminations) { }
    void generate(Callback callback) override
    {
        if (m_mode == Immediate)
            callback(true, m_page);
        else if (m_mode == FailImmediately)
            callback(false, std::nullopt);
        else
            s_pending = callback;
    }
    void terminate() override
    {
        if (m_terminations)
            ++*m_terminations;
        if (s_pending) {
            auto callback = std::move(s_pending);
            s_pending = nullptr;
            callback(false, std::nullopt);
        }
    }
    static inline Callback s_pending;

private:
    Mode m_mode;
    QString m_page;
    int* m_terminations;
};

class FakeDocument : public KELSyntaxCheckDocument {
public:
    FakeDocument(QString text, QString type) : text(std::move(text)), type(std::move(type)) { }
    QString syntaxCheckText() const override { return textView ? textView->string() : text; }
    QString syntaxCheckFileTypeName() const override { return type; }
    std::unique_ptr<KELSyntaxCheckPreview> makeSyntaxCheckPreview() override
    {
        return std::make_unique<FakePreview>(mode, page.isNull() ? syntaxCheckText() : page, &terminations);
    }
    QString syntaxCheckDisplayName() const override { return QStringLiteral("page.html"); }
    kit::TextView* syntaxCheckTextView() const override { return textView; }
    void syntaxCheckShowDocument() override { ++shown; }

    QString text;
    QString type;
    QString page; // the generated page when it differs from the text
    FakePreview::Mode mode = FakePreview::Immediate;
    kit::TextView* textView = nullptr;
    int terminations = 0;
    int shown = 0;
};

/// Runs a whole check and waits for its result.
inline std::shared_ptr<KELSyntaxCheckResult> runCheck(KELSyntaxCheckDocument& document)
{
    KELSyntaxCheck check(&document);
    std::shared_ptr<KELSyntaxCheckResult> delivered;
    check.setCompletionHandler([&](KELSyntaxCheck*, std::shared_ptr<KELSyntaxCheckResult> result) { delivered = result; });
    check.performCheck();
    (void)QTest::qWaitFor([&] { return delivered != nullptr; }, 60000);
    return delivered;
}
