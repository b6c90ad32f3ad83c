// Projects at scale, measured as the user waits: a site of 100,000 files in 5,000
// folders written by bench/make-site.py (or the folder KELP_BENCH_INPUT names).
// Each benchmark runs the program's own event loop and reports the longest
// main-thread stall (stall_ms: the longest time the window could not paint or
// answer a key) beside the time to the result on screen.
//
//   ProjectWindowShowsTree       opening the project window
//   ExpandWith1000FoldersOpen    a click on a folder and "*" on a section, 1,000 folders open
//   ReturnToWindow               the window comes forward again, 1,000 folders open
//   OpenQuickly                  the panel opens, a name is typed, the first rows show
//   BatchFindProject             a search through every file: first results, the end, MB/s
//   BatchFindManyMatches         a search that stops at the result limit
//   OpenQuicklyKeystroke         one keystroke matched against every name (worker time)
//   OpenQuicklyCandidates        every name of the project gathered for the panel (worker time)
#include "KelpPaths.h"
#include "document/MyDocumentController.h"
#include "editor/BatchTextFinder.h"
#include "kit/UserDefaults.h"
#include "project/DirectoryItem.h"
#include "project/OpenQuicklyController.h"
#include "project/OpenQuicklyLocalSearch.h"
#include "project/ProjectDocumentController.h"
#include "project/ProjectFileIndex.h"
#include "project/ProjectOutlineModel.h"
#include "project/ProjectSystem.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <malloc.h>
#include <time.h>

namespace {

QString siteFolder()
{
    static QString path = [] {
        const QByteArray input = qgetenv("KELP_BENCH_INPUT");
        if (!input.isEmpty())
            return QString::fromLocal8Bit(input);
        // Written once and kept: it takes a while.
        const QString folder = QDir::tempPath() + QStringLiteral("/kelp-bench-site-100k");
        const QString script = QFileInfo(QStringLiteral(KELP_SOURCE_RESOURCES "/../bench/make-site.py")).absoluteFilePath();
        QProcess make;
        make.setProcessChannelMode(QProcess::ForwardedChannels);
        make.start(QStringLiteral("python3"), {script, folder});
        if (!make.waitForFinished(-1) || make.exitCode() != 0)
            qFatal("bench/make-site.py could not write %s", qPrintable(folder));
        return folder;
    }();
    return path;
}

// Bytes in use on the heap (what the program keeps, not what the allocator holds).
qint64 heapBytes()
{
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

qint64 threadCpuNanoseconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// Ticks every few milliseconds on the main thread: the longest gap between two
// ticks is the longest time the event loop was held up (stall_ms, wall time, which
// on a loaded machine includes waiting for a processor); the most processor time
// the main thread spent in one gap is the longest step of its own (step_ms).
class StallProbe {
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(2);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { tick(); });
    }
    void start()
    {
        m_clock.start();
        m_last = 0;
        m_lastCpu = threadCpuNanoseconds();
        m_longest = 0;
        m_longestStep = 0;
        m_timer.start();
    }
    /// The longest stall since start, in milliseconds (the probe's own interval taken off).
    double stop()
    {
        m_timer.stop();
        tick();
        return qMax(0.0, double(m_longest) / 1e6 - 2.0);
    }
    /// The longest step of the main thread's own work, in milliseconds.
    double longestStep() const { return double(m_longestStep) / 1e6; }

private:
    void tick()
    {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNanoseconds();
        m_longest = qMax(m_longest, now - m_last);
        m_longestStep = qMax(m_longestStep, cpu - m_lastCpu);
        m_last = now;
        m_lastCpu = cpu;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longest = 0;
    qint64 m_longestStep = 0;
};

// Runs the event loop until the condition holds; answers the milliseconds it took.
double runUntil(const std::function<bool()>& done, int timeoutMs = 600000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return double(clock.nsecsElapsed()) / 1e6;
}

// Runs the event loop for a while (to see what a step leaves behind).
void runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
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

// Every folder of the site, parents first.
QStringList allFolders()
{
    static QStringList folders = [] {
        QStringList list;
        QDirIterator it(siteFolder(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (it.hasNext())
            list << it.next();
        list.sort();
        return list;
    }();
    return folders;
}

ProjectDocumentController* openSite()
{
    ensureDocumentSystem();
    kit::UserDefaults::standard().removeValue(ProjectDocumentController::expandedItemsDefaultsKey(siteFolder()));
    auto* project = ProjectDocumentController::openProject(siteFolder(), true);
    runUntil([project] { return !project->fileOutlineView()->isExpanding(); });
    return project;
}

void closeSite(ProjectDocumentController* project)
{
    project->closeWindowNow();
    runFor(50);
}

// 1,000 folders open: the first 1,000 in tree order.
void expandThousand(ProjectDocumentController* project)
{
    project->fileOutlineView()->expandPaths(allFolders().mid(0, 1000));
    runUntil([project] { return !project->fileOutlineView()->isExpanding(); });
}

void BM_ProjectWindowShowsTree(benchmark::State& state)
{
    siteFolder();
    ensureDocumentSystem();
    StallProbe probe;
    double step = 0;
    double stall = 0;
    for (auto _ : state) {
        probe.start();
        auto* project = ProjectDocumentController::openProject(siteFolder(), true);
        runUntil([project] { return !project->fileOutlineView()->isExpanding(); });
        benchmark::DoNotOptimize(project->outlineModel()->rowCount());
        stall = qMax(stall, probe.stop());
        step = qMax(step, probe.longestStep());
        state.PauseTiming();
        closeSite(project);
        state.ResumeTiming();
    }
    state.counters["stall_ms"] = stall;
    state.counters["step_ms"] = step;
}
BENCHMARK(BM_ProjectWindowShowsTree)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ExpandWith1000FoldersOpen(benchmark::State& state)
{
    ProjectDocumentController* project = openSite();
    ProjectOutlineView* view = project->fileOutlineView();
    ProjectOutlineModel* model = project->outlineModel();
    StallProbe probe;
    double step = 0;
    double clickStall = 0;
    double starStall = 0;
    double starMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        view->collapseAll();
        expandThousand(project);
        runFor(20);
        state.ResumeTiming();
        // A click on a closed folder.
        DirectoryItem* closed = nullptr;
        for (const QString& folder : allFolders().mid(1000)) {
            DirectoryItem* item = project->itemForPath(folder);
            if (item && !view->isItemExpanded(item)) {
                closed = item;
                break;
            }
        }
        probe.start();
        if (closed)
            view->expand(model->indexForItem(closed));
        runFor(20);
        clickStall = qMax(clickStall, probe.stop());
        step = qMax(step, probe.longestStep());
        // "*" on the largest section: every folder below it.
        DirectoryItem* section = project->itemForPath(siteFolder() + QStringLiteral("/projects"));
        if (!section)
            section = project->rootDirectoryItem()->childAt(0);
        probe.start();
        QElapsedTimer clock;
        clock.start();
        view->expandAllBelow(section);
        runUntil([view] { return !view->isExpanding(); });
        runFor(20);
        starMs = double(clock.nsecsElapsed()) / 1e6;
        starStall = qMax(starStall, probe.stop());
        step = qMax(step, probe.longestStep());
    }
    state.counters["expanded"] = double(view->expandedItemSet().size());
    state.counters["click_stall_ms"] = clickStall;
    state.counters["star_ms"] = starMs;
    state.counters["stall_ms"] = qMax(clickStall, starStall);
    state.counters["step_ms"] = step;
    closeSite(project);
}
BENCHMARK(BM_ExpandWith1000FoldersOpen)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ReturnToWindow(benchmark::State& state)
{
    ProjectDocumentController* project = openSite();
    expandThousand(project);
    runFor(100);
    StallProbe probe;
    double step = 0;
    double stall = 0;
    QWidget other;
    for (auto _ : state) {
        probe.start();
        QEvent deactivate(QEvent::WindowDeactivate);
        QCoreApplication::sendEvent(project->window(), &deactivate);
        QEvent activate(QEvent::WindowActivate);
        QCoreApplication::sendEvent(project->window(), &activate);
        runUntil([project] { return !project->isReadingFolders(); });
        runFor(50);
        stall = qMax(stall, probe.stop());
        step = qMax(step, probe.longestStep());
    }
    state.counters["watched"] = double(project->watchedFolders().size());
    state.counters["stall_ms"] = stall;
    state.counters["step_ms"] = step;
    closeSite(project);
}
BENCHMARK(BM_ReturnToWindow)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void BM_OpenQuickly(benchmark::State& state)
{
    ProjectDocumentController* project = openSite();
    OpenQuicklyController& panel = OpenQuicklyController::sharedInstance();
    StallProbe probe;
    double step = 0;
    double stall = 0;
    double firstRows = 0;
    const qint64 before = heapBytes();
    for (auto _ : state) {
        probe.start();
        QElapsedTimer clock;
        clock.start();
        panel.showWindow();
        panel.fileRegexField()->setText(QStringLiteral("contact"));
        runUntil([&panel] { return panel.fileTableView()->model()->rowCount() > 0; });
        firstRows = double(clock.nsecsElapsed()) / 1e6;
        runFor(100);
        stall = qMax(stall, probe.stop());
        step = qMax(step, probe.longestStep());
        state.PauseTiming();
        panel.cancel();
        runFor(50);
        state.ResumeTiming();
    }
    runFor(500);
    state.counters["first_rows_ms"] = firstRows;
    state.counters["stall_ms"] = stall;
    state.counters["step_ms"] = step;
    // What stays after the panel closed: the project's file index and, for a minute,
    // the rows of its files for the next opening; then the index alone.
    state.counters["kept_MB"] = double(heapBytes() - before) / (1024.0 * 1024.0);
    OpenQuicklyLocalSearch::releaseCachedRows();
    runFor(500);
    state.counters["kept_later_MB"] = double(heapBytes() - before) / (1024.0 * 1024.0);
    closeSite(project);
}
BENCHMARK(BM_OpenQuickly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_BatchFindProject(benchmark::State& state)
{
    ProjectDocumentController* project = openSite();
    BatchTextFinder& finder = BatchTextFinder::shared();
    finder.showWindow();
    qint64 bytes = 0;
    const std::shared_ptr<const QStringList> files = project->fileIndex()->reader().listNow();
    for (const QString& path : *files)
        bytes += QFileInfo(path).size();
    StallProbe probe;
    double step = 0;
    double stall = 0;
    double first = 0;
    double total = 0;
    for (auto _ : state) {
        bool finished = false;
        auto connection = QObject::connect(&finder, &BatchTextFinder::findFinished, [&finished] { finished = true; });
        // A rare text: every file is read to the end.
        finder.findComboBox()->setEditText(QStringLiteral("yellow zone"));
        probe.start();
        QElapsedTimer clock;
        clock.start();
        finder.find();
        runUntil([&finder] { return finder.numberOfResults() > 0; });
        first = double(clock.nsecsElapsed()) / 1e6;
        runUntil([&finished] { return finished; });
        total = double(clock.nsecsElapsed()) / 1e6;
        stall = qMax(stall, probe.stop());
        step = qMax(step, probe.longestStep());
        QObject::disconnect(connection);
    }
    state.counters["results"] = double(finder.numberOfResults());
    state.counters["first_ms"] = first;
    state.counters["total_ms"] = total;
    state.counters["MB_per_s"] = double(bytes) / (1024.0 * 1024.0) / (total / 1000.0);
    state.counters["stall_ms"] = stall;
    state.counters["step_ms"] = step;
    finder.resetValues();
    finder.window()->hide();
    closeSite(project);
}
BENCHMARK(BM_BatchFindProject)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_BatchFindManyMatches(benchmark::State& state)
{
    ProjectDocumentController* project = openSite();
    BatchTextFinder& finder = BatchTextFinder::shared();
    finder.showWindow();
    StallProbe probe;
    double step = 0;
    double stall = 0;
    double total = 0;
    for (auto _ : state) {
        bool finished = false;
        auto connection = QObject::connect(&finder, &BatchTextFinder::findFinished, [&finished] { finished = true; });
        finder.findComboBox()->setEditText(QStringLiteral("footer"));
        probe.start();
        QElapsedTimer clock;
        clock.start();
        finder.find();
        runUntil([&finished] { return finished; });
        runFor(200);
        total = double(clock.nsecsElapsed()) / 1e6;
        stall = qMax(stall, probe.stop());
        step = qMax(step, probe.longestStep());
        QObject::disconnect(connection);
    }
    state.counters["results"] = double(finder.numberOfResults());
    state.counters["total_ms"] = total;
    state.counters["stall_ms"] = stall;
    state.counters["step_ms"] = step;
    finder.resetValues();
    finder.window()->hide();
    closeSite(project);
}
BENCHMARK(BM_BatchFindManyMatches)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_OpenQuicklyKeystroke(benchmark::State& state)
{
    static ProjectFileIndex index(siteFolder());
    static OpenQuicklyLocalSearch search({}, QString(), {index.reader()});
    const QStringList keystrokes{QStringLiteral("n*"), QStringLiteral("ne*"), QStringLiteral("new*"), QStringLiteral("news*"),
                                 QStringLiteral("news1*"), QStringLiteral("*12*"), QStringLiteral("*.css")};
    state.counters["candidates"] = double(search.candidateCount());
    qsizetype i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(search.matchingFileNames(keystrokes[i++ % keystrokes.size()]));
}
BENCHMARK(BM_OpenQuicklyKeystroke)->Unit(benchmark::kMillisecond);

// The worker's part of opening the panel: every name of the project gathered.
void BM_OpenQuicklyCandidates(benchmark::State& state)
{
    static ProjectFileIndex index(siteFolder());
    index.reader().files();
    for (auto _ : state) {
        OpenQuicklyLocalSearch search({}, QString(), {index.reader()});
        benchmark::DoNotOptimize(search.candidateCount());
    }
}
BENCHMARK(BM_OpenQuicklyCandidates)->Unit(benchmark::kMillisecond)->UseRealTime();

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
