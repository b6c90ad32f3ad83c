#include "checker/KELSyntaxCheckTypeCSSCheck.h"

#include "css/KELSyntaxCheckTypeCSS.h"

KELSyntaxCheckTypeCSSCheck& KELSyntaxCheckTypeCSSCheck::sharedInstance()
{
    static KELSyntaxCheckTypeCSSCheck instance;
    return instance;
}

void KELSyntaxCheckTypeCSSCheck::checkForErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range, bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeResult* typeResult = result.typeResultForType(typeName());
    KELSyntaxCheckTypeCSS::sharedInstance().parseText(text, range, &errors, &typeResult->userInfo());
    typeResult->addErrors(errors);
}

namespace {

// The character a reference in an attribute value stands for; the references an
// author writes in a style attribute are the numeric ones and the five of XML.
std::optional<QString> referencedCharacter(QStringView name)
{
    if (name.startsWith(u'#')) {
        bool ok = false;
        const uint code = (name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X')) ? name.mid(2).toUInt(&ok, 16)
                                                                                            : name.mid(1).toUInt(&ok, 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return std::nullopt;
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    static const QHash<QString, QString> names {
        { QStringLiteral("amp"), QStringLiteral("&") }, { QStringLiteral("lt"), QStringLiteral("<") },
        { QStringLiteral("gt"), QStringLiteral(">") }, { QStringLiteral("quot"), QStringLiteral("\"") },
        { QStringLiteral("apos"), QStringLiteral("'") }, { QStringLiteral("nbsp"), QString(QChar(0xA0)) },
    };
    const auto it = names.constFind(name.toString());
    return it == names.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

} // namespace

KELStyleAttributeValue KELStyleAttributeValue::decode(const QString& text, kit::Range range)
{
    KELStyleAttributeValue value;
    const qsizetype end = std::min<qsizetype>(text.size(), range.location + range.length);
    value.text.reserve(range.length);
    value.sourceIndex.reserve(range.length + 1);
    for (qsizetype i = range.location; i < end;) {
        if (text.at(i) == u'&') {
            const qsizetype semicolon = text.indexOf(u';', i + 1);
            if (semicolon > i + 1 && semicolon < end && semicolon - i <= 12) {
                if (const std::optional<QString> character = referencedCharacter(QStringView(text).mid(i + 1, semicolon - i - 1))) {
                    for (QChar c : *character) {
                        value.text.append(c);
                        value.sourceIndex.append(i);
                    }
                    i = semicolon + 1;
                    continue;
                }
            }
        }
        value.text.append(text.at(i));
        value.sourceIndex.append(i);
        ++i;
    }
    value.sourceIndex.append(end);
    return value;
}

kit::Range KELStyleAttributeValue::sourceRange(kit::Range decoded) const
{
    if (decoded.location == kit::NotFound)
        return decoded;
    const auto at = [this](qsizetype index) { return sourceIndex.at(std::clamp<qsizetype>(index, 0, sourceIndex.size() - 1)); };
    const qsizetype start = at(decoded.location);
    // The end of the last character read, so a reference inside the range is covered whole.
    const qsizetype stop = decoded.length > 0 ? at(decoded.location + decoded.length) : start;
    return kit::Range(start, std::max<qsizetype>(0, stop - start));
}

void KELSyntaxCheckTypeCSSCheck::checkForStyleAttributeErrors(KELSyntaxCheckResult& result, const QString& text, kit::Range range,
    bool generatedSource)
{
    result.establishType(typeName(), generatedSource);
    KELSyntaxCheckErrors errors;
    KELSyntaxCheckTypeResult* typeResult = result.typeResultForType(typeName());
    // An attribute value is HTML text: the validator reads it with its character
    // references decoded, and the errors point back at the document's characters.
    if (QStringView(text).mid(range.location, range.length).contains(u'&')) {
        const KELStyleAttributeValue value = KELStyleAttributeValue::decode(text, range);
        KELSyntaxCheckTypeCSS::sharedInstance().checkForStyleAttributeErrors(value.text, kit::Range(0, value.text.size()), &errors,
            &typeResult->userInfo());
        for (KELSyntaxCheckError& error : errors)
            error.setTextRange(value.sourceRange(error.textRange()));
    } else {
        KELSyntaxCheckTypeCSS::sharedInstance().checkForStyleAttributeErrors(text, range, &errors, &typeResult->userInfo());
    }
    typeResult->addErrors(errors);
}
