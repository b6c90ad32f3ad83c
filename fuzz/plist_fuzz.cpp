// libFuzzer target for the property-list reader: any bytes go through
// kit::propertyListFromData (XML and the old brace form). A value that was read
// must be written out in a form that reads back, or saving it would lose it.
#include "kit/PropertyList.h"

#include <QCoreApplication>

#include <libxml/xmlerror.h>

#include <cstddef>
#include <cstdint>

static void ignoreXmlMessage(void*, const char*, ...) { }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "plist_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    // libxml2's own messages would flood the output; the readers report through their results.
    static const bool quiet = [] {
        xmlSetGenericErrorFunc(nullptr, ignoreXmlMessage);
        return true;
    }();
    (void)quiet;

    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    kit::Error error;
    const QVariant value = kit::propertyListFromData(bytes, &error);
    if (!value.isValid())
        return 0;
    const QByteArray written = kit::propertyListData(value);
    kit::Error again;
    if (!kit::propertyListFromData(written, &again).isValid())
        __builtin_trap(); // what was read must be written readably
    return 0;
}
