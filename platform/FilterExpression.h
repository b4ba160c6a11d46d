#pragma once
// The filter language of the tables: comparisons of a field with a literal
// (Field = 'text', Field <> 'text', Field >= 10, ...) joined by "and" and "or", negated by "not"
// and grouped with parentheses. The text is parsed once; a malformed one is a failure that says
// where it went wrong.

#include <functional>
#include <memory>
#include <string>

#include "TValue.h"

namespace kova {

class TFilterExpression {
public:
    // Finds a field by name: its index and type, or false when there is no such field.
    using FieldResolver =
        std::function<bool(const std::string& name, int& index, TFieldType& type)>;
    using FieldReader = std::function<const TValue&(int index)>;

    // Throws EDatabaseError when the text is malformed or names an unknown field.
    static std::unique_ptr<TFilterExpression> Parse(const std::string& text,
                                                    const FieldResolver& resolve);
    ~TFilterExpression();

    bool Evaluate(const FieldReader& read, bool caseInsensitive) const;

    struct Node;

private:
    explicit TFilterExpression(std::unique_ptr<Node> root);
    std::unique_ptr<Node> root_;
};

}  // namespace kova
