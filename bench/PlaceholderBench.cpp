// Opening a large page whose text holds placeholders: the text is in the storage before
// the view exists (as a document reads its file); the document makes the placeholder
// tokens and gives the storage to its view. That is one step of the main thread; it must
// stay far below a noticeable stall even for a 19 MB page. Input: KELP_BENCH_INPUT when set, else a
// generated page of about 20 MB with a placeholder every 500 lines.
#include "editor/KELTextView.h"
#include "editor/KELTokenParser.h"
#include "kit/text/ScrollView.h"
#include "kit/text/TextStorage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>

#include <memory>

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
        for (int i = 0; i < 400000; ++i) {
            if (i % 500 == 0)
                s += QStringLiteral("  <p><#text of row %1#></p>\n").arg(i);
            else
                s += QStringLiteral("  <div class=\"row-%1\"><p>Row %1 of the table</p></div>\n").arg(i);
        }
        s += QStringLiteral("</body>\n</html>\n");
        return s;
    }();
    return text;
}

void BM_OpenStoredTextWithPlaceholders(benchmark::State& state)
{
    const QString& text = inputText();
    qint64 tokens = 0;
    double longestMs = 0;
    double tokenizeMs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto storage = std::make_unique<kit::TextStorage>();
        storage->setString(text);
        kit::ScrollView scroll;
        auto* view = new KELTextView;
        scroll.setDocumentView(view);
        scroll.resize(1000, 800);
        state.ResumeTiming();
        QElapsedTimer clock;
        clock.start();
        KELTokenParser::sharedTokenParser().tokenizeUntokenizedText(storage.get());
        tokenizeMs = std::max(tokenizeMs, clock.nsecsElapsed() / 1e6);
        view->setTextStorage(storage.get());
        longestMs = std::max(longestMs, clock.nsecsElapsed() / 1e6);
        state.PauseTiming();
        tokens = 0;
        KELTokenParser& parser = KELTokenParser::sharedTokenParser();
        for (qsizetype i = text.indexOf(QStringLiteral("<#")); i >= 0; i = text.indexOf(QStringLiteral("<#"), i + 2))
            tokens += parser.textStorageHasTokenStartingAtIndex(storage.get(), i);
        view->setTextStorage(nullptr);
        state.ResumeTiming();
    }
    state.counters["tokens"] = double(tokens);
    state.counters["longest_stall_ms"] = longestMs;
    state.counters["tokenize_ms"] = tokenizeMs;
    state.counters["megabytes"] = double(text.size()) * 2 / (1024 * 1024);
}
BENCHMARK(BM_OpenStoredTextWithPlaceholders)->Unit(benchmark::kMillisecond)->Iterations(5);

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
