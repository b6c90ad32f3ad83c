// libFuzzer target for the HTML tag parser and the HTML check: any bytes, read
// as UTF-8, are walked into the tag tree (with and without line marks), checked
// as a page (which hands style and script bodies to the CSS and JavaScript
// checks) and, between a "<" and the next ">", read as one tag. The first byte
// picks the vocabulary (HTML 4 or HTML 5) and whether the text counts as
// generated.
#include "support/DefaultsKeys.h"
#include "checker/KELSyntaxCheckResult.h"
#include "checker/KELSyntaxCheckTypeHTML.h"
#include "kit/UserDefaults.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "html_tag_parser_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication* app = [] {
        // Settings go to a temporary file, never to the user's.
        QStandardPaths::setTestModeEnabled(true);
        return new QCoreApplication(argc, argv);
    }();
    (void)app;
    static KELSyntaxCheckTypeHTML& parser = KELSyntaxCheckTypeHTML::sharedInstance();
    if (size == 0)
        return 0;

    const uint8_t mode = data[0];
    kit::UserDefaults::standard().setValue(KELShowHTML5Completions, bool(mode & 1));
    const bool generated = mode & 2;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const kit::Range whole(0, text.size());

    KELSyntaxCheckTypeHTML::releaseTree(parser.parseText(text));
    KELSyntaxCheckTypeHTML::releaseTree(parser.parseText(text, whole, nullptr, generated, true));

    KELSyntaxCheckResult result;
    parser.checkForErrors(result, text, whole, generated);
    // A range inside the text, as for a part of a page.
    if (text.size() > 4)
        parser.checkForErrors(result, text, kit::Range(2, text.size() - 4), generated);
    result.populateLocations(text);
    for (const KELSyntaxCheckError& e : result.errorsFromSourceText(generated)) {
        const kit::Range r = e.textRange();
        if (r.location != kit::NotFound && (r.location < 0 || r.length < 0 || r.end() > text.size()))
            __builtin_trap(); // every error points into the checked text
    }

    const qsizetype open = text.indexOf(u'<');
    const qsizetype close = open < 0 ? -1 : text.indexOf(u'>', open);
    if (close > open)
        (void)parser.tagInRange(kit::Range(open, close - open + 1), text);
    return 0;
}
