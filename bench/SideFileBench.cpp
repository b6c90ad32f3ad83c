// Crash recovery on a large page: after each keystroke, how long until the side
// file holds it, and the longest the main thread is kept from the next key while
// that happens (taking the copy of the text; the bytes are made and written on a
// worker). Input: KELP_BENCH_INPUT when set, else a generated page of about 19 MB.
// Target: no main-thread step over 100 ms; the side file within the delays plus
// the time of one write.
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "kit/UndoManager.h"
#include "kit/UserDefaults.h"
#include "kit/text/TextStorage.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>

namespace {

QByteArray inputBytes()
{
    const QByteArray path = qgetenv("KELP_BENCH_INPUT");
    if (!path.isEmpty()) {
        QFile f(QString::fromLocal8Bit(path));
        if (f.open(QIODevice::ReadOnly))
            return f.readAll();
    }
    QByteArray s;
    s.reserve(20 * 1000 * 1000);
    s += "<!DOCTYPE html>\n<html>\n<body>\n";
    for (int i = 0; i < 360000; ++i)
        s += "  <div class=\"row-" + QByteArray::number(i) + "\"><p>Row " + QByteArray::number(i) + " of the table</p></div>\n";
    s += "</body>\n</html>\n";
    return s;
}

QByteArray tail(const QString& path, qint64 length)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < length)
        return {};
    f.seek(f.size() - length);
    return f.read(length);
}

void BM_KeystrokeToSideFile(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString page = dir.filePath(QStringLiteral("large.html"));
    {
        QFile f(page);
        if (!f.open(QIODevice::WriteOnly) || f.write(inputBytes()) < 0) {
            state.SkipWithError("cannot write the input page");
            return;
        }
    }
    kit::UserDefaults::standard().resetForTesting();
    auto* controller = new MyDocumentController(qApp);
    kit::Error error;
    auto* document = qobject_cast<MyDocument*>(
        controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(page), false, &error));
    if (!document) {
        state.SkipWithError("cannot open the input page");
        return;
    }
    // What opening left for later (colouring, the outline) is not the side file's.
    for (QElapsedTimer settle; settle.start(), QCoreApplication::processEvents(), settle.elapsed() > 5;) { }
    kit::Document::setSideFileDelays(0, 0); // the write itself, not the wait before it
    // The first copy of a page takes fresh memory (a page fault per page); later
    // ones reuse it.
    QElapsedTimer copy;
    copy.start();
    benchmark::DoNotOptimize(document->sideFileContents());
    const qint64 firstCopyNs = copy.nsecsElapsed();
    qint64 longestCopyNs = 0;
    for (int i = 0; i < 5; ++i) {
        copy.start();
        benchmark::DoNotOptimize(document->sideFileContents());
        longestCopyNs = std::max(longestCopyNs, copy.nsecsElapsed());
    }
    kit::TextStorage* storage = document->textStorage();
    qint64 longestStepNs = 0;
    int key = 0;
    for (auto _ : state) {
        // A keystroke at the end: the character, and its undo group closing.
        const QString typed = QString(QChar(u'a' + key++ % 26));
        storage->replaceCharacters(kit::Range(storage->length(), 0), typed);
        document->undoManager()->registerUndo([] {});
        const QByteArray expected = typed.toUtf8();
        QElapsedTimer step;
        for (;;) {
            step.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            longestStepNs = std::max(longestStepNs, step.nsecsElapsed());
            const QString side = document->autosavedContentsFileURL().toLocalFile();
            if (!side.isEmpty() && !document->hasUnautosavedChanges() && tail(side, 1) == expected)
                break;
            QThread::msleep(1); // the worker writes meanwhile
        }
    }
    state.counters["longest_main_thread_ms"] = double(longestStepNs) / 1e6;
    state.counters["first_text_copy_ms"] = double(firstCopyNs) / 1e6;
    state.counters["text_copy_ms"] = double(longestCopyNs) / 1e6;
    state.counters["page_mb"] = double(storage->length()) / (1024.0 * 1024.0);
    document->close();
    delete controller;
    kit::Document::setSideFileDelays(1000, 3000);
}
BENCHMARK(BM_KeystrokeToSideFile)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
