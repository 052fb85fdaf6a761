// Jet SQL as the program writes it: the statements, the expression tree of WHERE clauses and
// Find criteria, and the parser that builds them from text.
//
// The parser knows the subset the program and its support tools use: SELECT (all columns, [t].*
// or a column list) with WHERE and ORDER BY; DELETE; INSERT ... VALUES; UPDATE ... SET; CREATE
// TABLE and CREATE [UNIQUE] INDEX. Names may be bare or bracketed, optionally qualified by the
// table; words such as Type or Code are names wherever a name is expected. Keywords are
// case-insensitive. Literals: 'text' (with '' for a quote), "text", numbers, #date#, True/False,
// Null. A trailing ";" is allowed.
//
// Parsing never touches a database: a text that does not parse fails here, before anything is
// read or written, with the provider's syntax-error number.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "jet/schema.h"
#include "jet/value.h"

namespace data::sql {

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

enum class Op {
    // comparisons
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    // logic
    And,
    Or,
    Not,
    // arithmetic and concatenation
    Add,
    Sub,
    Mul,
    Div,
    Concat,
    Neg,
    // predicates
    IsNull,
    IsNotNull,
    Like,
};

struct Expr {
    enum class Kind { Literal, Column, Unary, Binary, Call };
    Kind kind = Kind::Literal;
    jet::Value literal;     // Literal
    std::string qualifier;  // Column: table name, empty when not qualified
    std::string name;       // Column: column name; Call: function name
    int column = -1;        // Column: position in the table's columns, set by bind()
    Op op = Op::Eq;         // Unary / Binary
    ExprPtr left, right;    // Unary uses left only
};

struct OrderTerm {
    ExprPtr column;  // a Column expression
    bool descending = false;
};

struct Select {
    std::string table;
    bool allColumns = true;        // "*" or "[t].*"
    std::vector<ExprPtr> columns;  // Column expressions when !allColumns
    ExprPtr where;                 // may be null
    std::vector<OrderTerm> orderBy;
};

struct Delete {
    std::string table;
    ExprPtr where;
};

struct Insert {
    std::string table;
    std::vector<std::string> columns;  // empty: every column in order
    std::vector<ExprPtr> values;
};

struct Assignment {
    std::string column;
    ExprPtr value;
};

struct Update {
    std::string table;
    std::vector<Assignment> assignments;
    ExprPtr where;
};

struct CreateTable {
    jet::TableDefinition definition;
};

struct CreateIndex {
    std::string table;
    jet::IndexDefinition definition;
};

using Statement = std::variant<Select, Delete, Insert, Update, CreateTable, CreateIndex>;

// REQUIRES: nothing. Throws RunTimeError (a syntax-error number) when `text` does not parse.
Statement parseStatement(const std::string& text);

// A search criterion or a bare expression ("No=2", "[Employee#]='0012'").
// Throws RunTimeError 3001 when it does not parse (as a record set's Find does).
ExprPtr parseCriterion(const std::string& text);

// A column default expression as the catalog keeps it ("0", "Date()", "\"S\"").
// Returns null when the text is not an expression we can evaluate.
ExprPtr parseDefault(const std::string& text);

// Statements that differ only in their quoted texts share a shape: the text with each quoted
// text replaced by a mark, and the quoted texts (unquoted) in order. nullopt when a quote,
// bracket or date is left open.
struct Shape {
    std::string key;
    std::vector<std::string> texts;
};
std::optional<Shape> shapeOf(const std::string& text);
// The text literals of a SELECT's tree, left to right.
std::vector<Expr*> textLiteralsOf(Select& select);
// Whether those literals are exactly `texts`: then a statement of the same shape is this tree
// with its own texts put in their place.
bool literalsMatch(const std::vector<Expr*>& nodes, const std::vector<std::string>& texts);

// The name of a table as a record source names it: "[Data Calc]", "Data Calc", "iDataCalc".
// Returns nullopt when `source` is not a bare table name (a statement, say).
std::optional<std::string> tableNameOnly(const std::string& source);

}  // namespace data::sql
