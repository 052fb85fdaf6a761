// Statements that differ only in their quoted texts share one parse.
//
// The program builds the same SELECT (or DELETE) for every amount of a file, with another code
// between its quotes each time. The first such text is parsed; later ones take a copy of its
// tree with their own texts put in. A shape is kept only when the tree's text literals, in
// order, are exactly the quoted texts of the statement, so a copy always equals a fresh parse.
#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "data/sql.h"
#include "data/sql_parser.h"

namespace data::sql {
namespace {

ExprPtr cloneExpr(const Expr* e) {
    if (!e) return nullptr;
    auto copy = std::make_unique<Expr>();
    copy->kind = e->kind;
    copy->literal = e->literal;
    copy->qualifier = e->qualifier;
    copy->name = e->name;
    copy->column = e->column;
    copy->op = e->op;
    copy->left = cloneExpr(e->left.get());
    copy->right = cloneExpr(e->right.get());
    return copy;
}

// The text literals of a tree, left to right.
void textLiterals(Expr* e, std::vector<Expr*>& out) {
    if (!e) return;
    if (e->kind == Expr::Kind::Literal && e->literal.is<std::string>()) out.push_back(e);
    textLiterals(e->left.get(), out);
    textLiterals(e->right.get(), out);
}

std::vector<Expr*> textLiteralsOf(Statement& statement) {
    if (auto* select = std::get_if<Select>(&statement)) return textLiteralsOf(*select);
    std::vector<Expr*> out;
    if (auto* del = std::get_if<Delete>(&statement)) textLiterals(del->where.get(), out);
    return out;
}

Statement cloneStatement(const Statement& statement) {
    if (const auto* select = std::get_if<Select>(&statement)) {
        Select copy;
        copy.table = select->table;
        copy.allColumns = select->allColumns;
        for (const auto& column : select->columns) copy.columns.push_back(cloneExpr(column.get()));
        copy.where = cloneExpr(select->where.get());
        for (const auto& term : select->orderBy)
            copy.orderBy.push_back(OrderTerm{cloneExpr(term.column.get()), term.descending});
        return copy;
    }
    const auto& del = std::get<Delete>(statement);
    return Delete{del.table, cloneExpr(del.where.get())};
}

constexpr size_t kMaxShapes = 64;

}  // namespace

constexpr char kTextMark = '\x01';  // stands for a quoted text in a shape's key

std::optional<Shape> shapeOf(const std::string& text) {
    // The mark must mean a quoted text and nothing else.
    if (text.find(kTextMark) != std::string::npos) return std::nullopt;
    Shape shape;
    shape.key.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '[' || c == '#') {  // names and dates are part of the shape, quotes and all
            const size_t close = text.find(c == '[' ? ']' : '#', i + 1);
            if (close == std::string::npos) return std::nullopt;
            shape.key.append(text, i, close + 1 - i);
            i = close + 1;
        } else if (c == '\'' || c == '"') {
            std::string literal;
            size_t j = i + 1;
            for (;; ++j) {
                if (j >= text.size()) return std::nullopt;
                if (text[j] == c) {
                    if (j + 1 < text.size() && text[j + 1] == c) {
                        literal += c;
                        ++j;
                        continue;
                    }
                    break;
                }
                literal += text[j];
            }
            shape.key += kTextMark;
            shape.texts.push_back(std::move(literal));
            i = j + 1;
        } else {
            // Up to the next name, date or text, as it stands.
            // A loop of its own: find_first_of calls memchr on its set for every character.
            size_t next = i;
            while (next < text.size() && text[next] != '[' && text[next] != '#' &&
                   text[next] != '\'' && text[next] != '"')
                ++next;
            shape.key.append(text, i, next - i);
            i = next;
        }
    }
    return shape;
}

std::vector<Expr*> textLiteralsOf(Select& select) {
    std::vector<Expr*> out;
    for (auto& column : select.columns) textLiterals(column.get(), out);
    textLiterals(select.where.get(), out);
    for (auto& term : select.orderBy) textLiterals(term.column.get(), out);
    return out;
}

bool literalsMatch(const std::vector<Expr*>& nodes, const std::vector<std::string>& texts) {
    if (nodes.size() != texts.size()) return false;
    for (size_t i = 0; i < nodes.size(); ++i)
        if (nodes[i]->literal.as<std::string>() != texts[i]) return false;
    return true;
}

Statement parseStatement(const std::string& text) {
    thread_local std::map<std::string, Statement> shapes;
    std::optional<Shape> shape = shapeOf(text);
    if (shape) {
        auto known = shapes.find(shape->key);
        if (known != shapes.end()) {
            Statement copy = cloneStatement(known->second);
            std::vector<Expr*> nodes = textLiteralsOf(copy);
            if (nodes.size() == shape->texts.size()) {
                for (size_t i = 0; i < nodes.size(); ++i)
                    nodes[i]->literal = jet::Value(std::move(shape->texts[i]));
                return copy;
            }
        }
    }
    Statement statement = parseStatementText(text);
    const bool cacheable =
        std::holds_alternative<Select>(statement) || std::holds_alternative<Delete>(statement);
    if (shape && cacheable && literalsMatch(textLiteralsOf(statement), shape->texts)) {
        if (shapes.size() >= kMaxShapes) shapes.clear();
        shapes.emplace(std::move(shape->key), cloneStatement(statement));
    }
    return statement;
}

}  // namespace data::sql
