// Copyright 2026 the Kelp Studio authors. SPDX-License-Identifier: GPL-3.0-or-later
//
// Renders the application icon (the scalable SVG of the hicolor theme) into the PNG
// sizes that desktops look for, next to it in the same theme folder.
//
//   render_icons HICOLOR_FOLDER

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: render_icons HICOLOR_FOLDER\n");
        return 2;
    }
    const QString hicolor = QString::fromLocal8Bit(argv[1]);
    QSvgRenderer svg(hicolor + QStringLiteral("/scalable/apps/kelp-studio.svg"));
    if (!svg.isValid()) {
        std::fprintf(stderr, "cannot read the scalable icon\n");
        return 1;
    }
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        svg.render(&painter, QRectF(0, 0, size, size));
        painter.end();
        const QString folder = hicolor + QStringLiteral("/%1x%1/apps").arg(size);
        QDir().mkpath(folder);
        if (!image.save(folder + QStringLiteral("/kelp-studio.png"))) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
