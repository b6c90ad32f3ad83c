// Speed of the editor text engine on a large file: opening and laying out the first
// screen, typing in the middle, scrolling to the end and back. Input: KELP_BENCH_INPUT
// when set, else a generated 400,000-line HTML file (about 20 MB).
#include "editor/KELTextView.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"
#include "syntax/KELHTMLViewColoringManager.h"
#include "syntax/SyntaxManager.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QString& inputText()
{
    static const QString text = [] {
        const QByteArray path = qgetenv("KELP_BENCH_INPUT");
        if (!path.isEmpty()) {
            QFile f(QString::fromLocal8Bit(path));
            if (f.open(QIODevice::ReadOnly))
                return QString::fromUtf8(f.readAll());
        }
        QString s;
        s.reserve(21 * 1000 * 1000);
        s += QStringLiteral("<!DOCTYPE html>\n<html>\n<body>\n");
        for (int i = 0; i < 400000; ++i)
            s += QStringLiteral("  <div class=\"row-%1\"><p>Row %1 of the table</p></div>\n").arg(i);
        s += QStringLiteral("</body>\n</html>\n");
        return s;
    }();
    return text;
}

struct Editor {
    std::unique_ptr<kit::ScrollView> scroll = std::make_unique<kit::ScrollView>();
    KELTextView* view = new KELTextView;
    QImage image = QImage(1000, 800, QImage::Format_RGB32); // as a window's backing store
    Editor()
    {
        scroll->setDocumentView(view);
        QFont f(QStringLiteral("DejaVu Sans Mono"));
        f.setPixelSize(13);
        view->setFont(f);
        scroll->resize(1000, 800);
        scroll->show();
    }
    // The whole view, as when it is first shown.
    void paint()
    {
        QPainter p(&image);
        view->render(&p);
    }
    // What the event loop does after a keystroke: the view asks for the repaint of what
    // changed (a queued call), then the window paints it (the next turn).
    static void frame()
    {
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
    }
};

// What the benchmarks type: sentences, with a new line every 60 characters, so the
// edited line stays as long as lines are in a page rather than growing without end.
struct Typist {
    static constexpr QStringView sentence = u"The quick brown fox jumps over the lazy dog. ";
    int typed = 0;
    void key(KELTextView* view)
    {
        if (typed % 61 == 60)
            view->insertNewline();
        else
            view->insertText(sentence.at(typed % 61 % sentence.size()));
        ++typed;
    }
};

double median(std::vector<double>& v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_OpenAndShowFirstScreen(benchmark::State& state)
{
    const QString& text = inputText();
    int laidOut = 0, paragraphs = 0;
    for (auto _ : state) {
        Editor e;
        e.view->setString(text);
        e.paint();
        laidOut = e.view->layoutManager()->laidOutParagraphCount();
        paragraphs = e.view->layoutManager()->paragraphCount();
    }
    state.counters["paragraphs"] = paragraphs;
    state.counters["laid_out"] = laidOut;
    state.counters["megabytes"] = double(text.size()) * 2 / (1024 * 1024);
}
BENCHMARK(BM_OpenAndShowFirstScreen)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_TypeInTheMiddle(benchmark::State& state)
{
    Editor e;
    e.view->setString(inputText());
    const qsizetype middle = e.view->textStorage()->lineRange(kit::Range(inputText().size() / 2, 0)).location + 10;
    e.view->setSelectedRange(kit::Range(middle, 0));
    e.view->scrollRangeToVisible(kit::Range(middle, 0));
    e.paint();
    Editor::frame();
    std::vector<double> times, editTimes, wholeViewTimes;
    QElapsedTimer timer;
    Typist typist;
    for (auto _ : state) {
        timer.start();
        typist.key(e.view);
        e.view->layoutManager()->ensureLayoutForRect(e.view->visibleContainerRect());
        editTimes.push_back(double(timer.nsecsElapsed()) / 1000.0);
        Editor::frame();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
        if (typist.typed % 20 == 0) {
            timer.start();
            e.paint();
            wholeViewTimes.push_back(double(timer.nsecsElapsed()) / 1000.0);
        }
    }
    // Edit, layout and the repaint it asked for; the same without the paint; a paint of
    // the whole view (every 20th keystroke, not in the first figure).
    state.counters["median_us_per_key"] = median(times);
    state.counters["median_us_edit_layout"] = median(editTimes);
    state.counters["median_us_whole_view"] = median(wholeViewTimes);
    state.counters["laid_out"] = e.view->layoutManager()->laidOutParagraphCount();
}
BENCHMARK(BM_TypeInTheMiddle)->Unit(benchmark::kMicrosecond)->Iterations(2000);

// The same with the whole file coloured (a run per tag), as the colouring engine leaves it.
void BM_TypeInTheMiddleColoured(benchmark::State& state)
{
    Editor e;
    e.view->setString(inputText());
    kit::TextStorage* ts = e.view->textStorage();
    const QString& s = ts->string();
    ts->beginEditing();
    for (qsizetype i = s.indexOf(QLatin1Char('<')); i >= 0; i = s.indexOf(QLatin1Char('<'), i + 1)) {
        const qsizetype end = s.indexOf(QLatin1Char('>'), i);
        if (end < 0)
            break;
        ts->addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::darkBlue), kit::Range(i, end + 1 - i));
        i = end;
    }
    ts->endEditing();
    const qsizetype middle = ts->lineRange(kit::Range(ts->length() / 2, 0)).location + 10;
    e.view->setSelectedRange(kit::Range(middle, 0));
    e.view->scrollRangeToVisible(kit::Range(middle, 0));
    e.paint();
    Editor::frame();
    std::vector<double> times, editTimes, colourTimes;
    QElapsedTimer timer;
    Typist typist;
    for (auto _ : state) {
        timer.start();
        typist.key(e.view);
        editTimes.push_back(double(timer.nsecsElapsed()) / 1000.0);
        // What a colouring pass does after a keystroke: colour the edited line again.
        const kit::Range line = ts->lineRange(e.view->selectedRange());
        ts->beginEditing();
        ts->removeAttribute(kit::ForegroundColorAttributeName, line);
        ts->addAttribute(kit::ForegroundColorAttributeName, QColor(Qt::darkBlue), kit::Range(line.location, std::min<qsizetype>(5, line.length)));
        ts->endEditing();
        colourTimes.push_back(double(timer.nsecsElapsed()) / 1000.0);
        Editor::frame();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    state.counters["median_us_per_key"] = median(times);
    state.counters["median_us_edit"] = median(editTimes);
    state.counters["median_us_edit_colour"] = median(colourTimes);
}
BENCHMARK(BM_TypeInTheMiddleColoured)->Unit(benchmark::kMicrosecond)->Iterations(2000);

void BM_ScrollToEndAndBack(benchmark::State& state)
{
    Editor e;
    e.view->setString(inputText());
    e.paint();
    for (auto _ : state) {
        QScrollBar* bar = e.scroll->verticalScrollBar();
        bar->setValue(bar->maximum());
        e.paint();
        bar->setValue(bar->maximum());
        e.paint();
        bar->setValue(0);
        e.paint();
    }
    state.counters["laid_out"] = e.view->layoutManager()->laidOutParagraphCount();
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(BM_ScrollToEndAndBack)->Unit(benchmark::kMillisecond)->Iterations(20);

// Typing with the colouring engine at work (after the others, so their peak memory
// figures stay their own): the page is coloured as HTML first, and
// every keystroke is re-coloured by the engine as the editor does it.
void BM_TypeInTheMiddleRecoloured(benchmark::State& state)
{
    Editor e;
    e.view->setString(inputText());
    KELHTMLViewColoringManager colouring;
    colouring.setSyntaxType(SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML")));
    colouring.addTextView(e.view);
    colouring.colorAllTags();
    kit::TextStorage* ts = e.view->textStorage();
    // Authors type prose between tags: the caret goes into the first paragraph after
    // the middle of the page (inside a tag, every keystroke re-reads the whole tag).
    const qsizetype lineStart = ts->lineRange(kit::Range(ts->length() / 2, 0)).location;
    const qsizetype paragraph = ts->string().indexOf(QLatin1String("<p>"), lineStart);
    const qsizetype middle = paragraph >= 0 ? paragraph + 3 : lineStart;
    e.view->setSelectedRange(kit::Range(middle, 0));
    e.view->scrollRangeToVisible(kit::Range(middle, 0));
    e.paint();
    Editor::frame();
    std::vector<double> times;
    QElapsedTimer timer;
    Typist typist;
    for (auto _ : state) {
        timer.start();
        typist.key(e.view);
        Editor::frame();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    state.counters["median_us_per_key"] = median(times);
    state.counters["coloured_to"] = double(colouring.correctColoringIndex());
    // Reads of the whole text after an edit: each moves everything after the caret.
    state.counters["whole_text_reads"] = double(ts->wholeTextReads());
}
BENCHMARK(BM_TypeInTheMiddleRecoloured)->Unit(benchmark::kMicrosecond)->Iterations(2000);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
