// libFuzzer target for the syntax definition reader: any bytes are written to
// a definition file and read by SyntaxType::typeWithPath (the XML reading, the
// grammar with its patterns, colouring styles, completions, inline words and
// copyright notices).
#include "syntax/SyntaxType.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "syntax_definition_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("Fuzz.xml"));

    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }
    QString problem;
    std::unique_ptr<SyntaxType> type = SyntaxType::typeWithPath(path, &problem);
    if (!type) {
        if (problem.isEmpty())
            __builtin_trap(); // a refused definition always says why
        return 0;
    }
    // What the rest of the program asks of a freshly read type.
    (void)type->defaultStyle();
    (void)type->copyrightIds();
    for (const auto& style : type->coloringStyles())
        (void)type->styleWithName(style->name());
    return 0;
}
