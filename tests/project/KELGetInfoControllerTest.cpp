#include "project/KELGetInfoController.h"

#include "ProjectTestSupport.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/Alert.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "kit/WindowPlacement.h"
#include "project/KELGetInfoManager.h"
#include "support/KELEncodingPopUpButtonCell.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QScreen>
#include <QDialog>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

using projecttest::writeFile;

namespace {

class KELGetInfoControllerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        kit::UserDefaults::standard().resetForTesting();
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        controller = new MyDocumentController(QCoreApplication::instance());
    }
    void TearDown() override
    {
        KELGetInfoManager::sharedInstance().closeAll();
        kit::Alert::setResponderForTesting(nullptr);
        kit::DocumentController::resetSharedForTesting();
    }
    QTemporaryDir dir;
    MyDocumentController* controller = nullptr;
};

TEST_F(KELGetInfoControllerTest, SizesInBothFields)
{
    struct Case {
        quint64 size;
        const char* field;
        const char* summary;
    };
    const Case cases[] = {
        {0, "0 bytes", "0 b"},          {1023, "1023 bytes", "1023 b"}, {1024, "1.0 KB", "1.0 KB"},
        {10239, "10.0 KB", "10.0 KB"},  {10240, "10 KB", "10 KB"},      {1048575, "1024 KB", "1024 KB"},
        {1048576, "1.0 MB", "1.0 MB"},  {10485760, "10 MB", "10 MB"},   {5000000000ULL, "4768 MB", "4768 MB"},
    };
    for (const Case& c : cases) {
        QString field;
        QString summary;
        KELGetInfoController::sizeTexts(c.size, &field, &summary);
        EXPECT_EQ(field, QString::fromLatin1(c.field)) << c.size;
        EXPECT_EQ(summary, QString::fromLatin1(c.summary)) << c.size;
    }
}

TEST_F(KELGetInfoControllerTest, KindsAndSections)
{
    QImage image(7, 3, QImage::Format_RGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(dir.filePath("logo.png")));
    writeFile(dir.filePath("broken.png"), "not an image");
    writeFile(dir.filePath("index.html"));
    QDir().mkpath(dir.filePath("folder"));

    EXPECT_EQ(KELGetInfoController::kindForPath(dir.filePath("logo.png")), QStringLiteral("Image (7 \u00d7 3 pixels)"));
    EXPECT_EQ(KELGetInfoController::kindForPath(dir.filePath("broken.png")), "Image");
    EXPECT_EQ(KELGetInfoController::kindForPath(dir.filePath("index.html")), "HTML Document");
    EXPECT_EQ(KELGetInfoController::kindForPath(dir.filePath("folder")), "Folder");

    KELGetInfoController folder(dir.filePath("folder"));
    EXPECT_EQ(folder.kindText(), "Folder");
    EXPECT_TRUE(folder.sizeText().isEmpty());
    EXPECT_FALSE(folder.showsEncodingSection());
    EXPECT_FALSE(folder.showsPreviewFileSection());

    KELGetInfoController html(dir.filePath("index.html"));
    EXPECT_EQ(html.fileNameText(), "index.html");
    EXPECT_EQ(html.sizeText(), "9 bytes");
    EXPECT_EQ(html.titleSizeText(), "9 b");
    EXPECT_TRUE(html.showsEncodingSection());
    EXPECT_TRUE(html.titleModifiedText().startsWith("Modified: "));
    EXPECT_FALSE(html.modifiedText().isEmpty());
    EXPECT_TRUE(html.locationText().endsWith(QStringLiteral("\u25b8 ") + QFileInfo(dir.path()).fileName()));

    KELGetInfoController png(dir.filePath("logo.png"));
    EXPECT_FALSE(png.showsEncodingSection());
}

TEST_F(KELGetInfoControllerTest, OneWindowPerPath)
{
    writeFile(dir.filePath("a.html"));
    KELGetInfoManager& manager = KELGetInfoManager::sharedInstance();
    manager.showGetInfoForPath(dir.filePath("missing.html"));
    EXPECT_EQ(manager.controllerForPath(dir.filePath("missing.html")), nullptr);
    manager.showGetInfoForPath(dir.filePath("a.html"));
    KELGetInfoController* first = manager.controllerForPath(dir.filePath("a.html"));
    ASSERT_TRUE(first);
    manager.showGetInfoForPath(dir.filePath("a.html"));
    EXPECT_EQ(manager.controllerForPath(dir.filePath("a.html")), first);
    first->window()->close();
    EXPECT_EQ(manager.controllerForPath(dir.filePath("a.html")), nullptr);
    manager.showGetInfoForPath(dir.filePath("a.html"));
    EXPECT_NE(manager.controllerForPath(dir.filePath("a.html")), nullptr);
}

TEST_F(KELGetInfoControllerTest, WindowClosesWhenItsFileIsGone)
{
    writeFile(dir.filePath("a.html"));
    KELGetInfoManager& manager = KELGetInfoManager::sharedInstance();
    manager.showGetInfoForPath(dir.filePath("a.html"));
    KELGetInfoController* info = manager.controllerForPath(dir.filePath("a.html"));
    ASSERT_TRUE(info);
    QFile::remove(dir.filePath("a.html"));
    info->updateGetInfoValues();
    EXPECT_EQ(manager.controllerForPath(dir.filePath("a.html")), nullptr);
}

TEST_F(KELGetInfoControllerTest, EncodingChangeOffersReloadOnlyForACleanDocument)
{
    writeFile(dir.filePath("a.html"), "caf\xc3\xa9\n");
    kit::Error error;
    auto* document = qobject_cast<MyDocument*>(controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(dir.filePath("a.html")), false, &error));
    ASSERT_TRUE(document);
    QStringList asked;
    kit::Alert::setResponderForTesting([&asked](const kit::Alert& alert) {
        asked << alert.messageText();
        return kit::Alert::SecondButtonReturn; // Cancel: no reload
    });
    KELGetInfoController info(dir.filePath("a.html"));
    KELEncodingPopUpButtonCell* popUp = info.encodingPopUp();
    ASSERT_TRUE(popUp);
    // Another encoding than the document's: the first one offered that is not UTF-8.
    auto choose = [popUp](bool utf8) -> kit::StringEncoding {
        for (int i = 0; i < popUp->count(); ++i) {
            const QVariant data = popUp->itemData(i, KELEncodingPopUpButtonCell::EncodingRole);
            if (data.isValid() && (data.toULongLong() == kit::UTF8StringEncoding) == utf8) {
                popUp->setCurrentIndex(i);
                return data.toULongLong();
            }
        }
        return kit::NoEncoding;
    };
    const kit::StringEncoding other = choose(false);
    ASSERT_NE(other, kit::NoEncoding);
    info.selectEncoding();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_EQ(asked.first(), "Would you like to reload the document \"a.html\" using the selected encoding?");
    EXPECT_EQ(document->documentEncoding(), other);
    EXPECT_EQ(KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(dir.filePath("a.html")).encoding(), other);

    // An edited document is not asked and keeps its text.
    document->replaceCharactersInRange(kit::Range{0, 0}, QStringLiteral("x"));
    asked.clear();
    ASSERT_EQ(choose(true), kit::UTF8StringEncoding);
    info.selectEncoding();
    EXPECT_TRUE(asked.isEmpty());
    EXPECT_TRUE(document->currentString().startsWith("x"));
}

// With no encoding stored for a file, the pop-up says so; it never shows the first
// encoding of the list as if the user had picked it. Choosing "Automatic" keeps
// none stored.
TEST_F(KELGetInfoControllerTest, NoStoredEncodingShowsAutomatic)
{
    writeFile(dir.filePath("plain.html"));
    KELGetInfoController info(dir.filePath("plain.html"));
    KELEncodingPopUpButtonCell* popUp = info.encodingPopUp();
    ASSERT_TRUE(popUp);
    EXPECT_EQ(popUp->currentText(), QStringLiteral("Automatic"));
    EXPECT_EQ(popUp->selectedEncoding(), kit::NoEncoding);
    info.selectEncoding();
    EXPECT_EQ(KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(dir.filePath("plain.html")).encoding(), kit::NoEncoding);

    // A stored encoding is shown as chosen, without the "Automatic" entry.
    writeFile(dir.filePath("stored.html"));
    KELFilePrefs& prefs = KELFilePrefsManager::sharedFilePrefsManager().filePrefsForFile(dir.filePath("stored.html"));
    prefs.setEncoding(kit::UTF8StringEncoding);
    KELFilePrefsManager::sharedFilePrefsManager().saveFilePrefs(prefs);
    KELGetInfoController stored(dir.filePath("stored.html"));
    ASSERT_TRUE(stored.encodingPopUp());
    EXPECT_EQ(stored.encodingPopUp()->selectedEncoding(), kit::UTF8StringEncoding);
    EXPECT_EQ(stored.encodingPopUp()->findText(QStringLiteral("Automatic")), -1);
}

// The first Get Info window opens over the window in front, not in the screen's
// corner; the next one steps down from it; both wholly on screen.
TEST_F(KELGetInfoControllerTest, WindowsOpenOverTheWindowInFrontAndCascade)
{
    writeFile(dir.filePath("a.html"));
    writeFile(dir.filePath("b.html"));
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget front;
    front.resize(area.width() / 2, area.height() / 2);
    front.move(area.center() - QPoint(area.width() / 4, area.height() / 4));
    front.show();
    front.activateWindow();
    QApplication::setActiveWindow(&front);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&front));
    KELGetInfoController::resetCascadeForTesting();
    KELGetInfoManager& manager = KELGetInfoManager::sharedInstance();
    manager.showGetInfoForPath(dir.filePath("a.html"));
    manager.showGetInfoForPath(dir.filePath("b.html"));
    QWidget* first = manager.controllerForPath(dir.filePath("a.html"))->window();
    QWidget* second = manager.controllerForPath(dir.filePath("b.html"))->window();
    const QRect firstFrame = kit::windowFrame(first);
    EXPECT_NE(firstFrame.topLeft(), area.topLeft());
    EXPECT_TRUE(kit::windowFrame(&front).contains(firstFrame.center()));
    EXPECT_TRUE(area.contains(firstFrame));
    EXPECT_TRUE(area.contains(kit::windowFrame(second)));
    EXPECT_GT(kit::windowFrame(second).top(), firstFrame.top());
    EXPECT_GT(kit::windowFrame(second).left(), firstFrame.left());
}

} // namespace
