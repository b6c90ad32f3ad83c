// Speed of the HTML check over a large page: the walk, the vocabulary checks and
// the style and script checks it hands on, in bytes of text per second; also the
// bare tag parse and Organize Tags. KELP_BENCH_INPUT names another page.
#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "kit/UserDefaults.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

namespace {

// One screenful of a typical site: navigation, articles with inline markup and
// entities, a table, a form, inline styles, comments, and a small script.
QString pageBlock(int n)
{
    return QStringLiteral(R"(
<!-- section %1 -->
<section id="s%1" class="content-block" data-index="%1">
  <header class="block-header"><h2 class="title">Section %1 &mdash; news &amp; notes</h2>
    <nav aria-label="Section %1"><ul class="menu"><li><a href="/a/%1.html" title="First">First</a></li>
      <li><a href="/b/%1.html?x=1&amp;y=2" target="_blank" rel="noopener">Second</a></li><li class="active"><a href="#s%1">Here</a></li></ul></nav>
  </header>
  <article class="post" itemscope itemtype="https://schema.org/Article">
    <p style="margin: 0 0 1em; color: #333; font-size: 14px">Lorem ipsum <b>dolor</b> sit amet, <em>consectetur</em> adipiscing elit,
    sed do <span class="hl">eiusmod</span> tempor incididunt ut labore et dolore magna aliqua.<br>
    Ut enim ad <a href="https://example.com/%1">minim veniam</a>, quis nostrud exercitation ullamco laboris.</p>
    <figure><img src="img/%1.jpg" alt="Picture %1" width="640" height="360" loading="lazy"><figcaption>Caption %1</figcaption></figure>
    <table class="data"><thead><tr><th>Name</th><th>Value</th></tr></thead>
      <tbody><tr><td>Alpha</td><td align="right">%1</td></tr><tr><td>Beta</td><td colspan="1">2</td></tr></tbody></table>
    <form action="/search" method="get"><label for="q%1">Search</label><input id="q%1" type="search" name="q" placeholder="Find">
      <select name="s"><option value="1" selected>One</option><option value="2">Two</option></select><button type="submit">Go</button></form>
  </article>
  <script>
    (function () { var el = document.getElementById("s%1"); if (el && el.dataset.index < 100) { el.classList.add("seen"); } })();
  </script>
</section>
)")
        .arg(n);
}

QString loadPage()
{
    const QString path = qEnvironmentVariable("KELP_BENCH_INPUT");
    if (!path.isEmpty()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            return QString::fromUtf8(file.readAll());
    }
    QString page = QStringLiteral("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Large page</title>\n"
                                  "<link rel=\"stylesheet\" href=\"site.css\">\n<style>\nbody { margin: 0; font: 14px/1.5 sans-serif }\n"
                                  ".menu li { display: inline-block; padding: 0 8px }\n.hl { background: #ffa }\n</style>\n</head>\n<body>\n");
    // About one megabyte of text.
    for (int n = 0; page.size() < (1 << 20); ++n)
        page += pageBlock(n);
    page += QStringLiteral("</body>\n</html>\n");
    return page;
}

const QString& page()
{
    static const QString text = loadPage();
    return text;
}

void BM_CheckPage(benchmark::State& state)
{
    const QString& text = page();
    for (auto _ : state) {
        KELSyntaxCheckResult result;
        KELSyntaxCheckTypeHTML::sharedInstance().checkForErrors(result, text, false);
        benchmark::DoNotOptimize(result.typeResults().size());
    }
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
// A few runs, so the figure is the steady state and not the first touch of fresh memory.
BENCHMARK(BM_CheckPage)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ParseTags(benchmark::State& state)
{
    const QString& text = page();
    for (auto _ : state)
        benchmark::DoNotOptimize(KELSyntaxCheckTypeHTML::sharedInstance().parseText(text));
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_ParseTags)->Unit(benchmark::kMillisecond);

void BM_OrganizeTags(benchmark::State& state)
{
    const QString& text = page();
    for (auto _ : state)
        benchmark::DoNotOptimize(KELSyntaxCheckTypeHTML::sharedInstance().organizedText(text));
    state.SetBytesProcessed(state.iterations() * text.toUtf8().size());
}
BENCHMARK(BM_OrganizeTags)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Kelp Studio"));
    kit::UserDefaults::standard().registerDefaults({
        { KELShowHTML5Completions, true },
        { KELOrganizeTagsSpacer, qlonglong(1) },
        { KELOrganizeTagsNumSpaces, qlonglong(1) },
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
