#pragma once
// The parser of the component templates' expression language.
//
//   expression  := assignment
//   assignment  := NAME ("=" | "+=" | "-=") assignment | conditional
//   conditional := or ("?" expression ":" conditional)?
//   or          := and ("||" and)*           and := equality ("&&" equality)*
//   equality    := relational (("==" | "!=") relational)*
//   relational  := additive (("<" | "<=" | ">" | ">=") additive)*
//   additive    := multiplicative (("+" | "-") multiplicative)*
//   multiplicative := unary (("*" | "/" | "%") unary)*
//   unary       := ("!" | "-" | "+") unary | postfix
//   postfix     := primary ("." NAME | "[" expression "]")* | NAME ("++" | "--")
//   primary     := number | 'text' | "text" | true | false | nil | null | NAME | "(" expression ")"
//
// A dotted run of names ("root.regionCount.count") is one key path, asked of the
// data source whole. Assignment targets are bare names: a template never writes
// into the objects it reads.

#include "components/KELExpression.h"

#include <QString>
#include <memory>

class KELExpressionEvaluator {
public:
    static KELExpressionEvaluator& sharedInstance();

    /// The expression, or null when the text is not one (malformed, too deeply nested,
    /// or assigning to anything but a bare name).
    std::unique_ptr<KELExpression> parse(const QString& text) const;

    /// Deepest nesting of parentheses, operators and indexes a text may have.
    static constexpr int MaximumDepth = 64;
};
