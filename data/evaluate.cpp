#include "data/evaluate.h"

#include <cctype>
#include <cmath>

#include "data/conversion.h"
#include "data/errors.h"

namespace data {
namespace {

bool sameName(const std::string& a, const std::string& b) {
    return sameText(a, b);
}

bool isTextual(const jet::Value& v) {
    return v.is<std::string>();
}

std::optional<bool> truth(const jet::Value& v) {
    if (v.isNull()) return std::nullopt;
    if (v.is<bool>()) return v.as<bool>();
    auto n = numericValue(v);
    if (!n) throw makeError(Fault::CriteriaMismatch);
    return *n != 0.0;
}

// Jet's LIKE: * any run, ? one character, # one digit; case-insensitive.
bool likeMatch(const std::string& text, size_t ti, const std::string& pat, size_t pi) {
    while (pi < pat.size()) {
        char p = pat[pi];
        if (p == '*') {
            for (size_t k = ti; k <= text.size(); ++k) {
                if (likeMatch(text, k, pat, pi + 1)) return true;
            }
            return false;
        }
        if (ti >= text.size()) return false;
        if (p == '?') {
            // one UTF-8 character
            ++ti;
            while (ti < text.size() && (static_cast<unsigned char>(text[ti]) & 0xC0) == 0x80) ++ti;
        } else if (p == '#') {
            if (!std::isdigit(static_cast<unsigned char>(text[ti]))) return false;
            ++ti;
        } else {
            if (text[ti] != p) return false;
            ++ti;
        }
        ++pi;
    }
    return ti == text.size();
}

jet::Value arithmetic(sql::Op op, const jet::Value& a, const jet::Value& b) {
    if (op == sql::Op::Concat) return jet::Value(valueToText(a) + valueToText(b));
    if (a.isNull() || b.isNull()) return jet::Value();
    auto x = numericValue(a), y = numericValue(b);
    if (!x || !y) throw makeError(Fault::CriteriaMismatch);
    switch (op) {
        case sql::Op::Add:
            return jet::Value(*x + *y);
        case sql::Op::Sub:
            return jet::Value(*x - *y);
        case sql::Op::Mul:
            return jet::Value(*x * *y);
        default:
            if (*y == 0.0) throw makeError(Fault::Overflow);
            return jet::Value(*x / *y);
    }
}

jet::Value call(const sql::Expr& e, const ColumnReader& read) {
    std::string f = foldText(e.name);
    if (f == "DATE") return jet::Value(jet::DateTime{currentOleDate(false)});
    if (f == "NOW") return jet::Value(jet::DateTime{currentOleDate(true)});
    if (f == "TIME") {
        double now = currentOleDate(true);
        return jet::Value(jet::DateTime{now - std::trunc(now)});
    }
    if (f == "UCASE" || f == "LCASE" || f == "TRIM") {
        if (!e.left) throw makeError(Fault::QuerySyntax, e.name);
        jet::Value v = evaluate(*e.left, read);
        if (v.isNull()) return v;
        std::string t = valueToText(v);
        if (f == "TRIM") {
            size_t b = t.find_first_not_of(' '), en = t.find_last_not_of(' ');
            return jet::Value(b == std::string::npos ? std::string() : t.substr(b, en - b + 1));
        }
        for (char& c : t) {
            c = static_cast<char>(f == "UCASE" ? std::toupper((unsigned char)c)
                                               : std::tolower((unsigned char)c));
        }
        return jet::Value(t);
    }
    throw makeError(Fault::QuerySyntax, e.name + "()");
}

}  // namespace

std::string foldText(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = foldChar(c);
    return out;
}

void bindExpression(sql::Expr& e, const std::string& table,
                    const std::vector<jet::Column>& columns) {
    if (e.kind == sql::Expr::Kind::Column) {
        if (!e.qualifier.empty() && !sameName(e.qualifier, table))
            throw makeError(Fault::TooFewParameters, e.qualifier + "." + e.name);
        e.column = -1;
        for (size_t i = 0; i < columns.size(); ++i) {
            if (sameName(columns[i].name, e.name)) {
                e.column = static_cast<int>(i);
                break;
            }
        }
        if (e.column < 0) throw makeError(Fault::TooFewParameters, e.name);
    }
    if (e.left) bindExpression(*e.left, table, columns);
    if (e.right) bindExpression(*e.right, table, columns);
}

std::optional<int> compareValues(const jet::Value& a, const jet::Value& b) {
    if (a.isNull() || b.isNull()) return std::nullopt;
    if (isTextual(a) && isTextual(b)) {
        std::string x = foldText(a.as<std::string>()), y = foldText(b.as<std::string>());
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    if (a.is<jet::Guid>() || b.is<jet::Guid>() || a.is<jet::Bytes>() || b.is<jet::Bytes>()) {
        if (a == b) return 0;
        if (a.storage().index() != b.storage().index()) throw makeError(Fault::CriteriaMismatch);
        return valueToText(a) < valueToText(b) ? -1 : 1;
    }
    // A date against text reads the text as a date.
    std::optional<double> x, y;
    if (a.is<jet::DateTime>() && isTextual(b)) {
        if (auto c = parseDayFirstDate(b.as<std::string>())) y = toOleDate(*c);
    } else if (b.is<jet::DateTime>() && isTextual(a)) {
        if (auto c = parseDayFirstDate(a.as<std::string>())) x = toOleDate(*c);
    }
    if (!x) x = numericValue(a);
    if (!y) y = numericValue(b);
    if (!x || !y) throw makeError(Fault::CriteriaMismatch);
    return *x < *y ? -1 : (*x > *y ? 1 : 0);
}

jet::Value evaluate(const sql::Expr& e, const ColumnReader& read) {
    using K = sql::Expr::Kind;
    using sql::Op;
    switch (e.kind) {
        case K::Literal:
            return e.literal;
        case K::Column:
            return read(e.column);
        case K::Call:
            return call(e, read);
        case K::Unary: {
            jet::Value v = evaluate(*e.left, read);
            switch (e.op) {
                case Op::Not: {
                    auto t = truth(v);
                    return t ? jet::Value(!*t) : jet::Value();
                }
                case Op::IsNull:
                    return jet::Value(v.isNull());
                case Op::IsNotNull:
                    return jet::Value(!v.isNull());
                default: {  // Neg
                    if (v.isNull()) return v;
                    if (v.is<jet::Decimal>()) {  // a long literal keeps every digit
                        jet::Decimal d = v.as<jet::Decimal>();
                        d.negative = !d.negative;
                        return jet::Value(d);
                    }
                    auto n = numericValue(v);
                    if (!n) throw makeError(Fault::CriteriaMismatch);
                    return jet::Value(-*n);
                }
            }
        }
        case K::Binary:
            break;
    }
    if (e.op == Op::And || e.op == Op::Or) {
        auto l = truth(evaluate(*e.left, read));
        bool isAnd = e.op == Op::And;
        if (l && *l != isAnd) return jet::Value(!isAnd);  // short cut: false AND, true OR
        auto r = truth(evaluate(*e.right, read));
        if (r && *r != isAnd) return jet::Value(!isAnd);
        if (!l || !r) return jet::Value();
        return jet::Value(isAnd);
    }
    jet::Value a = evaluate(*e.left, read);
    jet::Value b = evaluate(*e.right, read);
    switch (e.op) {
        case Op::Eq:
        case Op::Ne:
        case Op::Lt:
        case Op::Gt:
        case Op::Le:
        case Op::Ge: {
            auto c = compareValues(a, b);
            if (!c) return jet::Value();
            switch (e.op) {
                case Op::Eq:
                    return jet::Value(*c == 0);
                case Op::Ne:
                    return jet::Value(*c != 0);
                case Op::Lt:
                    return jet::Value(*c < 0);
                case Op::Gt:
                    return jet::Value(*c > 0);
                case Op::Le:
                    return jet::Value(*c <= 0);
                default:
                    return jet::Value(*c >= 0);
            }
        }
        case Op::Like:
            if (a.isNull() || b.isNull()) return jet::Value();
            return jet::Value(likeMatch(foldText(valueToText(a)), 0, foldText(valueToText(b)), 0));
        default:
            break;
    }
    return arithmetic(e.op, a, b);
}

bool isTrue(const sql::Expr& expr, const ColumnReader& read) {
    auto t = truth(evaluate(expr, read));
    return t && *t;
}

namespace {

// Adds the terms of `where` to `out`; false when some part of it is not a column = literal term
// (then `out` holds a part of them only).
bool addEqualityTerms(const sql::Expr& where, std::vector<EqualityTerm>& out) {
    using K = sql::Expr::Kind;
    if (where.kind != K::Binary) return false;
    if (where.op == sql::Op::And)
        return addEqualityTerms(*where.left, out) && addEqualityTerms(*where.right, out);
    if (where.op != sql::Op::Eq) return false;
    const sql::Expr* col = where.left.get();
    const sql::Expr* lit = where.right.get();
    if (col->kind != K::Column) std::swap(col, lit);
    if (col->kind != K::Column || lit->kind != K::Literal || lit->literal.isNull()) return false;
    out.push_back({col->column, &lit->literal});
    return true;
}

}  // namespace

std::vector<EqualityTerm> equalityTerms(const sql::Expr& where) {
    // One vector for the whole tree: this runs for every look-up.
    std::vector<EqualityTerm> out;
    out.reserve(4);
    if (!addEqualityTerms(where, out)) out.clear();
    return out;
}

}  // namespace data
