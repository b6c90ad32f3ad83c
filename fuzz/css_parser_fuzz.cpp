// libFuzzer target for the CSS checker: any bytes, read as UTF-8 (and as
// UTF-16 when long enough), go through the style-sheet and style-attribute
// readers and the grammar checks.
#include "css/KELCSSSpec.h"
#include "css/KELSyntaxCheckTypeCSS.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "css_parser_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static KELSyntaxCheckTypeCSS& parser = KELSyntaxCheckTypeCSS::sharedInstance();

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    KELSyntaxCheckErrors errors;
    QVariantMap run;
    parser.parseText(text, kit::Range(0, text.size()), &errors, &run);
    parser.checkForStyleAttributeErrors(text, kit::Range(0, text.size()), &errors, &run);
    // A range inside the text, as for a style element of a page.
    if (text.size() > 4)
        parser.parseText(text, kit::Range(2, text.size() - 4), &errors, &run);
    // Raw UTF-16, including lone surrogates.
    if (size >= 2) {
        const QString utf16(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
        parser.parseText(utf16, kit::Range(0, utf16.size()), &errors, &run);
    }
    for (KELSyntaxCheckError& e : errors) {
        const kit::Range r = e.textRange();
        if (r.location != kit::NotFound && (r.location < 0 || r.end() > text.size() + 1) && r.end() > size / 2 + 1)
            __builtin_trap(); // every error points into the checked text
    }
    return 0;
}
