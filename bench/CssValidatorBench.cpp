// Speed of the CSS checker over a large style sheet (reading plus grammar
// checks), in bytes of text per second. KELP_BENCH_INPUT names another sheet.
#include "css/KELCSSSpec.h"
#include "css/KELSyntaxCheckTypeCSS.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include "KelpPaths.h"

namespace {

QString loadSheet()
{
    QString path = qEnvironmentVariable("KELP_BENCH_INPUT");
    if (path.isEmpty())
        path = QStringLiteral(KELP_SOURCE_RESOURCES "/../tests/fixtures/css/modern-site.css");
    QFile file(path);
    QString sheet = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                                   : QStringLiteral("a { color: red; margin: 0 auto; transition: opacity .3s ease }\n");
    // About one megabyte of text, so one pass is a realistic large file.
    const int copies = std::max<qsizetype>(1, (1 << 20) / std::max<qsizetype>(1, sheet.size()));
    QString large;
    large.reserve(sheet.size() * copies);
    for (int i = 0; i < copies; ++i)
        large += sheet;
    return large;
}

void BM_CheckStyleSheet(benchmark::State& state)
{
    static const QString sheet = loadSheet();
    KELCSSSpec::sharedInstance();
    KELSyntaxCheckTypeCSS parser;
    qsizetype messages = 0;
    for (auto _ : state) {
        KELSyntaxCheckErrors errors;
        QVariantMap run;
        auto document = parser.parseText(sheet, kit::Range(0, sheet.size()), &errors, &run);
        benchmark::DoNotOptimize(document.get());
        messages = errors.size();
    }
    state.SetBytesProcessed(state.iterations() * sheet.toUtf8().size());
    state.counters["messages"] = double(messages);
}
// A few runs, so the figure is the steady state and not the first touch of fresh memory.
BENCHMARK(BM_CheckStyleSheet)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_BuildGrammar(benchmark::State& state)
{
    const QString path = QStringLiteral(KELP_SOURCE_RESOURCES "/CSS/CSSGrammar.txt");
    for (auto _ : state)
        benchmark::DoNotOptimize(KELCSSSpec::createFromFile(path));
}
BENCHMARK(BM_BuildGrammar)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
