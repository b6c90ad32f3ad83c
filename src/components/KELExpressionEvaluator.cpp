#include "components/KELExpressionEvaluator.h"

#include "components/KELExpressionNode.h"

#include <QList>

namespace {

// Longest parse tree a text may give: a long chain of a+b+c... nests as deeply as
// parentheses do, and both evaluation and destruction recurse along it.
constexpr int MaximumHeight = 4 * KELExpressionEvaluator::MaximumDepth;

struct Token {
    enum Kind { End, Number, String, Name, Operator, Invalid };
    Kind kind = End;
    QString text;
    QVariant value;
};

QList<Token> tokenize(const QString& text)
{
    static const QStringList operators = { QStringLiteral("=="), QStringLiteral("!="), QStringLiteral("<="),
        QStringLiteral(">="), QStringLiteral("&&"), QStringLiteral("||"), QStringLiteral("++"), QStringLiteral("--"),
        QStringLiteral("+="), QStringLiteral("-=") };
    static const QString singles = QStringLiteral("+-*/%<>!?:()[].=");
    QList<Token> tokens;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token token;
        if (c.isDigit()) {
            qsizetype j = i;
            while (j < n && text.at(j).isDigit())
                ++j;
            bool isDouble = false;
            if (j + 1 < n && text.at(j) == QLatin1Char('.') && text.at(j + 1).isDigit()) {
                isDouble = true;
                ++j;
                while (j < n && text.at(j).isDigit())
                    ++j;
            }
            if (j < n && (text.at(j) == QLatin1Char('e') || text.at(j) == QLatin1Char('E'))) {
                qsizetype k = j + 1;
                if (k < n && (text.at(k) == QLatin1Char('+') || text.at(k) == QLatin1Char('-')))
                    ++k;
                if (k < n && text.at(k).isDigit()) {
                    isDouble = true;
                    j = k;
                    while (j < n && text.at(j).isDigit())
                        ++j;
                }
            }
            const QStringView digits = QStringView(text).mid(i, j - i);
            bool ok = false;
            if (!isDouble) {
                const qlonglong integer = digits.toLongLong(&ok);
                if (ok)
                    token.value = integer;
            }
            if (!ok) {
                const double number = digits.toDouble(&ok);
                if (!ok || !std::isfinite(number))
                    return { Token { Token::Invalid, QString(), QVariant() } };
                token.value = number;
            }
            token.kind = Token::Number;
            i = j;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            QString value;
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                const QChar d = text.at(j);
                if (d == c) {
                    closed = true;
                    ++j;
                    break;
                }
                if (d == QLatin1Char('\\') && j + 1 < n) {
                    const QChar e = text.at(j + 1);
                    value += e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('t') ? QChar(u'\t') : e;
                    j += 2;
                    continue;
                }
                value += d;
                ++j;
            }
            if (!closed)
                return { Token { Token::Invalid, QString(), QVariant() } };
            token.kind = Token::String;
            token.value = value;
            i = j;
        } else if (c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$')) {
            qsizetype j = i + 1;
            while (j < n && (text.at(j).isLetterOrNumber() || text.at(j) == QLatin1Char('_') || text.at(j) == QLatin1Char('$')))
                ++j;
            token.kind = Token::Name;
            token.text = text.mid(i, j - i);
            i = j;
        } else {
            token.kind = Token::Operator;
            const QStringView rest = QStringView(text).mid(i);
            for (const QString& op : operators) {
                if (rest.startsWith(op)) {
                    token.text = op;
                    break;
                }
            }
            if (token.text.isEmpty()) {
                if (!singles.contains(c))
                    return { Token { Token::Invalid, QString(), QVariant() } };
                token.text = QString(c);
            }
            i += token.text.size();
        }
        tokens.append(std::move(token));
    }
    tokens.append(Token());
    return tokens;
}

using NodePtr = std::unique_ptr<KELExpressionNode>;

class Parser {
public:
    explicit Parser(QList<Token> tokens) : m_tokens(std::move(tokens)) { }

    NodePtr parseAll()
    {
        if (m_tokens.isEmpty() || m_tokens.first().kind == Token::Invalid)
            return nullptr;
        NodePtr node = expression();
        if (!node || m_failed || peek().kind != Token::End)
            return nullptr;
        return node;
    }

private:
    const Token& peek() const { return m_tokens.at(m_position); }
    bool isOperator(const char* op) const { return peek().kind == Token::Operator && peek().text == QLatin1String(op); }
    bool accept(const char* op)
    {
        if (!isOperator(op))
            return false;
        ++m_position;
        return true;
    }
    NodePtr fail()
    {
        m_failed = true;
        return nullptr;
    }

    // Guards recursion: every construct that nests goes through here.
    struct Depth {
        explicit Depth(Parser& parser) : parser(parser) { ++parser.m_depth; }
        ~Depth() { --parser.m_depth; }
        bool tooDeep() const { return parser.m_depth > KELExpressionEvaluator::MaximumDepth; }
        Parser& parser;
    };

    NodePtr make(KELExpressionNode::Kind kind, NodePtr a = nullptr, NodePtr b = nullptr, NodePtr c = nullptr)
    {
        auto node = std::make_unique<KELExpressionNode>();
        node->kind = kind;
        int height = 0;
        for (const NodePtr* child : { &a, &b, &c }) {
            if (*child)
                height = std::max(height, (*child)->height);
        }
        node->height = height + 1;
        if (node->height > MaximumHeight)
            m_failed = true;
        node->a = std::move(a);
        node->b = std::move(b);
        node->c = std::move(c);
        return node;
    }

    NodePtr expression()
    {
        Depth depth(*this);
        if (depth.tooDeep() || m_failed)
            return fail();
        NodePtr target = conditional();
        if (!target)
            return fail();
        for (const char* op : { "=", "+=", "-=" }) {
            if (!isOperator(op))
                continue;
            // Only a bare name takes a value: a dotted target would write into the
            // objects the template reads.
            if (target->kind != KELExpressionNode::KeyPath || target->grouped || target->name.contains(QLatin1Char('.')))
                return fail();
            ++m_position;
            NodePtr value = expression();
            if (!value)
                return fail();
            NodePtr node = make(KELExpressionNode::Assign, std::move(value));
            node->name = target->name;
            node->op = QString::fromLatin1(op);
            return node;
        }
        return target;
    }

    NodePtr conditional()
    {
        NodePtr test = binary(0);
        if (!test || !accept("?"))
            return test;
        Depth depth(*this);
        if (depth.tooDeep())
            return fail();
        NodePtr yes = expression();
        if (!yes || !accept(":"))
            return fail();
        NodePtr no = conditional();
        if (!no)
            return fail();
        return make(KELExpressionNode::Conditional, std::move(test), std::move(yes), std::move(no));
    }

    // Binary operators by level, loosest first.
    NodePtr binary(int level)
    {
        static const QList<QStringList> levels = {
            { QStringLiteral("||") },
            { QStringLiteral("&&") },
            { QStringLiteral("=="), QStringLiteral("!=") },
            { QStringLiteral("<"), QStringLiteral("<="), QStringLiteral(">"), QStringLiteral(">=") },
            { QStringLiteral("+"), QStringLiteral("-") },
            { QStringLiteral("*"), QStringLiteral("/"), QStringLiteral("%") },
        };
        if (level == levels.size())
            return unary();
        NodePtr left = binary(level + 1);
        while (left && !m_failed && peek().kind == Token::Operator && levels.at(level).contains(peek().text)) {
            const QString op = peek().text;
            ++m_position;
            NodePtr right = binary(level + 1);
            if (!right)
                return fail();
            const auto kind = op == QLatin1String("&&") ? KELExpressionNode::And
                : op == QLatin1String("||")             ? KELExpressionNode::Or
                                                        : KELExpressionNode::Binary;
            left = make(kind, std::move(left), std::move(right));
            left->op = op;
        }
        return m_failed ? nullptr : std::move(left);
    }

    NodePtr unary()
    {
        for (const char* op : { "!", "-", "+" }) {
            if (!isOperator(op))
                continue;
            Depth depth(*this);
            if (depth.tooDeep())
                return fail();
            ++m_position;
            NodePtr operand = unary();
            if (!operand)
                return fail();
            NodePtr node = make(KELExpressionNode::Unary, std::move(operand));
            node->op = QString::fromLatin1(op);
            return node;
        }
        return postfix();
    }

    NodePtr postfix()
    {
        NodePtr node = primary();
        while (node && !m_failed) {
            if (accept("[")) {
                Depth depth(*this);
                if (depth.tooDeep())
                    return fail();
                NodePtr index = expression();
                if (!index || !accept("]"))
                    return fail();
                node = make(KELExpressionNode::Index, std::move(node), std::move(index));
            } else if (isOperator(".")) {
                ++m_position;
                if (peek().kind != Token::Name)
                    return fail();
                node = make(KELExpressionNode::Member, std::move(node));
                node->name = peek().text;
                ++m_position;
            } else if (isOperator("++") || isOperator("--")) {
                if (node->kind != KELExpressionNode::KeyPath || node->grouped || node->name.contains(QLatin1Char('.')))
                    return fail();
                const QString name = node->name;
                node = make(KELExpressionNode::Step);
                node->name = name;
                node->op = peek().text;
                ++m_position;
                return node;
            } else {
                break;
            }
        }
        return m_failed ? nullptr : std::move(node);
    }

    NodePtr primary()
    {
        const Token token = peek();
        switch (token.kind) {
        case Token::Number:
        case Token::String: {
            ++m_position;
            NodePtr node = make(KELExpressionNode::Literal);
            node->literal = token.value;
            return node;
        }
        case Token::Name: {
            ++m_position;
            NodePtr node = make(KELExpressionNode::Literal);
            if (token.text == QLatin1String("true") || token.text == QLatin1String("false")) {
                node->literal = token.text == QLatin1String("true");
                return node;
            }
            if (token.text == QLatin1String("nil") || token.text == QLatin1String("null"))
                return node;
            // A dotted run of names is one key path.
            node->kind = KELExpressionNode::KeyPath;
            node->name = token.text;
            while (isOperator(".") && m_tokens.at(m_position + 1).kind == Token::Name) {
                node->name += QLatin1Char('.') + m_tokens.at(m_position + 1).text;
                m_position += 2;
            }
            return node;
        }
        case Token::Operator:
            if (accept("(")) {
                Depth depth(*this);
                if (depth.tooDeep())
                    return fail();
                NodePtr inner = expression();
                if (!inner || !accept(")"))
                    return fail();
                inner->grouped = true;
                return inner;
            }
            return fail();
        default:
            return fail();
        }
    }

    QList<Token> m_tokens;
    qsizetype m_position = 0;
    int m_depth = 0;
    bool m_failed = false;
};

} // namespace

KELExpressionEvaluator& KELExpressionEvaluator::sharedInstance()
{
    static KELExpressionEvaluator instance;
    return instance;
}

std::unique_ptr<KELExpression> KELExpressionEvaluator::parse(const QString& text) const
{
    Parser parser(tokenize(text));
    NodePtr root = parser.parseAll();
    if (!root)
        return nullptr;
    return std::make_unique<KELExpression>(std::move(root));
}
