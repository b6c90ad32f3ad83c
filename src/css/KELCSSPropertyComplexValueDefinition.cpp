#include "css/KELCSSPropertyComplexValueDefinition.h"

#include "kit/Log.h"
#include "kit/Resources.h"

#include <QFile>
#include <QMutex>
#include <QXmlStreamReader>

using namespace KELCSS;

// ---- alternatives ----

void KELCSSPropertyDisjunctiveValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    if (index >= values.size()) {
        errors.append(missingValueErrorForValues(values, declaration));
        return;
    }
    bool haveBest = false;
    qsizetype bestEnd = index;
    KELSyntaxCheckErrors bestErrors;
    kit::Range failedRange(kit::NotFound, 0);
    for (const KELCSSPropertyValueDefinition* alternative : m_components) {
        qsizetype end = index;
        KELSyntaxCheckErrors list = alternative->validateParsedValues(values, declaration, end);
        if (validErrorsArray(list) && (!haveBest || end > bestEnd)) {
            haveBest = true;
            bestEnd = end;
            bestErrors = list;
            if (end >= values.size())
                break;
            continue;
        }
        for (const KELSyntaxCheckError& e : list) {
            const kit::Range r = e.textRange();
            if (r.location == kit::NotFound)
                continue;
            failedRange = failedRange.location == kit::NotFound ? r : kit::Range::unionOf(failedRange, r);
        }
    }
    if (haveBest) {
        index = bestEnd;
        errors.append(bestErrors);
        return;
    }
    if (failedRange.location == kit::NotFound && declaration)
        failedRange = declaration->textRange();
    errors.append(invalidValueError(declaration, failedRange));
}

QString KELCSSPropertyDisjunctiveValueDefinition::genericErrorDescription() const
{
    QString text;
    bool first = true;
    for (const KELCSSPropertyValueDefinition* c : m_components) {
        if (!first) {
            if (!text.endsWith(QLatin1Char('\n')))
                text += QLatin1Char('\n');
            text += QStringLiteral("OR\n");
        }
        first = false;
        text += c->displayDescription();
    }
    return text;
}

QString KELCSSPropertyDisjunctiveValueDefinition::shortGenericErrorDescription() const
{
    QStringList parts;
    for (const KELCSSPropertyValueDefinition* c : m_components)
        parts.append(c->displayExpectedValuesDescription());
    return QStringLiteral("[") + parts.join(QStringLiteral(" | ")) + QStringLiteral("]");
}

// ---- sequence ----

void KELCSSPropertySequenceValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    const qsizetype start = index;
    std::unique_ptr<KELCSSPropertyDelimiterValueDefinition> delimiterDef;
    if (!m_delimiter.isNull())
        delimiterDef = std::make_unique<KELCSSPropertyDelimiterValueDefinition>(m_delimiter);
    bool consumedSinceDelimiter = false;
    bool emptyMatchSeen = false;
    for (qsizetype p = 0; p < m_components.size(); ++p) {
        if (delimiterDef && consumedSinceDelimiter) {
            qsizetype after = index;
            KELSyntaxCheckErrors list = delimiterDef->validateParsedValues(values, declaration, after);
            if (!validErrorsArray(list)) {
                if (p < m_optionalIndex)
                    errors.append(list);
                return;
            }
            index = after;
            errors.append(list);
            consumedSinceDelimiter = false;
        }
        qsizetype after = index;
        KELSyntaxCheckErrors list = m_components.at(p)->validateParsedValues(values, declaration, after);
        if (validErrorsArray(list)) {
            if (after == index)
                emptyMatchSeen = true;
            else
                consumedSinceDelimiter = true;
            index = after;
            errors.append(list);
            continue;
        }
        if (p >= m_optionalIndex)
            return;
        if (!emptyMatchSeen)
            errors.append(list);
        else
            errors.append(invalidValueError(declaration, rangeAtIndex(values, start, declaration)));
        return;
    }
}

QString KELCSSPropertySequenceValueDefinition::genericErrorDescription() const
{
    QString text = QStringLiteral("Expected the following in order%1:\n")
                       .arg(m_delimiter.isNull() ? QString() : QStringLiteral(", delimited by '%1'").arg(m_delimiter));
    for (qsizetype i = 0; i < m_components.size(); ++i)
        text += QStringLiteral("%1. %2%3\n").arg(QChar(u'A' + int(i % 26)), m_components.at(i)->displayDescription(),
            i >= m_optionalIndex ? QStringLiteral(" (Optional)") : QString());
    return text;
}

QString KELCSSPropertySequenceValueDefinition::shortGenericErrorDescription() const
{
    QString text = QStringLiteral("[");
    const qsizetype lastRequired = std::min(m_optionalIndex, m_components.size()) - 1;
    for (qsizetype i = 0; i < m_components.size(); ++i) {
        text += m_components.at(i)->displayExpectedValuesDescription();
        if (i >= m_optionalIndex)
            text += m_delimiter.isNull() ? QStringLiteral("? ") : QStringLiteral("'%1'? ").arg(m_delimiter);
        else if (i != lastRequired)
            text += m_delimiter.isNull() ? QStringLiteral(" ") : QStringLiteral("'%1' ").arg(m_delimiter);
    }
    return text + QStringLiteral("]");
}

// ---- combination ----

KELCSSPropertyCombinationValueDefinition::Match KELCSSPropertyCombinationValueDefinition::search(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, QList<qsizetype> remaining, qsizetype used, qsizetype index) const
{
    bool haveBest = false;
    Match best;
    for (qsizetype k = 0; k < remaining.size(); ++k) {
        const qsizetype component = remaining.at(k);
        qsizetype after = index;
        KELSyntaxCheckErrors own = m_components.at(component)->validateParsedValues(values, declaration, after);
        if (!validErrorsArray(own))
            continue;
        QList<qsizetype> rest = remaining;
        rest.removeAt(k);
        Match continuation = search(values, declaration, rest, used + 1, after);
        Match candidate { continuation.used, continuation.end, continuation.errors + own };
        bool take = !haveBest || candidate.used > best.used;
        if (!take && candidate.used == best.used) {
            if (continuation.errors.size() < best.errors.size())
                take = true;
            else if (candidate.end > best.end)
                take = true;
        }
        if (take) {
            best = std::move(candidate);
            haveBest = true;
        }
    }
    if (!haveBest)
        return Match { used, index, {} };
    return best;
}

void KELCSSPropertyCombinationValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    QList<qsizetype> all;
    for (qsizetype i = 0; i < m_components.size(); ++i)
        all.append(i);
    Match best = search(values, declaration, all, 0, index);
    index = best.end;
    errors.append(best.errors);
    const bool ok = m_allRequired ? best.used == m_components.size() : best.used > 0;
    if (ok)
        return;
    if (index >= values.size())
        errors.append(missingValueErrorForValues(values, declaration));
    else
        errors.append(invalidValueError(declaration, values.at(index)->textRange()));
}

QString KELCSSPropertyCombinationValueDefinition::genericErrorDescription() const
{
    QString text = m_allRequired ? QStringLiteral("Expected all of the following in any order:\n")
                                 : QStringLiteral("Expected one or more of the following in any order:\n");
    for (qsizetype i = 0; i < m_components.size(); ++i)
        text += QStringLiteral("%1. %2\n").arg(i + 1).arg(m_components.at(i)->displayDescription());
    return text + QLatin1Char('\n');
}

QString KELCSSPropertyCombinationValueDefinition::shortGenericErrorDescription() const
{
    QStringList parts;
    for (const KELCSSPropertyValueDefinition* c : m_components)
        parts.append(c->displayExpectedValuesDescription());
    return QStringLiteral("[") + parts.join(QStringLiteral(" || ")) + QStringLiteral("]");
}

// ---- repetition ----

KELCSSPropertyRepeatValueDefinition::KELCSSPropertyRepeatValueDefinition(const KELCSSPropertyValueDefinition* sequenced, QChar delimiter,
    quint64 minOccurs, quint64 maxOccurs)
    : m_sequenced(sequenced), m_min(minOccurs), m_max(maxOccurs)
{
    if (!delimiter.isNull())
        m_delimiterDef = std::make_unique<KELCSSPropertyDelimiterValueDefinition>(delimiter);
}

void KELCSSPropertyRepeatValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    quint64 count = 0;
    while ((m_max == 0 || count < m_max) && index < values.size()) {
        qsizetype after = index;
        if (count > 0 && m_delimiterDef) {
            KELSyntaxCheckErrors list = m_delimiterDef->validateParsedValues(values, declaration, after);
            if (!validErrorsArray(list))
                break;
        }
        KELSyntaxCheckErrors list = m_sequenced->validateParsedValues(values, declaration, after);
        if (!validErrorsArray(list))
            break;
        errors.append(list);
        const bool progressed = after > index;
        index = after;
        ++count;
        // A pass that consumed nothing would repeat forever.
        if (!progressed)
            break;
    }
    if (count < m_min)
        errors.append(invalidValueError(declaration, rangeAtIndex(values, index, declaration)));
}

QString KELCSSPropertyRepeatValueDefinition::genericErrorDescription() const
{
    QString count;
    if (m_max == 0)
        count = QStringLiteral("at least %1").arg(m_min);
    else if (m_min == m_max)
        count = QStringLiteral("exactly %1").arg(m_min);
    else if (m_min == 0 && m_max == 1)
        count = QStringLiteral("an optional");
    else
        count = QStringLiteral("between %1 and %2").arg(m_min).arg(m_max);
    const QString plural = m_max == 1 ? QString() : QStringLiteral("s");
    const QString separated = m_delimiterDef ? QStringLiteral(" separated by \"%1\" delimiters").arg(m_delimiterDef->delimiter()) : QString();
    return QStringLiteral("Expected %1 occurrence%2 of the following%3:\n%4").arg(count, plural, separated, m_sequenced->displayDescription());
}

QString KELCSSPropertyRepeatValueDefinition::shortGenericErrorDescription() const
{
    const QString s = m_sequenced->displayExpectedValuesDescription();
    if (m_max == 1)
        return m_min == 0 ? s + QLatin1Char('?') : s;
    if (!m_delimiterDef) {
        if (m_max == 0) {
            if (m_min == 0)
                return s + QLatin1Char('*');
            if (m_min == 1)
                return s + QLatin1Char('+');
            return QStringLiteral("%1{%2,inf}").arg(s).arg(m_min);
        }
        return QStringLiteral("%1{%2,%3}").arg(s).arg(m_min).arg(m_max);
    }
    const QChar c = m_delimiterDef->delimiter();
    if (m_max == 0) {
        if (m_min == 0)
            return QStringLiteral("[[%1 '%2']* %1]?").arg(s, QString(c));
        if (m_min == 1)
            return QStringLiteral("[%1 '%2']* %1").arg(s, QString(c));
        return QStringLiteral("[%1 '%2']{%3,inf} %1").arg(s, QString(c)).arg(m_min - 1);
    }
    if (m_min == 0)
        return QStringLiteral("[[%1 '%2']{%3,%4} %1]?").arg(s, QString(c)).arg(0).arg(m_max - 1);
    return QStringLiteral("[%1 '%2']{%3,%4} %1").arg(s, QString(c)).arg(m_min - 1).arg(m_max - 1);
}

// ---- proxy ----

void KELCSSPropertyValueDefinitionProxy::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    if (m_target)
        m_target->validateParsedValues(values, declaration, index, errors);
}

// ---- media feature ----

KELCSSPropertyMediaFeatureValueDefinition::KELCSSPropertyMediaFeatureValueDefinition(const QString& name, bool allowsMinMax,
    const KELCSSPropertyValueDefinition* value)
    : KELCSSPropertyComplexValueDefinition(QList<const KELCSSPropertyValueDefinition*>()), m_featureName(name), m_allowsMinMax(allowsMinMax)
{
    QStringList names { name };
    if (allowsMinMax)
        names << QStringLiteral("min-%1").arg(name) << QStringLiteral("max-%1").arg(name);
    auto* bare = own<KELCSSPropertyIdSetValueDefinition>(QStringList { name });
    auto* prefixed = own<KELCSSPropertyIdSetValueDefinition>(names);
    auto* colon = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u':'));
    auto* withValue = own<KELCSSPropertySequenceValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { prefixed, colon, value });
    auto* either = own<KELCSSPropertyDisjunctiveValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { bare, withValue });
    auto* open = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u'('));
    auto* close = own<KELCSSPropertyDelimiterValueDefinition>(QChar(u')'));
    m_grammar = own<KELCSSPropertySequenceValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { open, either, close });
}

void KELCSSPropertyMediaFeatureValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    m_grammar->validateParsedValues(values, declaration, index, errors);
}

// ---- colour ----

namespace {

QSet<QString> readColorNames()
{
    QSet<QString> names;
    // The application's colour table.
    const QString plist = kit::resourcePath(QStringLiteral("ColorNames.plist"));
    if (!plist.isEmpty()) {
        QFile file(plist);
        if (file.open(QIODevice::ReadOnly)) {
            QXmlStreamReader xml(&file);
            int depth = 0;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isStartElement()) {
                    ++depth;
                    if (xml.name() == QLatin1String("key") && depth == 3)
                        names.insert(xml.readElementText().trimmed().toLower()), --depth;
                } else if (xml.isEndElement()) {
                    --depth;
                }
            }
        }
    }
    // The CSS colour keywords, so a short colour table never rejects a standard name.
    const QString keywords = kit::resourcePath(QStringLiteral("CSS/ColorKeywords.txt"));
    QFile file(keywords);
    if (!keywords.isEmpty() && file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QString word = QString::fromUtf8(line).trimmed().toLower();
            if (!word.isEmpty() && !word.startsWith(QLatin1Char('#')))
                names.insert(word);
        }
    } else {
        kit::log(QStringLiteral("CSS colour keywords could not be read: %1").arg(QStringLiteral("CSS/ColorKeywords.txt")));
    }
    return names;
}

} // namespace

const QSet<QString>& KELCSSPropertyColorValueDefinition::colorNames()
{
    static const QSet<QString> names = readColorNames();
    return names;
}

KELCSSPropertyColorValueDefinition::KELCSSPropertyColorValueDefinition()
    : KELCSSPropertyDisjunctiveValueDefinition(QList<const KELCSSPropertyValueDefinition*>())
{
    auto make = [this](auto p) {
        auto* raw = p.get();
        m_parts.push_back(std::move(p));
        return raw;
    };
    using Defs = QList<const KELCSSPropertyValueDefinition*>;
    auto* special = make(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList { "transparent", "currentcolor" }));
    const QSet<QString>& names = colorNames();
    auto* named = make(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(names.begin(), names.end())));
    auto* hash = make(std::make_unique<KELCSSPropertyHashColorValueDefinition>());

    auto* channel = make(std::make_unique<KELCSSPropertyIntegerValueDefinition>());
    channel->setMinValue(0), channel->setMaxValue(255), channel->setWarningForOutOfRange(true);
    auto* percent = make(std::make_unique<KELCSSPropertyPercentageValueDefinition>());
    percent->setMinValue(0), percent->setMaxValue(100), percent->setWarningForOutOfRange(true);
    auto* alpha = make(std::make_unique<KELCSSPropertyNumberValueDefinition>());
    alpha->setMinValue(0), alpha->setMaxValue(1), alpha->setWarningForOutOfRange(true);
    auto* hue = make(std::make_unique<KELCSSPropertyNumberValueDefinition>());
    hue->setMinValue(0), hue->setMaxValue(360), hue->setWarningForOutOfRange(true);

    auto* rgbIntegers = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { channel, channel, channel }, QChar(u',')));
    auto* rgbPercents = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { percent, percent, percent }, QChar(u',')));
    auto* rgbArgs = make(std::make_unique<KELCSSPropertyDisjunctiveValueDefinition>(Defs { rgbIntegers, rgbPercents }));
    auto* rgb = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("rgb"), rgbArgs));
    auto* rgbaArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { rgbArgs, alpha }, QChar(u',')));
    auto* rgba = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("rgba"), rgbaArgs));
    auto* hslArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { hue, percent, percent }, QChar(u',')));
    auto* hsl = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("hsl"), hslArgs));
    auto* hslaArgs = make(std::make_unique<KELCSSPropertySequenceValueDefinition>(Defs { hue, percent, percent, alpha }, QChar(u',')));
    auto* hsla = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("hsla"), hslaArgs));
    auto* cmykArgs = make(std::make_unique<KELCSSPropertyRepeatValueDefinition>(alpha, QChar(u','), 4, 4));
    auto* cmyk = make(std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("cmyk"), cmykArgs));
    m_components = Defs { special, named, hash, rgb, rgba, hsl, hsla, cmyk };
}

// ---- page float ----

KELCSSPropertyPageFloatValueDefinition::KELCSSPropertyPageFloatValueDefinition()
    : KELCSSPropertyCombinationValueDefinition(QList<const KELCSSPropertyValueDefinition*>())
{
    m_horizontal = { "left", "right", "inside", "outside" };
    m_vertical = { "top", "bottom" };
    const QStringList other { "page", "multicol", "next", "unless-room", "none", "hide", "footnote" };
    auto add = [this](std::unique_ptr<KELCSSPropertyValueDefinition> p) {
        m_components.append(p.get());
        m_parts.push_back(std::move(p));
    };
    add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(m_horizontal.begin(), m_horizontal.end())));
    add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList(m_vertical.begin(), m_vertical.end())));
    for (const QString& word : other)
        add(std::make_unique<KELCSSPropertyIdSetValueDefinition>(QStringList { word }));
    auto identifier = std::make_unique<KELCSSPropertyIdentifierValueDefinition>();
    auto page = std::make_unique<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("page"), identifier.get());
    m_parts.push_back(std::move(identifier));
    add(std::move(page));
}

void KELCSSPropertyPageFloatValueDefinition::validateParsedValues(const KELParsedCSSValues& values,
    const KELParsedCSSObject* declaration, qsizetype& index, KELSyntaxCheckErrors& errors) const
{
    const qsizetype start = index;
    KELSyntaxCheckErrors list;
    KELCSSPropertyCombinationValueDefinition::validateParsedValues(values, declaration, index, list);
    errors.append(list);
    if (!validErrorsArray(list))
        return;
    bool exclusive = false, placed = false;
    for (qsizetype i = start; i < index && i < values.size(); ++i) {
        const KELParsedCSSValue* v = values.at(i);
        QString word = v->name().toLower();
        if (v->type() == KELParsedCSSValue::Function && word == QLatin1String("page"))
            word = QStringLiteral("page()");
        if (word == QLatin1String("none") || word == QLatin1String("hide") || word == QLatin1String("footnote") || word == QLatin1String("page()"))
            exclusive = true;
        if (m_horizontal.contains(word) || m_vertical.contains(word))
            placed = true;
    }
    const kit::Range range = declaration ? declaration->textRange() : joinedTextRange(values);
    if (exclusive && placed)
        errors.append(makeError(QStringLiteral("Invalid Page Float"),
            QStringLiteral("Keywords \"none\", \"hide\", \"footnote\", and the page() expression cannot appear with a horizontal or vertical keyword."), range));
    else if (!exclusive && !placed)
        errors.append(makeError(QStringLiteral("Invalid Page Float"),
            QStringLiteral("One of the following  must appear in a page float: \"left\", \"right\", \"inside\", \"outside\", \"top\", \"bottom\", \"none\", \"hide\", \"footnote\", or the page() expression."),
            range));
}
