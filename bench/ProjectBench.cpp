// Projects at scale: a generated site of 100,000 files in 5,000 folders (or the
// folder KELP_BENCH_INPUT names). Measures how long a project window takes to
// show its tree (children are read lazily), how long one Open Quickly keystroke
// takes to match every file of the project, and how much memory the whole tree
// takes once every folder has been read.
#include "document/MyDocumentController.h"
#include "kit/UserDefaults.h"
#include "project/DirectoryItem.h"
#include "project/OpenQuicklyLocalSearch.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectSystem.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <unistd.h>

namespace {

const char* const Words[] = {"index", "about", "contact", "style", "main", "news", "photo", "page", "blog", "post"};
const char* const Extensions[] = {"html", "css", "js", "php", "png", "txt"};

QString siteFolder()
{
    static QString path = [] {
        const QByteArray input = qgetenv("KELP_BENCH_INPUT");
        if (!input.isEmpty())
            return QString::fromLocal8Bit(input);
        static QTemporaryDir dir;
        // 50 sections of 100 folders, 20 files each: 5,000 folders, 100,000 files.
        for (int section = 0; section < 50; ++section) {
            for (int folder = 0; folder < 100; ++folder) {
                const QString path = dir.path() + QStringLiteral("/section%1/folder%2").arg(section).arg(folder);
                QDir().mkpath(path);
                for (int file = 0; file < 20; ++file) {
                    const int n = (section * 100 + folder) * 20 + file;
                    QFile f(path + QStringLiteral("/%1%2.%3").arg(QString::fromLatin1(Words[n % 10])).arg(n).arg(QString::fromLatin1(Extensions[n % 6])));
                    f.open(QIODevice::WriteOnly);
                }
            }
        }
        return dir.path();
    }();
    return path;
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

void ensureDocumentSystem()
{
    static bool made = false;
    if (made)
        return;
    made = true;
    new MyDocumentController(qApp);
    KELInstallProjectServices();
}

void BM_ProjectWindowShowsTree(benchmark::State& state)
{
    const QString folder = siteFolder();
    ensureDocumentSystem();
    for (auto _ : state) {
        auto* project = ProjectDocumentController::openProject(folder, true);
        QApplication::processEvents();
        benchmark::DoNotOptimize(project->outlineModel()->rowCount());
        state.PauseTiming();
        project->closeWindowNow();
        QApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ProjectWindowShowsTree)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenQuicklyKeystroke(benchmark::State& state)
{
    static DirectoryItem root(siteFolder());
    static OpenQuicklyLocalSearch search(root.allDocumentsAndPlaceholders(), QString());
    const QStringList keystrokes{QStringLiteral("n*"), QStringLiteral("ne*"), QStringLiteral("new*"), QStringLiteral("news*"),
                                 QStringLiteral("news1*"), QStringLiteral("*12*"), QStringLiteral("*.css")};
    qsizetype i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(search.matchingFileNames(keystrokes[i++ % keystrokes.size()]));
    state.counters["candidates"] = double(search.candidateCount());
}
BENCHMARK(BM_OpenQuicklyKeystroke)->Unit(benchmark::kMillisecond);

void BM_WholeTreeMemory(benchmark::State& state)
{
    for (auto _ : state) {
        const qint64 before = residentBytes();
        auto root = std::make_unique<DirectoryItem>(siteFolder());
        root->updateAllChildren();
        const qint64 after = residentBytes();
        state.counters["treeMB"] = double(after - before) / (1024.0 * 1024.0);
        state.counters["files"] = double(root->allFilePaths().size());
    }
}
BENCHMARK(BM_WholeTreeMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    kit::UserDefaults::standard().resetForTesting();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
