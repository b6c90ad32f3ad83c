#include "kit/Alert.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/document/Document.h"
#include "kit/document/DocumentController.h"
#include "kit/document/DocumentTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace kit;
using testsupport::fileBytes;
using testsupport::writeBytes;

namespace {

// A document of UTF-8 text.
class TextDoc : public Document {
public:
    QString text;
    qint64 limit = 0;
    bool readFromData(const QByteArray& data, const QString&, Error*) override
    {
        text = QString::fromUtf8(data);
        return true;
    }
    std::optional<QByteArray> dataOfType(const QString&, Error*) override { return text.toUtf8(); }
    qint64 maximumFileSize() const override { return limit > 0 ? limit : Document::maximumFileSize(); }
    void edit(const QString& newText)
    {
        const QString old = text;
        text = newText;
        undoManager()->registerUndo([this, old] { edit(old); });
    }
};

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::standard().resetForTesting();
        Alert::setResponderForTesting([this](const Alert& alert) {
            alerts << alert.messageText();
            return answers.isEmpty() ? Alert::FirstButtonReturn : answers.takeFirst();
        });
    }
    void TearDown() override
    {
        Alert::setResponderForTesting({});
        Document::setSavePanelResponderForTesting({});
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QStringList alerts;
    QList<int> answers;
};

TEST_F(DocumentTest, SaveOperationsSetTheFileOnlyForSaveAndSaveAs)
{
    TextDoc doc;
    doc.text = QStringLiteral("hello");
    doc.updateChangeCount(ChangeType::Done);

    Error error;
    ASSERT_TRUE(doc.saveToURL(QUrl::fromLocalFile(path("copy.txt")), "Plain Text", SaveOperation::SaveTo, &error));
    EXPECT_TRUE(doc.fileURL().isEmpty());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(fileBytes(path("copy.txt")), "hello");

    ASSERT_TRUE(doc.saveToURL(QUrl::fromLocalFile(path("a.txt")), "Plain Text", SaveOperation::SaveAs, &error));
    EXPECT_EQ(doc.filePath(), path("a.txt"));
    EXPECT_FALSE(doc.isDocumentEdited());
    EXPECT_EQ(doc.displayName(), "a.txt");
    EXPECT_EQ(doc.fileModificationDate(), QFileInfo(path("a.txt")).lastModified());
}

TEST_F(DocumentTest, FailedWriteLeavesTheFileAsItWasAndTheDocumentEdited)
{
    QDir().mkpath(path("locked"));
    const QString file = path("locked/page.html");
    ASSERT_TRUE(writeBytes(file, "original bytes"));
    TextDoc doc;
    doc.setFileURL(QUrl::fromLocalFile(file));
    doc.text = QStringLiteral("new text");
    doc.updateChangeCount(ChangeType::Done);
    {
        testsupport::UnwritableFolder guard(path("locked"));
        if (!guard.effective())
            GTEST_SKIP() << "cannot make a folder refuse writes here";
        Error error;
        EXPECT_FALSE(doc.saveToURL(doc.fileURL(), "Plain Text", SaveOperation::Save, &error));
        EXPECT_FALSE(error.isNull());
        EXPECT_FALSE(error.localizedRecoverySuggestion().isEmpty());
        // The user's command reports the failure and saves nothing.
        bool saved = true;
        doc.saveDocumentWithDelegate([&](Document*, bool didSave) { saved = didSave; });
        EXPECT_FALSE(saved);
        EXPECT_EQ(alerts.size(), 1);
    }
    EXPECT_EQ(fileBytes(file), "original bytes");
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(QDir(path("locked")).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(DocumentTest, SafeWriteKeepsPermissionsAndLeavesNoTemporaryFile)
{
    const QString file = path("script.sh");
    ASSERT_TRUE(writeBytes(file, "old"));
    ::chmod(QFile::encodeName(file).constData(), 0750);
    Error error;
    ASSERT_TRUE(Document::writeDataSafely("new contents", file, &error));
    EXPECT_EQ(fileBytes(file), "new contents");
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0750u);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(DocumentTest, AutosaveWritesOnlyTheSideFile)
{
    const QString file = path("page.html");
    ASSERT_TRUE(writeBytes(file, "on disk"));
    TextDoc doc;
    doc.setFileURL(QUrl::fromLocalFile(file));
    doc.text = QStringLiteral("unsaved");
    doc.updateChangeCount(ChangeType::Done);
    ASSERT_TRUE(doc.hasUnautosavedChanges());

    Error seen(QStringLiteral("x"), 1);
    doc.autosaveWithImplicitCancellability(false, [&](const Error& e) { seen = e; });
    EXPECT_TRUE(seen.isNull());
    EXPECT_EQ(fileBytes(file), "on disk");
    const QString side = doc.autosavedContentsFileURL().toLocalFile();
    ASSERT_FALSE(side.isEmpty());
    EXPECT_TRUE(side.startsWith(Document::autosaveFolder()));
    EXPECT_EQ(fileBytes(side), "unsaved");
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_FALSE(doc.hasUnautosavedChanges());

    // An explicit save writes the file and the side file goes.
    Error error;
    ASSERT_TRUE(doc.saveToURL(doc.fileURL(), "Plain Text", SaveOperation::Save, &error));
    EXPECT_EQ(fileBytes(file), "unsaved");
    EXPECT_FALSE(QFileInfo::exists(side));
    EXPECT_TRUE(doc.autosavedContentsFileURL().isEmpty());
}

TEST_F(DocumentTest, RevertThatFailsKeepsTheEdits)
{
    const QString file = path("page.html");
    ASSERT_TRUE(writeBytes(file, "saved"));
    TextDoc doc;
    Error error;
    doc.setFileURL(QUrl::fromLocalFile(file));
    ASSERT_TRUE(doc.readFromURL(doc.fileURL(), "Plain Text", &error));
    doc.edit(QStringLiteral("edited"));
    QCoreApplication::processEvents(); // closes the undo group
    ASSERT_TRUE(doc.isDocumentEdited());

    QFile::remove(file);
    EXPECT_FALSE(doc.revertToContentsOfURL(doc.fileURL(), "Plain Text", &error));
    EXPECT_EQ(error.code(), FileReadNoSuchFileError);
    EXPECT_EQ(doc.text, "edited");
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_TRUE(doc.undoManager()->canUndo());

    // The user's Revert shows the failure and still keeps everything.
    answers = {Alert::FirstButtonReturn, Alert::FirstButtonReturn};
    doc.revertDocumentToSaved();
    EXPECT_EQ(alerts.size(), 2);
    EXPECT_TRUE(doc.isDocumentEdited());

    ASSERT_TRUE(writeBytes(file, "back on disk"));
    ASSERT_TRUE(doc.revertToContentsOfURL(doc.fileURL(), "Plain Text", &error));
    EXPECT_EQ(doc.text, "back on disk");
    EXPECT_FALSE(doc.isDocumentEdited());
    EXPECT_FALSE(doc.undoManager()->canUndo());
}

TEST_F(DocumentTest, ReadErrorsAreClear)
{
    ASSERT_TRUE(writeBytes(path("big.txt"), QByteArray(2048, 'a')));
    QDir().mkpath(path("folder"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);
    struct Case {
        const char* name;
        int code;
        const char* fragment;
    } cases[] = {
        {"missing.txt", FileReadNoSuchFileError, "does not exist"},
        {"folder", FileReadUnknownError, "is a folder"},
        {"pipe", FileReadUnknownError, "not a regular file"},
        {"big.txt", FileReadTooLargeError, "too large"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TextDoc doc;
        doc.limit = 1024;
        doc.text = QStringLiteral("kept");
        Error error;
        EXPECT_FALSE(doc.readFromURL(QUrl::fromLocalFile(path(c.name)), "Plain Text", &error));
        EXPECT_EQ(error.code(), c.code);
        EXPECT_TRUE(error.localizedRecoverySuggestion().contains(QLatin1String(c.fragment)))
            << error.localizedRecoverySuggestion().toStdString();
        EXPECT_EQ(doc.text, "kept");
    }
}

TEST_F(DocumentTest, UnreadableFileIsReported)
{
    if (!testsupport::permissionsApply())
        GTEST_SKIP() << "permission bits do not apply to this user";
    ASSERT_TRUE(writeBytes(path("secret.txt"), "x"));
    QFile::setPermissions(path("secret.txt"), QFileDevice::Permissions());
    TextDoc doc;
    Error error;
    EXPECT_FALSE(doc.readFromURL(QUrl::fromLocalFile(path("secret.txt")), "Plain Text", &error));
    EXPECT_TRUE(error.localizedRecoverySuggestion().contains("permission"));
}

TEST_F(DocumentTest, UndoManagerDrivesTheChangeCount)
{
    TextDoc doc;
    QList<bool> states;
    QObject::connect(&doc, &Document::editedStateChanged, [&](bool edited) { states << edited; });
    doc.edit(QStringLiteral("one"));
    QCoreApplication::processEvents();
    EXPECT_TRUE(doc.isDocumentEdited());
    doc.undoManager()->undo();
    EXPECT_FALSE(doc.isDocumentEdited());
    doc.undoManager()->redo();
    EXPECT_TRUE(doc.isDocumentEdited());
    doc.updateChangeCount(ChangeType::Cleared);
    doc.undoManager()->undo();
    EXPECT_TRUE(doc.isDocumentEdited()) << "undoing past the save differs from the file";
    EXPECT_EQ(states, (QList<bool>{true, false, true, false, true}));
}

TEST_F(DocumentTest, SaveChangesQuestion)
{
    struct Case {
        int answer;
        bool mayClose;
        const char* onDisk;
    } cases[] = {
        {Document::SaveChangesSave, true, "changed"},
        {Document::SaveChangesDontSave, true, "saved"},
        {Document::SaveChangesCancel, false, "saved"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        const QString file = path("q.txt");
        ASSERT_TRUE(writeBytes(file, "saved"));
        TextDoc doc;
        doc.setFileURL(QUrl::fromLocalFile(file));
        doc.text = QStringLiteral("changed");
        doc.updateChangeCount(ChangeType::Done);
        alerts.clear();
        answers = {c.answer};
        std::optional<bool> result;
        doc.canCloseDocument([&](bool ok) { result = ok; });
        ASSERT_TRUE(result.has_value());
        EXPECT_EQ(*result, c.mayClose);
        EXPECT_EQ(fileBytes(file), c.onDisk);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts[0], QStringLiteral("Do you want to save the changes made to the document “q.txt”?"));
    }
}

TEST_F(DocumentTest, SavingAnUntitledDocumentAsksForAPlace)
{
    TextDoc doc;
    doc.text = QStringLiteral("new");
    doc.updateChangeCount(ChangeType::Done);
    QList<SaveOperation> asked;
    Document::setSavePanelResponderForTesting([&](Document&, SaveOperation op) {
        asked << op;
        return asked.size() == 1 ? QUrl() : QUrl::fromLocalFile(path("new.txt"));
    });
    bool saved = true;
    doc.saveDocumentWithDelegate([&](Document*, bool ok) { saved = ok; });
    EXPECT_FALSE(saved) << "cancelled";
    doc.saveDocumentWithDelegate([&](Document*, bool ok) { saved = ok; });
    EXPECT_TRUE(saved);
    EXPECT_EQ(asked, (QList<SaveOperation>{SaveOperation::SaveAs, SaveOperation::SaveAs}));
    EXPECT_EQ(doc.filePath(), path("new.txt"));
    EXPECT_EQ(fileBytes(path("new.txt")), "new");
}

} // namespace
