// What a user waits for when a large page opens in the editor (document,
// colouring manager and editor view, as the program makes them): the time until
// the whole page is coloured and its outline complete, and the longest single
// step of the main thread meanwhile, that is the longest the window could not
// answer a key or repaint; and, on a page just opened, the time until the
// completion list has its entries at the end of the page; and File > Open on the
// page: the time until its window is usable (shown, its text painted) and the longest
// main-thread step on the way.
// Input: KELP_BENCH_INPUT (an HTML page; bench/make-pages makes real ones of 2 and
// 19 MB) when set, else generated pages of 2 and 19 MB.
// Targets: no step over 100 ms; a 2 MB page fully coloured within 1 s of opening.
// The counters: longest_step_ms, the longest step after the file was read and shown
// (opening it is one step of its own, open_ms); longest_step_cpu_ms and
// main_thread_cpu_ms, the processor time of that step and of the whole, steadier
// than the clock on a machine busy with other work.
#include "app/RegisteredDefaults.h"
#include "document/DocumentSystem.h"
#include "document/DocumentWindowController.h"
#include "document/KELFilePrefsManager.h"
#include "document/MyDocument.h"
#include "document/MyDocumentController.h"
#include "editor/KELHTMLView.h"
#include "kit/UserDefaults.h"
#include "kit/document/DocumentController.h"
#include "kit/document/WindowController.h"
#include "kit/text/TextStorage.h"
#include "support/DefaultsKeys.h"
#include "syntax/DocumentColoringManager.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTimer>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>

namespace {

// Times each event the main thread handles from its event loop: the longest is
// the longest the user could have waited for a key or a repaint.
class StepTimingApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        // Paints come inside the step that asked for them.
        if (event->type() == QEvent::Paint && qobject_cast<KELHTMLView*>(receiver))
            m_textPainted = true;
        if (m_depth > 0)
            return QApplication::notify(receiver, event);
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const double cpu = threadCpuMilliseconds();
        const bool result = QApplication::notify(receiver, event);
        m_longest = std::max(m_longest, clock.nsecsElapsed());
        m_longestCpu = std::max(m_longestCpu, threadCpuMilliseconds() - cpu);
        --m_depth;
        return result;
    }
    void resetLongestStep()
    {
        m_longest = 0;
        m_longestCpu = 0;
    }
    /// Whether an editor view painted its text since the last reset.
    bool textPainted() const { return m_textPainted; }
    void resetTextPainted() { m_textPainted = false; }
    double longestStepMilliseconds() const { return double(m_longest) / 1e6; }
    // The same in processor time: what the step cost, without the time other work on
    // a busy machine took it away.
    double longestStepCpuMilliseconds() const { return m_longestCpu; }
    void noteStep(qint64 nanoseconds, double cpuMilliseconds)
    {
        m_longest = std::max(m_longest, nanoseconds);
        m_longestCpu = std::max(m_longestCpu, cpuMilliseconds);
    }
    // Processor time the main thread has used, in milliseconds.
    static double threadCpuMilliseconds()
    {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }

private:
    int m_depth = 0;
    bool m_textPainted = false;
    qint64 m_longest = 0;
    double m_longestCpu = 0;
};

StepTimingApplication* application() { return static_cast<StepTimingApplication*>(QCoreApplication::instance()); }

// One stretch of page with a style sheet, a script and markup; about 1,500 characters.
QString pageBlock(int n)
{
    return QStringLiteral(
        "<div id=\"section-%1\" class=\"intro box\">\n"
        "  <h2>Section %1</h2>\n"
        "  <p>Some text with <a href=\"https://example.com/%1\">a link</a> &amp; <em>emphasis</em>.</p>\n"
        "  <!-- a comment about section %1 -->\n"
        "  <img src=\"images/pic-%1.png\" alt='Picture %1'/>\n"
        "  <style>\n"
        "    #section-%1 > p { color: #336699; margin: 0 auto; font-size: 1.2em !important; }\n"
        "    @media screen and (max-width: 600px) { .box { width: calc(100% - 20px); } }\n"
        "  </style>\n"
        "  <script>\n"
        "    var count%1 = 10 / 2 / 5;\n"
        "    function half(x) { return x / 2; }\n"
        "    if (count%1 > 1) { document.title = 'Count: ' + count%1; }\n"
        "  </script>\n"
        "  <ul>\n"
        "    <li>One</li>\n"
        "    <li>Two <strong>and</strong> three</li>\n"
        "  </ul>\n"
        "</div>\n")
        .arg(n);
}

QByteArray page(qsizetype size)
{
    const QByteArray path = qgetenv("KELP_BENCH_INPUT");
    if (!path.isEmpty()) {
        QFile f(QString::fromLocal8Bit(path));
        if (f.open(QIODevice::ReadOnly))
            return f.readAll();
    }
    QString s = QStringLiteral("<!DOCTYPE html>\n<html>\n<head><title>Benchmark</title></head>\n<body>\n<main>\n");
    for (int i = 0; s.size() < size; ++i)
        s += pageBlock(i);
    s += QStringLiteral("</main>\n</body>\n</html>\n");
    return s.toUtf8();
}

class Editor
{
public:
    Editor()
    {
        kit::UserDefaults::standard().resetForTesting();
        KELRegisterDefaults();
        kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, false);
        KELFilePrefsManager::resetSharedForTesting();
        kit::DocumentController::resetSharedForTesting();
        DocumentWindowController::setFadeDurationForTesting(0);
        m_controller = new MyDocumentController(QCoreApplication::instance());
        KELStartDocumentSystem(m_dir.filePath(QStringLiteral("none.plist")));
    }
    ~Editor()
    {
        for (kit::WindowController* window : kit::WindowController::allWindowControllers())
            if (auto* documents = qobject_cast<DocumentWindowController*>(window))
                documents->closeWindowNow();
        settle();
        kit::DocumentController::resetSharedForTesting();
        settle();
    }
    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return path;
    }
    // Opens the file as the File menu does, with its window in front.
    MyDocument* open(const QString& path)
    {
        kit::Error error;
        auto* document
            = qobject_cast<MyDocument*>(m_controller->openDocumentWithContentsOfURL(QUrl::fromLocalFile(path), true, &error));
        if (document && document->textView())
            QApplication::setActiveWindow(document->textView()->window());
        return document;
    }
    void close(MyDocument* document)
    {
        if (DocumentWindowController* window = document ? document->windowController() : nullptr)
            window->closeWindowNow();
        settle();
    }
    static void settle()
    {
        for (int i = 0; i < 5; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

private:
    QTemporaryDir m_dir;
    MyDocumentController* m_controller = nullptr;
};

// Runs the event loop until the condition holds (or a minute has gone by).
template<typename Condition> bool runUntil(Condition condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > 60000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

void openUntilColored(benchmark::State& state, qsizetype size)
{
    Editor editor;
    const QByteArray bytes = page(size);
    const QString path = editor.write(QStringLiteral("page.html"), bytes);
    double longest = 0;
    double longestCpu = 0;
    double openMs = 0;
    double cpuMs = 0;
    qsizetype items = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = StepTimingApplication::threadCpuMilliseconds();
        MyDocument* document = editor.open(path);
        const qint64 opened = clock.nsecsElapsed();
        // Reading, decoding and laying out the file is one step of its own, before
        // any background colouring: it is reported apart.
        application()->resetLongestStep();
        DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr;
        if (!coloring) {
            state.SkipWithError("the page did not open");
            return;
        }
        if (!runUntil([coloring] { return coloring->isColoringComplete(); })) {
            state.SkipWithError("the page was not coloured within a minute");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longest = std::max(longest, application()->longestStepMilliseconds());
        longestCpu = std::max(longestCpu, application()->longestStepCpuMilliseconds());
        openMs = std::max(openMs, double(opened) / 1e6);
        cpuMs = std::max(cpuMs, StepTimingApplication::threadCpuMilliseconds() - cpu);
        items = coloring->structure()->allItems().size();
        editor.close(document);
    }
    state.counters["longest_step_ms"] = longest;
    state.counters["longest_step_cpu_ms"] = longestCpu;
    state.counters["open_ms"] = openMs;
    state.counters["main_thread_cpu_ms"] = cpuMs;
    state.counters["outline_items"] = double(items);
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

void BM_OpenPageUntilColored2MB(benchmark::State& state) { openUntilColored(state, 2 * 1000 * 1000); }
BENCHMARK(BM_OpenPageUntilColored2MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_OpenPageUntilColored19MB(benchmark::State& state) { openUntilColored(state, 19 * 1000 * 1000); }
BENCHMARK(BM_OpenPageUntilColored19MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

// File > Open on a page, as the user does it: the Open dialog answers with the page
// and the command runs from the event loop, as a click on the menu would. The time
// until the page's window stands with its text painted and the view ready for keys
// (usable_ms), and the longest step of the main thread from the command on: reading,
// decoding, the first layout and paint included.
void openFromFileMenu(benchmark::State& state, qsizetype size)
{
    Editor editor;
    // As a user has it: spelling is checked while typing.
    kit::UserDefaults::standard().setValue(KELCheckSpellingAsYouType, true);
    const QByteArray bytes = page(size);
    const QString path = editor.write(QStringLiteral("page.html"), bytes);
    const QUrl url = QUrl::fromLocalFile(path);
    kit::DocumentController::setOpenPanelResponderForTesting([url] { return QList<QUrl>{url}; });
    double longest = 0;
    double longestCpu = 0;
    double cpuMs = 0;
    for (auto _ : state) {
        application()->resetLongestStep();
        application()->resetTextPainted();
        QElapsedTimer clock;
        clock.start();
        const double cpu = StepTimingApplication::threadCpuMilliseconds();
        QTimer::singleShot(0, [] { kit::DocumentController::sharedDocumentController().openDocument(); });
        MyDocument* document = nullptr;
        const bool usable = runUntil([&] {
            document = qobject_cast<MyDocument*>(kit::DocumentController::sharedDocumentController().documentForURL(url));
            KELHTMLView* view = document ? document->textView() : nullptr;
            return view && view->isVisible() && application()->textPainted();
        });
        if (!usable) {
            state.SkipWithError("the page's window did not show within a minute");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        // The steps right after the window showed (the rest of the first paint) count too.
        Editor::settle();
        longest = std::max(longest, application()->longestStepMilliseconds());
        longestCpu = std::max(longestCpu, application()->longestStepCpuMilliseconds());
        cpuMs = std::max(cpuMs, StepTimingApplication::threadCpuMilliseconds() - cpu);
        if (document->textStorage()->length() < bytes.size() / 2) {
            state.SkipWithError("the page's text is not all there");
            return;
        }
        editor.close(document);
    }
    kit::DocumentController::setOpenPanelResponderForTesting({});
    state.counters["longest_step_ms"] = longest;
    state.counters["longest_step_cpu_ms"] = longestCpu;
    state.counters["main_thread_cpu_ms"] = cpuMs;
    state.counters["MB"] = double(bytes.size()) / 1e6;
}

void BM_OpenPageFromFileMenu2MB(benchmark::State& state) { openFromFileMenu(state, 2 * 1000 * 1000); }
BENCHMARK(BM_OpenPageFromFileMenu2MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_OpenPageFromFileMenu19MB(benchmark::State& state) { openFromFileMenu(state, 19 * 1000 * 1000); }
BENCHMARK(BM_OpenPageFromFileMenu19MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Ctrl+End and the Complete command at once, on a page just opened: the time until
// the list has its entries (the page ends in "<d", so it offers elements).
void completeAtEnd(benchmark::State& state, qsizetype size)
{
    Editor editor;
    const QByteArray bytes = page(size) + "\n<d";
    const QString path = editor.write(QStringLiteral("page.html"), bytes);
    double longest = 0;
    double longestCpu = 0;
    double cpuMs = 0;
    qsizetype entries = 0;
    for (auto _ : state) {
        MyDocument* document = editor.open(path);
        DocumentColoringManager* coloring = document ? document->coloringManager() : nullptr;
        KELHTMLView* view = document ? document->textView() : nullptr;
        if (!coloring || !view) {
            state.SkipWithError("the page did not open");
            return;
        }
        application()->resetLongestStep();
        QElapsedTimer clock;
        clock.start();
        const double cpu = StepTimingApplication::threadCpuMilliseconds();
        view->setSelectedRange(kit::Range(view->textStorage()->length(), 0));
        coloring->suggestCompletion(view);
        application()->noteStep(clock.nsecsElapsed(), StepTimingApplication::threadCpuMilliseconds() - cpu);
        if (!runUntil([coloring] { return !coloring->hasPendingCompletion(); })) {
            state.SkipWithError("no completions within a minute");
            return;
        }
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
        longest = std::max(longest, application()->longestStepMilliseconds());
        longestCpu = std::max(longestCpu, application()->longestStepCpuMilliseconds());
        cpuMs = std::max(cpuMs, StepTimingApplication::threadCpuMilliseconds() - cpu);
        entries = coloring->numberOfCompletions();
        editor.close(document);
    }
    state.counters["longest_step_ms"] = longest;
    state.counters["longest_step_cpu_ms"] = longestCpu;
    state.counters["main_thread_cpu_ms"] = cpuMs;
    state.counters["entries"] = double(entries);
}

void BM_CompleteAtEndOfJustOpenedPage2MB(benchmark::State& state) { completeAtEnd(state, 2 * 1000 * 1000); }
BENCHMARK(BM_CompleteAtEndOfJustOpenedPage2MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_CompleteAtEndOfJustOpenedPage19MB(benchmark::State& state) { completeAtEnd(state, 19 * 1000 * 1000); }
BENCHMARK(BM_CompleteAtEndOfJustOpenedPage19MB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(2);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    StepTimingApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    QApplication::setOrganizationName(QStringLiteral("Kelp Studio"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
