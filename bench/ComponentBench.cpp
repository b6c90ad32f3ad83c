// Speed of the code generator: one preview generation of a shipped component with
// its default values, into a bare page, with its resource files written. The
// component window regenerates after every edit, so one generation must stay
// well under a frame's worth of time (target: under 5 ms). The richest shipped
// components are measured; KELP_BENCH_INPUT names another component folder.
#include "../tests/components/ComponentTestSupport.h"
#include "support/DefaultsKeys.h"
#include "components/KELComponentCodeGenerator.h"
#include "components/KELComponentManager.h"
#include "kit/UserDefaults.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QTemporaryDir>

namespace {

void generate(benchmark::State& state, const QString& componentName)
{
    std::shared_ptr<KELComponent> component;
    const QString input = qEnvironmentVariable("KELP_BENCH_INPUT");
    if (!input.isEmpty())
        component = KELComponent::componentWithDirectoryPath(input);
    else
        component = KELComponentManager({ KELComponentManager::componentsDirectory() }).componentWithName(componentName);
    std::shared_ptr<KELComponentDefinition> definition = KELComponentDefinition::definitionWithComponent(component);
    if (!definition || !definition->variableGroup()) {
        state.SkipWithError("component not found");
        return;
    }
    auto root = componenttest::makeDefaultValues(definition->variableGroup());
    KELComponentCodeGenerator generator(root, definition);
    QTemporaryDir folder;
    const QString location = folder.filePath(QStringLiteral("preview.html"));
    const KELComponentCodeGeneratorResourcePaths paths(folder.path());
    qsizetype bytes = 0;
    for (auto _ : state) {
        QString page = componenttest::barePage();
        const KELCodeGeneratorResult result = generator.generateCodeWithHtmlTemplate(page, location, paths, KELInsertType::Preview);
        bytes += page.size();
        benchmark::DoNotOptimize(result);
    }
    state.SetBytesProcessed(bytes * qsizetype(sizeof(QChar)));
}

void BM_GenerateDropDownMenu(benchmark::State& state)
{
    generate(state, QStringLiteral("Drop-down Menu"));
}
BENCHMARK(BM_GenerateDropDownMenu)->Unit(benchmark::kMillisecond)->Iterations(1000);

void BM_GenerateImageMap(benchmark::State& state)
{
    generate(state, QStringLiteral("Image Map"));
}
BENCHMARK(BM_GenerateImageMap)->Unit(benchmark::kMillisecond)->Iterations(1000);

void BM_GenerateTabs(benchmark::State& state)
{
    generate(state, QStringLiteral("Tabs"));
}
BENCHMARK(BM_GenerateTabs)->Unit(benchmark::kMillisecond)->Iterations(1000);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    kit::UserDefaults::standard().registerDefaults({
        { KELShowHTML5Completions, true },
        { KELOrganizeTagsSpacer, qlonglong(1) },
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
