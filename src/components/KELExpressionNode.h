#pragma once
// One node of a parsed expression (shared by the parser and the evaluation).

#include <QString>
#include <QVariant>
#include <memory>

struct KELExpressionNode {
    enum Kind {
        Literal,     // literal
        KeyPath,     // name: one name or a dotted run of names, asked of the data source
        Member,      // a.name on the value of a
        Index,       // a[b]
        Unary,       // op a
        Binary,      // a op b (arithmetic and comparison)
        And,         // a && b
        Or,          // a || b
        Conditional, // a ? b : c
        Assign,      // name op a, op one of = += -=
        Step,        // name op, op one of ++ --
    };
    Kind kind = Literal;
    QVariant literal;
    QString name;
    QString op;
    int height = 1;
    bool grouped = false; // written in parentheses
    std::unique_ptr<KELExpressionNode> a;
    std::unique_ptr<KELExpressionNode> b;
    std::unique_ptr<KELExpressionNode> c;
};
