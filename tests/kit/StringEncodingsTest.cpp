#include "kit/StringEncodings.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace kit;

TEST(StringEncodingsTest, TableNamesAndNumbers)
{
    struct Case {
        StringEncoding encoding;
        const char* name;
        const char* iana;
    };
    const Case cases[] = {
        {ASCIIStringEncoding, "Western (ASCII)", "us-ascii"},
        {UTF8StringEncoding, "Unicode (UTF-8)", "utf-8"},
        {ISOLatin1StringEncoding, "Western (ISO Latin 1)", "iso-8859-1"},
        {UTF16StringEncoding, "Unicode (UTF-16)", "utf-16"},
        {WindowsCP1252StringEncoding, "Western (Windows Latin 1)", "windows-1252"},
        {MacOSRomanStringEncoding, "Western (Mac OS Roman)", "macintosh"},
        {ShiftJISStringEncoding, "Japanese (Shift JIS)", "shift_jis"},
        {JapaneseEUCStringEncoding, "Japanese (EUC)", "euc-jp"},
        {UTF16BigEndianStringEncoding, "Unicode (UTF-16BE)", "utf-16be"},
        {UTF16LittleEndianStringEncoding, "Unicode (UTF-16LE)", "utf-16le"},
        {KOI8RStringEncoding, "Cyrillic (KOI8-R)", "koi8-r"},
        {ISOLatin9StringEncoding, "Western (ISO Latin 9)", "iso-8859-15"},
        {GB18030StringEncoding, "Chinese (GB 18030)", "gb18030"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(isKnownStringEncoding(c.encoding)) << c.name;
        EXPECT_EQ(localizedNameOfStringEncoding(c.encoding), QString::fromUtf8(c.name));
        EXPECT_EQ(ianaCharsetName(c.encoding), QString::fromLatin1(c.iana));
        EXPECT_EQ(encodingForIANACharsetName(QString::fromLatin1(c.iana).toUpper()), c.encoding) << c.name;
    }
    // Aliases known to the converters, and names the detector reports.
    EXPECT_EQ(encodingForIANACharsetName(QStringLiteral("latin1")), ISOLatin1StringEncoding);
    EXPECT_EQ(encodingForIANACharsetName(QStringLiteral("WINDOWS-1252")), WindowsCP1252StringEncoding);
    EXPECT_EQ(encodingForIANACharsetName(QStringLiteral("SHIFT_JIS")), ShiftJISStringEncoding);
    EXPECT_EQ(encodingForIANACharsetName(QStringLiteral("cp1251")), WindowsCP1251StringEncoding);
    EXPECT_EQ(encodingForIANACharsetName(QStringLiteral("no-such-charset")), NoEncoding);
    EXPECT_EQ(encodingForIANACharsetName(QString()), NoEncoding);
    EXPECT_TRUE(ianaCharsetName(NoEncoding).isEmpty());

    // Core values convert both ways; a converted value of an encoding with its own number is the same encoding.
    EXPECT_EQ(stringEncodingFromCore(0x0600), ASCIIStringEncoding);
    EXPECT_EQ(stringEncodingFromCore(0x0100), UTF16StringEncoding);
    EXPECT_EQ(stringEncodingFromCore(0x08000100), UTF8StringEncoding);
    EXPECT_EQ(stringEncodingFromCore(0x0A02), KOI8RStringEncoding);
    EXPECT_EQ(coreStringEncoding(KOI8RStringEncoding), 0x0A02u);
    EXPECT_EQ(localizedNameOfStringEncoding(0x80000201ULL), QStringLiteral("Western (ISO Latin 1)"));
}

TEST(StringEncodingsTest, AvailableListIsOrderedAndUnique)
{
    const QList<StringEncoding> all = availableStringEncodings();
    ASSERT_GT(all.size(), 30);
    EXPECT_EQ(all.first(), ASCIIStringEncoding);
    // Then the Unicode forms, together.
    QList<StringEncoding> unicode;
    for (int i = 1; i < all.size() && localizedNameOfStringEncoding(all[i]).startsWith(QStringLiteral("Unicode")); ++i)
        unicode.append(all[i]);
    EXPECT_TRUE(unicode.contains(UTF8StringEncoding));
    EXPECT_TRUE(unicode.contains(UTF16StringEncoding));
    EXPECT_EQ(unicode.first(), UTF16StringEncoding); // smallest core value (0x0100) first
    QSet<StringEncoding> numbers;
    QSet<QString> names;
    for (StringEncoding e : all) {
        EXPECT_FALSE(numbers.contains(e));
        EXPECT_FALSE(names.contains(localizedNameOfStringEncoding(e))) << localizedNameOfStringEncoding(e).toStdString();
        numbers.insert(e);
        names.insert(localizedNameOfStringEncoding(e));
        EXPECT_FALSE(converterNameOfStringEncoding(e).isEmpty());
    }
    // Grouped by script after Unicode: Mac OS Roman (group 0) before the Japanese group.
    EXPECT_LT(all.indexOf(MacOSRomanStringEncoding), all.indexOf(ShiftJISStringEncoding));
    EXPECT_LT(all.indexOf(ISOLatin1StringEncoding), all.indexOf(JapaneseEUCStringEncoding));
}

TEST(StringEncodingsTest, DecodeAndEncodeRoundTrip)
{
    const QString text = QStringLiteral("Café");
    struct Case {
        StringEncoding encoding;
        QByteArray bytes;
    };
    const Case cases[] = {
        {UTF8StringEncoding, QByteArray("Caf\xC3\xA9")},
        {ISOLatin1StringEncoding, QByteArray("Caf\xE9")},
        {WindowsCP1252StringEncoding, QByteArray("Caf\xE9")},
        {MacOSRomanStringEncoding, QByteArray("Caf\x8E")},
        {UTF16BigEndianStringEncoding, QByteArray("\0C\0a\0f\0\xE9", 8)},
        {UTF16LittleEndianStringEncoding, QByteArray("C\0a\0f\0\xE9\0", 8)},
        {UTF16StringEncoding, QByteArray("\xFF\xFE" "C\0a\0f\0\xE9\0", 10)}, // a mark, machine order
    };
    for (const Case& c : cases) {
        Error error;
        const auto encoded = encodeString(text, c.encoding, false, &error);
        ASSERT_TRUE(encoded.has_value()) << localizedNameOfStringEncoding(c.encoding).toStdString();
        EXPECT_EQ(*encoded, c.bytes) << localizedNameOfStringEncoding(c.encoding).toStdString();
        const auto decoded = decodeString(c.bytes, c.encoding, &error);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(*decoded, text) << localizedNameOfStringEncoding(c.encoding).toStdString();
    }
    // Japanese, both ways.
    const QString japanese = QStringLiteral("日本語のテキスト");
    for (StringEncoding e : {ShiftJISStringEncoding, JapaneseEUCStringEncoding, ISO2022JPStringEncoding}) {
        const auto bytes = encodeString(japanese, e);
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(decodeString(*bytes, e).value_or(QString()), japanese);
    }
    // UTF-16 with the other byte order's mark still reads, without the mark.
    EXPECT_EQ(decodeString(QByteArray("\xFE\xFF\0H\0i", 6), UTF16StringEncoding).value_or(QString()), QStringLiteral("Hi"));
    EXPECT_EQ(decodeString(QByteArray("\xEF\xBB\xBFHi"), UTF8StringEncoding).value_or(QString()), QStringLiteral("Hi"));
}

TEST(StringEncodingsTest, StrictConversionReportsWhere)
{
    Error error;
    EXPECT_FALSE(decodeString(QByteArray("ab\xFF" "cd"), UTF8StringEncoding, &error).has_value());
    EXPECT_EQ(error.code(), FileReadInapplicableStringEncodingError);
    EXPECT_EQ(error.userInfo().value(QStringLiteral("ByteOffset")).toLongLong(), 2);
    EXPECT_EQ(error.userInfo().value(StringEncodingErrorKey).toULongLong(), UTF8StringEncoding);

    EXPECT_FALSE(decodeString(QByteArray("caf\xE9"), ASCIIStringEncoding).has_value());
    EXPECT_FALSE(decodeString(QByteArray("\xC0\xAF"), UTF8StringEncoding).has_value()); // overlong
    EXPECT_FALSE(decodeString(QByteArray("\xED\xA0\x80"), UTF8StringEncoding).has_value()); // surrogate
    EXPECT_FALSE(decodeString(QByteArray("ok\x82"), ShiftJISStringEncoding).has_value()); // truncated pair

    Error encodeError;
    EXPECT_FALSE(encodeString(QStringLiteral("price: 5€"), ISOLatin1StringEncoding, false, &encodeError).has_value());
    EXPECT_EQ(encodeError.code(), FileWriteInapplicableStringEncodingError);
    EXPECT_EQ(encodeError.userInfo().value(QStringLiteral("CharacterIndex")).toLongLong(), 8);
    EXPECT_EQ(encodeString(QStringLiteral("price: 5€"), ISOLatin1StringEncoding, true).value_or(QByteArray()),
              QByteArray("price: 5?"));
    EXPECT_TRUE(canEncodeString(QStringLiteral("5€"), WindowsCP1252StringEncoding));
    EXPECT_FALSE(canEncodeString(QStringLiteral("日本"), WindowsCP1252StringEncoding));
    EXPECT_FALSE(canEncodeString(QString(QChar(0xD800)), UTF8StringEncoding)); // unpaired surrogate
}

TEST(StringEncodingsTest, UnknownEncodingNumberIsAClearError)
{
    for (StringEncoding bad : {StringEncoding(0), StringEncoding(99), NoEncoding, StringEncoding(0x8000FFFFULL), StringEncoding(0x1234567890ULL)}) {
        EXPECT_FALSE(isKnownStringEncoding(bad));
        EXPECT_TRUE(localizedNameOfStringEncoding(bad).isEmpty());
        Error error;
        EXPECT_FALSE(decodeString("abc", bad, &error).has_value());
        EXPECT_TRUE(error.localizedDescription().contains(QStringLiteral("not known"))) << error.localizedDescription().toStdString();
        Error encodeError;
        EXPECT_FALSE(encodeString(QStringLiteral("abc"), bad, true, &encodeError).has_value());
        EXPECT_EQ(encodeError.code(), FileWriteInapplicableStringEncodingError);
        EXPECT_TRUE(encodeError.localizedDescription().contains(QStringLiteral("not known")));
        EXPECT_EQ(error.code(), FileReadInapplicableStringEncodingError);
    }
}

TEST(StringEncodingsTest, Detection)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        StringEncoding expected;
        bool mark;
    };
    const QByteArray latin1French =
        "Le c\xE9l\xE8" "bre \xE9" "crivain fran\xE7" "ais a publi\xE9 un nouveau roman tr\xE8s attendu. "
        "Les lecteurs sont d\xE9j\xE0 nombreux \xE0 l'avoir achet\xE9 et \xE0 en parler avec enthousiasme.";
    const Case cases[] = {
        {"empty", QByteArray(), ASCIIStringEncoding, false},
        {"ascii", "plain <b>text</b>\n", ASCIIStringEncoding, false},
        {"utf-8", "caf\xC3\xA9", UTF8StringEncoding, false},
        {"utf-8 mark", "\xEF\xBB\xBFplain", UTF8StringEncoding, true},
        {"utf-16 le mark", QByteArray("\xFF\xFEh\0i\0", 6), UTF16StringEncoding, true},
        {"utf-16 be mark", QByteArray("\xFE\xFF\0h\0i", 6), UTF16StringEncoding, true},
        {"utf-32 le mark", QByteArray("\xFF\xFE\0\0h\0\0\0", 8), UTF32StringEncoding, true},
        {"utf-16 le unmarked", QByteArray("<\0h\0t\0m\0l\0>\0", 12), UTF16LittleEndianStringEncoding, false},
        {"latin text", latin1French, ISOLatin1StringEncoding, false},
        {"binary noise", QByteArray("\x81\x8D\x8F\x90\x9D\x00\x00\x81\x8D\xFF\xFE\x00", 12), NoEncoding, false},
    };
    for (const Case& c : cases) {
        bool mark = !c.mark;
        const StringEncoding detected = detectStringEncoding(c.bytes, &mark);
        if (c.expected == ISOLatin1StringEncoding) {
            // The detector may name any Western single-byte table; it must read the text.
            EXPECT_TRUE(detected == ISOLatin1StringEncoding || detected == WindowsCP1252StringEncoding
                        || detected == ISOLatin9StringEncoding)
                << c.what << " " << detected;
            EXPECT_TRUE(decodeString(c.bytes, detected).value_or(QString()).contains(QStringLiteral("célèbre")));
        } else {
            EXPECT_EQ(detected, c.expected) << c.what;
        }
        EXPECT_EQ(mark, c.mark) << c.what;
    }
}

// Legacy converters skip some characters they cannot map without a word (the
// default-ignorable ones) instead of failing: a strict encode must still refuse
// every text that would not read back as itself, and say where.
// A page's own word on its encoding comes before the guess, as browsers read it:
// short pages give the statistics too little to go on.
TEST(StringEncodingsTest, DeclaredEncodingComesFirst)
{
    const QByteArray japanese("\x93\xfa\x96\x7b\x8c\xea"); // 日本語 in Shift_JIS
    const QByteArray filler = QByteArray(1100, ' ');
    struct Case {
        const char* what;
        QByteArray bytes;
        QString declared;       // the name as written; empty: none
        StringEncoding expected; // what detection answers (0: a guess, not the declared one)
        QString text;            // what the bytes read as in it (empty: not checked)
    };
    const Case cases[] = {
        {"meta charset Shift_JIS", "<html><head><meta charset=\"shift_jis\"></head><body>" + japanese + "</body></html>",
         "shift_jis", ShiftJISStringEncoding, QStringLiteral("\u65e5\u672c\u8a9e")},
        {"http-equiv ISO-8859-1", "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=ISO-8859-1\"><p>caf\xe9</p>",
         "ISO-8859-1", ISOLatin1StringEncoding, QStringLiteral("caf\u00e9")},
        {"unquoted windows-1252 after other tags", "<!DOCTYPE html><html lang=\"fr\"><head><title a='>'>t</title>"
         "<META CHARSET=windows-1252><p>\x80 5</p>", "windows-1252", WindowsCP1252StringEncoding, QStringLiteral("\u20ac 5")},
        {"XML declaration", "<?xml version=\"1.0\" encoding='ISO-8859-1'?><a>\xe9</a>", "ISO-8859-1",
         ISOLatin1StringEncoding, QStringLiteral("\u00e9")},
        {"CSS @charset", "@charset \"windows-1252\";\np::after { content: \"\x80\"; }", "windows-1252",
         WindowsCP1252StringEncoding, QStringLiteral("\u20ac")},
        {"plain ASCII declaring UTF-8", "<meta charset=utf-8><p>plain</p>", "utf-8", UTF8StringEncoding, {}},
        {"UTF-16 named in ASCII bytes is UTF-8", "<meta charset=\"utf-16\"><p>caf\xc3\xa9</p>", "utf-16",
         UTF8StringEncoding, QStringLiteral("caf\u00e9")},
        // Passed over: a declaration the bytes do not read in, hidden in a comment,
        // beyond the first 1,024 bytes, or naming no known encoding.
        {"UTF-8 declared, Latin-1 bytes", "<meta charset=\"utf-8\"><p>caf\xe9</p>", "utf-8", 0, {}},
        {"inside a comment", "<!-- <meta charset=\"shift_jis\"> --><p>caf\xc3\xa9</p>", {}, UTF8StringEncoding, {}},
        {"too late", "<p>" + filler + "</p><meta charset=\"windows-1252\"><p>\xc3\xa9</p>", {}, UTF8StringEncoding, {}},
        {"unknown name", "<meta charset=\"no-such-charset\"><p>plain</p>", "no-such-charset", ASCIIStringEncoding, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QString name;
        declaredStringEncoding(c.bytes, &name);
        EXPECT_EQ(name, c.declared);
        QString passedOver;
        const StringEncoding detected = detectStringEncoding(c.bytes, nullptr, &passedOver);
        if (c.expected == 0) {
            EXPECT_EQ(passedOver, c.declared);
            EXPECT_NE(detected, UTF8StringEncoding);
            EXPECT_TRUE(decodeString(c.bytes, detected).has_value());
            continue;
        }
        EXPECT_EQ(detected, c.expected) << localizedNameOfStringEncoding(detected).toStdString();
        // Only a name that names nothing known is passed over here.
        EXPECT_EQ(passedOver.isEmpty(), encodingForIANACharsetName(c.declared) != NoEncoding || c.declared.isEmpty());
        if (!c.text.isEmpty())
            EXPECT_TRUE(decodeString(c.bytes, detected).value_or(QString()).contains(c.text));
    }
    // A byte-order mark outranks any declaration.
    EXPECT_EQ(detectStringEncoding("\xEF\xBB\xBF<meta charset=\"windows-1252\">"), UTF8StringEncoding);
}

TEST(StringEncodingsTest, StrictEncodingRefusesWhatWouldNotReadBack)
{
    const struct {
        StringEncoding encoding;
        QString text;
        qsizetype index;
    } cases[] = {
        {ISOLatin1StringEncoding, QStringLiteral("ab\u200Bc"), 2},     // zero-width space
        {ISOLatin1StringEncoding, QStringLiteral("\u200Fx"), 0},       // right-to-left mark
        {WindowsCP1252StringEncoding, QStringLiteral("e\u0301\u200D"), 1}, // combining accent, joiner
        {ASCIIStringEncoding, QStringLiteral("x\uFE0F"), 1},           // variation selector
        {ShiftJISStringEncoding, QStringLiteral("\u3042\u2060"), 1},   // word joiner
        {ISOLatin9StringEncoding, QStringLiteral("\u00A4"), 0},        // the currency sign Latin-9 gave to €
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        Error error;
        EXPECT_FALSE(encodeString(c.text, c.encoding, false, &error));
        EXPECT_FALSE(canEncodeString(c.text, c.encoding));
        EXPECT_EQ(error.userInfo().value(QStringLiteral("CharacterIndex")).toLongLong(), c.index);
        // Lossy encoding still gives bytes, and Unicode holds everything.
        EXPECT_TRUE(encodeString(c.text, c.encoding, true));
        EXPECT_TRUE(canEncodeString(c.text, UTF8StringEncoding));
    }
}

// A byte-order mark is believed only when the rest reads in its encoding, and a
// file's mark and byte order are written again by encodeStringWithByteOrderMark.
TEST(StringEncodingsTest, ByteOrderMarksAreCheckedAndKept)
{
    // "þÿ" opening a Latin-1 text of an odd length, and a UTF-16 file cut in the
    // middle of a unit.
    EXPECT_NE(detectStringEncoding(QByteArray("\xFE\xFF text in Latin-1: \xE9t\xE9")), UTF16StringEncoding);
    bool marked = true;
    EXPECT_NE(detectStringEncoding(QByteArray("\xFF\xFE" "a\0b", 5), &marked), UTF16StringEncoding);
    EXPECT_FALSE(marked);
    EXPECT_EQ(detectStringEncoding(QByteArray("\xFE\xFF\0a", 4), &marked), UTF16StringEncoding);
    EXPECT_TRUE(marked);

    const QString text = QStringLiteral("é✓");
    const struct {
        QByteArray mark;
        StringEncoding encoding;
        StringEncoding body;
    } cases[] = {
        {QByteArray("\xEF\xBB\xBF"), UTF8StringEncoding, UTF8StringEncoding},
        {QByteArray("\xFE\xFF"), UTF16StringEncoding, UTF16BigEndianStringEncoding},
        {QByteArray("\xFF\xFE"), UTF16StringEncoding, UTF16LittleEndianStringEncoding},
        {QByteArray("\xFE\xFF"), UTF16BigEndianStringEncoding, UTF16BigEndianStringEncoding},
        {QByteArray("\0\0\xFE\xFF", 4), UTF32StringEncoding, UTF32BigEndianStringEncoding},
    };
    for (const auto& c : cases) {
        const QByteArray bytes = c.mark + encodeString(text, c.body).value();
        EXPECT_EQ(byteOrderMarkOfData(bytes), c.mark);
        EXPECT_EQ(encodeStringWithByteOrderMark(text, c.encoding, c.mark).value(), bytes);
        EXPECT_EQ(decodeString(bytes, c.encoding).value(), text);
    }
    // A text that starts with U+FEFF (a zero-width no-break space) keeps it: on
    // reading, a leading U+FEFF is taken as the mark.
    const QString leading = QStringLiteral("\uFEFFis");
    for (StringEncoding e : {UTF8StringEncoding, UTF16StringEncoding, UTF16BigEndianStringEncoding,
                             UTF16LittleEndianStringEncoding, UTF32StringEncoding, UTF32LittleEndianStringEncoding}) {
        EXPECT_EQ(decodeString(encodeString(leading, e).value(), e).value(), leading) << e;
        const QByteArray mark = byteOrderMarkOfData(encodeString(QStringLiteral("x"), e == UTF8StringEncoding ? UTF16StringEncoding : e).value());
        const auto marked = encodeStringWithByteOrderMark(leading, e, e == UTF8StringEncoding ? QByteArray("\xEF\xBB\xBF") : mark);
        EXPECT_EQ(decodeString(marked.value(), e).value(), leading) << e;
    }
    // A mark of another encoding is not written.
    EXPECT_EQ(encodeStringWithByteOrderMark(QStringLiteral("e"), ISOLatin1StringEncoding, QByteArray("\xFE\xFF")).value(),
              QByteArray("e"));
    EXPECT_TRUE(byteOrderMarkOfData(QByteArray("plain")).isEmpty());
}
