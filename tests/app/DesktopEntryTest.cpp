// The desktop entry names an icon that the program installs: a scalable picture and
// the usual sizes in the hicolor theme, which every desktop falls back on. The
// program's windows carry the same icon.

#include "app/Application.h"
#include "kit/Resources.h"

#include <QFile>
#include <QImageReader>
#include <QSettings>
#include <QSvgRenderer>
#include <gtest/gtest.h>

TEST(DesktopEntryTest, TheIconTheEntryNamesIsInstalledInTheHicolorTheme)
{
    const QString resources = kit::resourcesPath();
    ASSERT_FALSE(resources.isEmpty());
    QFile entry(resources + QStringLiteral("/desktop/kelp-studio.desktop"));
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly | QIODevice::Text));
    QString icon;
    for (const QString& line : QString::fromUtf8(entry.readAll()).split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("Icon=")))
            icon = line.mid(5).trimmed();
    ASSERT_EQ(icon, QStringLiteral("kelp-studio"));

    // Installed from resources/icons/hicolor into share/icons/hicolor.
    const QString hicolor = resources + QStringLiteral("/icons/hicolor");
    QSvgRenderer scalable(hicolor + QStringLiteral("/scalable/apps/") + icon + QStringLiteral(".svg"));
    ASSERT_TRUE(scalable.isValid());
    EXPECT_EQ(scalable.defaultSize().width(), scalable.defaultSize().height());
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const QString png = hicolor + QStringLiteral("/%1x%1/apps/").arg(size) + icon + QStringLiteral(".png");
        QImageReader reader(png);
        EXPECT_EQ(reader.size(), QSize(size, size)) << png.toStdString();
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull()) << png.toStdString();
        // A tile with transparent corners, not an empty or square picture.
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size / 2)), 255) << size;
    }

    // Windows show it too, whether or not the theme holds it.
    const QIcon application = KELApplicationIcon();
    ASSERT_FALSE(application.isNull());
    EXPECT_FALSE(application.pixmap(QSize(48, 48)).isNull());
}
