// Evaluation of Jet SQL expressions over the rows of one table.
//
// bind() resolves every column reference of an expression to a position in the table's columns
// (a name that is no column is Jet's "Too few parameters"), so that evaluating a row never looks
// a name up again. Comparisons follow Jet: text compares case-insensitively (General sort
// order), a number compares with numeric text, null compares as unknown, and a WHERE keeps a
// row only when its condition is true.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/sql.h"
#include "jet/schema.h"
#include "jet/value.h"

namespace data {

// Gives the value of the table column at a position, for the row being evaluated.
using ColumnReader = std::function<jet::Value(int position)>;

// REQUIRES: `expr` was parsed; `columns` are the table's columns. Throws RunTimeError 3061 for
// an unknown column or a qualifier that is not `table`.
void bindExpression(sql::Expr& expr, const std::string& table,
                    const std::vector<jet::Column>& columns);

// The value of a bound expression. Throws 3464 for values that cannot be compared.
jet::Value evaluate(const sql::Expr& expr, const ColumnReader& read);

// True only when the expression's value is true (not null, not zero).
bool isTrue(const sql::Expr& expr, const ColumnReader& read);

// -1, 0 or 1 as Jet orders two values; nullopt when either is null. Throws 3464 when the two
// cannot be compared (text that is not a number against a number).
std::optional<int> compareValues(const jet::Value& a, const jet::Value& b);

// Text folded for case-insensitive comparison and hashing (ASCII letters to upper case; Thai
// and other bytes are left as they are, whatever the process's locale).
inline char foldChar(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string foldText(const std::string& text);
// foldText(a) == foldText(b), without making either.
inline bool sameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (foldChar(a[i]) != foldChar(b[i])) return false;
    return true;
}

// Equality terms "column = literal" of a WHERE that is a pure conjunction of terms (brackets
// allowed): the column position with its literal. Empty when the WHERE holds anything else.
struct EqualityTerm {
    int column;
    const jet::Value* value;
};
std::vector<EqualityTerm> equalityTerms(const sql::Expr& where);

}  // namespace data
