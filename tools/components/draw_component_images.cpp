// Copyright 2026 the Kelp Studio authors. SPDX-License-Identifier: GPL-3.0-or-later
//
// Draws the pictures of the component library: the sixteen stock pictures that
// components show until the user picks their own, the coloured button's picture,
// mask and gloss, and a preview picture per component. Everything is painted
// here from shapes and gradients, so the pictures are ours to ship.
//
//   draw_component_images RESOURCES_FOLDER

#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

constexpr int Width = 800;
constexpr int Height = 600;

QColor mix(const QColor& a, const QColor& b, double t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
        a.blueF() + (b.blueF() - a.blueF()) * t);
}

void sky(QPainter& p, const QColor& top, const QColor& bottom, int horizon)
{
    QLinearGradient g(0, 0, 0, horizon);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(0, 0, Width, horizon, g);
}

void sunset(QPainter& p, int variant, QRandomGenerator& random)
{
    const QColor tops[] = { QColor(40, 30, 90), QColor(70, 20, 70), QColor(20, 40, 100), QColor(90, 40, 60) };
    const QColor lows[] = { QColor(255, 140, 60), QColor(250, 90, 70), QColor(255, 190, 90), QColor(240, 120, 120) };
    const int horizon = 360 + variant * 15;
    sky(p, tops[variant], lows[variant], horizon);
    const QPointF sun(200 + variant * 130, horizon - 40 + variant * 10);
    QRadialGradient glow(sun, 160);
    glow.setColorAt(0, QColor(255, 240, 180, 230));
    glow.setColorAt(1, QColor(255, 200, 120, 0));
    p.setBrush(glow);
    p.setPen(Qt::NoPen);
    p.drawEllipse(sun, 160, 160);
    p.setBrush(QColor(255, 230, 150));
    p.drawEllipse(sun, 48, 48);
    // The sea, with the sun's path on it.
    QLinearGradient sea(0, horizon, 0, Height);
    sea.setColorAt(0, mix(lows[variant], QColor(20, 30, 60), 0.5));
    sea.setColorAt(1, QColor(10, 15, 40));
    p.fillRect(0, horizon, Width, Height - horizon, sea);
    for (int i = 0; i < 40; ++i) {
        const double y = horizon + 6 + i * (Height - horizon) / 40.0;
        const double half = 20 + i * 3 + random.bounded(12);
        p.setBrush(QColor(255, 220, 150, 160 - i * 3));
        p.drawRect(QRectF(sun.x() - half, y, half * 2, 2));
    }
    // Clouds.
    for (int i = 0; i < 5; ++i) {
        p.setBrush(QColor(255, 200, 170, 90));
        p.drawEllipse(QPointF(random.bounded(Width), 60 + random.bounded(200)), 90 + random.bounded(60), 12 + random.bounded(10));
    }
}

void mountains(QPainter& p, int variant, QRandomGenerator& random)
{
    const QColor tops[] = { QColor(90, 150, 220), QColor(120, 170, 230), QColor(60, 110, 190), QColor(150, 180, 210) };
    sky(p, tops[variant], QColor(220, 235, 250), Height);
    p.setPen(Qt::NoPen);
    const QColor ranges[] = { QColor(120, 130, 160), QColor(80, 95, 125), QColor(50, 70, 80) };
    for (int layer = 0; layer < 3; ++layer) {
        QPainterPath path;
        const double base = 330 + layer * 90;
        path.moveTo(0, Height);
        double x = 0;
        path.lineTo(0, base);
        while (x < Width) {
            const double peakX = x + 80 + random.bounded(120);
            const double peakY = base - 80 - random.bounded(140 - layer * 30);
            path.lineTo(peakX, peakY);
            x = peakX + 80 + random.bounded(100);
            path.lineTo(x, base - random.bounded(40));
            if (layer == 0) {
                // Snow on the far peaks.
                QPainterPath snow;
                snow.moveTo(peakX, peakY);
                snow.lineTo(peakX - 30, peakY + 40);
                snow.lineTo(peakX + 30, peakY + 40);
                snow.closeSubpath();
                p.setBrush(QColor(250, 250, 255));
                p.drawPath(snow);
            }
        }
        path.lineTo(Width, Height);
        path.closeSubpath();
        p.setBrush(ranges[layer]);
        p.drawPath(path);
    }
    // A lake in front for some.
    if (variant % 2 == 1) {
        p.setBrush(QColor(70, 120, 170));
        p.drawEllipse(QPointF(Width / 2.0, Height + 20), 420, 90);
    }
    // Pines.
    for (int i = 0; i < 12; ++i) {
        const double x = random.bounded(Width);
        const double y = 520 + random.bounded(60);
        QPainterPath tree;
        tree.moveTo(x, y - 70);
        tree.lineTo(x - 18, y);
        tree.lineTo(x + 18, y);
        tree.closeSubpath();
        p.setBrush(QColor(25, 60, 40));
        p.drawPath(tree);
    }
}

void beach(QPainter& p, int variant, QRandomGenerator& random)
{
    const int horizon = 300 + variant * 10;
    sky(p, QColor(70, 160, 230), QColor(190, 230, 250), horizon);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 250, 210));
    p.drawEllipse(QPointF(650 - variant * 120, 90 + variant * 15), 40, 40);
    QLinearGradient sea(0, horizon, 0, 440);
    sea.setColorAt(0, QColor(20, 110, 170));
    sea.setColorAt(1, QColor(60, 200, 200));
    p.fillRect(0, horizon, Width, 440 - horizon, sea);
    // Sand with a wavy edge.
    QPainterPath sand;
    sand.moveTo(0, Height);
    for (int x = 0; x <= Width; x += 20)
        sand.lineTo(x, 430 + 10 * std::sin(x / 60.0 + variant));
    sand.lineTo(Width, Height);
    sand.closeSubpath();
    p.setBrush(QColor(240, 215, 160));
    p.drawPath(sand);
    p.setBrush(QColor(255, 255, 255, 150));
    for (int x = 0; x < Width; x += 20)
        p.drawEllipse(QPointF(x + 10, 432 + 10 * std::sin((x + 10) / 60.0 + variant)), 12, 3);
    // A palm tree.
    const double trunkX = variant % 2 == 0 ? 130 : 660;
    QPainterPath trunk;
    trunk.moveTo(trunkX - 10, 560);
    trunk.cubicTo(trunkX, 450, trunkX + 20, 330, trunkX + 40, 250);
    trunk.lineTo(trunkX + 52, 254);
    trunk.cubicTo(trunkX + 34, 330, trunkX + 16, 450, trunkX + 10, 560);
    trunk.closeSubpath();
    p.setBrush(QColor(120, 85, 50));
    p.drawPath(trunk);
    p.setBrush(QColor(30, 130, 60));
    for (int leaf = 0; leaf < 6; ++leaf) {
        p.save();
        p.translate(trunkX + 46, 252);
        p.rotate(leaf * 60 + random.bounded(20));
        p.drawEllipse(QPointF(70, 0), 75, 14);
        p.restore();
    }
    // Shells.
    for (int i = 0; i < 8; ++i) {
        p.setBrush(QColor(250, 240, 235));
        p.drawEllipse(QPointF(random.bounded(Width), 470 + random.bounded(120)), 6, 4);
    }
}

void london(QPainter& p, int variant, QRandomGenerator& random)
{
    const QColor tops[] = { QColor(120, 150, 190), QColor(40, 50, 90), QColor(200, 150, 130), QColor(150, 160, 170) };
    const QColor lows[] = { QColor(220, 225, 235), QColor(110, 90, 130), QColor(250, 210, 160), QColor(210, 210, 210) };
    sky(p, tops[variant], lows[variant], 420);
    p.setPen(Qt::NoPen);
    const QColor building = variant == 1 ? QColor(25, 25, 40) : QColor(60, 60, 75);
    // Buildings of many heights.
    double x = 0;
    while (x < Width) {
        const double w = 40 + random.bounded(60);
        const double h = 80 + random.bounded(150);
        p.setBrush(building);
        p.drawRect(QRectF(x, 420 - h, w, h + 10));
        if (variant == 1) {
            p.setBrush(QColor(255, 220, 120));
            for (double wy = 420 - h + 10; wy < 410; wy += 18) {
                for (double wx = x + 6; wx < x + w - 8; wx += 14) {
                    if (random.bounded(3) == 0)
                        p.drawRect(QRectF(wx, wy, 6, 8));
                }
            }
        }
        x += w + 4;
    }
    // The clock tower.
    const double towerX = 120 + variant * 150;
    p.setBrush(building.darker(110));
    p.drawRect(QRectF(towerX, 120, 60, 310));
    QPainterPath spire;
    spire.moveTo(towerX - 4, 120);
    spire.lineTo(towerX + 30, 40);
    spire.lineTo(towerX + 64, 120);
    spire.closeSubpath();
    p.drawPath(spire);
    p.setBrush(QColor(245, 235, 200));
    p.drawEllipse(QPointF(towerX + 30, 160), 22, 22);
    p.setPen(QPen(QColor(40, 40, 40), 3));
    p.drawLine(QPointF(towerX + 30, 160), QPointF(towerX + 30, 144));
    p.drawLine(QPointF(towerX + 30, 160), QPointF(towerX + 42, 164));
    p.setPen(Qt::NoPen);
    // The river and a bridge.
    QLinearGradient river(0, 430, 0, Height);
    river.setColorAt(0, mix(lows[variant], QColor(30, 50, 70), 0.5));
    river.setColorAt(1, QColor(20, 35, 50));
    p.fillRect(0, 430, Width, Height - 430, river);
    p.setBrush(building);
    p.drawRect(QRectF(0, 440, Width, 14));
    for (int i = 0; i < 6; ++i)
        p.drawRect(QRectF(40 + i * 150, 454, 16, 60));
}

QImage stockPicture(int collection, int variant)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QRandomGenerator random(quint32(collection * 97 + variant * 13 + 5));
    switch (collection) {
    case 0:
        sunset(p, variant, random);
        break;
    case 1:
        mountains(p, variant, random);
        break;
    case 2:
        beach(p, variant, random);
        break;
    default:
        london(p, variant, random);
        break;
    }
    return image;
}

QPainterPath buttonShape()
{
    QPainterPath path;
    path.addRoundedRect(QRectF(2, 2, 196, 56), 16, 16);
    return path;
}

// The button: a grey body (recoloured through its mask) with a darker rim.
void drawButton(const QString& folder)
{
    QImage body(200, 60, QImage::Format_ARGB32_Premultiplied);
    body.fill(Qt::transparent);
    {
        QPainter p(&body);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(0, 0, 0, 90), 2));
        p.setBrush(QColor(128, 128, 128));
        p.drawPath(buttonShape());
    }
    body.save(folder + QStringLiteral("/kelp-button.png"));

    QImage mask(200, 60, QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, 255));
        QPainterPath inner;
        inner.addRoundedRect(QRectF(3, 3, 194, 54), 15, 15);
        p.drawPath(inner);
    }
    mask.save(folder + QStringLiteral("/kelp-button-mask.png"));

    // The gloss: a soft white band over the upper half, given as a mask of its strength.
    QImage shine(200, 60, QImage::Format_ARGB32_Premultiplied);
    shine.fill(Qt::transparent);
    {
        QPainter p(&shine);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        QLinearGradient g(0, 4, 0, 30);
        g.setColorAt(0, QColor(0, 0, 0, 120));
        g.setColorAt(1, QColor(0, 0, 0, 10));
        p.setBrush(g);
        QPainterPath band;
        band.addRoundedRect(QRectF(8, 5, 184, 24), 12, 12);
        p.drawPath(band);
    }
    shine.save(folder + QStringLiteral("/kelp-button-shine.png"));
}

// A small sketch of what each component makes, for the library's lists.
QImage preview(const QString& name)
{
    QImage image(256, 192, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(248, 248, 250));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(200, 200, 210), 2));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(8, 8, 240, 176), 10, 10);
    const QColor accent(35, 82, 124);
    const QColor grey(170, 175, 185);
    p.setPen(Qt::NoPen);
    const auto lines = [&p, &grey](double x, double y, int count, double width) {
        p.setBrush(grey);
        for (int i = 0; i < count; ++i)
            p.drawRoundedRect(QRectF(x, y + i * 18, width - (i % 2) * 30, 8), 4, 4);
    };
    if (name == QLatin1String("SimpleFont")) {
        QFont font(QStringLiteral("DejaVu Serif"), 54);
        font.setItalic(true);
        p.setFont(font);
        p.setPen(accent);
        p.drawText(QRectF(8, 8, 240, 176), Qt::AlignCenter, QStringLiteral("Aa"));
    } else if (name == QLatin1String("SimpleList")) {
        for (int i = 0; i < 4; ++i) {
            p.setBrush(accent);
            p.drawEllipse(QPointF(40, 52 + i * 30), 6, 6);
            p.setBrush(grey);
            p.drawRoundedRect(QRectF(58, 48 + i * 30, 150 - i * 15, 8), 4, 4);
        }
    } else if (name == QLatin1String("SimpleTable")) {
        p.setBrush(accent);
        p.drawRect(QRectF(30, 40, 196, 24));
        p.setPen(QPen(grey, 2));
        for (int r = 0; r < 4; ++r)
            p.drawLine(QPointF(30, 64 + r * 24), QPointF(226, 64 + r * 24));
        for (int c = 0; c < 4; ++c)
            p.drawLine(QPointF(30 + c * 65.3, 40), QPointF(30 + c * 65.3, 136));
    } else if (name == QLatin1String("SimpleLink")) {
        QFont font(QStringLiteral("DejaVu Sans"), 26);
        font.setUnderline(true);
        p.setFont(font);
        p.setPen(QColor(20, 90, 200));
        p.drawText(QRectF(8, 8, 240, 176), Qt::AlignCenter, QStringLiteral("Read more"));
    } else if (name == QLatin1String("SimpleImage") || name == QLatin1String("ImageMap")) {
        p.drawImage(QRectF(30, 30, 196, 132), stockPicture(name == QLatin1String("ImageMap") ? 3 : 0, 0));
        if (name == QLatin1String("ImageMap")) {
            p.setPen(QPen(QColor(255, 220, 0), 3, Qt::DashLine));
            p.setBrush(QColor(255, 220, 0, 60));
            p.drawRect(QRectF(50, 50, 60, 50));
            p.drawEllipse(QPointF(170, 110), 30, 30);
        }
    } else if (name == QLatin1String("DropDownMenu")) {
        p.setBrush(accent);
        p.drawRoundedRect(QRectF(40, 30, 120, 30), 5, 5);
        p.setBrush(Qt::white);
        p.setPen(QPen(grey, 1));
        p.drawRoundedRect(QRectF(40, 64, 150, 96), 5, 5);
        p.setPen(Qt::NoPen);
        lines(54, 78, 4, 110);
    } else if (name == QLatin1String("Tabs")) {
        for (int i = 0; i < 3; ++i) {
            p.setBrush(i == 0 ? QColor(11, 110, 79) : QColor(225, 225, 230));
            p.drawRoundedRect(QRectF(30 + i * 66, 36, 62, 26), 4, 4);
        }
        p.setPen(QPen(QColor(11, 110, 79), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(30, 62, 196, 96));
        p.setPen(Qt::NoPen);
        lines(46, 80, 4, 150);
    } else if (name == QLatin1String("ImageGallery")) {
        for (int i = 0; i < 4; ++i)
            p.drawImage(QRectF(30 + (i % 2) * 100, 26 + (i / 2) * 72, 94, 64), stockPicture(i, i));
    } else if (name == QLatin1String("ColouredButton")) {
        p.setBrush(QColor(192, 57, 43));
        p.drawRoundedRect(QRectF(38, 66, 180, 56), 16, 16);
        p.setBrush(QColor(255, 255, 255, 70));
        p.drawRoundedRect(QRectF(44, 70, 168, 22), 11, 11);
        p.setPen(Qt::white);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 18, QFont::Bold));
        p.drawText(QRectF(38, 66, 180, 56), Qt::AlignCenter, QStringLiteral("Sign up"));
    } else if (name == QLatin1String("AudioVideo")) {
        p.setBrush(QColor(30, 30, 35));
        p.drawRoundedRect(QRectF(30, 30, 196, 132), 6, 6);
        QPainterPath play;
        play.moveTo(112, 70);
        play.lineTo(112, 120);
        play.lineTo(150, 95);
        play.closeSubpath();
        p.setBrush(Qt::white);
        p.drawPath(play);
        p.setBrush(grey);
        p.drawRect(QRectF(40, 146, 176, 4));
    } else if (name == QLatin1String("CentredBox")) {
        p.setPen(QPen(QColor(181, 137, 0), 3));
        p.setBrush(QColor(253, 246, 227));
        p.drawRoundedRect(QRectF(48, 40, 160, 112), 8, 8);
        p.setPen(Qt::NoPen);
        lines(64, 60, 4, 128);
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: draw_component_images RESOURCES_FOLDER\n");
        return 2;
    }
    const QString components = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/Components");
    const char* const collections[] = { "Sunset", "Mountain", "Beach", "London" };
    bool ok = true;
    for (int collection = 0; collection < 4; ++collection) {
        for (int variant = 0; variant < 4; ++variant) {
            const QString path = QStringLiteral("%1/Shared/DefaultImages/%2%3.jpg")
                                     .arg(components, QLatin1String(collections[collection]))
                                     .arg(variant + 1);
            ok = stockPicture(collection, variant).save(path, "JPEG", 82) && ok;
        }
    }
    drawButton(components + QStringLiteral("/ColouredButton"));
    for (const char* name : { "SimpleFont", "SimpleList", "SimpleTable", "SimpleLink", "SimpleImage", "ImageMap", "DropDownMenu", "Tabs",
             "ImageGallery", "ColouredButton", "AudioVideo", "CentredBox" })
        ok = preview(QString::fromLatin1(name)).save(components + QLatin1Char('/') + QLatin1String(name) + QStringLiteral("/preview.png")) && ok;
    return ok ? 0 : 1;
}
