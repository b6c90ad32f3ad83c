// libFuzzer target for the text encodings and the read chain: any bytes are
// detected, decoded in an encoding the input picks, read through the chain a
// document uses (picked encoding, per-file encoding, default, detection), and
// what reads as text is encoded back. Checks what saving relies on: a text read
// in an encoding can be written in it again, what is written reads back as the
// same text, and a file's byte-order mark and byte order survive.
#include "kit/StringEncodings.h"
#include "kit/UserDefaults.h"
#include "support/UtilityFunctions.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <cstddef>
#include <cstdint>

namespace {

kit::StringEncoding pick(const QList<kit::StringEncoding>& all, uint8_t byte)
{
    // Some values stand for "none", to take the chain's other steps.
    if (byte % 8 == 7)
        return kit::NoEncoding;
    return all.at(byte % all.size());
}

void check(bool condition)
{
    if (!condition)
        __builtin_trap();
}

// Whatever reads as text in an encoding is written back in it, reads back as the
// same text, and with the data's byte-order mark kept in front.
void roundTrip(const QString& text, kit::StringEncoding encoding, const QByteArray& data)
{
    kit::Error error;
    const std::optional<QByteArray> bytes = kit::encodeString(text, encoding, false, &error);
    if (!bytes) {
        // Only a text with an unpaired surrogate (which no encoding holds) may refuse.
        bool lone = false;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
                ++i;
            else if (text.at(i).isSurrogate())
                lone = true;
        }
        check(lone || !error.isNull());
        return;
    }
    const std::optional<QString> back = kit::decodeString(*bytes, encoding);
    check(back.has_value());
    check(*back == text);
    const QByteArray mark = kit::byteOrderMarkOfData(data);
    if (const std::optional<QByteArray> marked = kit::encodeStringWithByteOrderMark(text, encoding, mark)) {
        const std::optional<QString> again = kit::decodeString(*marked, encoding);
        check(again.has_value() && *again == text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "encodings_fuzz";
    static char* argv[] = { name, nullptr };
    static QCoreApplication app(argc, argv);
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("page.html"));
    static const QList<kit::StringEncoding> all = kit::availableStringEncodings();
    static kit::StringEncoding perFile = kit::NoEncoding;
    static const bool setUp = [] {
        kit::UserDefaults::standard().resetForTesting();
        UtilityFunctions::setFileEncodingLookup([](const QString&) { return perFile; });
        return true;
    }();
    (void)setUp;
    if (size < 3)
        return 0;

    const kit::StringEncoding picked = pick(all, data[0]);
    perFile = pick(all, data[1]);
    const kit::StringEncoding forOpen = pick(all, data[2]);
    if (forOpen == kit::NoEncoding)
        kit::UserDefaults::standard().removeValue(QStringLiteral("KELDefaultEncodingForOpen"));
    else
        kit::UserDefaults::standard().setValue(QStringLiteral("KELDefaultEncodingForOpen"), QVariant::fromValue<qulonglong>(forOpen));
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 3, qsizetype(size - 3));

    bool marked = false;
    const kit::StringEncoding detected = kit::detectStringEncoding(bytes, &marked);
    if (detected != kit::NoEncoding) {
        // Detection only answers what decodes.
        const std::optional<QString> text = kit::decodeString(bytes, detected);
        check(text.has_value());
        roundTrip(*text, detected, bytes);
    }
    if (picked != kit::NoEncoding) {
        if (const std::optional<QString> text = kit::decodeString(bytes, picked))
            roundTrip(*text, picked, bytes);
    }

    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            __builtin_trap();
        file.write(bytes);
    }
    kit::StringEncoding used = kit::NoEncoding;
    kit::Error error;
    const std::optional<QString> read = UtilityFunctions::stringContentsForURL(QUrl::fromLocalFile(path), picked, &used, &error);
    if (read) {
        check(used != kit::NoEncoding);
        // The chain's answer is what that encoding reads, and it saves back.
        const std::optional<QString> again = kit::decodeString(bytes, used);
        check(again.has_value() && *again == *read);
        roundTrip(*read, used, bytes);
    } else {
        check(!error.isNull());
    }
    return 0;
}
