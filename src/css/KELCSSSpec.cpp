#include "css/KELCSSSpec.h"

#include "css/KELCSSPropertyDisjunctiveValueDefinition.h"
#include "css/KELCSSPropertySequenceValueDefinition.h"
#include "css/KELCSSPropertyCombinationValueDefinition.h"
#include "css/KELCSSPropertyRepeatValueDefinition.h"
#include "css/KELCSSPropertyOptionalValueDefinition.h"
#include "css/KELCSSPropertyValueDefinitionProxy.h"
#include "css/KELCSSPropertyMediaFeatureValueDefinition.h"
#include "css/KELCSSPropertyColorValueDefinition.h"
#include "css/KELCSSPropertyPageFloatValueDefinition.h"
#include "kit/Log.h"
#include "kit/Resources.h"
#include "css/KELCSSAtRuleDefinition.h"
#include "css/KELCSSDeclarationBlockDefinition.h"
#include "css/KELCSSDocumentDefinition.h"
#include "css/KELCSSPropertyAngleValueDefinition.h"
#include "css/KELCSSPropertyBlockValueDefinition.h"
#include "css/KELCSSPropertyDefinition.h"
#include "css/KELCSSPropertyDelimiterValueDefinition.h"
#include "css/KELCSSPropertyDimensionValueDefinition.h"
#include "css/KELCSSPropertyFrequencyValueDefinition.h"
#include "css/KELCSSPropertyFunctionValueDefinition.h"
#include "css/KELCSSPropertyHashColorValueDefinition.h"
#include "css/KELCSSPropertyHashValueDefinition.h"
#include "css/KELCSSPropertyIdSetValueDefinition.h"
#include "css/KELCSSPropertyIdentifierValueDefinition.h"
#include "css/KELCSSPropertyIntegerValueDefinition.h"
#include "css/KELCSSPropertyLengthValueDefinition.h"
#include "css/KELCSSPropertyLetterValueDefinition.h"
#include "css/KELCSSPropertyNumberValueDefinition.h"
#include "css/KELCSSPropertyPercentageValueDefinition.h"
#include "css/KELCSSPropertyResolutionValueDefinition.h"
#include "css/KELCSSPropertySemitonesValueDefinition.h"
#include "css/KELCSSPropertySimpleValueDefinition.h"
#include "css/KELCSSPropertyStringValueDefinition.h"
#include "css/KELCSSPropertyTimeValueDefinition.h"
#include "css/KELCSSPropertyURIValueDefinition.h"
#include "css/KELCSSPropertyURLTokenValueDefinition.h"
#include "css/KELCSSPropertyUnicodeRangeValueDefinition.h"
#include "css/KELCSSPropertyValueDefinition.h"
#include "css/KELCSSPseudoClassDefinition.h"
#include "css/KELCSSPseudoElementDefinition.h"

#include <QSet>
#include <QFile>
#include <QRegularExpression>

// ---------------------------------------------------------------------------
// The grammar notation:
//   word            keyword (a bracketed run of keywords is one keyword set)
//   'c'             delimiter token
//   <name ...>      terminal with settings (≥m, m..n, except w, of 1 character),
//                   shared node, or <'p'> the grammar of property p
//   a b             sequence ("a [ b [ c ]? ]?" has an optional tail)
//   a && b, a || b  all / one or more, in any order
//   a | b           alternatives
//   x? x* x+ x{m,n} repetitions; "sep 'c'" names a repetition's delimiter
//   name( g )       function whose arguments match g
// ---------------------------------------------------------------------------

namespace {

struct Ast {
    enum Kind { Keyword, Delim, Terminal, Function, Seq, Alt, OrOr, AndAnd, Repeat, Group } kind;
    QString text;
    QChar delim;
    std::vector<std::unique_ptr<Ast>> kids;
    quint64 min = 1, max = 1;
    QChar sep;
    bool optionalMark = false;

    explicit Ast(Kind k) : kind(k) {}
    const Ast* unwrapped() const { return kind == Group && kids.size() == 1 ? kids.front()->unwrapped() : this; }
    bool canMatchEmpty() const
    {
        if (kind == Repeat)
            return min == 0 || kids.front()->canMatchEmpty();
        if (kind == Group)
            return kids.front()->canMatchEmpty();
        return false;
    }
};

struct Token {
    enum Kind { End, Word, FunctionOpen, Close, Open, CloseBracket, Bar, OrOr, AndAnd, Suffix, Quoted, Angle, Sep } kind = End;
    QString text;
    quint64 min = 0, max = 0;
    QChar c;
};

class NotationParser {
public:
    explicit NotationParser(const QString& text) : m_text(text) { advance(); }

    std::unique_ptr<Ast> parse(QString* error)
    {
        auto result = parseAlt();
        if (m_error.isEmpty() && m_token.kind != Token::End)
            fail(QStringLiteral("unexpected \"%1\"").arg(m_token.text));
        if (!m_error.isEmpty()) {
            if (error)
                *error = m_error;
            return nullptr;
        }
        return result;
    }

private:
    void fail(const QString& message)
    {
        if (m_error.isEmpty())
            m_error = message + QStringLiteral(" at column %1").arg(m_pos);
    }

    static bool isWordChar(QChar c) { return c.isLetterOrNumber() || c == u'-' || c == u'_'; }

    void advance()
    {
        const qsizetype n = m_text.size();
        while (m_pos < n && m_text.at(m_pos).isSpace())
            ++m_pos;
        m_token = Token();
        if (m_pos >= n)
            return;
        const QChar c = m_text.at(m_pos);
        auto two = [&](const char* s) { return m_text.mid(m_pos, 2) == QLatin1String(s); };
        if (c == u'[') {
            m_token.kind = Token::Open, m_token.text = c, ++m_pos;
        } else if (c == u']') {
            m_token.kind = Token::CloseBracket, m_token.text = c, ++m_pos;
        } else if (c == u')') {
            m_token.kind = Token::Close, m_token.text = c, ++m_pos;
        } else if (two("||")) {
            m_token.kind = Token::OrOr, m_token.text = QStringLiteral("||"), m_pos += 2;
        } else if (c == u'|') {
            m_token.kind = Token::Bar, m_token.text = c, ++m_pos;
        } else if (two("&&")) {
            m_token.kind = Token::AndAnd, m_token.text = QStringLiteral("&&"), m_pos += 2;
        } else if (c == u'?' || c == u'*' || c == u'+') {
            m_token.kind = Token::Suffix, m_token.text = c, ++m_pos;
            m_token.min = c == u'+' ? 1 : 0;
            m_token.max = c == u'?' ? 1 : 0;
        } else if (c == u'{') {
            const qsizetype close = m_text.indexOf(u'}', m_pos);
            const QString inner = close < 0 ? QString() : m_text.mid(m_pos + 1, close - m_pos - 1);
            static const QRegularExpression re(QStringLiteral("^(\\d+)(,(\\d*))?$"));
            const auto m = re.match(inner);
            if (!m.hasMatch()) {
                fail(QStringLiteral("bad repetition"));
                m_pos = n;
                return;
            }
            m_token.kind = Token::Suffix, m_token.text = QStringLiteral("{") + inner + QStringLiteral("}");
            m_token.min = m.captured(1).toULongLong();
            m_token.max = m.captured(2).isEmpty() ? m_token.min : m.captured(3).toULongLong(); // {m,} = no upper bound (0)
            m_pos = close + 1;
        } else if (c == u'\'') {
            if (m_pos + 2 < n && m_text.at(m_pos + 2) == u'\'') {
                m_token.kind = Token::Quoted, m_token.c = m_text.at(m_pos + 1), m_token.text = m_text.mid(m_pos, 3), m_pos += 3;
            } else {
                fail(QStringLiteral("bad delimiter"));
                m_pos = n;
            }
        } else if (c == u'<') {
            const qsizetype close = m_text.indexOf(u'>', m_pos);
            if (close < 0) {
                fail(QStringLiteral("unclosed <"));
                m_pos = n;
                return;
            }
            m_token.kind = Token::Angle, m_token.text = m_text.mid(m_pos + 1, close - m_pos - 1).trimmed(), m_pos = close + 1;
        } else if (isWordChar(c)) {
            qsizetype end = m_pos;
            while (end < n && isWordChar(m_text.at(end)))
                ++end;
            m_token.text = m_text.mid(m_pos, end - m_pos);
            m_pos = end;
            if (m_pos < n && m_text.at(m_pos) == u'(') {
                m_token.kind = Token::FunctionOpen;
                ++m_pos;
            } else if (m_token.text == QLatin1String("sep")) {
                advance();
                if (m_token.kind != Token::Quoted) {
                    fail(QStringLiteral("sep without a delimiter"));
                    return;
                }
                m_token.kind = Token::Sep;
            } else {
                m_token.kind = Token::Word;
            }
        } else {
            fail(QStringLiteral("unexpected character \"%1\"").arg(c));
            m_pos = n;
        }
    }

    std::unique_ptr<Ast> parseAlt()
    {
        auto first = parseOrOr();
        if (m_token.kind != Token::Bar)
            return first;
        auto node = std::make_unique<Ast>(Ast::Alt);
        node->kids.push_back(std::move(first));
        while (m_token.kind == Token::Bar && m_error.isEmpty()) {
            advance();
            node->kids.push_back(parseOrOr());
        }
        return node;
    }

    std::unique_ptr<Ast> parseOrOr()
    {
        auto first = parseAndAnd();
        if (m_token.kind != Token::OrOr)
            return first;
        auto node = std::make_unique<Ast>(Ast::OrOr);
        node->kids.push_back(std::move(first));
        while (m_token.kind == Token::OrOr && m_error.isEmpty()) {
            advance();
            node->kids.push_back(parseAndAnd());
        }
        return node;
    }

    std::unique_ptr<Ast> parseAndAnd()
    {
        auto first = parseSeq();
        if (m_token.kind != Token::AndAnd)
            return first;
        auto node = std::make_unique<Ast>(Ast::AndAnd);
        node->kids.push_back(std::move(first));
        while (m_token.kind == Token::AndAnd && m_error.isEmpty()) {
            advance();
            node->kids.push_back(parseSeq());
        }
        return node;
    }

    bool startsItem() const
    {
        switch (m_token.kind) {
        case Token::Word: case Token::FunctionOpen: case Token::Open: case Token::Quoted: case Token::Angle: return true;
        default: return false;
        }
    }

    std::unique_ptr<Ast> parseSeq()
    {
        auto node = std::make_unique<Ast>(Ast::Seq);
        while (startsItem() && m_error.isEmpty())
            node->kids.push_back(parseItem());
        if (node->kids.empty()) {
            fail(QStringLiteral("expected a value"));
            return node;
        }
        if (node->kids.size() == 1)
            return std::move(node->kids.front());
        return node;
    }

    std::unique_ptr<Ast> parseItem()
    {
        std::unique_ptr<Ast> item;
        switch (m_token.kind) {
        case Token::Word:
            item = std::make_unique<Ast>(Ast::Keyword);
            item->text = m_token.text.toLower();
            advance();
            break;
        case Token::Quoted:
            item = std::make_unique<Ast>(Ast::Delim);
            item->delim = m_token.c;
            advance();
            break;
        case Token::Angle:
            item = std::make_unique<Ast>(Ast::Terminal);
            item->text = m_token.text;
            advance();
            break;
        case Token::FunctionOpen:
            item = std::make_unique<Ast>(Ast::Function);
            item->text = m_token.text;
            advance();
            if (m_token.kind != Token::Close)
                item->kids.push_back(parseAlt());
            if (m_token.kind != Token::Close)
                fail(QStringLiteral("expected )"));
            else
                advance();
            break;
        case Token::Open:
            advance();
            item = std::make_unique<Ast>(Ast::Group);
            item->kids.push_back(parseAlt());
            if (m_token.kind != Token::CloseBracket)
                fail(QStringLiteral("expected ]"));
            else
                advance();
            break;
        default:
            fail(QStringLiteral("expected a value"));
            return std::make_unique<Ast>(Ast::Keyword);
        }
        while (m_token.kind == Token::Suffix && m_error.isEmpty()) {
            auto repeat = std::make_unique<Ast>(Ast::Repeat);
            repeat->min = m_token.min;
            repeat->max = m_token.max;
            repeat->optionalMark = m_token.text == QLatin1String("?");
            repeat->kids.push_back(std::move(item));
            item = std::move(repeat);
            advance();
        }
        if (m_token.kind == Token::Sep) {
            if (item->kind != Ast::Repeat)
                fail(QStringLiteral("sep after something that does not repeat"));
            else
                item->sep = m_token.c;
            advance();
        }
        return item;
    }

    QString m_text;
    qsizetype m_pos = 0;
    Token m_token;
    QString m_error;
};

} // namespace

// ---------------------------------------------------------------------------

class KELCSSGrammarBuilder {
public:
    using Def = KELCSSPropertyValueDefinition;

    explicit KELCSSGrammarBuilder(KELCSSSpec& grammar) : m_spec(grammar) {}

    struct Named {
        QString grammar;
        int line = 0;
        Def* node = nullptr;
        const Def* resolved = nullptr;
        bool building = false;
        KELCSSPropertyValueDefinitionProxy* proxy = nullptr;
        QString text;
    };
    struct Row {
        QStringList names;
        QString grammar;
        int line = 0;
        bool added = false;
        Def* root = nullptr;
        bool building = false;
        KELCSSPropertyValueDefinitionProxy* proxy = nullptr;
        QString text;
    };
    struct Extension {
        QString grammar;
        int line = 0;
    };

    QHash<QString, Named> shared; // "image", "'border'"
    QHash<QString, Extension> nodeExtensions;
    QList<Row> rows;
    QHash<QString, int> rowOfName;
    QHash<QString, const Def*> propertyResolved;
    QHash<QString, KELCSSPropertyValueDefinitionProxy*> propertyProxies;
    QSet<QString> propertyBuilding;
    QHash<QString, Extension> propertyExtensions;
    // Descriptor tables of at-rules ("font-face", "property" ...), in the order first named.
    QStringList descriptorTables;
    QHash<QString, QList<Row>> descriptors;
    QHash<QString, Extension> descriptorExtensions; // "table name" -> extension
    struct Feature {
        QStringList names;
        bool minMax = false;
        QString grammar;
        int line = 0;
    };
    QList<Feature> features;
    const Def* featureNode = nullptr;
    QHash<QString, Def*> terminals;
    QHash<QString, QString> texts; // target -> text
    int currentLine = 0;

    template <class T, class... A>
    T* make(A&&... args)
    {
        auto p = std::make_unique<T>(std::forward<A>(args)...);
        T* raw = p.get();
        m_spec.m_nodes.push_back(std::move(p));
        return raw;
    }

    void error(const QString& message, int line = -1)
    {
        m_spec.m_loadErrors.append(QStringLiteral("line %1: %2").arg(line < 0 ? currentLine : line).arg(message));
    }

    const Def* compile(const QString& text, int line)
    {
        QString message;
        NotationParser parser(text);
        auto ast = parser.parse(&message);
        if (!ast) {
            error(message, line);
            return nullptr;
        }
        const int saved = currentLine;
        currentLine = line;
        const Def* def = build(ast.get());
        currentLine = saved;
        return def;
    }

    // ---- names ----

    const Def* resolveShared(const QString& key)
    {
        Named& n = shared[key];
        if (n.resolved)
            return n.resolved;
        if (n.building) {
            if (!n.proxy)
                n.proxy = make<KELCSSPropertyValueDefinitionProxy>();
            return n.proxy;
        }
        n.building = true;
        const Def* base = compile(n.grammar, n.line);
        if (base && texts.contains(QStringLiteral("<%1>").arg(key)))
            const_cast<Def*>(base)->setExpectedValuesDescription(texts.value(QStringLiteral("<%1>").arg(key)));
        const Def* result = withNodeExtension(key, base);
        Named& again = shared[key];
        again.resolved = result;
        again.building = false;
        if (again.proxy)
            again.proxy->setValueDef(result);
        return result;
    }

    const Def* withNodeExtension(const QString& key, const Def* base)
    {
        if (!base || !nodeExtensions.contains(key))
            return base;
        const Extension ext = nodeExtensions.value(key);
        const Def* extra = compile(ext.grammar, ext.line);
        if (!extra)
            return base;
        // The added forms are tried first: a function of a known name always matches,
        // so the older grammar's function would otherwise win with its complaints.
        Def* wrapper = make<KELCSSPropertyDisjunctiveValueDefinition>(QList<const Def*> { extra, base });
        wrapper->setExpectedValuesDescription(base->expectedValuesDescription());
        return wrapper;
    }

    const Def* rowRoot(int index)
    {
        Row& row = rows[index];
        if (row.root)
            return row.root;
        if (row.building) {
            if (!row.proxy)
                row.proxy = make<KELCSSPropertyValueDefinitionProxy>();
            return row.proxy;
        }
        row.building = true;
        const Def* root = compile(row.grammar, row.line);
        Row& again = rows[index];
        again.building = false;
        again.root = const_cast<Def*>(root);
        if (root) {
            const QString text = texts.value(QStringLiteral("property ") + again.names.first());
            if (!text.isEmpty())
                again.root->setExpectedValuesDescription(text);
        }
        if (again.proxy)
            again.proxy->setValueDef(root);
        return root;
    }

    const Def* propertyNode(const QString& name)
    {
        if (const Def* d = propertyResolved.value(name))
            return d;
        if (!rowOfName.contains(name))
            return nullptr;
        if (propertyBuilding.contains(name)) {
            KELCSSPropertyValueDefinitionProxy*& proxy = propertyProxies[name];
            if (!proxy)
                proxy = make<KELCSSPropertyValueDefinitionProxy>();
            return proxy;
        }
        propertyBuilding.insert(name);
        const Def* base = rowRoot(rowOfName.value(name));
        const Def* result = base;
        if (base && propertyExtensions.contains(name)) {
            const Extension ext = propertyExtensions.value(name);
            if (const Def* extra = compile(ext.grammar, ext.line)) {
                Def* wrapper = make<KELCSSPropertyDisjunctiveValueDefinition>(QList<const Def*> { extra, base });
                wrapper->setExpectedValuesDescription(base->expectedValuesDescription());
                result = wrapper;
            }
        }
        propertyBuilding.remove(name);
        propertyResolved.insert(name, result);
        if (KELCSSPropertyValueDefinitionProxy* proxy = propertyProxies.value(name))
            proxy->setValueDef(result);
        return result;
    }

    const Def* mediaFeatureNode()
    {
        if (featureNode)
            return featureNode;
        QList<const Def*> all;
        for (const Feature& f : features) {
            const Def* value = compile(f.grammar, f.line);
            if (!value)
                continue;
            for (const QString& name : f.names)
                all.append(make<KELCSSPropertyMediaFeatureValueDefinition>(name, f.minMax, value));
        }
        featureNode = make<KELCSSPropertyDisjunctiveValueDefinition>(all);
        return featureNode;
    }

    Def* terminal(const QString& text)
    {
        if (Def* cached = terminals.value(text))
            return cached;
        QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // "warning": values out of range are warned about, not reported as errors.
        const bool warnOutOfRange = words.size() > 1 && words.last() == QLatin1String("warning");
        if (warnOutOfRange)
            words.removeLast();
        const QString base = words.value(0);
        const QString rest = words.mid(1).join(QLatin1Char(' '));
        Def* def = nullptr;
        double minValue = -KELCSSPropertyNumberValueDefinition::Unset, maxValue = KELCSSPropertyNumberValueDefinition::Unset;
        bool nonNegative = false, rangeGiven = false;
        static const QRegularExpression atLeast(QStringLiteral("^≥(-?[0-9.]+)$"));
        static const QRegularExpression between(QStringLiteral("^(-?[0-9.]+)\\.\\.(-?[0-9.]+)$"));
        if (!rest.isEmpty()) {
            if (const auto m = atLeast.match(rest); m.hasMatch()) {
                minValue = m.captured(1).toDouble(), rangeGiven = true;
                nonNegative = minValue == 0;
            } else if (const auto m2 = between.match(rest); m2.hasMatch()) {
                minValue = m2.captured(1).toDouble(), maxValue = m2.captured(2).toDouble(), rangeGiven = true;
            } else if (!(base == QLatin1String("identifier") && rest.startsWith(QLatin1String("except ")))
                && !(base == QLatin1String("string") && rest == QLatin1String("of 1 character"))) {
                error(QStringLiteral("unknown setting \"%1\"").arg(text));
                return nullptr;
            }
        }
        auto number = [&](KELCSSPropertyNumberValueDefinition* n) {
            n->setWarningForOutOfRange(warnOutOfRange);
            if (rangeGiven) {
                n->setMinValue(minValue);
                if (maxValue != KELCSSPropertyNumberValueDefinition::Unset)
                    n->setMaxValue(maxValue);
            }
            return n;
        };
        auto dimension = [&](auto* d) {
            if (rangeGiven && !nonNegative)
                error(QStringLiteral("only ≥0 applies to \"%1\"").arg(text));
            d->setNonNegative(nonNegative);
            return d;
        };
        if (base == QLatin1String("length"))
            def = dimension(make<KELCSSPropertyLengthValueDefinition>());
        else if (base == QLatin1String("percentage"))
            def = number(make<KELCSSPropertyPercentageValueDefinition>());
        else if (base == QLatin1String("number"))
            def = number(make<KELCSSPropertyNumberValueDefinition>());
        else if (base == QLatin1String("integer"))
            def = number(make<KELCSSPropertyIntegerValueDefinition>());
        else if (base == QLatin1String("angle"))
            def = make<KELCSSPropertyAngleValueDefinition>();
        else if (base == QLatin1String("time"))
            def = dimension(make<KELCSSPropertyTimeValueDefinition>());
        else if (base == QLatin1String("frequency"))
            def = dimension(make<KELCSSPropertyFrequencyValueDefinition>());
        else if (base == QLatin1String("resolution"))
            def = make<KELCSSPropertyResolutionValueDefinition>();
        else if (base == QLatin1String("semitones"))
            def = make<KELCSSPropertySemitonesValueDefinition>();
        else if (base == QLatin1String("string")) {
            auto* s = make<KELCSSPropertyStringValueDefinition>();
            if (!rest.isEmpty())
                s->setMinLength(1), s->setMaxLength(1);
            def = s;
        } else if (base == QLatin1String("uri"))
            def = make<KELCSSPropertyURIValueDefinition>();
        else if (base == QLatin1String("url-token"))
            def = make<KELCSSPropertyURLTokenValueDefinition>();
        else if (base == QLatin1String("identifier")) {
            auto* id = make<KELCSSPropertyIdentifierValueDefinition>();
            if (!rest.isEmpty())
                id->setDisallowedValues({ rest.mid(7).trimmed().toLower() });
            def = id;
        } else if (base == QLatin1String("letter"))
            def = make<KELCSSPropertyLetterValueDefinition>();
        else if (base == QLatin1String("hash"))
            def = make<KELCSSPropertyHashValueDefinition>();
        else if (base == QLatin1String("unicode-range"))
            def = make<KELCSSPropertyUnicodeRangeValueDefinition>();
        else if (base == QLatin1String("block"))
            def = make<KELCSSPropertyBlockValueDefinition>();
        else if (base == QLatin1String("color"))
            def = make<KELCSSPropertyColorValueDefinition>();
        else if (base == QLatin1String("page-float"))
            def = make<KELCSSPropertyPageFloatValueDefinition>();
        else if (base == QLatin1String("any-value"))
            def = make<KELCSSPropertySimpleValueDefinition>();
        else if (base == QLatin1String("whitespace"))
            def = make<KELCSSPropertyDelimiterValueDefinition>([](QChar c) { return c.isSpace(); });
        else if (!KELCSSPropertyDimensionValueDefinition::validUnitsForType(base).isEmpty())
            def = dimension(make<KELCSSPropertyDimensionValueDefinition>(base));
        if (!def) {
            error(QStringLiteral("unknown name <%1>").arg(text));
            return nullptr;
        }
        terminals.insert(text, def);
        return def;
    }

    const Def* resolveName(const QString& text)
    {
        if (text.startsWith(QLatin1Char('\''))) {
            if (shared.contains(text))
                return resolveShared(text);
            const QString property = text.mid(1, text.size() - 2);
            if (rowOfName.contains(property))
                return propertyNode(property);
            error(QStringLiteral("unknown property <%1>").arg(text));
            return nullptr;
        }
        if (shared.contains(text))
            return resolveShared(text);
        if (text == QLatin1String("media-feature"))
            return mediaFeatureNode();
        const Def* base = terminal(text);
        if (base && !text.contains(QLatin1Char(' ')) && nodeExtensions.contains(text)) {
            const QString key = QStringLiteral("extended ") + text;
            if (Def* cached = terminals.value(key))
                return cached;
            Def* extended = const_cast<Def*>(withNodeExtension(text, base));
            terminals.insert(key, extended);
            return extended;
        }
        return base;
    }

    // ---- building ----

    const Def* build(const Ast* ast)
    {
        switch (ast->kind) {
        case Ast::Keyword:
            return make<KELCSSPropertyIdSetValueDefinition>(QStringList { ast->text });
        case Ast::Delim:
            return make<KELCSSPropertyDelimiterValueDefinition>(ast->delim);
        case Ast::Terminal:
            return resolveName(ast->text);
        case Ast::Group:
            return build(ast->kids.front().get());
        case Ast::Function: {
            const Def* params = ast->kids.empty() ? nullptr : build(ast->kids.front().get());
            if (!ast->kids.empty() && !params)
                return nullptr;
            return make<KELCSSPropertyFunctionValueDefinition>(ast->text, params);
        }
        case Ast::Repeat: {
            const Def* inner = build(ast->kids.front().get());
            if (!inner)
                return nullptr;
            if (ast->optionalMark && ast->sep.isNull())
                return make<KELCSSPropertyOptionalValueDefinition>(inner);
            return make<KELCSSPropertyRepeatValueDefinition>(inner, ast->sep, ast->min, ast->max);
        }
        case Ast::Alt:
            return buildAlt(ast);
        case Ast::OrOr:
        case Ast::AndAnd: {
            QList<const Def*> parts;
            for (const auto& kid : ast->kids) {
                const Def* d = build(kid.get());
                if (!d)
                    return nullptr;
                parts.append(d);
            }
            return make<KELCSSPropertyCombinationValueDefinition>(parts, ast->kind == Ast::AndAnd);
        }
        case Ast::Seq:
            return buildSeq(ast);
        }
        return nullptr;
    }

    const Def* buildAlt(const Ast* ast)
    {
        // Bare keywords among the alternatives form one keyword set, at the place of the first.
        QStringList keywords;
        qsizetype keywordPosition = -1;
        QList<const Def*> parts;
        for (const auto& kid : ast->kids) {
            if (kid->kind == Ast::Keyword) {
                if (keywordPosition < 0) {
                    keywordPosition = parts.size();
                    parts.append(nullptr);
                }
                keywords.append(kid->text);
                continue;
            }
            const Def* d = build(kid.get());
            if (!d)
                return nullptr;
            parts.append(d);
        }
        if (keywordPosition >= 0)
            parts[keywordPosition] = make<KELCSSPropertyIdSetValueDefinition>(keywords);
        if (parts.size() == 1)
            return parts.front();
        return make<KELCSSPropertyDisjunctiveValueDefinition>(parts);
    }

    const Def* buildSeq(const Ast* ast)
    {
        QList<const Ast*> comps;
        for (size_t i = 0; i + 1 < ast->kids.size(); ++i)
            comps.append(ast->kids[i].get());
        const Ast* current = ast->kids.back().get();
        qsizetype optionalIndex = -1;
        // Flatten "a [ b [ c ]? ]?" (also with a leading delimiter: "a [ ',' b ]?") into one sequence with an optional tail.
        while (true) {
            if (current->kind == Ast::Repeat && current->optionalMark && current->sep.isNull() && !comps.isEmpty()) {
                const Ast* inner = current->kids.front()->unwrapped();
                QList<const Ast*> items;
                if (inner->kind == Ast::Seq)
                    for (const auto& k : inner->kids)
                        items.append(k.get());
                else
                    items.append(inner);
                qsizetype j = 0;
                if (items.size() > 1 && items.front()->kind == Ast::Delim)
                    j = 1;
                const QList<const Ast*> rest = items.mid(j);
                const bool nestedTail = rest.size() == 2 && rest.at(1)->kind == Ast::Repeat && rest.at(1)->optionalMark && rest.at(1)->sep.isNull();
                if (rest.size() == 1 || nestedTail) {
                    if (optionalIndex < 0)
                        optionalIndex = comps.size();
                    if (j == 1)
                        comps.append(items.front());
                    comps.append(rest.front());
                    if (nestedTail) {
                        current = rest.at(1);
                        continue;
                    }
                    break;
                }
            }
            comps.append(current);
            break;
        }

        // "a ',' b ',' c" is a sequence with a delimiter between its components.
        bool delimited = comps.size() >= 3 && comps.size() % 2 == 1 && comps.at(1)->kind == Ast::Delim;
        for (qsizetype i = 0; delimited && i < comps.size(); ++i) {
            if (i % 2 == 1)
                delimited = comps.at(i)->kind == Ast::Delim && comps.at(i)->delim == comps.at(1)->delim;
            else
                delimited = comps.at(i)->kind != Ast::Delim && !comps.at(i)->canMatchEmpty();
        }
        if (delimited && optionalIndex >= 0 && optionalIndex % 2 == 0)
            delimited = false;

        QList<const Def*> parts;
        for (qsizetype i = 0; i < comps.size(); ++i) {
            if (delimited && i % 2 == 1)
                continue;
            const Def* d = build(comps.at(i));
            if (!d)
                return nullptr;
            parts.append(d);
        }
        qsizetype optional = KELCSSPropertySequenceValueDefinition::NoneOptional;
        if (optionalIndex >= 0)
            optional = delimited ? (optionalIndex + 1) / 2 : optionalIndex;
        return make<KELCSSPropertySequenceValueDefinition>(parts, delimited ? comps.at(1)->delim : QChar(), optional);
    }

private:
    KELCSSSpec& m_spec;
};

// ---------------------------------------------------------------------------

KELCSSSpec::KELCSSSpec() = default;
KELCSSSpec::~KELCSSSpec() = default;

KELCSSSpec& KELCSSSpec::sharedInstance()
{
    static KELCSSSpec* instance = [] {
        static KELCSSSpec grammar;
        grammar.load(kit::resourcePath(QStringLiteral("CSS/CSSGrammar.txt")));
        for (const QString& e : grammar.m_loadErrors)
            kit::log(QStringLiteral("CSS grammar: %1").arg(e));
        return &grammar;
    }();
    return *instance;
}

std::unique_ptr<KELCSSSpec> KELCSSSpec::createFromFile(const QString& path)
{
    std::unique_ptr<KELCSSSpec> grammar(new KELCSSSpec);
    grammar->load(path);
    return grammar;
}

const KELCSSPseudoClassDefinition* KELCSSSpec::pseudoClassDefinitionForName(const QString& name) const
{
    const auto it = m_pseudoClasses.constFind(name.toLower());
    return it == m_pseudoClasses.constEnd() ? nullptr : it->get();
}

const KELCSSPseudoElementDefinition* KELCSSSpec::pseudoElementDefinitionForName(const QString& name) const
{
    const auto it = m_pseudoElements.constFind(name.toLower());
    return it == m_pseudoElements.constEnd() ? nullptr : it->get();
}

const KELCSSAtRuleDefinition* KELCSSSpec::atRuleForName(const QString& name) const
{
    const auto it = m_atRules.constFind(name.toLower());
    return it == m_atRules.constEnd() ? nullptr : it->get();
}

const KELCSSAtRuleDefinition* KELCSSSpec::marginAtRuleForName(const QString& name) const
{
    const auto it = m_marginAtRules.constFind(name.toLower());
    return it == m_marginAtRules.constEnd() ? nullptr : it->get();
}

const KELCSSPropertyValueDefinition* KELCSSSpec::propertyValueDef(const QString& name) const
{
    const KELCSSPropertyDefinition* p = m_standardBlock ? m_standardBlock->propertyForName(name.toLower()) : nullptr;
    return p ? p->valueDef() : nullptr;
}

const KELCSSPropertyValueDefinition* KELCSSSpec::compileForTesting(const QString& notation, QString* error)
{
    const qsizetype before = m_loadErrors.size();
    const KELCSSPropertyValueDefinition* def = m_builder->compile(notation, 0);
    if (error && m_loadErrors.size() > before)
        *error = m_loadErrors.mid(before).join(QLatin1Char('\n'));
    m_loadErrors.resize(before);
    return def;
}

namespace {

QStringList splitNames(const QString& text)
{
    QStringList names;
    for (const QString& n : text.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (!n.trimmed().isEmpty())
            names.append(n.trimmed().toLower());
    return names;
}

// "font-face" or "descriptor property" -> the table name.
QString descriptorTable(const QString& kind)
{
    return kind.startsWith(QLatin1String("descriptor ")) ? kind.mid(11) : kind;
}

QString unquote(const QString& text, bool* ok)
{
    const QString t = text.trimmed();
    *ok = t.size() >= 2 && t.startsWith(QLatin1Char('"')) && t.endsWith(QLatin1Char('"'));
    if (!*ok)
        return QString();
    QString inner = t.mid(1, t.size() - 2);
    inner.replace(QStringLiteral("\\n"), QStringLiteral("\n"));
    return inner;
}

} // namespace

void KELCSSSpec::load(const QString& path)
{
    m_builder = std::make_unique<KELCSSGrammarBuilder>(*this);
    KELCSSGrammarBuilder& b = *m_builder;
    m_wideKeywords = { QStringLiteral("inherit"), QStringLiteral("initial") };
    m_mathFunctions.insert(QStringLiteral("calc"), MathFunction { 1, 1 });

    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_loadErrors.append(QStringLiteral("line 0: the CSS grammar file could not be read: %1").arg(path.isEmpty() ? QStringLiteral("CSS/CSSGrammar.txt") : path));
        m_standardBlock = std::make_unique<KELCSSDeclarationBlockDefinition>(QList<const KELCSSPropertyDefinition*>());
        m_documentDefinition = std::make_unique<KELCSSDocumentDefinition>();
        return;
    }
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));

    struct PseudoClassLine { qint32 type; QStringList names; };
    QList<PseudoClassLine> pseudoClassLines;
    QStringList pseudoElementNames;
    QList<std::pair<QString, qint32>> pseudoElementArguments; // pseudo-elements that take an argument
    struct AtRuleLine { QString name; qint32 type; QString body; QString grammar; int line; };
    QList<AtRuleLine> atRuleLines;
    QStringList marginNames;
    QString nthGrammar, attrGrammar, keyframeGrammar;
    int nthLine = 0, attrLine = 0, keyframeLine = 0;
    struct Substitution { QString name; QString grammar; int line; };
    QList<Substitution> substitutions;

    static const QRegularExpression nodeLine(QStringLiteral("^node\\+? <([^>]+)> ::= (.*)$"));
    static const QRegularExpression textLine(QStringLiteral("^text (.+?) = (\".*\")$"));
    // "font-face x: g" is short for "descriptor font-face x: g".
    static const QRegularExpression rowLine(QStringLiteral("^(?:(property|font-face)(\\+?)|descriptor(\\+?) ([a-z-]+)) ([^:]+): (.*)$"));
    static const QRegularExpression extendLine(QStringLiteral("^extend (property|font-face|descriptor [a-z-]+) ([^:]+): (.*)$"));
    static const QRegularExpression extendNodeLine(QStringLiteral("^extend node <([^>]+)>: (.*)$"));
    static const QRegularExpression featureLine(QStringLiteral("^media-feature\\+? ([^:]+?)( min-max)?: (.*)$"));
    static const QRegularExpression atRuleLine(QStringLiteral("^at-rule\\+? ([a-z-]+) ([0-5]) ([a-z-]+):(.*)$"));
    static const QRegularExpression pseudoClassLine(
        QStringLiteral("^pseudo-class\\+? (plain|nth|identifier|negation|selector-list|relative-selector-list|optional-selector-list): (.*)$"));
    static const QRegularExpression pseudoElementArgumentLine(QStringLiteral("^pseudo-element\\+? \\((tokens|selectors)\\): (.*)$"));
    static const QRegularExpression grammarLine(QStringLiteral("^(nth-grammar|attr|keyframe-selector) ::= (.*)$"));
    static const QRegularExpression substitutionLine(QStringLiteral("^substitution-function ([a-z-]+) ::= (.*)$"));
    static const QRegularExpression unitsLine(QStringLiteral("^units\\+? ([a-z-]+): (.*)$"));
    static const QRegularExpression mathLine(QStringLiteral("^math-function\\+? ([a-z-]+) (\\d+) (\\d+)$"));

    for (int i = 0; i < lines.size(); ++i) {
        const int lineNumber = i + 1;
        b.currentLine = lineNumber;
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QRegularExpressionMatch m;
        if ((m = nodeLine.match(line)).hasMatch()) {
            KELCSSGrammarBuilder::Named n;
            n.grammar = m.captured(2);
            n.line = lineNumber;
            if (b.shared.contains(m.captured(1)))
                b.error(QStringLiteral("node <%1> defined twice").arg(m.captured(1)));
            b.shared.insert(m.captured(1), n);
        } else if ((m = textLine.match(line)).hasMatch()) {
            bool ok;
            const QString text = unquote(m.captured(2), &ok);
            if (!ok)
                b.error(QStringLiteral("bad text"));
            b.texts.insert(m.captured(1), text);
        } else if ((m = extendNodeLine.match(line)).hasMatch()) {
            b.nodeExtensions.insert(m.captured(1), { m.captured(2), lineNumber });
        } else if ((m = extendLine.match(line)).hasMatch()) {
            const QString kind = m.captured(1);
            for (const QString& name : splitNames(m.captured(2))) {
                if (kind == QLatin1String("property"))
                    b.propertyExtensions.insert(name, { m.captured(3), lineNumber });
                else
                    b.descriptorExtensions.insert(descriptorTable(kind) + QLatin1Char(' ') + name, { m.captured(3), lineNumber });
            }
        } else if ((m = rowLine.match(line)).hasMatch()) {
            KELCSSGrammarBuilder::Row row;
            row.names = splitNames(m.captured(5));
            row.grammar = m.captured(6);
            row.line = lineNumber;
            row.added = !m.captured(2).isEmpty() || !m.captured(3).isEmpty();
            if (m.captured(1) != QLatin1String("property")) {
                const QString table = m.captured(1).isEmpty() ? m.captured(4) : m.captured(1);
                if (!b.descriptorTables.contains(table))
                    b.descriptorTables.append(table);
                b.descriptors[table].append(row);
            } else {
                for (const QString& name : row.names) {
                    if (b.rowOfName.contains(name))
                        b.error(QStringLiteral("property %1 defined twice").arg(name));
                    b.rowOfName.insert(name, int(b.rows.size()));
                    (row.added ? m_addedPropertyNames : m_givenPropertyNames).append(name);
                }
                b.rows.append(row);
            }
        } else if ((m = featureLine.match(line)).hasMatch()) {
            b.features.append({ splitNames(m.captured(1)), !m.captured(2).isEmpty(), m.captured(3), lineNumber });
        } else if ((m = atRuleLine.match(line)).hasMatch()) {
            atRuleLines.append({ m.captured(1), m.captured(2).toInt(), m.captured(3), m.captured(4).trimmed(), lineNumber });
        } else if ((m = pseudoClassLine.match(line)).hasMatch()) {
            static const QStringList types { "plain", "nth", "identifier", "negation", "selector-list", "relative-selector-list", "optional-selector-list" };
            pseudoClassLines.append({ qint32(types.indexOf(m.captured(1))), splitNames(m.captured(2)) });
        } else if ((m = pseudoElementArgumentLine.match(line)).hasMatch()) {
            const qint32 argument = m.captured(1) == QLatin1String("tokens") ? KELCSSPseudoElementDefinition::Tokens : KELCSSPseudoElementDefinition::Selectors;
            for (const QString& name : splitNames(m.captured(2)))
                pseudoElementArguments.append({ name, argument });
        } else if (line.startsWith(QLatin1String("pseudo-element"))) {
            pseudoElementNames += splitNames(line.section(QLatin1Char(' '), 1));
        } else if (line.startsWith(QLatin1String("margin-at-rule "))) {
            marginNames += splitNames(line.mid(15));
        } else if ((m = grammarLine.match(line)).hasMatch()) {
            if (m.captured(1) == QLatin1String("nth-grammar"))
                nthGrammar = m.captured(2), nthLine = lineNumber;
            else if (m.captured(1) == QLatin1String("attr"))
                attrGrammar = m.captured(2), attrLine = lineNumber;
            else
                keyframeGrammar = m.captured(2), keyframeLine = lineNumber;
        } else if ((m = substitutionLine.match(line)).hasMatch()) {
            substitutions.append({ m.captured(1), m.captured(2), lineNumber });
        } else if ((m = unitsLine.match(line)).hasMatch()) {
            KELCSSPropertyDimensionValueDefinition::addValidUnits(m.captured(1), m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts));
        } else if (line.startsWith(QLatin1String("hash-color-digits"))) {
            QList<int> counts;
            for (const QString& n : line.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                counts.append(n.toInt());
            KELCSSPropertyHashColorValueDefinition::addValidDigitCounts(counts);
        } else if (line.startsWith(QLatin1String("css-wide-keywords"))) {
            for (const QString& w : line.section(QLatin1Char(':'), 1).split(QLatin1Char(' '), Qt::SkipEmptyParts))
                m_wideKeywords.insert(w.toLower());
        } else if ((m = mathLine.match(line)).hasMatch()) {
            m_mathFunctions.insert(m.captured(1), MathFunction { m.captured(2).toInt(), m.captured(3).toInt() });
        } else {
            b.error(QStringLiteral("unrecognized line"));
        }
    }

    // Pseudo-elements share one definition; pseudo-classes one per line.
    auto element = std::make_shared<KELCSSPseudoElementDefinition>();
    for (const QString& name : pseudoElementNames) {
        if (m_pseudoElements.contains(name))
            b.error(QStringLiteral("pseudo-element %1 defined twice").arg(name), 0);
        m_pseudoElements.insert(name, element);
    }
    for (const auto& [name, argument] : std::as_const(pseudoElementArguments)) {
        if (m_pseudoElements.contains(name))
            b.error(QStringLiteral("pseudo-element %1 defined twice").arg(name), 0);
        m_pseudoElements.insert(name, std::make_shared<KELCSSPseudoElementDefinition>(argument));
    }
    const KELCSSPropertyValueDefinition* nth = nthGrammar.isEmpty() ? nullptr : b.compile(nthGrammar, nthLine);
    for (const PseudoClassLine& l : pseudoClassLines)
        for (const QString& name : l.names) {
            if (m_pseudoClasses.contains(name))
                b.error(QStringLiteral("pseudo-class %1 defined twice").arg(name), 0);
            m_pseudoClasses.insert(name, std::make_shared<KELCSSPseudoClassDefinition>(l.type, l.type == KELCSSPseudoClassDefinition::Nth ? nth : nullptr));
        }

    if (!attrGrammar.isEmpty()) {
        if (const KELCSSPropertyValueDefinition* params = b.compile(attrGrammar, attrLine)) {
            if (b.texts.contains(QStringLiteral("attr")))
                const_cast<KELCSSPropertyValueDefinition*>(params)->setExpectedValuesDescription(b.texts.value(QStringLiteral("attr")));
            m_attrFunction = b.make<KELCSSPropertyFunctionValueDefinition>(QStringLiteral("attr"), params);
        }
    }

    // The property table, in table order.
    QList<const KELCSSPropertyDefinition*> properties;
    for (const KELCSSGrammarBuilder::Row& row : std::as_const(b.rows)) {
        for (const QString& name : row.names) {
            auto def = std::make_unique<KELCSSPropertyDefinition>(name);
            def->setValueDef(b.propertyNode(name));
            properties.append(def.get());
            m_propertyDefinitions.push_back(std::move(def));
        }
    }
    for (auto it = b.propertyExtensions.constBegin(); it != b.propertyExtensions.constEnd(); ++it)
        if (!b.rowOfName.contains(it.key()))
            b.error(QStringLiteral("extension of unknown property %1").arg(it.key()), it->line);
    m_standardBlock = std::make_unique<KELCSSDeclarationBlockDefinition>(properties);

    // Descriptors of at-rules: inherit and initial go through their grammars.
    for (const QString& table : std::as_const(b.descriptorTables)) {
        QList<const KELCSSPropertyDefinition*> descriptors;
        for (const KELCSSGrammarBuilder::Row& row : b.descriptors.value(table)) {
            const KELCSSPropertyValueDefinition* root = b.compile(row.grammar, row.line);
            const QString textKey = table + QLatin1Char(' ') + row.names.first();
            if (root && b.texts.contains(textKey))
                const_cast<KELCSSPropertyValueDefinition*>(root)->setExpectedValuesDescription(b.texts.value(textKey));
            for (const QString& name : row.names) {
                const KELCSSPropertyValueDefinition* node = root;
                const QString key = table + QLatin1Char(' ') + name;
                if (root && b.descriptorExtensions.contains(key)) {
                    const auto ext = b.descriptorExtensions.value(key);
                    if (const auto* extra = b.compile(ext.grammar, ext.line))
                        node = b.make<KELCSSPropertyDisjunctiveValueDefinition>(QList<const KELCSSPropertyValueDefinition*> { extra, root });
                }
                auto def = std::make_unique<KELCSSPropertyDefinition>(name);
                def->setValueDef(node);
                def->setAllowsInherit(false);
                descriptors.append(def.get());
                m_propertyDefinitions.push_back(std::move(def));
            }
        }
        m_descriptorBlocks.insert(table, std::make_shared<KELCSSDeclarationBlockDefinition>(descriptors));
    }

    const KELCSSPropertyValueDefinition* keyframeSelector = keyframeGrammar.isEmpty() ? nullptr : b.compile(keyframeGrammar, keyframeLine);
    for (const AtRuleLine& l : atRuleLines) {
        auto def = std::make_unique<KELCSSAtRuleDefinition>(l.type);
        if (!l.grammar.isEmpty())
            def->setValueDef(b.compile(l.grammar, l.line));
        if (l.body == QLatin1String("standard"))
            def->setDeclarationBlockDef(m_standardBlock.get());
        else if (l.body != QLatin1String("none") && m_descriptorBlocks.contains(l.body))
            def->setDeclarationBlockDef(m_descriptorBlocks.value(l.body).get());
        else if (l.body != QLatin1String("none"))
            b.error(QStringLiteral("unknown body \"%1\" of at-rule %2").arg(l.body, l.name), l.line);
        if (l.type == KELCSSAtRuleDefinition::Keyframes)
            def->setKeyframeSelectorDef(keyframeSelector);
        if (m_atRules.contains(l.name))
            b.error(QStringLiteral("at-rule %1 defined twice").arg(l.name), l.line);
        m_atRules.insert(l.name, std::shared_ptr<KELCSSAtRuleDefinition>(std::move(def)));
    }
    for (const QString& name : marginNames) {
        auto def = std::make_unique<KELCSSAtRuleDefinition>(KELCSSAtRuleDefinition::Declarations);
        def->setDeclarationBlockDef(m_standardBlock.get());
        m_marginAtRules.insert(name, std::shared_ptr<KELCSSAtRuleDefinition>(std::move(def)));
    }
    for (const Substitution& s : substitutions)
        if (const auto* def = b.compile(s.grammar, s.line))
            m_substitutions.insert(s.name, def);

    // Shared nodes nobody refers to are still compiled, so faults in them show.
    for (const QString& key : b.shared.keys())
        b.resolveShared(key);
    m_documentDefinition = std::make_unique<KELCSSDocumentDefinition>();
}

QString KELCSSSpec::vendorPrefix(const QString& name)
{
    if (name.size() < 3 || name.at(0) != u'-' || name.at(1) == u'-')
        return QString();
    const qsizetype second = name.indexOf(u'-', 2);
    return second > 1 ? name.left(second + 1).toLower() : QString();
}

std::optional<KELSyntaxCheckError> KELCSSSpec::vendorWarning(const QString& itemName, const QString& kind, const QString& prefix, kit::Range range,
    QVariantMap* userInfo)
{
    const QString key = QStringLiteral("KELCSSDeclarationBlockDefinition:VendorSpecific:%1").arg(prefix);
    if (userInfo && userInfo->value(key).toBool())
        return std::nullopt;
    if (userInfo)
        userInfo->insert(key, true);
    return KELCSS::makeError(QStringLiteral("Vendor-Specific %1").arg(KELCSS::capitalized(kind)),
        QStringLiteral("\"%1\" is a vendor-specific %2 with prefix \"%3\".%4")
            .arg(itemName, kind, prefix, userInfo ? QStringLiteral(" Further warnings for this prefix will be supressed.") : QString()),
        range, false, true);
}
