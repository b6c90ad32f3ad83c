// The per-file settings lookup made at every file open, with a full store of
// records whose files are gone, beside a folder of many entries. Target: well
// under a millisecond per lookup (it must never search folders).
#include "document/KELFilePrefsManager.h"
#include "kit/UserDefaults.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

void touch(const QString& path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("x");
}

void BM_LookupBesideStaleRecords(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString big = dir.filePath(QStringLiteral("big"));
    QDir().mkpath(big);
    for (int i = 0; i < 5000; ++i)
        touch(QDir(big).filePath(QStringLiteral("f%1.txt").arg(i)));
    kit::UserDefaults::standard().resetForTesting();
    KELFilePrefsManager::resetSharedForTesting();
    {
        KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
        for (int i = 0; i < 300; ++i) {
            const QString path = QDir(big).filePath(QStringLiteral("gone%1.html").arg(i));
            touch(path);
            KELFilePrefs& record = store.filePrefsForFile(path);
            record.setEncoding(5);
            store.saveFilePrefs(record);
            QFile::remove(path);
        }
    }
    const QString page = QDir(big).filePath(QStringLiteral("page.html"));
    touch(page);
    for (auto _ : state) {
        // A fresh start each time: nothing remembered about earlier searches.
        state.PauseTiming();
        KELFilePrefsManager::resetSharedForTesting();
        KELFilePrefsManager& store = KELFilePrefsManager::sharedFilePrefsManager();
        state.ResumeTiming();
        benchmark::DoNotOptimize(store.filePrefsForFile(page).encoding());
    }
}
BENCHMARK(BM_LookupBesideStaleRecords)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
