#include "kit/PropertyList.h"

#include <QColor>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QSaveFile>
#include <QTimeZone>
#include <QUrl>
#include <cmath>
#include <limits>
#include <optional>

#include <libxml/parser.h>
#include <libxml/tree.h>

namespace kit {

namespace {

// Nesting deeper than this is treated as malformed rather than risking the stack.
constexpr int MaxDepth = 512;

struct ParseFailure {
    QString problem;
};

QString xmlName(const xmlNode* node) { return QString::fromUtf8(reinterpret_cast<const char*>(node->name)); }

bool isIgnorable(const xmlNode* node)
{
    switch (node->type) {
    case XML_COMMENT_NODE:
    case XML_PI_NODE:
        return true;
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE: {
        const xmlChar* c = node->content;
        for (; c && *c; ++c)
            if (*c != ' ' && *c != '\t' && *c != '\n' && *c != '\r')
                return false;
        return true;
    }
    default:
        return false;
    }
}

// The text of a leaf element. Entity references other than the predefined ones
// are refused: expanding them is how crafted files blow up in size.
std::optional<QString> leafText(const xmlNode* element, QString* problem)
{
    QByteArray bytes;
    for (const xmlNode* c = element->children; c; c = c->next) {
        switch (c->type) {
        case XML_TEXT_NODE:
        case XML_CDATA_SECTION_NODE:
            bytes += reinterpret_cast<const char*>(c->content);
            break;
        case XML_COMMENT_NODE:
        case XML_PI_NODE:
            break;
        case XML_ENTITY_REF_NODE:
            *problem = QStringLiteral("line %1: entity references are not allowed").arg(c->line);
            return std::nullopt;
        default:
            *problem = QStringLiteral("line %1: unexpected <%2> inside <%3>").arg(c->line).arg(xmlName(c), xmlName(element));
            return std::nullopt;
        }
    }
    return QString::fromUtf8(bytes);
}

std::optional<QDateTime> parseDate(const QString& text)
{
    QString t = text.trimmed();
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        // Dates without a time ("2024-05-01") are accepted too.
        const QDate d = QDate::fromString(t, Qt::ISODate);
        if (!d.isValid())
            return std::nullopt;
        dt = QDateTime(d, QTime(0, 0), Qt::UTC);
    }
    return dt.toUTC();
}

std::optional<qlonglong> parseInteger(const QString& text)
{
    QString t = text.trimmed();
    bool ok = false;
    qlonglong v = 0;
    bool negative = t.startsWith(QLatin1Char('-'));
    QString digits = (negative || t.startsWith(QLatin1Char('+'))) ? t.mid(1) : t;
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const qulonglong u = digits.mid(2).toULongLong(&ok, 16);
        v = qlonglong(u);
    } else {
        const qulonglong u = digits.toULongLong(&ok, 10);
        // Unsigned values above the signed range keep their bits, as written by others.
        v = qlonglong(u);
    }
    if (!ok || digits.isEmpty())
        return std::nullopt;
    if (!negative)
        return v;
    const qulonglong magnitude = qulonglong(v);
    if (magnitude > qulonglong(std::numeric_limits<qlonglong>::max()) + 1)
        return std::nullopt;
    return qlonglong(0 - magnitude);
}

std::optional<double> parseReal(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("nan"))
        return std::nan("");
    if (t == QLatin1String("inf") || t == QLatin1String("+inf") || t == QLatin1String("infinity") || t == QLatin1String("+infinity"))
        return HUGE_VAL;
    if (t == QLatin1String("-inf") || t == QLatin1String("-infinity"))
        return -HUGE_VAL;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return d;
}

QVariant parseXmlValue(const xmlNode* node, int depth, QString* problem);

QVariant parseXmlDict(const xmlNode* node, int depth, QString* problem)
{
    QVariantMap map;
    std::optional<QString> pendingKey;
    int keyLine = 0;
    for (const xmlNode* c = node->children; c; c = c->next) {
        if (isIgnorable(c))
            continue;
        if (c->type != XML_ELEMENT_NODE) {
            *problem = QStringLiteral("line %1: unexpected text inside <dict>").arg(c->line);
            return {};
        }
        if (!pendingKey) {
            if (xmlName(c) != QLatin1String("key")) {
                *problem = QStringLiteral("line %1: expected <key> in <dict>, found <%2>").arg(c->line).arg(xmlName(c));
                return {};
            }
            pendingKey = leafText(c, problem);
            if (!pendingKey)
                return {};
            keyLine = c->line;
            continue;
        }
        if (xmlName(c) == QLatin1String("key")) {
            *problem = QStringLiteral("line %1: the key “%2” has no value").arg(keyLine).arg(*pendingKey);
            return {};
        }
        QVariant value = parseXmlValue(c, depth + 1, problem);
        if (!problem->isEmpty())
            return {};
        map.insert(*pendingKey, value);
        pendingKey.reset();
    }
    if (pendingKey) {
        *problem = QStringLiteral("line %1: the key “%2” has no value").arg(keyLine).arg(*pendingKey);
        return {};
    }
    return map;
}

QVariant parseXmlValue(const xmlNode* node, int depth, QString* problem)
{
    if (depth > MaxDepth) {
        *problem = QStringLiteral("line %1: values are nested too deeply").arg(node->line);
        return {};
    }
    const QString name = xmlName(node);
    if (name == QLatin1String("dict"))
        return parseXmlDict(node, depth, problem);
    if (name == QLatin1String("array")) {
        QVariantList list;
        for (const xmlNode* c = node->children; c; c = c->next) {
            if (isIgnorable(c))
                continue;
            if (c->type != XML_ELEMENT_NODE) {
                *problem = QStringLiteral("line %1: unexpected text inside <array>").arg(c->line);
                return {};
            }
            QVariant v = parseXmlValue(c, depth + 1, problem);
            if (!problem->isEmpty())
                return {};
            list.append(v);
        }
        return list;
    }
    if (name == QLatin1String("true") || name == QLatin1String("false")) {
        for (const xmlNode* c = node->children; c; c = c->next)
            if (!isIgnorable(c)) {
                *problem = QStringLiteral("line %1: <%2/> must be empty").arg(node->line).arg(name);
                return {};
            }
        return name == QLatin1String("true");
    }
    const std::optional<QString> text = leafText(node, problem);
    if (!text)
        return {};
    if (name == QLatin1String("string") || name == QLatin1String("key"))
        return *text;
    if (name == QLatin1String("integer")) {
        if (auto v = parseInteger(*text))
            return *v;
        *problem = QStringLiteral("line %1: “%2” is not an integer").arg(node->line).arg(text->trimmed());
        return {};
    }
    if (name == QLatin1String("real")) {
        if (auto v = parseReal(*text))
            return *v;
        *problem = QStringLiteral("line %1: “%2” is not a number").arg(node->line).arg(text->trimmed());
        return {};
    }
    if (name == QLatin1String("date")) {
        if (auto v = parseDate(*text))
            return *v;
        *problem = QStringLiteral("line %1: “%2” is not a date").arg(node->line).arg(text->trimmed());
        return {};
    }
    if (name == QLatin1String("data")) {
        QByteArray compact = text->toLatin1();
        compact.replace(' ', "").replace('\t', "").replace('\n', "").replace('\r', "");
        auto decoded = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded) {
            *problem = QStringLiteral("line %1: the <data> is not valid base 64").arg(node->line);
            return {};
        }
        return *decoded;
    }
    *problem = QStringLiteral("line %1: unknown element <%2>").arg(node->line).arg(name);
    return {};
}

QVariant parseXml(const QByteArray& data, QString* problem)
{
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) {
        *problem = QStringLiteral("out of memory");
        return {};
    }
    // No network, no DTD loading, no entity substitution; errors are read from the
    // context rather than printed.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA;
    xmlDocPtr doc = xmlCtxtReadMemory(ctxt, data.constData(), int(data.size()), nullptr, nullptr, options);
    QVariant result;
    if (!doc) {
        const xmlError* err = xmlCtxtGetLastError(ctxt);
        if (err && err->message)
            *problem = QStringLiteral("line %1: %2").arg(err->line).arg(QString::fromUtf8(err->message).trimmed());
        else
            *problem = QStringLiteral("not well-formed XML");
    } else {
        const xmlNode* root = xmlDocGetRootElement(doc);
        if (!root) {
            *problem = QStringLiteral("the document is empty");
        } else if (xmlName(root) == QLatin1String("plist")) {
            const xmlNode* value = nullptr;
            for (const xmlNode* c = root->children; c; c = c->next) {
                if (isIgnorable(c))
                    continue;
                if (c->type != XML_ELEMENT_NODE || value) {
                    *problem = QStringLiteral("line %1: <plist> must hold exactly one value").arg(c->line);
                    break;
                }
                value = c;
            }
            if (problem->isEmpty()) {
                if (!value)
                    *problem = QStringLiteral("<plist> holds no value");
                else
                    result = parseXmlValue(value, 0, problem);
            }
        } else {
            result = parseXmlValue(root, 0, problem);
        }
        xmlFreeDoc(doc);
    }
    xmlFreeParserCtxt(ctxt);
    if (!problem->isEmpty())
        return {};
    return result;
}

// The old brace form: { key = value; }, ( a, b ), "quoted", bare words, <hex data>.
class AsciiParser {
public:
    explicit AsciiParser(const QString& text) : m_text(text) {}

    QVariant parseDocument(QString* problem)
    {
        skipSpace();
        QVariant result;
        if (atEnd()) {
            result = QVariantMap();
        } else {
            const int start = m_pos;
            result = parseValue(0);
            skipSpace();
            if (m_problem.isEmpty() && !atEnd() && (m_text[m_pos] == QLatin1Char('=') || m_text[m_pos] == QLatin1Char(';'))) {
                // A strings file: key = value; pairs without the braces.
                m_pos = start;
                result = parseDictBody(0, QChar());
            }
            skipSpace();
            if (m_problem.isEmpty() && !atEnd())
                fail(QStringLiteral("unexpected text after the value"));
        }
        *problem = m_problem;
        return m_problem.isEmpty() ? result : QVariant();
    }

private:
    bool atEnd() const { return m_pos >= m_text.size(); }

    void fail(const QString& what)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("line %1: %2").arg(lineAt(m_pos)).arg(what);
    }

    int lineAt(int pos) const
    {
        int line = 1;
        for (int i = 0; i < pos && i < m_text.size(); ++i)
            if (m_text[i] == QLatin1Char('\n'))
                ++line;
        return line;
    }

    void skipSpace()
    {
        while (!atEnd()) {
            const QChar c = m_text[m_pos];
            if (c.isSpace()) {
                ++m_pos;
            } else if (c == QLatin1Char('/') && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('/')) {
                while (!atEnd() && m_text[m_pos] != QLatin1Char('\n'))
                    ++m_pos;
            } else if (c == QLatin1Char('/') && m_pos + 1 < m_text.size() && m_text[m_pos + 1] == QLatin1Char('*')) {
                const int end = m_text.indexOf(QLatin1String("*/"), m_pos + 2);
                if (end < 0) {
                    fail(QStringLiteral("unterminated comment"));
                    m_pos = m_text.size();
                    return;
                }
                m_pos = end + 2;
            } else {
                return;
            }
        }
    }

    static bool isBareChar(QChar c)
    {
        return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('$') || c == QLatin1Char('+')
            || c == QLatin1Char('/') || c == QLatin1Char(':') || c == QLatin1Char('.') || c == QLatin1Char('-');
    }

    QVariant parseValue(int depth)
    {
        if (depth > MaxDepth) {
            fail(QStringLiteral("values are nested too deeply"));
            return {};
        }
        skipSpace();
        if (atEnd()) {
            fail(QStringLiteral("a value is missing"));
            return {};
        }
        const QChar c = m_text[m_pos];
        if (c == QLatin1Char('{')) {
            ++m_pos;
            return parseDictBody(depth, QLatin1Char('}'));
        }
        if (c == QLatin1Char('('))
            return parseArray(depth);
        if (c == QLatin1Char('"') || c == QLatin1Char('\''))
            return parseQuoted();
        if (c == QLatin1Char('<'))
            return parseData();
        if (isBareChar(c)) {
            const int start = m_pos;
            while (!atEnd() && isBareChar(m_text[m_pos]))
                ++m_pos;
            return m_text.mid(start, m_pos - start);
        }
        fail(QStringLiteral("unexpected “%1”").arg(c));
        return {};
    }

    QVariant parseDictBody(int depth, QChar close)
    {
        QVariantMap map;
        for (;;) {
            skipSpace();
            if (!m_problem.isEmpty())
                return {};
            if (atEnd()) {
                if (close.isNull())
                    return map;
                fail(QStringLiteral("a dictionary is not closed with “}”"));
                return {};
            }
            if (!close.isNull() && m_text[m_pos] == close) {
                ++m_pos;
                return map;
            }
            const QVariant key = parseValue(depth + 1);
            if (!m_problem.isEmpty())
                return {};
            if (key.typeId() != QMetaType::QString) {
                fail(QStringLiteral("a dictionary key must be a string"));
                return {};
            }
            skipSpace();
            if (!atEnd() && m_text[m_pos] == QLatin1Char(';')) {
                // "key;" in a strings file means key = key.
                ++m_pos;
                map.insert(key.toString(), key);
                continue;
            }
            if (atEnd() || m_text[m_pos] != QLatin1Char('=')) {
                fail(QStringLiteral("“=” expected after the key “%1”").arg(key.toString()));
                return {};
            }
            ++m_pos;
            const QVariant value = parseValue(depth + 1);
            if (!m_problem.isEmpty())
                return {};
            skipSpace();
            if (atEnd() || m_text[m_pos] != QLatin1Char(';')) {
                fail(QStringLiteral("“;” expected after the value of “%1”").arg(key.toString()));
                return {};
            }
            ++m_pos;
            map.insert(key.toString(), value);
        }
    }

    QVariant parseArray(int depth)
    {
        ++m_pos; // (
        QVariantList list;
        skipSpace();
        if (!atEnd() && m_text[m_pos] == QLatin1Char(')')) {
            ++m_pos;
            return list;
        }
        for (;;) {
            list.append(parseValue(depth + 1));
            if (!m_problem.isEmpty())
                return {};
            skipSpace();
            if (atEnd()) {
                fail(QStringLiteral("an array is not closed with “)”"));
                return {};
            }
            if (m_text[m_pos] == QLatin1Char(')')) {
                ++m_pos;
                return list;
            }
            if (m_text[m_pos] != QLatin1Char(',')) {
                fail(QStringLiteral("“,” or “)” expected in an array"));
                return {};
            }
            ++m_pos;
            skipSpace();
            if (!atEnd() && m_text[m_pos] == QLatin1Char(')')) { // trailing comma
                ++m_pos;
                return list;
            }
        }
    }

    QVariant parseQuoted()
    {
        const QChar quote = m_text[m_pos++];
        QString out;
        while (!atEnd()) {
            QChar c = m_text[m_pos++];
            if (c == quote)
                return out;
            if (c != QLatin1Char('\\')) {
                out += c;
                continue;
            }
            if (atEnd())
                break;
            c = m_text[m_pos++];
            switch (c.unicode()) {
            case 'n': out += QLatin1Char('\n'); break;
            case 't': out += QLatin1Char('\t'); break;
            case 'r': out += QLatin1Char('\r'); break;
            case 'a': out += QChar(7); break;
            case 'b': out += QChar(8); break;
            case 'f': out += QChar(12); break;
            case 'v': out += QChar(11); break;
            case 'U':
            case 'u': {
                int n = 0, value = 0;
                while (n < 4 && !atEnd() && isxdigit(m_text[m_pos].toLatin1())) {
                    value = value * 16 + QString(m_text[m_pos]).toInt(nullptr, 16);
                    ++m_pos;
                    ++n;
                }
                if (n == 0) {
                    fail(QStringLiteral("“\\U” needs hexadecimal digits"));
                    return {};
                }
                out += QChar(char16_t(value));
                break;
            }
            default:
                if (c >= QLatin1Char('0') && c <= QLatin1Char('7')) {
                    int value = c.unicode() - '0';
                    for (int n = 1; n < 3 && !atEnd() && m_text[m_pos] >= QLatin1Char('0') && m_text[m_pos] <= QLatin1Char('7'); ++n)
                        value = value * 8 + (m_text[m_pos++].unicode() - '0');
                    out += QChar(char16_t(value));
                } else {
                    out += c;
                }
            }
        }
        fail(QStringLiteral("a quoted string is not closed"));
        return {};
    }

    QVariant parseData()
    {
        const int start = m_pos++;
        QByteArray hex;
        while (!atEnd() && m_text[m_pos] != QLatin1Char('>')) {
            const QChar c = m_text[m_pos++];
            if (c.isSpace())
                continue;
            if (!isxdigit(c.toLatin1())) {
                fail(QStringLiteral("“%1” is not a hexadecimal digit in data").arg(c));
                return {};
            }
            hex += char(c.toLatin1());
        }
        if (atEnd()) {
            m_pos = start;
            fail(QStringLiteral("data is not closed with “>”"));
            return {};
        }
        ++m_pos;
        if (hex.size() % 2) {
            fail(QStringLiteral("data has an odd number of hexadecimal digits"));
            return {};
        }
        return QByteArray::fromHex(hex);
    }

    QString m_text;
    int m_pos = 0;
    QString m_problem;
};

QVariant parseAny(const QByteArray& data, QString* problem)
{
    qsizetype i = 0;
    if (data.startsWith("\xEF\xBB\xBF"))
        i = 3;
    while (i < data.size() && (data[i] == ' ' || data[i] == '\t' || data[i] == '\n' || data[i] == '\r'))
        ++i;
    if (data.startsWith("bplist")) {
        *problem = QStringLiteral("binary property lists are not supported");
        return {};
    }
    if (i < data.size() && data[i] == '<' && (i + 1 >= data.size() || data[i + 1] == '?' || data[i + 1] == '!' || isalpha(uchar(data[i + 1]))))
        return parseXml(data, problem);
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF"))
        return parseXml(data, problem); // UTF-16 XML with a byte-order mark
    if (data.contains('\0')) {
        *problem = QStringLiteral("the data is not text");
        return {};
    }
    const QString text = QString::fromUtf8(data.mid(data.startsWith("\xEF\xBB\xBF") ? 3 : 0));
    if (text.isEmpty() || text.trimmed().isEmpty()) {
        *problem = QStringLiteral("the data is empty");
        return {};
    }
    if (text.contains(QChar::ReplacementCharacter) && !data.contains("\xEF\xBF\xBD")) {
        *problem = QStringLiteral("the text is not UTF-8");
        return {};
    }
    AsciiParser parser(text);
    return parser.parseDocument(problem);
}

// ---- Writing ----

void appendEscaped(QByteArray& out, const QString& text)
{
    QString cleaned;
    cleaned.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const char16_t u = c.unicode();
        // Characters XML 1.0 cannot carry at all, and unpaired surrogates.
        if ((u < 0x20 && u != 0x09 && u != 0x0A && u != 0x0D) || u == 0xFFFE || u == 0xFFFF) {
            cleaned += QChar::ReplacementCharacter;
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            cleaned += c;
            cleaned += text[++i];
        } else if (c.isSurrogate()) {
            cleaned += QChar::ReplacementCharacter;
        } else {
            cleaned += c;
        }
    }
    QByteArray utf8 = cleaned.toUtf8();
    for (char ch : utf8) {
        switch (ch) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '\r': out += "&#13;"; break; // kept through line-end normalisation
        default: out += ch;
        }
    }
}

void writeValue(QByteArray& out, const QVariant& v, int indent);

void writeIndent(QByteArray& out, int indent) { out.append(QByteArray(indent, '\t')); }

void writeLeaf(QByteArray& out, const char* tag, const QString& text, int indent)
{
    writeIndent(out, indent);
    out += '<';
    out += tag;
    out += '>';
    appendEscaped(out, text);
    out += "</";
    out += tag;
    out += ">\n";
}

QString realText(double d)
{
    if (std::isnan(d))
        return QStringLiteral("nan");
    if (std::isinf(d))
        return d > 0 ? QStringLiteral("+infinity") : QStringLiteral("-infinity");
    return QString::number(d, 'g', 17);
}

QString colorText(const QColor& c)
{
    return QStringLiteral("#%1%2%3%4")
        .arg(c.red(), 2, 16, QLatin1Char('0'))
        .arg(c.green(), 2, 16, QLatin1Char('0'))
        .arg(c.blue(), 2, 16, QLatin1Char('0'))
        .arg(c.alpha(), 2, 16, QLatin1Char('0'));
}

void writeValue(QByteArray& out, const QVariant& v, int indent)
{
    switch (v.typeId()) {
    case QMetaType::QVariantMap:
    case QMetaType::QVariantHash: {
        QVariantMap map = v.toMap();
        if (map.isEmpty()) {
            writeIndent(out, indent);
            out += "<dict/>\n";
            return;
        }
        writeIndent(out, indent);
        out += "<dict>\n";
        for (auto it = map.constBegin(); it != map.constEnd(); ++it) {
            if (!it.value().isValid())
                continue;
            writeLeaf(out, "key", it.key(), indent + 1);
            writeValue(out, it.value(), indent + 1);
        }
        writeIndent(out, indent);
        out += "</dict>\n";
        return;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        const QVariantList list = v.toList();
        if (list.isEmpty()) {
            writeIndent(out, indent);
            out += "<array/>\n";
            return;
        }
        writeIndent(out, indent);
        out += "<array>\n";
        for (const QVariant& item : list)
            writeValue(out, item.isValid() ? item : QVariant(QString()), indent + 1);
        writeIndent(out, indent);
        out += "</array>\n";
        return;
    }
    case QMetaType::Bool:
        writeIndent(out, indent);
        out += v.toBool() ? "<true/>\n" : "<false/>\n";
        return;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::SChar:
        writeLeaf(out, "integer", QString::number(v.toLongLong()), indent);
        return;
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
        writeLeaf(out, "integer", QString::number(v.toULongLong()), indent);
        return;
    case QMetaType::Double:
    case QMetaType::Float:
        writeLeaf(out, "real", realText(v.toDouble()), indent);
        return;
    case QMetaType::QDateTime:
        writeLeaf(out, "date", v.toDateTime().toUTC().toString(Qt::ISODate), indent);
        return;
    case QMetaType::QDate:
        writeLeaf(out, "date", QDateTime(v.toDate(), QTime(0, 0), Qt::UTC).toString(Qt::ISODate), indent);
        return;
    case QMetaType::QByteArray: {
        writeIndent(out, indent);
        out += "<data>\n";
        const QByteArray b64 = v.toByteArray().toBase64();
        for (qsizetype i = 0; i < b64.size(); i += 68) {
            writeIndent(out, indent);
            out += b64.mid(i, 68);
            out += '\n';
        }
        writeIndent(out, indent);
        out += "</data>\n";
        return;
    }
    case QMetaType::QColor:
        writeLeaf(out, "string", colorText(v.value<QColor>()), indent);
        return;
    case QMetaType::QFont:
        writeLeaf(out, "string", v.value<QFont>().toString(), indent);
        return;
    case QMetaType::QUrl:
        writeLeaf(out, "string", v.toUrl().toString(), indent);
        return;
    default:
        writeLeaf(out, "string", v.canConvert<QString>() ? v.toString() : QString(), indent);
        return;
    }
}

Error readError(const QString& path, int code, const QString& reason)
{
    QVariantMap info;
    info[FilePathErrorKey] = path;
    const QString name = QFileInfo(path).fileName();
    if (code == FileReadCorruptFileError)
        info[LocalizedDescriptionKey] =
            QStringLiteral("The file “%1” couldn’t be opened because it isn’t in the correct format.").arg(name);
    info[LocalizedFailureReasonKey] = QStringLiteral("%1: %2").arg(path, reason);
    return Error(ErrorDomainCocoa, code, info);
}

} // namespace

QVariant propertyListFromData(const QByteArray& data, Error* error)
{
    QString problem;
    QVariant v = parseAny(data, &problem);
    if (!problem.isEmpty()) {
        setError(error, Error(ErrorDomainCocoa, 3840,
                              {{LocalizedDescriptionKey, QStringLiteral("The data couldn’t be read because it isn’t in the correct format.")},
                               {LocalizedFailureReasonKey, problem}}));
        return {};
    }
    return v;
}

QVariant readPropertyList(const QString& path, Error* error)
{
    QFile file(path);
    if (!file.exists()) {
        setError(error, readError(path, FileReadNoSuchFileError, QStringLiteral("no such file")));
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, readError(path, FileReadUnknownError, file.errorString()));
        return {};
    }
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        setError(error, readError(path, FileReadUnknownError, file.errorString()));
        return {};
    }
    QString problem;
    QVariant v = parseAny(data, &problem);
    if (!problem.isEmpty()) {
        setError(error, readError(path, FileReadCorruptFileError, problem));
        return {};
    }
    return v;
}

QByteArray propertyListData(const QVariant& value)
{
    QByteArray out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                     "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                     "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                     "<plist version=\"1.0\">\n";
    writeValue(out, value.isValid() ? value : QVariant(QVariantMap()), 0);
    out += "</plist>\n";
    return out;
}

bool writePropertyList(const QVariant& value, const QString& path, Error* error)
{
    const QByteArray data = propertyListData(value);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        QVariantMap info;
        info[FilePathErrorKey] = path;
        info[LocalizedFailureReasonKey] = QStringLiteral("%1: %2").arg(path, file.errorString());
        setError(error, Error(ErrorDomainCocoa, FileWriteUnknownError, info));
        return false;
    }
    return true;
}

} // namespace kit
