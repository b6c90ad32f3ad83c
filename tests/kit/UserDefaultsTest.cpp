#include "kit/Log.h"
#include "kit/PropertyList.h"
#include "kit/UserDefaults.h"

#include <QFile>
#include <QSignalSpy>
#include <QSize>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class UserDefaultsTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("defaults.plist")); }
};

} // namespace

TEST_F(UserDefaultsTest, PersistentValuesWinOverRegisteredOnes)
{
    kit::UserDefaults d(path());
    d.registerDefaults({{QStringLiteral("KELWordWrap"), true}, {QStringLiteral("Default File Extension"), QStringLiteral("html")}});
    EXPECT_TRUE(d.boolValue(QStringLiteral("KELWordWrap")));
    EXPECT_FALSE(d.hasPersistentValue(QStringLiteral("KELWordWrap")));

    d.setValue(QStringLiteral("KELWordWrap"), false);
    EXPECT_FALSE(d.boolValue(QStringLiteral("KELWordWrap")));
    EXPECT_TRUE(d.hasPersistentValue(QStringLiteral("KELWordWrap")));

    // Registering again never hides what the user stored.
    d.registerDefaults({{QStringLiteral("KELWordWrap"), true}});
    EXPECT_FALSE(d.boolValue(QStringLiteral("KELWordWrap")));

    // Removing reveals the registered value again.
    d.removeValue(QStringLiteral("KELWordWrap"));
    EXPECT_TRUE(d.boolValue(QStringLiteral("KELWordWrap")));
    EXPECT_FALSE(d.value(QStringLiteral("Missing")).isValid());
}

TEST_F(UserDefaultsTest, RoundTripThroughTheFile)
{
    const QVariantMap stored = {
        {QStringLiteral("Int"), 7},
        {QStringLiteral("Unsigned"), 4294967295ULL},
        {QStringLiteral("Real"), 1.5},
        {QStringLiteral("Text"), QStringLiteral("é < &")},
        {QStringLiteral("List"), QStringList{QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("Map"), QVariantMap{{QStringLiteral("k"), QVariantList{1, 2}}}},
        {QStringLiteral("Data"), QByteArray("\x01\x02")},
        {QStringLiteral("Date"), QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5, 600), Qt::UTC)},
    };
    {
        kit::UserDefaults d(path());
        d.registerDefaults({{QStringLiteral("Registered Only"), 1}});
        for (auto it = stored.constBegin(); it != stored.constEnd(); ++it)
            d.setValue(it.key(), it.value());
        d.setColor(QStringLiteral("Text Color"), QColor(1, 2, 3, 4));
        QFont font(QStringLiteral("DejaVu Sans Mono"), 13);
        d.setFont(QStringLiteral("Font"), font);
        ASSERT_TRUE(d.synchronize());
    }
    const QVariantMap onDisk = kit::readPropertyList(path()).toMap();
    EXPECT_FALSE(onDisk.contains(QStringLiteral("Registered Only"))); // registered values never reach the file
    EXPECT_EQ(onDisk.value(QStringLiteral("Text Color")).toString(), QStringLiteral("#01020304"));

    kit::UserDefaults again(path());
    EXPECT_EQ(again.integerValue(QStringLiteral("Int")), 7);
    EXPECT_EQ(again.value(QStringLiteral("Unsigned")).toULongLong(), 4294967295ULL);
    EXPECT_DOUBLE_EQ(again.doubleValue(QStringLiteral("Real")), 1.5);
    EXPECT_EQ(again.stringValue(QStringLiteral("Text")), QStringLiteral("é < &"));
    EXPECT_EQ(again.stringListValue(QStringLiteral("List")), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(again.mapValue(QStringLiteral("Map")).value(QStringLiteral("k")).toList().size(), 2);
    EXPECT_EQ(again.value(QStringLiteral("Data")).toByteArray(), QByteArray("\x01\x02"));
    EXPECT_EQ(again.value(QStringLiteral("Date")).toDateTime(), QDateTime(QDate(2025, 1, 2), QTime(3, 4, 5), Qt::UTC));
    EXPECT_EQ(again.colorValue(QStringLiteral("Text Color")), QColor(1, 2, 3, 4));
    EXPECT_EQ(again.fontValue(QStringLiteral("Font")).pointSize(), 13);
    // What was stored compares equal to what is read back.
    kit::UserDefaults first(path());
    EXPECT_EQ(first.persistentDomain(), again.persistentDomain());
}

TEST_F(UserDefaultsTest, ValuesTheFileCannotKeepAreLoggedAndLeftOut)
{
    kit::LogCapture log;
    kit::UserDefaults d(path());
    d.setValue(QStringLiteral("Size"), QSize(3, 4));
    d.setValue(QStringLiteral("Kept"), 1);
    EXPECT_TRUE(log.contains(QStringLiteral("“Size”")));
    EXPECT_EQ(d.value(QStringLiteral("Size")).toSize(), QSize(3, 4)); // for this session
    ASSERT_TRUE(d.synchronize());
    const QVariantMap onDisk = kit::readPropertyList(path()).toMap();
    EXPECT_FALSE(onDisk.contains(QStringLiteral("Size")));
    EXPECT_TRUE(onDisk.contains(QStringLiteral("Kept")));
}

TEST_F(UserDefaultsTest, ChangesReachTheFileWithoutAnExplicitSynchronize)
{
    kit::UserDefaults d(path());
    d.setValue(QStringLiteral("Recent Projects"), QStringList{QStringLiteral("/srv/site")});
    EXPECT_FALSE(QFile::exists(path()));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(path()); }, 60000));
    EXPECT_EQ(kit::readPropertyList(path()).toMap().value(QStringLiteral("Recent Projects")).toList().size(), 1);
}

TEST_F(UserDefaultsTest, ValueChangedFiresOncePerRealChange)
{
    kit::UserDefaults d(path());
    QSignalSpy spy(&d, &kit::UserDefaults::valueChanged);
    d.registerDefaults({{QStringLiteral("A"), 1}});
    EXPECT_EQ(spy.count(), 1); // the value went from nothing to 1
    d.setValue(QStringLiteral("A"), 2);
    d.setValue(QStringLiteral("A"), 2); // no change
    d.setValue(QStringLiteral("B"), QStringLiteral("x"));
    d.registerDefaults({{QStringLiteral("A"), 5}}); // hidden by the stored 2
    d.removeValue(QStringLiteral("A"));             // back to the registered 5
    d.removeValue(QStringLiteral("Never Set"));
    QStringList keys;
    for (const auto& args : spy)
        keys << args.at(0).toString();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("A"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("A")}));
    EXPECT_EQ(d.integerValue(QStringLiteral("A")), 5);
}

TEST_F(UserDefaultsTest, TypedReadersConvertLikeThePlatform)
{
    kit::UserDefaults d(path());
    d.registerDefaults({
        {QStringLiteral("YesString"), QStringLiteral("YES")},
        {QStringLiteral("NumberString"), QStringLiteral("12")},
        {QStringLiteral("Number"), 3},
        {QStringLiteral("List"), QVariantList{QStringLiteral("a"), 1}},
        {QStringLiteral("Bad Colour"), QStringLiteral("red")},
        {QStringLiteral("Short Colour"), QStringLiteral("#ff8000")},
    });
    EXPECT_TRUE(d.boolValue(QStringLiteral("YesString")));
    EXPECT_TRUE(d.boolValue(QStringLiteral("Number")));
    EXPECT_FALSE(d.boolValue(QStringLiteral("Missing")));
    EXPECT_EQ(d.integerValue(QStringLiteral("NumberString")), 12);
    EXPECT_EQ(d.stringValue(QStringLiteral("Number")), QStringLiteral("3"));
    EXPECT_TRUE(d.stringListValue(QStringLiteral("List")).isEmpty()); // not all strings
    EXPECT_EQ(d.listValue(QStringLiteral("List")).size(), 2);
    EXPECT_TRUE(d.mapValue(QStringLiteral("List")).isEmpty());
    EXPECT_FALSE(d.colorValue(QStringLiteral("Bad Colour")).isValid());
    EXPECT_EQ(d.colorValue(QStringLiteral("Short Colour")), QColor(255, 128, 0));
    EXPECT_EQ(d.fontValue(QStringLiteral("Missing")), QFont());
}

TEST_F(UserDefaultsTest, CorruptFileIsKeptAsideAndDefaultsStartEmpty)
{
    const QByteArray garbage = "<?xml version=\"1.0\"?><plist><dict><key>A</key><string>x</dict>";
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(garbage);
    }
    kit::LogCapture log;
    kit::UserDefaults d(path());
    EXPECT_TRUE(d.persistentDomain().isEmpty());
    EXPECT_TRUE(log.contains(QStringLiteral("defaults file is damaged")));
    EXPECT_TRUE(log.contains(path()));
    QFile aside(path() + QStringLiteral(".corrupt"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), garbage);

    // New values are saved normally afterwards.
    d.setValue(QStringLiteral("A"), QStringLiteral("fresh"));
    ASSERT_TRUE(d.synchronize());
    EXPECT_EQ(kit::UserDefaults(path()).stringValue(QStringLiteral("A")), QStringLiteral("fresh"));

    // A file whose top level is not a dictionary is damaged too.
    QTemporaryDir other;
    const QString listPath = other.filePath(QStringLiteral("defaults.plist"));
    ASSERT_TRUE(kit::writePropertyList(QVariantList{1, 2}, listPath));
    kit::UserDefaults fromList(listPath);
    EXPECT_TRUE(fromList.persistentDomain().isEmpty());
    EXPECT_TRUE(QFile::exists(listPath + QStringLiteral(".corrupt")));
}

TEST_F(UserDefaultsTest, ResetForTestingForgetsBothDomainsAndTheFile)
{
    kit::UserDefaults& d = kit::UserDefaults::standard();
    d.resetForTesting();
    d.registerDefaults({{QStringLiteral("R"), 1}});
    d.setValue(QStringLiteral("P"), 2);
    ASSERT_TRUE(d.synchronize());
    const QString before = d.filePath();
    EXPECT_TRUE(QFile::exists(before));
    d.resetForTesting();
    EXPECT_FALSE(d.value(QStringLiteral("R")).isValid());
    EXPECT_FALSE(d.value(QStringLiteral("P")).isValid());
    EXPECT_NE(d.filePath(), before);
    EXPECT_FALSE(QFile::exists(d.filePath()));
}
