#pragma once
// Shared pieces of the preview tests: an open document with unsaved text, the
// registered defaults with the real PHP, and files in a temporary folder.

#include "support/DefaultsKeys.h"
#include "app/RegisteredDefaults.h"
#include "kit/Alert.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "preview/KELPreviewDocument.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include "KelpPaths.h"

/// Runs the event loop until the condition holds or the time is up (long by
/// default, for a machine busy with other work; it ends as soon as it holds).
inline bool waitUntil(const std::function<bool()>& condition, int milliseconds = 60000)
{
    // No pause between rounds: a page's requests each take several turns of the loop.
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class FakePreviewDocument : public KELPreviewDocument
{
public:
    FakePreviewDocument(
        const QString& path, const QString& text, kit::StringEncoding encoding = kit::UTF8StringEncoding)
        : path(path)
        , text(text)
        , encoding(encoding)
    {
    }
    QString previewText() const override { return text; }
    kit::StringEncoding previewEncoding() const override { return encoding; }
    QString previewFilePath() const override { return path; }
    QString previewDisplayName() const override
    {
        return path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path).fileName();
    }
    bool usesPreviewFile() const override { return usesPreview; }
    QString previewFile() const override { return previewPage; }

    QString path;
    QString text;
    kit::StringEncoding encoding;
    bool usesPreview = false;
    QString previewPage;
};

class PreviewTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELPHPLocationKey, QStringLiteral("/usr/bin/php"));
        kit::Alert::setResponderForTesting([this](const kit::Alert& alert) {
            alerts.append(alert.messageText());
            return kit::Alert::FirstButtonReturn;
        });
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        kit::UserDefaults::standard().resetForTesting();
        KELPreviewDocument::setProjectDirectoryLookup({});
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString makeFile(const QString& name, const QByteArray& data)
    {
        const QString file = path(name);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(data);
        return file;
    }
    /// Copies a fixture of tests/fixtures/preview into the temporary folder.
    QString copyFixture(const QString& name, const QString& as = QString())
    {
        QFile in(QStringLiteral(KELP_TEST_FIXTURES "/preview/") + name);
        EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << name.toStdString();
        return makeFile(as.isEmpty() ? name : as, in.readAll());
    }
    QStringList filesNamed(const QString& folder, const QString& prefix) const
    {
        return QDir(folder).entryList({ prefix + QLatin1Char('*') }, QDir::Files);
    }

    QTemporaryDir dir;
    QStringList alerts;
};
