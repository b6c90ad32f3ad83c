#include "kit/PropertyList.h"

#include <QColor>
#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <cmath>
#include <limits>
#include "KelpPaths.h"

namespace {

QString fixture(const char* name) { return QStringLiteral(KELP_TEST_FIXTURES "/kit/") + QLatin1String(name); }

QVariantMap sampleValue()
{
    QVariantMap inner;
    inner[QStringLiteral("Empty List")] = QVariantList();
    inner[QStringLiteral("Empty Map")] = QVariantMap();
    QVariantMap map;
    map[QStringLiteral("String")] = QStringLiteral("a < b && c > d ‘quoted’ é 😀");
    map[QStringLiteral("Multiline")] = QStringLiteral("line 1\nline 2\r\n\tindented  ");
    map[QStringLiteral("Integer")] = qlonglong(-42);
    map[QStringLiteral("Big")] = qlonglong(4294967295LL);
    map[QStringLiteral("Real")] = 0.1;
    map[QStringLiteral("Yes")] = true;
    map[QStringLiteral("No")] = false;
    map[QStringLiteral("Date")] = QDateTime(QDate(2024, 2, 29), QTime(13, 5, 7), Qt::UTC);
    map[QStringLiteral("Data")] = QByteArray("\x00\x01\xFF" "binary", 9);
    map[QStringLiteral("List")] = QVariantList{QStringLiteral("a"), qlonglong(1), inner};
    map[QStringLiteral("Map")] = inner;
    map[QStringLiteral("")] = QStringLiteral("empty key");
    return map;
}

} // namespace

TEST(PropertyListTest, XmlRoundTripKeepsEveryType)
{
    const QVariantMap value = sampleValue();
    const QByteArray data = kit::propertyListData(value);
    EXPECT_TRUE(data.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist version=\"1.0\">\n"));
    kit::Error error;
    const QVariant back = kit::propertyListFromData(data, &error);
    ASSERT_TRUE(error.isNull()) << error.localizedFailureReason().toStdString();
    const QVariantMap map = back.toMap();
    EXPECT_EQ(map, value);
    // Types, not just values that compare equal after conversion.
    EXPECT_EQ(map[QStringLiteral("Integer")].typeId(), QMetaType::LongLong);
    EXPECT_EQ(map[QStringLiteral("Real")].typeId(), QMetaType::Double);
    EXPECT_EQ(map[QStringLiteral("Yes")].typeId(), QMetaType::Bool);
    EXPECT_EQ(map[QStringLiteral("Data")].typeId(), QMetaType::QByteArray);
    EXPECT_EQ(map[QStringLiteral("Date")].typeId(), QMetaType::QDateTime);
    EXPECT_EQ(map[QStringLiteral("Multiline")].toString(), QStringLiteral("line 1\nline 2\r\n\tindented  "));
}

TEST(PropertyListTest, SpecialRealsAndControlCharactersStayReadable)
{
    QVariantMap value;
    value[QStringLiteral("inf")] = HUGE_VAL;
    value[QStringLiteral("nan")] = std::nan("");
    value[QStringLiteral("ctrl")] = QStringLiteral("bell\x07 here");
    const QVariantMap back = kit::propertyListFromData(kit::propertyListData(value)).toMap();
    EXPECT_TRUE(std::isinf(back[QStringLiteral("inf")].toDouble()));
    EXPECT_TRUE(std::isnan(back[QStringLiteral("nan")].toDouble()));
    // XML cannot hold U+0007; the file must still read back.
    EXPECT_EQ(back[QStringLiteral("ctrl")].toString(), QStringLiteral("bell\uFFFD here"));
}

TEST(PropertyListTest, WritesAndReadsFiles)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/folder/test.plist"));
    kit::Error error;
    ASSERT_TRUE(kit::writePropertyList(sampleValue(), path, &error));
    EXPECT_EQ(kit::readPropertyList(path, &error).toMap(), sampleValue());

    kit::Error missing;
    EXPECT_FALSE(kit::readPropertyList(dir.filePath(QStringLiteral("nope.plist")), &missing).isValid());
    EXPECT_EQ(missing.code(), kit::FileReadNoSuchFileError);

    kit::Error unwritable;
    EXPECT_FALSE(kit::writePropertyList(sampleValue(), QStringLiteral("/proc/no/such/place.plist"), &unwritable));
    EXPECT_EQ(unwritable.code(), kit::FileWriteUnknownError);
}

TEST(PropertyListTest, MalformedInputGivesAClearError)
{
    struct Case {
        const char* name;
        QByteArray data;
        const char* problemFragment;
    };
    const Case cases[] = {
        {"unclosed", "<plist><dict><key>a</key><string>x</string></plist>", "line 1"},
        {"key without value", "<plist><dict><key>a</key></dict></plist>", "“a” has no value"},
        {"two keys", "<plist><dict><key>a</key><key>b</key><string/></dict></plist>", "“a” has no value"},
        {"bad integer", "<plist><integer>12x</integer></plist>", "not an integer"},
        {"bad real", "<plist><real>one</real></plist>", "not a number"},
        {"bad date", "<plist><date>yesterday</date></plist>", "not a date"},
        {"bad data", "<plist><data>!!!</data></plist>", "base 64"},
        {"unknown element", "<plist><color>red</color></plist>", "unknown element <color>"},
        {"two values", "<plist><string>a</string><string>b</string></plist>", "exactly one value"},
        {"nested element in string", "<plist><string>a<b/>c</string></plist>", "unexpected <b>"},
        {"binary", "bplist00\x01\x02", "binary"},
        {"empty", "", "empty"},
        {"brace form unclosed", "{ a = b; ", "not closed"},
        {"brace form missing semicolon", "{ a = b }", "“;” expected"},
        {"brace form odd data", "{ a = <abc>; }", "odd number"},
    };
    for (const Case& c : cases) {
        kit::Error error;
        EXPECT_FALSE(kit::propertyListFromData(c.data, &error).isValid()) << c.name;
        EXPECT_FALSE(error.isNull()) << c.name;
        EXPECT_TRUE(error.localizedFailureReason().contains(QString::fromUtf8(c.problemFragment)))
            << c.name << ": " << error.localizedFailureReason().toStdString();
    }
}

TEST(PropertyListTest, CorruptFileErrorNamesTheFileAndTheLine)
{
    kit::Error error;
    const QString path = fixture("truncated.plist");
    EXPECT_FALSE(kit::readPropertyList(path, &error).isValid());
    EXPECT_EQ(error.code(), kit::FileReadCorruptFileError);
    EXPECT_EQ(error.userInfo().value(kit::FilePathErrorKey).toString(), path);
    EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("“truncated.plist”")));
    EXPECT_TRUE(error.localizedFailureReason().contains(path));
    EXPECT_TRUE(error.localizedFailureReason().contains(QStringLiteral("line ")));
}

TEST(PropertyListTest, ExternalEntitiesAreNeverLoaded)
{
    kit::Error error;
    const QVariant v = kit::readPropertyList(fixture("external-entity.plist"), &error);
    // Either refused or read without the file's contents; never the contents of /etc/passwd.
    EXPECT_FALSE(v.toMap().value(QStringLiteral("Leak")).toString().contains(QStringLiteral("root:")));
    EXPECT_FALSE(error.isNull());
}

TEST(PropertyListTest, EntityExpansionIsRefusedQuickly)
{
    // Nested internal entities that would expand to gigabytes.
    kit::Error error;
    EXPECT_FALSE(kit::readPropertyList(fixture("entity-expansion.plist"), &error).isValid());
    EXPECT_FALSE(error.isNull());
}

TEST(PropertyListTest, IntegerLimits)
{
    const QVariantMap map = kit::propertyListFromData("<plist><dict><key>min</key><integer>-9223372036854775808</integer>"
                                                      "<key>max</key><integer>9223372036854775807</integer>"
                                                      "<key>hex</key><integer>0x1F</integer></dict></plist>")
                                .toMap();
    EXPECT_EQ(map.value(QStringLiteral("min")).toLongLong(), std::numeric_limits<qlonglong>::min());
    EXPECT_EQ(map.value(QStringLiteral("max")).toLongLong(), std::numeric_limits<qlonglong>::max());
    EXPECT_EQ(map.value(QStringLiteral("hex")).toLongLong(), 31);
    kit::Error error;
    EXPECT_FALSE(kit::propertyListFromData("<plist><integer>-9223372036854775809</integer></plist>", &error).isValid());
    EXPECT_FALSE(kit::propertyListFromData("<plist><integer>99999999999999999999</integer></plist>", &error).isValid());
}

TEST(PropertyListTest, DeepNestingIsRefusedNotACrash)
{
    QByteArray deep = "<plist>";
    for (int i = 0; i < 100000; ++i)
        deep += "<array>";
    kit::Error error;
    EXPECT_FALSE(kit::propertyListFromData(deep, &error).isValid());
    EXPECT_FALSE(error.isNull());

    QByteArray braces(100000, '(');
    EXPECT_FALSE(kit::propertyListFromData(braces, &error).isValid());
}

TEST(PropertyListTest, ReadsTheOldBraceForm)
{
    kit::Error error;
    const QVariantMap map = kit::readPropertyList(fixture("openstep.plist"), &error).toMap();
    ASSERT_TRUE(error.isNull()) << error.localizedFailureReason().toStdString();
    EXPECT_EQ(map[QStringLiteral("Name")].toString(), QStringLiteral("Plain Text"));
    EXPECT_EQ(map[QStringLiteral("Extensions")].toList(),
              (QVariantList{QStringLiteral("txt"), QStringLiteral("text"), QStringLiteral("read me")}));
    EXPECT_EQ(map[QStringLiteral("Version")].toString(), QStringLiteral("3"));
    EXPECT_EQ(map[QStringLiteral("Escaped")].toString(), QStringLiteral("tab\there \"quoted\" é"));
    EXPECT_EQ(map[QStringLiteral("Icon")].toByteArray(), QByteArray("Hello"));
    EXPECT_EQ(map[QStringLiteral("Nested")].toMap()[QStringLiteral("Inner")].toMap()[QStringLiteral("A")].toString(),
              QStringLiteral("B"));
    EXPECT_EQ(map[QStringLiteral("Nested")].toMap()[QStringLiteral("Empty")].toList().size(), 0);

    // A strings file: pairs without the outer braces.
    const QVariantMap strings = kit::propertyListFromData("\"Open\" = \"Ouvrir\";\n\"Save\" = \"Enregistrer\";\n").toMap();
    EXPECT_EQ(strings.value(QStringLiteral("Save")).toString(), QStringLiteral("Enregistrer"));
}

TEST(PropertyListTest, ColoursAndFontsAreWrittenAsStrings)
{
    QVariantMap value;
    value[QStringLiteral("c")] = QColor(0x12, 0x34, 0x56, 0x78);
    const QVariantMap back = kit::propertyListFromData(kit::propertyListData(value)).toMap();
    EXPECT_EQ(back[QStringLiteral("c")].toString(), QStringLiteral("#12345678"));
}
