// libFuzzer target for the colouring engine: the input holds two syntax
// definitions and a text, separated by "\n@@@\n". Both definitions are read by
// a registry of their own (so they may embed each other or themselves), and
// each type colours the text in one pass, then again after an edit in the
// middle, and is asked which nested type stands at a few places. Definitions
// that loop must end (a bounded depth, a log line), never exhaust the stack.
#include "kit/text/TextStorage.h"
#include "kit/UserDefaults.h"
#include "syntax/SyntaxInfo.h"
#include "syntax/SyntaxManager.h"
#include "syntax/SyntaxType.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();
    file.write(bytes);
}

void colorAll(SyntaxType* type, kit::TextStorage& storage, kit::Range range)
{
    SyntaxInfo info(range);
    info.setSwitchIndex(storage.length());
    info.setMaxColoringLength(quint64(storage.length()) + 1);
    type->colorHTMLView(&storage, info, false, nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "coloring_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const bool setUp = [] {
        kit::UserDefaults::standard().resetForTesting();
        return true;
    }();
    (void)setUp;

    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray separator("\n@@@\n");
    QList<QByteArray> parts;
    qsizetype at = 0;
    while (parts.size() < 2) {
        const qsizetype next = input.indexOf(separator, at);
        if (next < 0)
            break;
        parts << input.mid(at, next - at);
        at = next + separator.size();
    }
    parts << input.mid(at);
    // One definition alone colours the shipped kind of page text.
    const QByteArray text = parts.size() == 3 ? parts[2] : QByteArray("<p>a {b} \"c\" /* d */ <?php e ?></p>");
    writeFile(dir.filePath(QStringLiteral("A.xml")), parts[0]);
    writeFile(dir.filePath(QStringLiteral("B.xml")), parts.size() > 1 ? parts[1] : QByteArray());

    SyntaxManager manager(dir.path());
    const QString string = QString::fromUtf8(text);
    for (SyntaxType* type : manager.allTypes()) {
        kit::TextStorage storage(string);
        colorAll(type, storage, kit::Range(0, storage.length()));
        if (storage.length() > 0) {
            const qsizetype middle = storage.length() / 2;
            storage.replaceCharacters(kit::Range(middle, 0), QStringLiteral("<{\""));
            colorAll(type, storage, kit::Range(middle, 3));
            for (qsizetype i : { qsizetype(0), middle, storage.length() - 1 }) {
                kit::Range range;
                if (!type->nestedSyntaxTypeForKELHTMLView(&storage, i, &range))
                    __builtin_trap();
            }
        }
    }
    return 0;
}
