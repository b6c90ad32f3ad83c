// Speed of the colouring engine: colouring a whole page with embedded CSS,
// JavaScript and PHP (bytes of text per second), and the re-colouring one
// keystroke in the middle of a 400,000-line file needs, which must stay local.
// Input: KELP_BENCH_INPUT (an HTML page) when set, else a generated page.
// peak_MB is the process's peak resident memory: run BM_ColorWholePage alone
// (--benchmark_filter) for the memory of opening and colouring the page.
#include "kit/text/TextStorage.h"
#include "syntax/KELDocumentStructure.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <memory>

namespace {

// One stretch of page with every language in it; about 1,500 characters and 40 lines.
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
        "    /* styles of section %1 */\n"
        "  </style>\n"
        "  <script>\n"
        "    // behaviour of section %1\n"
        "    var count%1 = 10 / 2 / 5;\n"
        "    var pattern = /ab+c/gi;\n"
        "    function half(x) { return x / 2; }\n"
        "    if (count%1 > 1) { document.title = 'Count: ' + count%1; }\n"
        "  </script>\n"
        "  <?php\n"
        "    $items = array(1, 2, 3, %1);\n"
        "    foreach ($items as $item) {\n"
        "        /* each item */\n"
        "        echo \"<li>$item</li>\";\n"
        "    }\n"
        "  ?>\n"
        "  <ul>\n"
        "    <li>One</li>\n"
        "    <li>Two <strong>and</strong> three</li>\n"
        "  </ul>\n"
        "</div>\n")
        .arg(n);
}

QString input(qsizetype minimumLines, qsizetype minimumLength)
{
    const QByteArray path = qgetenv("KELP_BENCH_INPUT");
    if (!path.isEmpty()) {
        QFile f(QString::fromLocal8Bit(path));
        if (f.open(QIODevice::ReadOnly))
            return QString::fromUtf8(f.readAll());
    }
    QString s = QStringLiteral("<!DOCTYPE html>\n<html>\n<head><title>Benchmark</title></head>\n<body>\n");
    qsizetype lines = 4;
    for (int i = 0; lines < minimumLines || s.size() < minimumLength; ++i) {
        const QString block = pageBlock(i);
        s += block;
        lines += block.count(QLatin1Char('\n'));
    }
    s += QStringLiteral("</body>\n</html>\n");
    return s;
}

SyntaxType* html() { return SyntaxManager::sharedInstance().typeForName(QStringLiteral("HTML")); }

void colorAll(kit::TextStorage* storage)
{
    SyntaxInfo info(kit::Range(0, storage->length()));
    info.setSwitchIndex(storage->length());
    info.setMaxColoringLength(quint64(storage->length()));
    html()->colorHTMLView(storage, info, false, nullptr);
}

void BM_ColorWholePage(benchmark::State& state)
{
    static const QString text = input(0, 2 * 1000 * 1000);
    const qint64 bytes = text.toUtf8().size();
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = std::make_unique<kit::TextStorage>(text);
        state.ResumeTiming();
        colorAll(storage.get());
        benchmark::DoNotOptimize(storage->attribute(kit::ForegroundColorAttributeName, text.size() / 2));
        state.PauseTiming();
        storage.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["chars"] = double(text.size());
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = double(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_ColorWholePage)->Unit(benchmark::kMillisecond)->Iterations(3);

// As a document window opens a page: the pass also reports every structure it finds
// to the document's outline (tags, comments, rules, functions), which parses them.
void BM_ColorWholePageWithOutline(benchmark::State& state)
{
    static const QString text = input(0, 2 * 1000 * 1000);
    const qint64 bytes = text.toUtf8().size();
    qsizetype items = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = std::make_unique<kit::TextStorage>(text);
        KELDocumentStructure outline(storage.get(), [] { return html(); });
        state.ResumeTiming();
        SyntaxInfo info(kit::Range(0, storage->length()));
        info.setSwitchIndex(storage->length());
        info.setMaxColoringLength(quint64(storage->length()));
        info.setObserver(&outline);
        html()->colorHTMLView(storage.get(), info, false, nullptr);
        state.PauseTiming();
        items = outline.allItems().size();
        storage.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * bytes);
    state.counters["outline_items"] = double(items);
}
BENCHMARK(BM_ColorWholePageWithOutline)->Unit(benchmark::kMillisecond)->Iterations(3);

// The request the scheduler makes for one typed character: the edited range,
// widened as the engine sees fit, nothing else.
void BM_KeystrokeInMiddleOfLargeFile(benchmark::State& state)
{
    static const QString text = input(400000, 0);
    static std::unique_ptr<kit::TextStorage> storage = [] {
        auto s = std::make_unique<kit::TextStorage>(text);
        colorAll(s.get());
        return s;
    }();
    // In the middle of a paragraph's text, inside a script and inside a tag, in turn.
    const qsizetype middle = text.size() / 2;
    const qsizetype places[] = { text.indexOf(QStringLiteral("Some text"), middle) + 5,
        text.indexOf(QStringLiteral("var count"), middle) + 4, text.indexOf(QStringLiteral("<h2>"), middle) + 2 };
    qint64 recoloured = 0;
    qint64 requests = 0;
    bool inserted = false;
    int turn = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const qsizetype at = places[(turn / 2) % 3];
        ++turn;
        if (!inserted)
            storage->replaceCharacters(kit::Range(at, 0), QStringLiteral("x"));
        else
            storage->replaceCharacters(kit::Range(at, 1), QString());
        SyntaxInfo info(kit::Range(at, inserted ? 0 : 1));
        inserted = !inserted;
        qsizetype correct = storage->length();
        state.ResumeTiming();
        html()->colorHTMLView(storage.get(), info, true, &correct);
        state.PauseTiming();
        recoloured += qint64(info.finalColoringIndex()) - at;
        ++requests;
        state.ResumeTiming();
    }
    state.counters["lines"] = double(text.count(QLatin1Char('\n')));
    state.counters["chars_passed_per_keystroke"] = requests ? double(recoloured) / double(requests) : 0;
}
BENCHMARK(BM_KeystrokeInMiddleOfLargeFile)->Unit(benchmark::kMicrosecond)->Iterations(60);

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
