// Drawing cover-flow frames offscreen with 200 components, every picture loaded:
// a frame must take well under a display refresh (8 ms).

#include "componentui/KELComponentLibraryView.h"
#include "componentui/KELCoverFlowImage.h"
#include "componentui/KELCoverFlowImageLoader.h"
#include "componentui/KELCoverFlowView.h"
#include "components/KELComponent.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

constexpr int ComponentCount = 200;

class Catalogue : public KELComponentViewDataSource {
public:
    Catalogue()
    {
        for (int i = 0; i < ComponentCount; ++i) {
            const QString folder = m_dir.path() + QStringLiteral("/C%1").arg(i);
            QDir().mkpath(folder);
            QFile file(folder + QStringLiteral("/Component.xml"));
            file.open(QIODevice::WriteOnly);
            file.write(QStringLiteral("<component image=\"preview.png\"><name>Component %1</name>"
                                      "<description>Number %1</description><group>G%2</group></component>")
                           .arg(i, 3, 10, QLatin1Char('0'))
                           .arg(i % 7)
                           .toUtf8());
            file.close();
            m_components << KELComponent::componentWithDirectoryPath(folder);
        }
    }
    QList<std::shared_ptr<KELComponent>> components() const override { return m_components; }

private:
    QTemporaryDir m_dir;
    QList<std::shared_ptr<KELComponent>> m_components;
};

// A preview-sized picture with some detail and a transparent margin.
QImage picture(const QString& path)
{
    QImage image(256, 256, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor::fromHsv(int(qHash(path) % 360), 160, 220));
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 16, 16);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(8, 8, 240, 240), Qt::AlignCenter, path.section(QLatin1Char('/'), -2, -2));
    return image;
}

struct Fixture {
    Catalogue catalogue;
    KELCoverFlowImageLoader loader {&picture};
    KELCoverFlowView view;
    QImage frame {QSize(1000, 640), QImage::Format_ARGB32_Premultiplied};

    Fixture()
    {
        view.setImageLoader(&loader);
        view.resize(frame.size());
        view.setDataSource(&catalogue);
        view.reloadComponents();
        view.show();
        // Every picture loaded, so frames draw real pictures and reflections.
        for (qint64 i = 0; i < ComponentCount; i += 4) {
            view.scrollToPosition(double(i) / ComponentCount);
            QDeadlineTimer deadline(2000);
            while (!deadline.hasExpired() && loader.queuedCount() > 0) {
                QCoreApplication::processEvents();
                QThread::msleep(1);
            }
        }
        for (int i = 0; i < 50; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(1);
        }
        view.scrollToPosition(0.5);
        view.finishAnimation();
    }
    void draw()
    {
        QPainter painter(&frame);
        view.render(painter);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_CoverFlowFrameAtRest(benchmark::State& state)
{
    Fixture& f = fixture();
    f.view.finishAnimation();
    for (auto _ : state) {
        f.draw();
        benchmark::DoNotOptimize(f.frame.constBits());
    }
}
BENCHMARK(BM_CoverFlowFrameAtRest)->Unit(benchmark::kMillisecond);

// Frames while the selection slides along: pictures turn and move between frames.
void BM_CoverFlowFrameWhileMoving(benchmark::State& state)
{
    Fixture& f = fixture();
    int frameInMove = 0;
    int direction = 1;
    for (auto _ : state) {
        if (frameInMove == 0) {
            if (f.view.selectedIndex() >= ComponentCount - 2 || f.view.selectedIndex() <= 1)
                direction = -direction;
            f.view.moveSelection(direction);
        }
        f.view.advanceAnimation((frameInMove + 1) / 36.0);
        frameInMove = (frameInMove + 1) % 36; // 0.6 s at 60 frames a second
        f.draw();
        benchmark::DoNotOptimize(f.frame.constBits());
    }
}
BENCHMARK(BM_CoverFlowFrameWhileMoving)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fixture().loader.stop();
    return 0;
}
