// Speed of completion: the list for a prefix at the cursor, over the full HTML,
// CSS and PHP vocabularies and a store of 1,000 code clips, as one completion
// request makes it. Target: under 2 ms each.
#include "html/KELCodeClipsManager.h"
#include "kit/text/TextStorage.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

void fillStore()
{
    static bool filled = false;
    if (filled)
        return;
    filled = true;
    KELCodeClipsManager::resetSharedInstanceForTesting();
    KELCodeClipsManager& store = KELCodeClipsManager::sharedInstance();
    const qint64 group = store.defaultGroup().id();
    for (int i = 0; i < 1000; ++i) {
        const qint64 id = store.newClipInGroup(group).id();
        // Names over the alphabet, so a prefix matches some of them.
        store.setClipName(id, QStringLiteral("%1 clip %2").arg(QChar(u'a' + i % 26)).arg(i));
        store.setClipContent(id, QStringLiteral("<div class=\"c%1\"><##></div>").arg(i));
    }
}

// A coloured text with the cursor where "|" stood, and one completion request
// (the one the Complete command makes) per iteration.
void completeAt(benchmark::State& state, const QString& typeName, QString text)
{
    fillStore();
    const qsizetype cursor = text.indexOf(QLatin1Char('|'));
    text.remove(cursor, 1);
    SyntaxType* type = SyntaxManager::sharedInstance().typeForName(typeName);
    kit::TextStorage storage(text);
    SyntaxInfo all(kit::Range(0, storage.length()));
    all.setSwitchIndex(storage.length());
    all.setMaxColoringLength(quint64(storage.length()) + 1);
    type->colorHTMLView(&storage, all, false, nullptr);
    qsizetype entries = 0;
    auto request = [&] {
        qsizetype correct = storage.length();
        SyntaxInfo info(kit::Range::intersection(kit::Range(cursor, 1), kit::Range(0, storage.length())));
        info.setCursorIndex(cursor);
        info.setMaxColoringLength(3000);
        std::optional<SyntaxCompletionResult> result = type->colorHTMLView(&storage, info, true, &correct);
        entries = result ? result->completions().size() : 0;
    };
    request(); // reads the vocabulary once
    for (auto _ : state)
        request();
    state.counters["entries"] = double(entries);
}

void BM_HTMLElementPrefix(benchmark::State& state)
{
    completeAt(state, QStringLiteral("HTML"), QStringLiteral("<body>\n<p>Some text</p>\n<d|\n</body>\n"));
}
BENCHMARK(BM_HTMLElementPrefix)->Unit(benchmark::kMicrosecond);

void BM_HTMLAttributePrefix(benchmark::State& state)
{
    completeAt(state, QStringLiteral("HTML"), QStringLiteral("<body>\n<input ty| name=\"q\">\n</body>\n"));
}
BENCHMARK(BM_HTMLAttributePrefix)->Unit(benchmark::kMicrosecond);

void BM_CSSPropertyPrefix(benchmark::State& state)
{
    completeAt(state, QStringLiteral("CSS"), QStringLiteral("body { margin: 0; }\np { b|\n"));
}
BENCHMARK(BM_CSSPropertyPrefix)->Unit(benchmark::kMicrosecond);

void BM_PHPFunctionPrefix(benchmark::State& state)
{
    completeAt(state, QStringLiteral("PHP"), QStringLiteral("<?php\n$a = 1;\ns|\n?>\n"));
}
BENCHMARK(BM_PHPFunctionPrefix)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
