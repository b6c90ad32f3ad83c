#include "html/TagTableReader.h"

#include "html/Tag.h"
#include "html/TagChecker.h"
#include "kit/Log.h"

#include <QFile>
#include <QSet>
#include <algorithm>

namespace {

// A table is a few dozen kilobytes; anything far larger is not one of ours.
constexpr qint64 kMaxTableSize = 4 * 1024 * 1024;
constexpr int kMaxErrorsPerFile = 50;

const QSet<qint64> kTableTypes = { 1, 2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 14, 15, 16, 100, 101 };

QString unquoted(const QString& text)
{
    const QString t = text.trimmed();
    if (t.size() >= 2 && t.front() == QLatin1Char('"') && t.back() == QLatin1Char('"'))
        return t.mid(1, t.size() - 2);
    return t;
}

qsizetype indexOfName(const QList<TagAttribute>& attributes, const QString& name)
{
    for (qsizetype i = 0; i < attributes.size(); ++i) {
        if (attributes[i].name().compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

TagTableReader::TagTableReader(TagChecker& checker)
    : m_checker(checker)
{
}

void TagTableReader::error(const QString& message)
{
    const QString line = m_lineNumber > 0 ? QStringLiteral("%1:%2: %3").arg(m_path).arg(m_lineNumber).arg(message)
                                          : QStringLiteral("%1: %2").arg(m_path, message);
    m_checker.m_loadErrors.append(line);
    kit::log(QStringLiteral("HTML tag table: ") + line);
}

void TagTableReader::readFile(const QString& path)
{
    m_path = path;
    m_lineNumber = 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error(QStringLiteral("cannot be read (%1)").arg(file.errorString()));
        return;
    }
    if (file.size() > kMaxTableSize) {
        error(QStringLiteral("is too large to be a tag table (%1 bytes)").arg(file.size()));
        return;
    }
    const QByteArray data = file.readAll();
    if (data.contains('\0')) {
        error(QStringLiteral("is not a text file"));
        return;
    }
    const qsizetype errorsBefore = m_checker.m_loadErrors.size();
    const QStringList lines = QString::fromUtf8(data).split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        ++m_lineNumber;
        readLine(line);
        if (m_checker.m_loadErrors.size() - errorsBefore >= kMaxErrorsPerFile) {
            error(QStringLiteral("too many errors; the rest of the file is skipped"));
            return;
        }
    }
}

void TagTableReader::readLine(const QString& rawLine)
{
    const QString line = rawLine.trimmed();
    if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
        return;
    if (line.startsWith(QLatin1String("element "))) {
        readElement(line.mid(8), false);
        return;
    }
    if (line.startsWith(QLatin1String("extend "))) {
        readElement(line.mid(7), true);
        return;
    }
    const qsizetype colon = line.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        error(QStringLiteral("a directive must be followed by \":\""));
        return;
    }
    const QString directive = line.left(colon).simplified();
    const QString rest = line.mid(colon + 1);
    if (directive == QLatin1String("tagNames"))
        readList(m_checker.m_tagNames, rest, true);
    else if (directive == QLatin1String("nonStructuralTags"))
        readList(m_checker.m_nonStructuralTags, rest, true);
    else if (directive == QLatin1String("singleTags"))
        readList(m_checker.m_singleTags, rest, true);
    else if (directive == QLatin1String("global"))
        addGlobals(rest, false);
    else if (directive == QLatin1String("extend-global"))
        addGlobals(rest, true);
    else if (directive.startsWith(QLatin1String("set "))) {
        const QString name = directive.mid(4).trimmed();
        QList<TagAttribute> attributes;
        if (m_sets.contains(name))
            error(QStringLiteral("the attribute set \"%1\" is defined twice").arg(name));
        else if (parseAttributes(rest, attributes))
            m_sets.insert(name, attributes);
    } else if (directive.startsWith(QLatin1String("impliedEnd "))) {
        QStringList names;
        QStringList closers;
        if (parseNames(directive.mid(11), names, false) && parseNames(rest, closers, true)) {
            for (const QString& name : std::as_const(names)) {
                QSet<QString>& set = m_checker.m_impliedEnds[name];
                for (const QString& closer : std::as_const(closers))
                    set.insert(closer);
            }
        }
    } else if (directive == QLatin1String("elements") || directive.startsWith(QLatin1String("elements ")))
        readElements(directive.mid(8), rest);
    else
        error(QStringLiteral("unknown directive \"%1\"").arg(directive));
}

bool TagTableReader::parseNames(const QString& text, QStringList& out, bool allowEmptyList)
{
    out.clear();
    if (text.trimmed().isEmpty()) {
        if (!allowEmptyList)
            error(QStringLiteral("a list of names is empty"));
        return allowEmptyList;
    }
    const QStringList items = text.split(QLatin1Char(','));
    for (const QString& item : items) {
        const QString trimmed = item.trimmed();
        if (trimmed.isEmpty()) {
            error(QStringLiteral("a list holds an empty item (write \"\" for the empty value)"));
            return false;
        }
        out.append(unquoted(trimmed));
    }
    return true;
}

void TagTableReader::readList(QStringList& list, const QString& text, bool unique)
{
    QStringList names;
    if (!parseNames(text, names, false))
        return;
    for (const QString& name : names) {
        if (unique && list.contains(name))
            error(QStringLiteral("\"%1\" is listed twice").arg(name));
        else
            list.append(name);
    }
}

bool TagTableReader::parseAttributes(const QString& text, QList<TagAttribute>& out)
{
    out.clear();
    if (text.trimmed().isEmpty())
        return true;
    // Groups are separated by a slash with blanks around it; values such as
    // "text/plain" hold a slash without blanks.
    const QStringList groups = text.split(QStringLiteral(" / "));
    for (const QString& group : groups) {
        const qsizetype colon = group.indexOf(QLatin1Char(':'));
        bool isNumber = false;
        const qint64 type = colon < 0 ? 0 : group.left(colon).trimmed().toLongLong(&isNumber);
        if (colon < 0 || !isNumber) {
            error(QStringLiteral("attributes must be grouped as \"CODE: name, ...\": \"%1\"").arg(group.trimmed()));
            return false;
        }
        if (!kTableTypes.contains(type)) {
            error(QStringLiteral("unknown attribute type %1").arg(type));
            return false;
        }
        const QString rest = group.mid(colon + 1);
        if (type == TagAttribute::Custom || type == TagAttribute::CustomCombination) {
            const QStringList entries = rest.split(QLatin1Char(';'));
            for (const QString& entry : entries) {
                const qsizetype equals = entry.indexOf(QLatin1Char('='));
                const QString name = equals < 0 ? QString() : unquoted(entry.left(equals));
                QStringList values;
                if (name.isEmpty()) {
                    error(QStringLiteral("a type-%1 attribute must be written \"name = value, ...\": \"%2\"")
                              .arg(type)
                              .arg(entry.trimmed()));
                    return false;
                }
                if (!parseNames(entry.mid(equals + 1), values, false))
                    return false;
                out.append(type == TagAttribute::Custom ? TagAttribute::custom(name, values)
                                                        : TagAttribute::customCombination(name, values));
            }
        } else {
            QStringList names;
            if (!parseNames(rest, names, false))
                return false;
            for (const QString& name : names)
                out.append(TagAttribute(name, type));
        }
    }
    return true;
}

bool TagTableReader::addSets(const QString& sets, QList<TagAttribute>& out)
{
    QStringList names;
    if (!parseNames(sets, names, true))
        return false;
    for (const QString& name : names) {
        const auto it = m_sets.constFind(name);
        if (it == m_sets.constEnd()) {
            error(QStringLiteral("unknown attribute set \"%1\"").arg(name));
            return false;
        }
        out += *it;
    }
    return true;
}

void TagTableReader::addToTag(Tag& tag, const QString& element, const QList<TagAttribute>& attributes, bool replace)
{
    for (const TagAttribute& attribute : attributes) {
        const qsizetype existing = indexOfName(tag.m_attributes, attribute.name());
        if (existing >= 0) {
            if (!replace) {
                error(QStringLiteral("the attribute \"%1\" is given twice for <%2>").arg(attribute.name(), element));
                continue;
            }
            tag.m_attributes.removeAt(existing);
        }
        tag.addAttribute(attribute);
    }
}

void TagTableReader::readElement(const QString& text, bool extend)
{
    const QStringList cells = text.split(QLatin1Char('|'));
    if (cells.size() != 4) {
        error(QStringLiteral("an element line has four columns: NAMES | SETS | INSIDE | ATTRIBUTES"));
        return;
    }
    QStringList names;
    QStringList inside;
    QList<TagAttribute> attributes;
    if (!parseNames(cells[0], names, false) || !parseNames(cells[2], inside, true) || !addSets(cells[1], attributes))
        return;
    QList<TagAttribute> own;
    if (!parseAttributes(cells[3], own))
        return;
    attributes += own;

    if (extend) {
        QList<Tag*> done;
        for (const QString& name : names) {
            const auto it = m_checker.m_tags.constFind(name);
            if (it == m_checker.m_tags.constEnd()) {
                error(QStringLiteral("<%1> cannot be extended: it is not defined").arg(name));
                continue;
            }
            Tag* tag = it->get();
            if (done.contains(tag))
                continue;
            done.append(tag);
            for (const QString& parent : inside) {
                if (!tag->m_containedBy.contains(parent))
                    tag->m_containedBy.append(parent);
            }
            addToTag(*tag, name, attributes, true);
        }
        return;
    }

    for (const QString& name : names) {
        if (m_checker.m_tags.contains(name)) {
            error(QStringLiteral("<%1> is defined twice").arg(name));
            return;
        }
    }
    auto tag = std::make_shared<Tag>();
    tag->m_containedBy = inside;
    addToTag(*tag, names.first(), attributes, false);
    for (const QString& name : names)
        m_checker.m_tags.insert(name, tag);
}

void TagTableReader::readElements(const QString& sets, const QString& names)
{
    QStringList elementNames;
    QList<TagAttribute> attributes;
    if (!parseNames(names, elementNames, false) || !addSets(sets, attributes))
        return;
    for (const QString& name : elementNames) {
        if (m_checker.m_tags.contains(name)) {
            error(QStringLiteral("<%1> is defined twice").arg(name));
            continue;
        }
        auto tag = std::make_shared<Tag>();
        addToTag(*tag, name, attributes, false);
        m_checker.m_tags.insert(name, tag);
    }
}

void TagTableReader::addGlobals(const QString& text, bool replace)
{
    QList<TagAttribute> attributes;
    if (!parseAttributes(text, attributes))
        return;
    for (const TagAttribute& attribute : attributes) {
        const qsizetype existing = indexOfName(m_globals, attribute.name());
        if (existing < 0)
            m_globals.append(attribute);
        else if (replace)
            m_globals[existing] = attribute;
        else
            error(QStringLiteral("the global attribute \"%1\" is given twice").arg(attribute.name()));
    }
}

void TagTableReader::finish()
{
    m_lineNumber = 0;
    m_path = QStringLiteral("HTML tag tables");

    // Each distinct definition receives the global attributes once; an element's
    // own attribute of the same name stays.
    QSet<Tag*> done;
    for (const auto& tag : std::as_const(m_checker.m_tags)) {
        if (done.contains(tag.get()))
            continue;
        done.insert(tag.get());
        for (const TagAttribute& global : std::as_const(m_globals)) {
            if (indexOfName(tag->m_attributes, global.name()) < 0)
                tag->addAttribute(global);
        }
    }

    QStringList names;
    for (const QString& name : std::as_const(m_checker.m_tagNames)) {
        if (m_checker.m_tags.contains(name))
            names.append(name);
        else
            error(QStringLiteral("<%1> is listed but not defined").arg(name));
    }
    for (auto it = m_checker.m_tags.cbegin(); it != m_checker.m_tags.cend(); ++it) {
        if (!names.contains(it.key()))
            error(QStringLiteral("<%1> is defined but not listed in tagNames").arg(it.key()));
    }
    for (auto it = m_checker.m_impliedEnds.cbegin(); it != m_checker.m_impliedEnds.cend(); ++it) {
        if (!m_checker.m_tags.contains(it.key()))
            error(QStringLiteral("<%1> has an implied end but is not defined").arg(it.key()));
        for (const QString& closer : it.value())
            if (!m_checker.m_tags.contains(closer))
                error(QStringLiteral("<%1> is said to end <%2> but is not defined").arg(closer, it.key()));
    }
    std::sort(names.begin(), names.end());
    m_checker.m_tagNames = names;
}
