#include "FilterExpression.h"

#include <cctype>
#include <vector>

#include "Errors.h"
#include "Texto.h"

namespace kova {

struct TFilterExpression::Node {
    enum Kind { And, Or, Not, Compare } kind;
    std::unique_ptr<Node> left, right;
    int field = -1;
    TFieldType type = TFieldType::ftString;
    std::string op;
    TValue literal;
};

namespace {

struct Token {
    enum Kind { Ident, Text, Number, Op, LParen, RParen, End } kind;
    std::string text;
    size_t pos;
};

[[noreturn]] void Falha(const std::string& expr, size_t pos, const std::string& what) {
    throw EDatabaseError("Expressão de filtro mal formada: " + what + " na posição " +
                         std::to_string(pos + 1) + " de \"" + expr + "\"");
}

std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> t;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '(') {
            t.push_back({Token::LParen, "(", i++});
        } else if (c == ')') {
            t.push_back({Token::RParen, ")", i++});
        } else if (c == '\'') {
            size_t ini = i++;
            std::string v;
            for (;;) {
                if (i >= s.size()) Falha(s, ini, "unterminated text literal");
                if (s[i] == '\'') {
                    if (i + 1 < s.size() && s[i + 1] == '\'') {
                        v += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                v += s[i++];
            }
            t.push_back({Token::Text, v, ini});
        } else if (c == '[') {
            size_t ini = i++;
            size_t fim = s.find(']', i);
            if (fim == std::string::npos) Falha(s, ini, "unterminated field name");
            t.push_back({Token::Ident, s.substr(i, fim - i), ini});
            i = fim + 1;
        } else if (c == '=' || c == '<' || c == '>') {
            size_t ini = i;
            std::string op(1, s[i++]);
            if (i < s.size() &&
                ((op == "<" && (s[i] == '>' || s[i] == '=')) || (op == ">" && s[i] == '='))) {
                op += s[i++];
            }
            t.push_back({Token::Op, op, ini});
        } else if (std::isdigit(c) || c == '-') {
            size_t ini = i++;
            while (i < s.size() &&
                   (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) {
                ++i;
            }
            t.push_back({Token::Number, s.substr(ini, i - ini), ini});
        } else if (std::isalpha(c) || c == '_') {
            size_t ini = i;
            while (i < s.size() &&
                   (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_')) {
                ++i;
            }
            t.push_back({Token::Ident, s.substr(ini, i - ini), ini});
        } else {
            Falha(s, i, std::string("unexpected character '") + s[i] + "'");
        }
    }
    t.push_back({Token::End, "", s.size()});
    return t;
}

class Parser {
public:
    Parser(const std::string& text, const TFilterExpression::FieldResolver& resolve)
        : text_(text), tokens_(Tokenize(text)), resolve_(resolve) {}

    std::unique_ptr<TFilterExpression::Node> Run() {
        auto n = Or();
        if (Peek().kind != Token::End)
            Falha(text_, Peek().pos, "unexpected \"" + Peek().text + "\"");
        return n;
    }

private:
    using Node = TFilterExpression::Node;

    const Token& Peek() const { return tokens_[pos_]; }
    bool Keyword(const char* k) const {
        return Peek().kind == Token::Ident && SameText(Peek().text, k);
    }

    std::unique_ptr<Node> Or() {
        auto l = And();
        while (Keyword("or")) {
            ++pos_;
            auto n = std::make_unique<Node>();
            n->kind = Node::Or;
            n->left = std::move(l);
            n->right = And();
            l = std::move(n);
        }
        return l;
    }

    std::unique_ptr<Node> And() {
        auto l = Unary();
        while (Keyword("and")) {
            ++pos_;
            auto n = std::make_unique<Node>();
            n->kind = Node::And;
            n->left = std::move(l);
            n->right = Unary();
            l = std::move(n);
        }
        return l;
    }

    std::unique_ptr<Node> Unary() {
        if (Keyword("not")) {
            ++pos_;
            auto n = std::make_unique<Node>();
            n->kind = Node::Not;
            n->left = Unary();
            return n;
        }
        if (Peek().kind == Token::LParen) {
            ++pos_;
            auto n = Or();
            if (Peek().kind != Token::RParen) Falha(text_, Peek().pos, "missing \")\"");
            ++pos_;
            return n;
        }
        return Comparison();
    }

    std::unique_ptr<Node> Comparison() {
        const Token& f = Peek();
        if (f.kind != Token::Ident) Falha(text_, f.pos, "field name expected");
        auto n = std::make_unique<Node>();
        n->kind = Node::Compare;
        if (!resolve_(f.text, n->field, n->type)) {
            throw EDatabaseError("Campo '" + f.text + "' não encontrado no filtro \"" + text_ +
                                 "\"");
        }
        ++pos_;
        if (Peek().kind != Token::Op) Falha(text_, Peek().pos, "comparison operator expected");
        n->op = Peek().text;
        ++pos_;
        const Token& lit = Peek();
        if (lit.kind == Token::Text) {
            n->literal = lit.text;
        } else if (lit.kind == Token::Number) {
            double d;
            std::string t = lit.text;
            for (char& c : t) {
                if (c == '.') c = FormatSettings().DecimalSeparator;
            }
            if (!TryStrToFloat(t, d)) Falha(text_, lit.pos, "malformed number");
            n->literal = d;
        } else {
            Falha(text_, lit.pos, "literal expected");
        }
        ++pos_;
        // Literals take the field's type once, so that each record compares like with like.
        if (n->type != TFieldType::ftString) {
            try {
                n->literal = ConvertValue(n->literal, n->type);
            } catch (const EConvertError&) {
                Falha(text_, lit.pos, "literal que não convém ao campo " + f.text);
            }
        } else {
            n->literal = ValueToString(n->literal);
        }
        return n;
    }

    const std::string& text_;
    std::vector<Token> tokens_;
    const TFilterExpression::FieldResolver& resolve_;
    size_t pos_ = 0;
};

bool Avalia(const TFilterExpression::Node& n, const TFilterExpression::FieldReader& read, bool ci) {
    using Node = TFilterExpression::Node;
    switch (n.kind) {
        case Node::And:
            return Avalia(*n.left, read, ci) && Avalia(*n.right, read, ci);
        case Node::Or:
            return Avalia(*n.left, read, ci) || Avalia(*n.right, read, ci);
        case Node::Not:
            return !Avalia(*n.left, read, ci);
        case Node::Compare:
            break;
    }
    const TValue& v = read(n.field);
    int c;
    if (n.type == TFieldType::ftString) {
        // A null text compares as the empty text; a text is compared where it stands.
        const std::string* guardado = std::get_if<std::string>(&v);
        const std::string convertido = guardado ? std::string() : ValueToString(v);
        const std::string& s = guardado ? *guardado : convertido;
        const std::string& l = std::get<std::string>(n.literal);
        c = ci ? CompareText(s, l) : CompareStr(s, l);
    } else {
        if (IsNull(v)) return n.op == "<>";
        c = CompareValues(v, n.literal, ci);
    }
    if (n.op == "=") return c == 0;
    if (n.op == "<>") return c != 0;
    if (n.op == "<") return c < 0;
    if (n.op == "<=") return c <= 0;
    if (n.op == ">") return c > 0;
    return c >= 0;
}

}  // namespace

TFilterExpression::TFilterExpression(std::unique_ptr<Node> root) : root_(std::move(root)) {}
TFilterExpression::~TFilterExpression() = default;

std::unique_ptr<TFilterExpression> TFilterExpression::Parse(const std::string& text,
                                                            const FieldResolver& resolve) {
    if (Trim(text).empty()) throw EDatabaseError("Expressão de filtro vazia");
    Parser p(text, resolve);
    return std::unique_ptr<TFilterExpression>(new TFilterExpression(p.Run()));
}

bool TFilterExpression::Evaluate(const FieldReader& read, bool caseInsensitive) const {
    return Avalia(*root_, read, caseInsensitive);
}

}  // namespace kova
