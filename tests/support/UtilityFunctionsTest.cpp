#include "support/DefaultsKeys.h"
#include "kit/Alert.h"
#include "kit/Log.h"
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/UtilityFunctions.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

class UtilityFunctionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::UserDefaults::standard().resetForTesting();
        savedCandidates = UtilityFunctions::sharedInstance().phpCandidates();
        ASSERT_TRUE(dir.isValid());
    }
    void TearDown() override
    {
        UtilityFunctions::sharedInstance().setPHPCandidatesForTesting(savedCandidates);
        UtilityFunctions::setFileEncodingLookup({});
        kit::Alert::setResponderForTesting({});
        kit::UserDefaults::standard().resetForTesting();
    }
    QString makeFile(const QString& name, const QByteArray& data, bool executable = false)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        file.close();
        if (executable)
            file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        return path;
    }

    QTemporaryDir dir;
    QStringList savedCandidates;
};

TEST_F(UtilityFunctionsTest, IndentUnit)
{
    struct Case {
        qlonglong spacer;
        qlonglong spaces;
        QString unit;
        QChar character;
    };
    const Case cases[] = {
        {1, 1, "\t", '\t'}, {1, 4, "\t", '\t'}, {0, 0, " ", ' '}, {0, 4, "    ", ' '}, {0, -3, " ", ' '},
    };
    auto& defaults = kit::UserDefaults::standard();
    for (const Case& c : cases) {
        defaults.setValue(KELOrganizeTagsSpacer, c.spacer);
        defaults.setValue(KELOrganizeTagsNumSpaces, c.spaces);
        EXPECT_EQ(UtilityFunctions::indentSpacerSpring(), c.unit) << c.spacer << "/" << c.spaces;
        EXPECT_EQ(UtilityFunctions::indentSpacerChar(), c.character);
    }
}

TEST_F(UtilityFunctionsTest, NewDocumentSkeletonUsesTheIndentUnit)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(KELOrganizeTagsSpacer, qlonglong(1));
    const QString withTabs = *UtilityFunctions::stringForNewDocument();
    EXPECT_TRUE(withTabs.startsWith(QStringLiteral(
        "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">\n")));
    EXPECT_TRUE(withTabs.endsWith(QStringLiteral("\n<html>\n\n\t<head>\n\t\t<title></title>\n\t</head>\n\t<body>\n\n\n"
                                                 "\t</body>\n</html>")));
    defaults.setValue(KELOrganizeTagsSpacer, qlonglong(0));
    defaults.setValue(KELOrganizeTagsNumSpaces, qlonglong(4));
    const QString withSpaces = *UtilityFunctions::stringForNewDocument();
    EXPECT_FALSE(withSpaces.contains(QLatin1Char('\t')));
    EXPECT_TRUE(withSpaces.contains(QStringLiteral("\n        <title></title>\n")));
    EXPECT_EQ(*UtilityFunctions::dataForNewDocument(), withSpaces.toUtf8());
}

TEST_F(UtilityFunctionsTest, NewDocumentFromTemplateFile)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(KELShouldGetNewDocCodeFromAFileKey, true);
    defaults.setValue(KELCodeForNewDocumentsKey, dir.filePath(QStringLiteral("missing.html")));
    kit::StringEncoding encoding = kit::NoEncoding;
    EXPECT_FALSE(UtilityFunctions::stringForNewDocument(&encoding));
    EXPECT_FALSE(UtilityFunctions::dataForNewDocument());
    EXPECT_EQ(encoding, kit::NoEncoding);

    // A Latin-1 template keeps its encoding for new files made from it.
    const QByteArray latin1 = QByteArray("<p>caf") + char(0xe9) + "</p>";
    defaults.setValue(KELCodeForNewDocumentsKey, makeFile(QStringLiteral("template.html"), latin1));
    defaults.setValue(KELDefaultEncodingForOpen, qlonglong(kit::ISOLatin1StringEncoding));
    EXPECT_EQ(UtilityFunctions::stringForNewDocument(&encoding), QStringLiteral("<p>caf\u00e9</p>"));
    EXPECT_EQ(encoding, kit::ISOLatin1StringEncoding);
    EXPECT_EQ(UtilityFunctions::dataForNewDocument(), latin1);
}

TEST_F(UtilityFunctionsTest, ReadChainOrder)
{
    const QByteArray utf8 = QStringLiteral("caf\u00e9 \u2013 ok").toUtf8();
    const QUrl utf8File = QUrl::fromLocalFile(makeFile(QStringLiteral("u.txt"), utf8));
    const QUrl asciiFile = QUrl::fromLocalFile(makeFile(QStringLiteral("a.txt"), "plain text"));
    kit::LogCapture log;

    kit::StringEncoding used = kit::NoEncoding;
    // The given encoding wins when it reads the file.
    EXPECT_EQ(UtilityFunctions::stringContentsForURL(utf8File, kit::ISOLatin1StringEncoding, &used),
              QString::fromLatin1(utf8));
    EXPECT_EQ(used, kit::ISOLatin1StringEncoding);

    // ASCII cannot read it: logged, then detection finds UTF-8.
    kit::Error error;
    used = kit::NoEncoding;
    EXPECT_EQ(UtilityFunctions::stringContentsForURL(utf8File, kit::ASCIIStringEncoding, &used, &error),
              QString::fromUtf8(utf8));
    EXPECT_EQ(used, kit::UTF8StringEncoding);
    EXPECT_TRUE(log.contains(QStringLiteral("with document encoding Plain Text (ASCII)")));

    // The per-file encoding comes before the open default.
    UtilityFunctions::setFileEncodingLookup([&](const QString& path) {
        return path == utf8File.toLocalFile() ? kit::WindowsCP1252StringEncoding : kit::NoEncoding;
    });
    kit::UserDefaults::standard().setValue(KELDefaultEncodingForOpen, qlonglong(kit::ISOLatin1StringEncoding));
    EXPECT_TRUE(UtilityFunctions::stringContentsForURL(utf8File, &used));
    EXPECT_EQ(used, kit::WindowsCP1252StringEncoding);
    EXPECT_TRUE(UtilityFunctions::stringContentsForURL(asciiFile, &used));
    EXPECT_EQ(used, kit::ISOLatin1StringEncoding);

    // Pure ASCII detected reads as UTF-8: the same bytes, and room for any character typed later.
    kit::UserDefaults::standard().removeValue(KELDefaultEncodingForOpen);
    EXPECT_EQ(UtilityFunctions::stringContentsForURL(asciiFile, &used), QStringLiteral("plain text"));
    EXPECT_EQ(used, kit::UTF8StringEncoding);

    // A page's own declaration comes before the guess; one the bytes do not read in is passed over, logged.
    const QUrl declared = QUrl::fromLocalFile(makeFile(QStringLiteral("d.html"), "<meta charset=\"windows-1252\"><p>\x80</p>"));
    EXPECT_EQ(UtilityFunctions::stringContentsForURL(declared, &used), QStringLiteral("<meta charset=\"windows-1252\"><p>\u20ac</p>"));
    EXPECT_EQ(used, kit::WindowsCP1252StringEncoding);
    const QUrl wrong = QUrl::fromLocalFile(makeFile(QStringLiteral("w.html"), "<meta charset=\"utf-8\"><p>caf\xe9 cr\xe8me</p>"));
    EXPECT_TRUE(UtilityFunctions::stringContentsForURL(wrong, &used));
    EXPECT_NE(used, kit::UTF8StringEncoding);
    EXPECT_TRUE(log.contains(QStringLiteral("with its declared encoding utf-8")));

    // A missing file: no text, an error, the used encoding untouched.
    used = 77;
    error = kit::Error();
    EXPECT_FALSE(UtilityFunctions::stringContentsForURL(QUrl::fromLocalFile(dir.filePath("nope")), &used, &error));
    EXPECT_EQ(used, 77u);
    EXPECT_FALSE(error.isNull());
}

TEST_F(UtilityFunctionsTest, RelativePaths)
{
    const QString root = dir.path();
    QDir().mkpath(root + QStringLiteral("/site/lib-1.2"));
    makeFile(QStringLiteral("site/LICENSE"), "text");
    struct Case {
        QString from;
        QString to;
        QString expected;
    };
    const Case cases[] = {
        {"/site/pages", "/site/img/a.png", "../img/a.png"},
        {"/site/pages", "/site/pages/sub", "sub/"},
        {"/site/pages", "/site/pages/a.html", "a.html"},
        {"/site", "/site", ""},
        {"/a/b/c", "/x/y.css", "../../../x/y.css"},
        // Different letter case is a different folder.
        {"/A/b", "/a/B/c.html", "../../a/B/c.html"},
        // Existing paths are asked what they are: a file without an extension and
        // a folder with a dot in its name.
        {root + "/site/pages", root + "/site/LICENSE", "../LICENSE"},
        {root + "/site", root + "/site/lib-1.2", "lib-1.2/"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UtilityFunctions::relativePathFromDirectory(c.from, c.to), c.expected) << c.to.toStdString();
}

TEST_F(UtilityFunctionsTest, RemovingSubPaths)
{
    EXPECT_EQ(UtilityFunctions::arrayByRemovingSubPaths(QStringList{"/x", "/x/y", "/X"}), (QStringList{"/x", "/X"}));
    EXPECT_EQ(UtilityFunctions::arrayByRemovingSubPaths(QStringList{"/x/y/z", "/x/y", "/x/y/", "/w"}),
              (QStringList{"/x/y", "/w"}));
    const QList<QUrl> urls = {QUrl::fromLocalFile("/p/q"), QUrl::fromLocalFile("/p"), QUrl::fromLocalFile("/r")};
    EXPECT_EQ(UtilityFunctions::arrayByRemovingSubPaths(urls),
              (QList<QUrl>{QUrl::fromLocalFile("/p"), QUrl::fromLocalFile("/r")}));
}

TEST_F(UtilityFunctionsTest, FindingPHP)
{
    auto& utilities = UtilityFunctions::sharedInstance();
    auto& defaults = kit::UserDefaults::standard();
    QStringList alerts;
    kit::Alert::setResponderForTesting([&](const kit::Alert& alert) {
        alerts.append(alert.messageText());
        return kit::Alert::FirstButtonReturn;
    });
    const QString folder = dir.filePath(QStringLiteral("php5"));
    QDir().mkpath(folder);
    const QString notExecutable = makeFile(QStringLiteral("bin/php-noexec"), "#!/bin/sh\n");
    const QString php = makeFile(QStringLiteral("bin/php"), "#!/bin/sh\necho php\n", true);

    // Nothing usable: a folder is never taken for the interpreter.
    utilities.setPHPCandidatesForTesting({dir.filePath("missing"), folder, notExecutable});
    EXPECT_TRUE(utilities.availablePHPLocations().isEmpty());
    defaults.setValue(KELPHPLocationKey, dir.filePath(QStringLiteral("gone/php")));
    EXPECT_FALSE(utilities.canFindPHP(false));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_FALSE(utilities.assertCanFindPHP());
    EXPECT_EQ(alerts, QStringList{"Cannot Find PHP"});
    defaults.setValue(KELPHPLocationKey, folder);
    EXPECT_FALSE(utilities.assertCanFindPHP());
    EXPECT_EQ(alerts.last(), QStringLiteral("Cannot Find PHP"));
    defaults.setValue(KELPHPLocationKey, notExecutable);
    EXPECT_FALSE(utilities.assertCanFindPHP());
    EXPECT_EQ(alerts.last(), QStringLiteral("Cannot Execute PHP"));
    EXPECT_EQ(defaults.stringValue(KELPHPLocationKey), notExecutable);

    // The first usable candidate becomes the location.
    utilities.setPHPCandidatesForTesting({folder, notExecutable, php});
    EXPECT_EQ(utilities.availablePHPLocations(), QStringList{php});
    EXPECT_TRUE(utilities.canFindPHP(true));
    EXPECT_EQ(defaults.stringValue(KELPHPLocationKey), php);
    EXPECT_EQ(alerts.size(), 3);
}

TEST_F(UtilityFunctionsTest, FoldersAndSystem)
{
    EXPECT_TRUE(UtilityFunctions::sharedInstance().checkMinOSVersion(0x1070));
    EXPECT_TRUE(UtilityFunctions::sharedInstance().checkMinOSYosemite());
    EXPECT_GT(UtilityFunctions::processorClockSpeedInMHz(), 0u);
    EXPECT_EQ(UtilityFunctions::currentApplicationName(), QStringLiteral("Kelp Studio"));
    EXPECT_EQ(UtilityFunctions::homeDirectory(), QDir::homePath());

    const QString made = UtilityFunctions::makeTempDirectory(QStringLiteral("Component Preview XXXXXX"));
    ASSERT_FALSE(made.isEmpty());
    EXPECT_TRUE(QFileInfo(made).isDir());
    EXPECT_TRUE(made.startsWith(UtilityFunctions::tempDirectory() + QStringLiteral("/Component Preview ")));
    EXPECT_FALSE(made.endsWith(QStringLiteral("XXXXXX")));
    EXPECT_NE(made, UtilityFunctions::makeTempDirectory(QStringLiteral("Component Preview XXXXXX")));
    kit::LogCapture log;
    EXPECT_TRUE(UtilityFunctions::makeTempDirectory(QStringLiteral("no template")).isEmpty());
    EXPECT_FALSE(log.lines().isEmpty());

    EXPECT_TRUE(UtilityFunctions::iconForPath(dir.filePath("missing")).isNull());
    EXPECT_FALSE(UtilityFunctions::iconForPath(dir.path()).isNull());

    EXPECT_FALSE(UtilityFunctions::isAppLaunched(QStringLiteral("/usr/share/applications/no-such-program-xyz.desktop")));
    EXPECT_TRUE(UtilityFunctions::isAppLaunched(QFileInfo(QCoreApplication::applicationFilePath()).fileName()));

    for (char16_t c : {u'\n', u'\r', u'\u2028', u'\u2029', u'\u0085'})
        EXPECT_TRUE(UtilityFunctions::isNewLineCharacter(QChar(c)));
    EXPECT_FALSE(UtilityFunctions::isNewLineCharacter(QChar(u' ')));
}

} // namespace
