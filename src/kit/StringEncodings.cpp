#include "kit/StringEncodings.h"

#include <QHash>
#include <QMutex>
#include <QSysInfo>
#include <algorithm>
#include <memory>
#include <vector>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>
#include <uchardet/uchardet.h>

namespace kit {

namespace {

// Script groups (the most compatible Mac encoding of each row).
enum : CoreStringEncoding {
    MacRoman = 0x00,
    MacJapanese = 0x01,
    MacChineseTrad = 0x02,
    MacKorean = 0x03,
    MacArabic = 0x04,
    MacHebrew = 0x05,
    MacGreek = 0x06,
    MacCyrillic = 0x07,
    MacThai = 0x15,
    MacChineseSimp = 0x19,
    MacCentralEurRoman = 0x1D,
    MacVietnamese = 0x1E,
    MacTurkish = 0x23,
    MacIcelandic = 0x25,
    MacRomanian = 0x26,
    MacUkrainian = 0x98,
    UnicodeGroup = 0x100,
};

struct EncodingRow {
    StringEncoding number;     // our persisted number
    CoreStringEncoding core;   // the core-level value
    const char* converter;     // ICU converter name
    const char* iana;          // IANA charset name
    const char* name;          // display name
    CoreStringEncoding group;  // script group, for ordering
    bool listed = true;        // offered in lists (false: accepted but a duplicate of another row)
};

// The one table. Rows whose converter ICU lacks are dropped at first use.
const EncodingRow Rows[] = {
    {1, 0x0600, "US-ASCII", "us-ascii", "Western (ASCII)", MacRoman},
    {3, 0x0920, "EUC-JP", "euc-jp", "Japanese (EUC)", MacJapanese},
    {4, 0x08000100, "UTF-8", "utf-8", "Unicode (UTF-8)", UnicodeGroup},
    {5, 0x0201, "ISO-8859-1", "iso-8859-1", "Western (ISO Latin 1)", MacRoman},
    {8, 0x0420, "Shift_JIS", "shift_jis", "Japanese (Shift JIS)", MacJapanese},
    {9, 0x0202, "ISO-8859-2", "iso-8859-2", "Central European (ISO Latin 2)", MacCentralEurRoman},
    {10, 0x0100, "UTF-16", "utf-16", "Unicode (UTF-16)", UnicodeGroup},
    {11, 0x0502, "windows-1251", "windows-1251", "Cyrillic (Windows)", MacCyrillic},
    {12, 0x0500, "windows-1252", "windows-1252", "Western (Windows Latin 1)", MacRoman},
    {13, 0x0503, "windows-1253", "windows-1253", "Greek (Windows)", MacGreek},
    {14, 0x0504, "windows-1254", "windows-1254", "Turkish (Windows Latin 5)", MacTurkish},
    {15, 0x0501, "windows-1250", "windows-1250", "Central European (Windows Latin 2)", MacCentralEurRoman},
    {21, 0x0820, "ISO-2022-JP", "iso-2022-jp", "Japanese (ISO 2022-JP)", MacJapanese},
    {30, 0x0000, "macintosh", "macintosh", "Western (Mac OS Roman)", MacRoman},
    {0x90000100ULL, 0x10000100, "UTF-16BE", "utf-16be", "Unicode (UTF-16BE)", UnicodeGroup},
    {0x94000100ULL, 0x14000100, "UTF-16LE", "utf-16le", "Unicode (UTF-16LE)", UnicodeGroup},
    {0x8c000100ULL, 0x0c000100, "UTF-32", "utf-32", "Unicode (UTF-32)", UnicodeGroup},
    {0x98000100ULL, 0x18000100, "UTF-32BE", "utf-32be", "Unicode (UTF-32BE)", UnicodeGroup},
    {0x9c000100ULL, 0x1c000100, "UTF-32LE", "utf-32le", "Unicode (UTF-32LE)", UnicodeGroup},
    // Mac OS script encodings that the converters know.
    {0x80000006ULL, 0x0006, "x-mac-greek", "x-mac-greek", "Greek (Mac OS)", MacGreek},
    {0x80000007ULL, 0x0007, "x-mac-cyrillic", "x-mac-cyrillic", "Cyrillic (Mac OS)", MacCyrillic},
    {0x8000001DULL, 0x001D, "x-mac-centraleurroman", "x-mac-centraleurroman", "Central European (Mac OS)", MacCentralEurRoman},
    {0x80000023ULL, 0x0023, "x-mac-turkish", "x-mac-turkish", "Turkish (Mac OS)", MacTurkish},
    // ISO 8859.
    {0x80000203ULL, 0x0203, "ISO-8859-3", "iso-8859-3", "Western (ISO Latin 3)", MacRoman},
    {0x80000204ULL, 0x0204, "ISO-8859-4", "iso-8859-4", "Central European (ISO Latin 4)", MacCentralEurRoman},
    {0x80000205ULL, 0x0205, "ISO-8859-5", "iso-8859-5", "Cyrillic (ISO 8859-5)", MacCyrillic},
    {0x80000206ULL, 0x0206, "ISO-8859-6", "iso-8859-6", "Arabic (ISO 8859-6)", MacArabic},
    {0x80000207ULL, 0x0207, "ISO-8859-7", "iso-8859-7", "Greek (ISO 8859-7)", MacGreek},
    {0x80000208ULL, 0x0208, "ISO-8859-8", "iso-8859-8", "Hebrew (ISO 8859-8)", MacHebrew},
    {0x80000209ULL, 0x0209, "ISO-8859-9", "iso-8859-9", "Turkish (ISO Latin 5)", MacTurkish},
    {0x8000020AULL, 0x020A, "ISO-8859-10", "iso-8859-10", "Nordic (ISO Latin 6)", MacRoman},
    {0x8000020BULL, 0x020B, "ISO-8859-11", "iso-8859-11", "Thai (ISO 8859-11)", MacThai},
    {0x8000020DULL, 0x020D, "ISO-8859-13", "iso-8859-13", "Baltic (ISO Latin 7)", MacCentralEurRoman},
    {0x8000020EULL, 0x020E, "ISO-8859-14", "iso-8859-14", "Celtic (ISO Latin 8)", MacRoman},
    {0x8000020FULL, 0x020F, "ISO-8859-15", "iso-8859-15", "Western (ISO Latin 9)", MacRoman},
    {0x80000210ULL, 0x0210, "ISO-8859-16", "iso-8859-16", "Romanian (ISO Latin 10)", MacRomanian},
    // DOS code pages.
    {0x80000400ULL, 0x0400, "IBM437", "cp437", "Latin-US (DOS)", MacRoman},
    {0x80000405ULL, 0x0405, "ibm-737", "ibm737", "Greek (DOS)", MacGreek},
    {0x80000406ULL, 0x0406, "IBM775", "ibm775", "Baltic (DOS)", MacCentralEurRoman},
    {0x80000410ULL, 0x0410, "IBM850", "ibm850", "Western (DOS Latin 1)", MacRoman},
    {0x80000412ULL, 0x0412, "IBM852", "ibm852", "Central European (DOS Latin 2)", MacCentralEurRoman},
    {0x80000413ULL, 0x0413, "IBM855", "ibm855", "Cyrillic (DOS)", MacCyrillic},
    {0x80000414ULL, 0x0414, "IBM857", "ibm857", "Turkish (DOS)", MacTurkish},
    {0x80000415ULL, 0x0415, "IBM860", "ibm860", "Portuguese (DOS)", MacRoman},
    {0x80000416ULL, 0x0416, "IBM861", "ibm861", "Icelandic (DOS)", MacIcelandic},
    {0x80000417ULL, 0x0417, "IBM862", "ibm862", "Hebrew (DOS)", MacHebrew},
    {0x80000418ULL, 0x0418, "IBM863", "ibm863", "Canadian French (DOS)", MacRoman},
    {0x80000419ULL, 0x0419, "IBM864", "ibm864", "Arabic (DOS)", MacArabic},
    {0x8000041AULL, 0x041A, "IBM865", "ibm865", "Nordic (DOS)", MacRoman},
    {0x8000041BULL, 0x041B, "IBM866", "ibm866", "Russian (DOS)", MacCyrillic},
    {0x8000041CULL, 0x041C, "IBM869", "ibm869", "Greek (DOS Greek 2)", MacGreek},
    {0x8000041DULL, 0x041D, "windows-874", "windows-874", "Thai (Windows, DOS)", MacThai},
    {0x80000421ULL, 0x0421, "windows-936", "gbk", "Simplified Chinese (Windows, DOS)", MacChineseSimp},
    {0x80000422ULL, 0x0422, "windows-949", "ks_c_5601-1987", "Korean (Windows, DOS)", MacKorean},
    {0x80000423ULL, 0x0423, "windows-950", "cp950", "Traditional Chinese (Windows, DOS)", MacChineseTrad},
    // Windows code pages.
    {0x80000505ULL, 0x0505, "windows-1255", "windows-1255", "Hebrew (Windows)", MacHebrew},
    {0x80000506ULL, 0x0506, "windows-1256", "windows-1256", "Arabic (Windows)", MacArabic},
    {0x80000507ULL, 0x0507, "windows-1257", "windows-1257", "Baltic (Windows)", MacCentralEurRoman},
    {0x80000508ULL, 0x0508, "windows-1258", "windows-1258", "Vietnamese (Windows)", MacVietnamese},
    // East Asian.
    {0x80000632ULL, 0x0632, "GB18030", "gb18030", "Chinese (GB 18030)", MacChineseSimp},
    {0x80000821ULL, 0x0821, "ISO-2022-JP-2", "iso-2022-jp-2", "Japanese (ISO 2022-JP-2)", MacJapanese},
    {0x80000822ULL, 0x0822, "ISO-2022-JP-1", "iso-2022-jp-1", "Japanese (ISO 2022-JP-1)", MacJapanese},
    {0x80000830ULL, 0x0830, "ISO-2022-CN", "iso-2022-cn", "Chinese (ISO 2022-CN)", MacChineseSimp},
    {0x80000840ULL, 0x0840, "ISO-2022-KR", "iso-2022-kr", "Korean (ISO 2022-KR)", MacKorean},
    {0x80000930ULL, 0x0930, "GB2312", "gb2312", "Simplified Chinese (GB 2312)", MacChineseSimp},
    {0x80000931ULL, 0x0931, "EUC-TW", "euc-tw", "Traditional Chinese (EUC)", MacChineseTrad},
    {0x80000940ULL, 0x0940, "EUC-KR", "euc-kr", "Korean (EUC)", MacKorean},
    {0x80000A01ULL, 0x0A01, "Shift_JIS", "shift_jis", "Japanese (Shift JIS)", MacJapanese, false},
    {0x80000A02ULL, 0x0A02, "KOI8-R", "koi8-r", "Cyrillic (KOI8-R)", MacCyrillic},
    {0x80000A03ULL, 0x0A03, "Big5", "big5", "Traditional Chinese (Big 5)", MacChineseTrad},
    {0x80000A05ULL, 0x0A05, "HZ-GB-2312", "hz-gb-2312", "Simplified Chinese (HZ GB 2312)", MacChineseSimp},
    {0x80000A06ULL, 0x0A06, "Big5-HKSCS", "big5-hkscs", "Traditional Chinese (Big 5 HKSCS)", MacChineseTrad},
    {0x80000A08ULL, 0x0A08, "KOI8-U", "koi8-u", "Ukrainian (KOI8-U)", MacUkrainian},
    {0x80000C02ULL, 0x0C02, "ibm-37", "ibm037", "Western (EBCDIC Latin 1)", MacRoman},
};

// Extra IANA names (and the names the detector reports) for some rows.
struct Alias {
    const char* name;
    StringEncoding number;
};
const Alias Aliases[] = {
    {"ascii", 1},        {"ansi_x3.4-1968", 1}, {"utf8", 4},           {"latin1", 5},
    {"l1", 5},           {"iso_8859-1", 5},     {"cp1252", 12},        {"x-sjis", 8},
    {"sjis", 8},         {"cp932", 8},          {"windows-31j", 8},    {"ms_kanji", 8},
    {"x-euc-jp", 3},     {"ucs-2", 10},         {"mac", 30},           {"x-mac-roman", 30},
    {"cp1251", 11},      {"cp1250", 15},        {"cp1253", 13},        {"cp1254", 14},
    {"latin2", 9},       {"euc-cn", 0x80000930ULL}, {"x-euc-tw", 0x80000931ULL},
    {"cp866", 0x8000041BULL}, {"ibm866", 0x8000041BULL}, {"ibm437", 0x80000400ULL},
    {"ibm855", 0x80000413ULL}, {"cp850", 0x80000410ULL}, {"cp852", 0x80000412ULL},
    {"iso-8859-8-i", 0x80000208ULL}, {"tis-620", 0x8000041DULL}, {"cp874", 0x8000041DULL},
    {"cp936", 0x80000421ULL}, {"cp949", 0x80000422ULL}, {"uhc", 0x80000422ULL},
    {"big5", 0x80000A03ULL}, {"latin9", 0x8000020FULL},
    {"x-mac-cyrillic", 0x80000007ULL}, {"maccyrillic", 0x80000007ULL}, {"ucs-4", 0x8c000100ULL},
};

struct Table {
    std::vector<const EncodingRow*> available; // rows with a working converter
    QHash<StringEncoding, const EncodingRow*> byNumber;
    QHash<CoreStringEncoding, const EncodingRow*> byCore;
    QHash<QString, StringEncoding> byIana;      // lower case
    QHash<QString, StringEncoding> byCanonical; // ICU canonical converter names
    QList<StringEncoding> ordered;
};

bool converterWorks(const char* name, QString* canonical)
{
    UErrorCode status = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(name, &status);
    if (U_FAILURE(status) || !cnv)
        return false;
    if (canonical)
        *canonical = QString::fromLatin1(ucnv_getName(cnv, &status));
    ucnv_close(cnv);
    return true;
}

// The order of the encoding lists: ASCII first, then the Unicode forms, then by
// script group and value.
bool comesBefore(const EncodingRow* x, const EncodingRow* y)
{
    const CoreStringEncoding a = x->core, b = y->core;
    if (a == b)
        return false;
    if (a == 0x0600)
        return true;
    if (b == 0x0600)
        return false;
    const CoreStringEncoding ma = x->group, mb = y->group;
    if (ma == UnicodeGroup || mb == UnicodeGroup) {
        if (ma == mb)
            return a < b;
        return ma == UnicodeGroup;
    }
    if (ma != mb)
        return ma < mb;
    return a < b;
}

const Table& table()
{
    static const Table t = [] {
        Table t;
        for (const EncodingRow& row : Rows) {
            QString canonical;
            if (!converterWorks(row.converter, &canonical))
                continue;
            t.available.push_back(&row);
            t.byNumber.insert(row.number, &row);
            if (!t.byCore.contains(row.core) || row.listed)
                t.byCore.insert(row.core, &row);
            const QString iana = QString::fromLatin1(row.iana).toLower();
            if (!t.byIana.contains(iana) || row.listed)
                t.byIana.insert(iana, row.number);
            if (!t.byCanonical.contains(canonical) || row.listed)
                t.byCanonical.insert(canonical, row.number);
        }
        for (const Alias& alias : Aliases)
            if (t.byNumber.contains(alias.number))
                t.byIana.insert(QString::fromLatin1(alias.name), alias.number);
        std::vector<const EncodingRow*> listed;
        for (const EncodingRow* row : t.available)
            if (row->listed)
                listed.push_back(row);
        std::stable_sort(listed.begin(), listed.end(), comesBefore);
        for (const EncodingRow* row : listed)
            t.ordered.append(row->number);
        return t;
    }();
    return t;
}

const EncodingRow* rowFor(StringEncoding encoding)
{
    const Table& t = table();
    if (const EncodingRow* row = t.byNumber.value(encoding))
        return row;
    // A converted core value whose encoding has a number of its own (0x80000201 is 5).
    if ((encoding & 0xFFFFFFFF00000000ULL) == 0 && (encoding & 0x80000000ULL) && encoding != NoEncoding)
        return t.byCore.value(CoreStringEncoding(encoding & 0x7FFFFFFFULL));
    return nullptr;
}

Error unknownEncodingError(StringEncoding encoding, bool writing = false)
{
    QVariantMap info;
    info[StringEncodingErrorKey] = QVariant::fromValue<qulonglong>(encoding);
    info[LocalizedDescriptionKey] = QStringLiteral("The text encoding %1 (0x%2) is not known.")
                                        .arg(encoding)
                                        .arg(encoding, 0, 16);
    return Error(ErrorDomainCocoa, writing ? FileWriteInapplicableStringEncodingError : FileReadInapplicableStringEncodingError, info);
}

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openConverter(const EncodingRow* row)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter cnv(ucnv_open(row->converter, &status));
    if (U_FAILURE(status))
        return nullptr;
    return cnv;
}

bool isUnicodeRow(const EncodingRow* row) { return row->group == UnicodeGroup; }

bool hostIsLittleEndian() { return QSysInfo::ByteOrder == QSysInfo::LittleEndian; }

} // namespace

StringEncoding stringEncodingFromCore(CoreStringEncoding core)
{
    if (core == InvalidCoreStringEncoding)
        return NoEncoding;
    if (const EncodingRow* row = table().byCore.value(core))
        return row->number;
    return 0x80000000ULL | core;
}

CoreStringEncoding coreStringEncoding(StringEncoding encoding)
{
    if (const EncodingRow* row = rowFor(encoding))
        return row->core;
    if (encoding != NoEncoding && (encoding & 0x80000000ULL) && encoding <= 0xFFFFFFFFULL)
        return CoreStringEncoding(encoding & 0x7FFFFFFFULL);
    return InvalidCoreStringEncoding;
}

CoreStringEncoding mostCompatibleMacStringEncoding(CoreStringEncoding core)
{
    if (const EncodingRow* row = table().byCore.value(core))
        return row->group;
    return InvalidCoreStringEncoding;
}

QString localizedNameOfStringEncoding(StringEncoding encoding)
{
    if (const EncodingRow* row = rowFor(encoding))
        return QString::fromUtf8(row->name);
    return {};
}

QList<StringEncoding> availableStringEncodings() { return table().ordered; }

bool isKnownStringEncoding(StringEncoding encoding) { return rowFor(encoding) != nullptr; }

QString converterNameOfStringEncoding(StringEncoding encoding)
{
    if (const EncodingRow* row = rowFor(encoding))
        return QString::fromLatin1(row->converter);
    return {};
}

QString ianaCharsetName(StringEncoding encoding)
{
    if (const EncodingRow* row = rowFor(encoding))
        return QString::fromLatin1(row->iana);
    return {};
}

StringEncoding encodingForIANACharsetName(const QString& name)
{
    const QString key = name.trimmed().toLower();
    if (key.isEmpty())
        return NoEncoding;
    const Table& t = table();
    auto it = t.byIana.constFind(key);
    if (it != t.byIana.constEnd())
        return it.value();
    // Fall back on the converters' own alias lists.
    QString canonical;
    const QByteArray latin = key.toLatin1();
    if (converterWorks(latin.constData(), &canonical))
        return t.byCanonical.value(canonical, NoEncoding);
    return NoEncoding;
}

std::optional<QString> decodeString(const QByteArray& data, StringEncoding encoding, Error* error)
{
    const EncodingRow* row = rowFor(encoding);
    if (!row) {
        setError(error, unknownEncodingError(encoding));
        return std::nullopt;
    }
    Converter cnv = openConverter(row);
    if (!cnv) {
        setError(error, unknownEncodingError(encoding));
        return std::nullopt;
    }
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);

    QString out;
    out.resize(data.size() + 16);
    const char* source = data.constData();
    const char* const sourceLimit = data.constData() + data.size();
    qsizetype written = 0;
    for (;;) {
        UChar* target = reinterpret_cast<UChar*>(out.data()) + written;
        UChar* const targetLimit = reinterpret_cast<UChar*>(out.data()) + out.size();
        status = U_ZERO_ERROR;
        ucnv_toUnicode(cnv.get(), &target, targetLimit, &source, sourceLimit, nullptr, true, &status);
        written = target - reinterpret_cast<UChar*>(out.data());
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        break;
    }
    if (U_FAILURE(status)) {
        char bad[32];
        int8_t badLength = sizeof bad;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidChars(cnv.get(), bad, &badLength, &ignored);
        const qsizetype offset = (source - data.constData()) - (U_SUCCESS(ignored) ? badLength : 0);
        QVariantMap info;
        info[StringEncodingErrorKey] = QVariant::fromValue<qulonglong>(row->number);
        info[LocalizedDescriptionKey] =
            QStringLiteral("The text couldn’t be read as %1: the bytes at offset %2 are not valid in this encoding.")
                .arg(QString::fromUtf8(row->name))
                .arg(offset);
        info[QStringLiteral("ByteOffset")] = qlonglong(offset);
        setError(error, Error(ErrorDomainCocoa, FileReadInapplicableStringEncodingError, info));
        return std::nullopt;
    }
    out.resize(written);
    // The byte-order mark is not part of the text. The converters of UTF-16 and
    // UTF-32 without a stated order take it off themselves: what starts their
    // text then is a character of the text.
    if (isUnicodeRow(row) && row->number != UTF16StringEncoding && row->number != UTF32StringEncoding
        && out.startsWith(QChar(0xFEFF)))
        out.remove(0, 1);
    return out;
}

std::optional<QByteArray> encodeString(const QString& text, StringEncoding encoding, bool allowLossy, Error* error)
{
    const EncodingRow* row = rowFor(encoding);
    if (!row) {
        setError(error, unknownEncodingError(encoding, true));
        return std::nullopt;
    }
    // UTF-16 and UTF-32 without a stated order: the machine's order with a mark.
    const char* converterName = row->converter;
    QByteArray prefix;
    if (row->number == UTF16StringEncoding) {
        converterName = hostIsLittleEndian() ? "UTF-16LE" : "UTF-16BE";
        prefix = hostIsLittleEndian() ? QByteArray("\xFF\xFE", 2) : QByteArray("\xFE\xFF", 2);
    } else if (row->number == UTF32StringEncoding) {
        converterName = hostIsLittleEndian() ? "UTF-32LE" : "UTF-32BE";
        prefix = hostIsLittleEndian() ? QByteArray("\xFF\xFE\0\0", 4) : QByteArray("\0\0\xFE\xFF", 4);
    } else if (isUnicodeRow(row) && text.startsWith(QChar(0xFEFF))) {
        // Reading drops a leading U+FEFF as the byte-order mark: a text that
        // starts with that character gets a mark in front, so it reads back whole.
        switch (row->number) {
        case UTF8StringEncoding: prefix = QByteArray("\xEF\xBB\xBF"); break;
        case UTF16BigEndianStringEncoding: prefix = QByteArray("\xFE\xFF"); break;
        case UTF16LittleEndianStringEncoding: prefix = QByteArray("\xFF\xFE"); break;
        case UTF32BigEndianStringEncoding: prefix = QByteArray("\0\0\xFE\xFF", 4); break;
        case UTF32LittleEndianStringEncoding: prefix = QByteArray("\xFF\xFE\0\0", 4); break;
        default: break;
        }
    }
    UErrorCode status = U_ZERO_ERROR;
    Converter cnv(ucnv_open(converterName, &status));
    if (U_FAILURE(status) || !cnv) {
        setError(error, unknownEncodingError(encoding, true));
        return std::nullopt;
    }
    status = U_ZERO_ERROR;
    if (allowLossy) {
        ucnv_setSubstChars(cnv.get(), "?", 1, &status);
        status = U_ZERO_ERROR;
        ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_SUBSTITUTE, nullptr, nullptr, nullptr, &status);
    } else {
        ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }

    QByteArray out = prefix;
    const qsizetype start = out.size();
    out.resize(start + text.size() * 4 + 16);
    const UChar* source = reinterpret_cast<const UChar*>(text.constData());
    const UChar* const sourceLimit = source + text.size();
    qsizetype written = start;
    for (;;) {
        char* target = out.data() + written;
        char* const targetLimit = out.data() + out.size();
        status = U_ZERO_ERROR;
        ucnv_fromUnicode(cnv.get(), &target, targetLimit, &source, sourceLimit, nullptr, true, &status);
        written = target - out.data();
        if (status == U_BUFFER_OVERFLOW_ERROR) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        break;
    }
    if (U_FAILURE(status)) {
        UChar bad[8];
        int8_t badLength = 8;
        UErrorCode ignored = U_ZERO_ERROR;
        ucnv_getInvalidUChars(cnv.get(), bad, &badLength, &ignored);
        const qsizetype index = (source - reinterpret_cast<const UChar*>(text.constData())) - (U_SUCCESS(ignored) ? badLength : 0);
        QVariantMap info;
        info[StringEncodingErrorKey] = QVariant::fromValue<qulonglong>(row->number);
        info[LocalizedDescriptionKey] =
            QStringLiteral("The text can’t be written as %1: the character at position %2 has no place in this encoding.")
                .arg(QString::fromUtf8(row->name))
                .arg(index);
        info[QStringLiteral("CharacterIndex")] = qlonglong(index);
        setError(error, Error(ErrorDomainCocoa, FileWriteInapplicableStringEncodingError, info));
        return std::nullopt;
    }
    out.resize(written);
    if (!allowLossy && !isUnicodeRow(row)) {
        // A converter may drop characters it cannot map without reporting them
        // (zero-width spaces, direction marks, joiners, variation selectors) or
        // map them to look-alikes: only a text that reads back as itself fits.
        const std::optional<QString> back = decodeString(out, row->number);
        if (!back || *back != text) {
            qsizetype index = 0;
            if (back) {
                const qsizetype n = qMin(back->size(), text.size());
                while (index < n && back->at(index) == text.at(index))
                    ++index;
            }
            QVariantMap info;
            info[StringEncodingErrorKey] = QVariant::fromValue<qulonglong>(row->number);
            info[LocalizedDescriptionKey] =
                QStringLiteral("The text can’t be written as %1: the character at position %2 has no place in this encoding.")
                    .arg(QString::fromUtf8(row->name))
                    .arg(index);
            info[QStringLiteral("CharacterIndex")] = qlonglong(index);
            setError(error, Error(ErrorDomainCocoa, FileWriteInapplicableStringEncodingError, info));
            return std::nullopt;
        }
    }
    return out;
}

QByteArray byteOrderMarkOfData(const QByteArray& data)
{
    if (data.startsWith("\xEF\xBB\xBF"))
        return data.left(3);
    if (data.startsWith(QByteArray("\xFF\xFE\0\0", 4)) || data.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        return data.left(4);
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return data.left(2);
    return {};
}

std::optional<QByteArray> encodeStringWithByteOrderMark(const QString& text, StringEncoding encoding,
                                                        const QByteArray& mark, Error* error)
{
    const QByteArray utf8Mark("\xEF\xBB\xBF");
    const QByteArray utf16BE("\xFE\xFF"), utf16LE("\xFF\xFE");
    const QByteArray utf32BE("\0\0\xFE\xFF", 4), utf32LE("\xFF\xFE\0\0", 4);
    // The mark the file had, and the fixed-order form that writes text after it.
    StringEncoding body = NoEncoding;
    if (mark == utf8Mark && encoding == UTF8StringEncoding)
        body = UTF8StringEncoding;
    else if (mark == utf16BE && (encoding == UTF16StringEncoding || encoding == UTF16BigEndianStringEncoding))
        body = UTF16BigEndianStringEncoding;
    else if (mark == utf16LE && (encoding == UTF16StringEncoding || encoding == UTF16LittleEndianStringEncoding))
        body = UTF16LittleEndianStringEncoding;
    else if (mark == utf32BE && (encoding == UTF32StringEncoding || encoding == UTF32BigEndianStringEncoding))
        body = UTF32BigEndianStringEncoding;
    else if (mark == utf32LE && (encoding == UTF32StringEncoding || encoding == UTF32LittleEndianStringEncoding))
        body = UTF32LittleEndianStringEncoding;
    if (body == NoEncoding)
        return encodeString(text, encoding, false, error);
    std::optional<QByteArray> bytes = encodeString(text, body, false, error);
    if (!bytes)
        return std::nullopt;
    // A text that starts with U+FEFF already comes with the mark in front.
    if (text.startsWith(QChar(0xFEFF)) && bytes->startsWith(mark))
        return bytes;
    return mark + *bytes;
}

bool canEncodeString(const QString& text, StringEncoding encoding)
{
    return encodeString(text, encoding, false, nullptr).has_value();
}

namespace {

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool isValidUtf8(const QByteArray& data, bool* pureAscii)
{
    const auto* p = reinterpret_cast<const unsigned char*>(data.constData());
    const qsizetype n = data.size();
    bool ascii = true;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        ascii = false;
        int length = 0;
        unsigned int min = 0, cp = 0;
        if ((c & 0xE0) == 0xC0) {
            length = 2, min = 0x80, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3, min = 0x800, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4, min = 0x10000, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + length > n)
            return false;
        for (int k = 1; k < length; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += length;
    }
    *pureAscii = ascii;
    return true;
}

constexpr qsizetype DetectionSampleBytes = 256 * 1024;

// UTF-16 without a mark: text in Latin scripts has a zero in every other byte.
StringEncoding guessUnmarkedUtf16(const QByteArray& data)
{
    if (data.size() < 4 || data.size() % 2)
        return NoEncoding;
    qsizetype evenZeros = 0, oddZeros = 0;
    for (qsizetype i = 0; i + 1 < data.size(); i += 2) {
        evenZeros += data[i] == '\0';
        oddZeros += data[i + 1] == '\0';
    }
    const qsizetype pairs = data.size() / 2;
    if (oddZeros * 10 >= pairs * 9 && evenZeros * 10 < pairs)
        return UTF16LittleEndianStringEncoding;
    if (evenZeros * 10 >= pairs * 9 && oddZeros * 10 < pairs)
        return UTF16BigEndianStringEncoding;
    return NoEncoding;
}

// -- What a text says of its own encoding

constexpr qsizetype DeclarationScanBytes = 1024;

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool isSpaceByte(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool startsWithLower(const QByteArray& data, qsizetype at, const char* word)
{
    for (qsizetype i = 0; word[i]; ++i) {
        if (at + i >= data.size() || lowerAscii(data[at + i]) != word[i])
            return false;
    }
    return true;
}

// The charset named in a Content-Type value ("text/html; charset=shift_jis").
QByteArray charsetFromContentType(const QByteArray& value)
{
    qsizetype at = 0;
    while ((at = value.toLower().indexOf("charset", at)) >= 0) {
        at += 7;
        while (at < value.size() && isSpaceByte(value[at]))
            ++at;
        if (at >= value.size() || value[at] != '=')
            continue;
        ++at;
        while (at < value.size() && isSpaceByte(value[at]))
            ++at;
        if (at >= value.size())
            return {};
        if (value[at] == '"' || value[at] == '\'') {
            const char quote = value[at++];
            const qsizetype end = value.indexOf(quote, at);
            return end < 0 ? QByteArray() : value.mid(at, end - at);
        }
        qsizetype end = at;
        while (end < value.size() && !isSpaceByte(value[end]) && value[end] != ';')
            ++end;
        return value.mid(at, end - at);
    }
    return {};
}

// One attribute of a tag from `at` on, as a browser's pre-scan reads it; false at
// the tag's end. `at` ends after the attribute.
bool nextAttribute(const QByteArray& data, qsizetype& at, qsizetype end, QByteArray* name, QByteArray* value)
{
    name->clear();
    value->clear();
    while (at < end && (isSpaceByte(data[at]) || data[at] == '/'))
        ++at;
    if (at >= end || data[at] == '>')
        return false;
    while (at < end && !isSpaceByte(data[at]) && data[at] != '=' && data[at] != '>' && data[at] != '/')
        *name += lowerAscii(data[at++]);
    while (at < end && isSpaceByte(data[at]))
        ++at;
    if (at >= end || data[at] != '=')
        return true;
    ++at;
    while (at < end && isSpaceByte(data[at]))
        ++at;
    if (at < end && (data[at] == '"' || data[at] == '\'')) {
        const char quote = data[at++];
        while (at < end && data[at] != quote)
            *value += data[at++];
        if (at < end)
            ++at;
        return true;
    }
    while (at < end && !isSpaceByte(data[at]) && data[at] != '>')
        *value += data[at++];
    return true;
}

// A <meta charset> or http-equiv Content-Type among the first bytes, skipping
// comments and the attributes of other tags.
QByteArray metaCharset(const QByteArray& data)
{
    const qsizetype end = qMin<qsizetype>(data.size(), DeclarationScanBytes);
    qsizetype at = 0;
    while (at < end) {
        if (data[at] != '<') {
            ++at;
            continue;
        }
        if (data.mid(at, 4) == "<!--") {
            const qsizetype close = data.indexOf("-->", at + 4);
            if (close < 0)
                return {};
            at = close + 3;
            continue;
        }
        if (startsWithLower(data, at, "<meta") && at + 5 < end && (isSpaceByte(data[at + 5]) || data[at + 5] == '/')) {
            at += 5;
            QByteArray name, value, charset, content;
            bool pragma = false;
            while (nextAttribute(data, at, end, &name, &value)) {
                if (name == "charset" && charset.isEmpty())
                    charset = value;
                else if (name == "content" && content.isEmpty())
                    content = value;
                else if (name == "http-equiv" && value.trimmed().toLower() == "content-type")
                    pragma = true;
            }
            if (!charset.isEmpty())
                return charset;
            if (pragma) {
                const QByteArray fromContent = charsetFromContentType(content);
                if (!fromContent.isEmpty())
                    return fromContent;
            }
            continue;
        }
        const bool tag = at + 1 < end
            && (QChar::isLetter(uchar(data[at + 1]))
                || (data[at + 1] == '/' && at + 2 < end && QChar::isLetter(uchar(data[at + 2]))));
        if (tag) {
            // Quoted values may hold ">".
            at += data[at + 1] == '/' ? 2 : 1;
            while (at < end && !isSpaceByte(data[at]) && data[at] != '>')
                ++at;
            QByteArray name, value;
            while (nextAttribute(data, at, end, &name, &value)) {
            }
            continue;
        }
        if (at + 1 < end && (data[at + 1] == '!' || data[at + 1] == '?' || data[at + 1] == '/')) {
            const qsizetype close = data.indexOf('>', at + 1);
            if (close < 0)
                return {};
            at = close + 1;
            continue;
        }
        ++at;
    }
    return {};
}

QByteArray xmlDeclarationEncoding(const QByteArray& data)
{
    if (!data.startsWith("<?xml") || data.size() < 6 || !isSpaceByte(data[5]))
        return {};
    const qsizetype close = data.indexOf("?>");
    if (close < 0 || close > DeclarationScanBytes)
        return {};
    const QByteArray declaration = data.left(close);
    qsizetype at = declaration.indexOf("encoding");
    if (at < 0)
        return {};
    at += 8;
    while (at < declaration.size() && isSpaceByte(declaration[at]))
        ++at;
    if (at >= declaration.size() || declaration[at] != '=')
        return {};
    ++at;
    while (at < declaration.size() && isSpaceByte(declaration[at]))
        ++at;
    if (at >= declaration.size() || (declaration[at] != '"' && declaration[at] != '\''))
        return {};
    const char quote = declaration[at++];
    const qsizetype end = declaration.indexOf(quote, at);
    return end < 0 ? QByteArray() : declaration.mid(at, end - at);
}

QByteArray cssCharset(const QByteArray& data)
{
    // Only exactly at the start, as style sheets are read.
    if (!data.startsWith("@charset \""))
        return {};
    const qsizetype end = data.indexOf("\";", 10);
    if (end < 0 || end > DeclarationScanBytes)
        return {};
    return data.mid(10, end - 10);
}

} // namespace

StringEncoding declaredStringEncoding(const QByteArray& data, QString* declaredName)
{
    QByteArray name = xmlDeclarationEncoding(data);
    if (name.isEmpty())
        name = cssCharset(data);
    if (name.isEmpty())
        name = metaCharset(data);
    name = name.trimmed();
    if (declaredName)
        *declaredName = QString::fromLatin1(name);
    if (name.isEmpty())
        return NoEncoding;
    const StringEncoding encoding = encodingForIANACharsetName(QString::fromLatin1(name));
    // Found by reading the bytes as ASCII, the text is no UTF-16 or UTF-32 whatever
    // it says: browsers take such a declaration for UTF-8.
    switch (encoding) {
    case UTF16StringEncoding:
    case UTF16BigEndianStringEncoding:
    case UTF16LittleEndianStringEncoding:
    case UTF32StringEncoding:
    case UTF32BigEndianStringEncoding:
    case UTF32LittleEndianStringEncoding:
        return UTF8StringEncoding;
    default:
        return encoding;
    }
}

StringEncoding detectStringEncoding(const QByteArray& data, bool* hadByteOrderMark, QString* passedOverDeclaration)
{
    if (hadByteOrderMark)
        *hadByteOrderMark = false;
    if (passedOverDeclaration)
        passedOverDeclaration->clear();
    // A mark counts only when the rest reads in its encoding: "\xFE\xFF" may as
    // well begin a Latin-1 text ("þÿ"), or a file cut short.
    auto marked = [&](StringEncoding e) {
        if (!decodeString(data, e))
            return NoEncoding;
        if (hadByteOrderMark)
            *hadByteOrderMark = true;
        return e;
    };
    StringEncoding byMark = NoEncoding;
    if (data.startsWith("\xEF\xBB\xBF"))
        byMark = marked(UTF8StringEncoding);
    else if (data.startsWith(QByteArray("\xFF\xFE\0\0", 4)) || data.startsWith(QByteArray("\0\0\xFE\xFF", 4)))
        byMark = marked(UTF32StringEncoding);
    if (byMark == NoEncoding && (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")))
        byMark = marked(UTF16StringEncoding);
    if (byMark != NoEncoding)
        return byMark;

    // What the text says of itself comes next, as browsers read it; a declaration
    // the bytes do not read in is passed over.
    QString declaredName;
    const StringEncoding declared = declaredStringEncoding(data, &declaredName);
    if (!declaredName.isEmpty()) {
        bool pureAscii = false;
        const bool reads = declared == UTF8StringEncoding ? isValidUtf8(data, &pureAscii)
                                                          : declared != NoEncoding && decodeString(data, declared);
        if (reads)
            return declared;
        if (passedOverDeclaration)
            *passedOverDeclaration = declaredName;
    }

    if (data.contains('\0')) {
        const StringEncoding utf16 = guessUnmarkedUtf16(data);
        if (utf16 != NoEncoding && decodeString(data, utf16))
            return utf16;
    }
    bool pureAscii = false;
    if (isValidUtf8(data, &pureAscii))
        return pureAscii ? ASCIIStringEncoding : UTF8StringEncoding;

    uchardet_t detector = uchardet_new();
    if (!detector)
        return NoEncoding;
    StringEncoding result = NoEncoding;
    // The statistics settle long before the end of a large file; the full text is
    // still checked below.
    const size_t sample = size_t(qMin<qsizetype>(data.size(), DetectionSampleBytes));
    if (uchardet_handle_data(detector, data.constData(), sample) == 0) {
        uchardet_data_end(detector);
        const char* charset = uchardet_get_charset(detector);
        if (charset && *charset)
            result = encodingForIANACharsetName(QString::fromLatin1(charset));
    }
    uchardet_delete(detector);
    // A guess that does not read the bytes cleanly is no answer.
    if (result != NoEncoding && !decodeString(data, result))
        result = NoEncoding;
    return result;
}

} // namespace kit
