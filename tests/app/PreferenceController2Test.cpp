#include "support/PreferenceController2.h"
#include "support/InterfaceHelpers.h"

#include "support/DefaultsKeys.h"
#include "support/Notifications.h"
#include "kit/Alert.h"
#include "kit/NotificationCenter.h"
#include "kit/UserDefaults.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        kit::Alert::setResponderForTesting([this](const kit::Alert& a) {
            alerts << a.messageText();
            return kit::Alert::FirstButtonReturn;
        });
        prefs.resetWindowForTesting();
    }
    void TearDown() override
    {
        kit::Alert::setResponderForTesting({});
        PreferenceController2::setBrowserFinderForTesting({});
        prefs.resetWindowForTesting();
    }
    PreferenceController2& prefs = PreferenceController2::sharedInstance();
    QStringList alerts;
};

} // namespace

TEST_F(PreferencesTest, TransparencyGivesBackgroundAndSelectionAlpha)
{
    prefs.window();
    prefs.changeBackgroundColor(QColor(200, 220, 240));
    prefs.changeSelectionColor(QColor(10, 20, 200));
    struct Case {
        double slider;
        const char* label;
        double background;
        double selection;
    };
    const Case cases[] = {
        {0.004, "Transparency: Off", 0.996, 0.996},
        {0.5, "Transparency: 50%", 0.5, 0.5},
        {0.8, "Transparency: 80%", 0.2, 0.5},
        {0.0, "Transparency: Off", 1.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slider);
        prefs.changeTransparency(c.slider);
        EXPECT_EQ(prefs.transparencyText(), QString::fromLatin1(c.label));
        EXPECT_NEAR(PreferenceController2::colorForKey(KELBackgroundColorKey).alphaF(), c.background, 0.005);
        EXPECT_NEAR(PreferenceController2::colorForKey(KELSelectionColorKey).alphaF(), c.selection, 0.005);
        EXPECT_NEAR(kit::UserDefaults::standard().colorValue(KELBackgroundColorKey).alphaF(), c.background, 0.005);
    }
}

TEST_F(PreferencesTest, ColourChangesAreBroadcastWithTheColour)
{
    QStringList heard;
    QObject context;
    for (const QString& name : {KELTextColorChangedNotification, KELBackgroundColoringChangedNotification,
                                KELSelectionColorChangedNotification})
        kit::NotificationCenter::defaultCenter().addObserver(name, nullptr, [&heard, name](const kit::Notification& n) {
            heard << name + QLatin1Char(' ') + n.userInfo.value(QStringLiteral("color")).value<QColor>().name();
        }, &context);
    prefs.setColorForKey(QColor(Qt::red), KELTextColorKey);
    prefs.setColorForKey(QColor(Qt::blue), QStringLiteral("Some Other Color"));
    EXPECT_EQ(heard, QStringList({KELTextColorChangedNotification + QStringLiteral(" #ff0000")}));
}

TEST_F(PreferencesTest, UnknownOrMissingPaneShowsGeneral)
{
    for (const QString& stored : {QString(), QStringLiteral("KELNoSuchPaneIdentifier")}) {
        kit::UserDefaults::standard().setValue(QStringLiteral("KELSelectedPreferencesItem"), stored);
        prefs.resetWindowForTesting();
        prefs.window();
        EXPECT_EQ(prefs.shownIdentifier(), QStringLiteral("KELGeneralPreferencesToolbarIdentifier"));
        EXPECT_EQ(prefs.window()->windowTitle(), QStringLiteral("General"));
    }
    prefs.showPreferencesPane(QStringLiteral("KELFileTypesPreferencesToolbarIdentifier"));
    EXPECT_EQ(prefs.window()->windowTitle(), QStringLiteral("File Types"));
    prefs.showPreferencesPane(QStringLiteral("bogus")); // logged, nothing changes
    EXPECT_EQ(prefs.shownIdentifier(), QStringLiteral("KELFileTypesPreferencesToolbarIdentifier"));
    EXPECT_EQ(kit::UserDefaults::standard().stringValue(QStringLiteral("KELSelectedPreferencesItem")),
              QStringLiteral("KELFileTypesPreferencesToolbarIdentifier"));
    EXPECT_EQ(prefs.items().size(), 8);
}

TEST_F(PreferencesTest, VanishedCustomBrowserFallsBackToTheDefault)
{
    auto& defaults = kit::UserDefaults::standard();
    defaults.setValue(KELSelectedPreviewBrowserKey, 4);
    defaults.setValue(KELCustomUserBrowserKey, QStringLiteral("/nowhere/mybrowser"));
    defaults.setValue(KELDefaultBrowserKey, QStringLiteral("/nowhere/mybrowser"));
    PreferenceController2::setBrowserFinderForTesting([](const QString&) { return QString(); });
    prefs.window();
    EXPECT_EQ(prefs.selectedBrowserTag(), 5);
    EXPECT_EQ(defaults.integerValue(KELSelectedPreviewBrowserKey), 5);
    EXPECT_EQ(defaults.stringValue(KELDefaultBrowserKey), QString());

    // Found again by its name: kept as the custom item.
    prefs.resetWindowForTesting();
    defaults.setValue(KELSelectedPreviewBrowserKey, 4);
    PreferenceController2::setBrowserFinderForTesting([](const QString& name) {
        return name == QLatin1String("mybrowser") ? QStringLiteral("/usr/local/bin/mybrowser") : QString();
    });
    prefs.window();
    EXPECT_EQ(prefs.selectedBrowserTag(), 4);
}

TEST_F(PreferencesTest, TheTemplatePathShowsWholeComponentsWithArrowsAndIcons)
{
    prefs.showWindow();
    prefs.showPreferencesPane(QStringLiteral("KELGeneralPreferencesToolbarIdentifier"));
    const QString path = QStringLiteral("/home/ann/Sites/templates/new page.html");
    prefs.setNewDocumentCodePath(path);
    auto* field = prefs.window()->findChild<KELPathLabel*>(QStringLiteral("newDocCode"));
    ASSERT_TRUE(field);
    EXPECT_EQ(field->path(), path);
    EXPECT_EQ(field->toolTip(), path);
    const QStringList all = { QStringLiteral("home"), QStringLiteral("ann"), QStringLiteral("Sites"),
                              QStringLiteral("templates"), QStringLiteral("new page.html") };
    // However wide the field, it shows the last components whole: more when wider, the
    // file alone when nothing else fits, never a name cut in the middle.
    qsizetype previous = all.size();
    for (int width : { 4000, 400, 300, 220, 160, 100, 10 }) {
        field->resize(width, field->height());
        const QStringList shown = field->shownComponents();
        ASSERT_FALSE(shown.isEmpty()) << width;
        EXPECT_EQ(shown, all.mid(all.size() - shown.size())) << width;
        EXPECT_LE(shown.size(), previous) << width;
        previous = shown.size();
        EXPECT_EQ(field->shownText(), shown.join(QStringLiteral(" \u279E "))) << width;
    }
    field->resize(4000, field->height());
    EXPECT_EQ(field->shownComponents(), all);
    field->resize(10, field->height());
    EXPECT_EQ(field->shownComponents(), QStringList { QStringLiteral("new page.html") });
    prefs.setNewDocumentCodePath(QString());
    EXPECT_TRUE(field->shownComponents().isEmpty());
}

TEST_F(PreferencesTest, PHPLocationNeedsAnExecutableFile)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("php"));
    QFile f(plain);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    kit::UserDefaults::standard().setValue(KELPHPLocationKey, QStringLiteral("/before"));
    EXPECT_FALSE(prefs.setPHPLocation(plain));
    EXPECT_FALSE(prefs.setPHPLocation(dir.path())); // a folder is no interpreter
    EXPECT_EQ(alerts, QStringList({QStringLiteral("Execute Permission Error"), QStringLiteral("Execute Permission Error")}));
    EXPECT_EQ(kit::UserDefaults::standard().stringValue(KELPHPLocationKey), QStringLiteral("/before"));
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
    EXPECT_TRUE(prefs.setPHPLocation(plain));
    EXPECT_EQ(kit::UserDefaults::standard().stringValue(KELPHPLocationKey), plain);
}

TEST_F(PreferencesTest, EveryPaneKeepsTheWindowOnItsScreen)
{
    prefs.showWindow();
    QWidget* window = prefs.window();
    ASSERT_TRUE(window->isVisible() && window->screen());
    const QRect available = window->screen()->availableGeometry();
    // Low on the screen first, so a tall pane would run past its bottom.
    window->move(window->x(), available.bottom() - 250);
    for (const PreferenceItem& item : prefs.items()) {
        SCOPED_TRACE(item.name.toStdString());
        prefs.showPreferencesPane(item.identifier);
        // The title bar stays reachable; the bottom stays on screen unless the pane
        // cannot be made that small.
        EXPECT_GE(window->geometry().top(), available.top());
        EXPECT_LE(window->geometry().bottom(),
                  std::max(available.bottom(), available.top() + window->minimumSizeHint().height()));
    }
    window->hide();
}
