// Recursive-descent parser of the Jet SQL subset (see data/sql.h).
#include "data/sql_parser.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "data/conversion.h"
#include "data/errors.h"
#include "data/evaluate.h"
#include "data/sql.h"
#include "data/sql_lexer.h"

namespace data::sql {
namespace {

// Words that end or join expressions and so cannot be bare column names there.
bool isReservedInExpression(std::string_view w) {
    for (const char* k : {"AND", "OR", "NOT", "IS", "NULL", "LIKE", "FROM", "WHERE", "ORDER", "BY",
                          "ASC", "DESC", "SET", "VALUES", "TRUE", "FALSE", "SELECT"}) {
        if (equalsWord(w, k)) return true;
    }
    return false;
}

ExprPtr makeLiteral(jet::Value v) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Literal;
    e->literal = std::move(v);
    return e;
}

ExprPtr makeBinary(Op op, ExprPtr l, ExprPtr r) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Binary;
    e->op = op;
    e->left = std::move(l);
    e->right = std::move(r);
    return e;
}

ExprPtr makeUnary(Op op, ExprPtr operand) {
    auto e = std::make_unique<Expr>();
    e->kind = Expr::Kind::Unary;
    e->op = op;
    e->left = std::move(operand);
    return e;
}

jet::Value numberValue(const std::string& text) {
    bool integral = text.find_first_of(".eE") == std::string::npos;
    if (integral && text.size() <= 10) {
        long long v = std::strtoll(text.c_str(), nullptr, 10);
        if (v <= INT32_MAX) return jet::Value(static_cast<int32_t>(v));
    }
    // More digits than a double holds exactly: the literal keeps every one of them, for a
    // Decimal or Currency column to take as written.
    const size_t significant = text.find_first_of("eE") == std::string::npos
                                   ? text.size() - std::count(text.begin(), text.end(), '.') -
                                         std::min(text.find_first_not_of("0."), text.size())
                                   : 0;
    if (significant > 15) {
        if (auto exact = jet::Decimal::parse(text)) return jet::Value(*exact);
    }
    return jet::Value(std::strtod(text.c_str(), nullptr));
}

class Parser {
  public:
    explicit Parser(const std::string& text) : text_(text), toks_(tokenize(text)) {}

    const Token& peek(size_t ahead = 0) const {
        size_t k = std::min(pos_ + ahead, toks_.size() - 1);
        return toks_[k];
    }
    bool atEnd() const { return peek().kind == Tok::End; }
    bool isWord(std::string_view w, size_t ahead = 0) const {
        return peek(ahead).kind == Tok::Word && equalsWord(peek(ahead).text, w);
    }
    bool isSymbol(std::string_view s, size_t ahead = 0) const {
        return peek(ahead).kind == Tok::Symbol && peek(ahead).text == s;
    }
    bool acceptWord(std::string_view w) {
        if (!isWord(w)) return false;
        ++pos_;
        return true;
    }
    bool acceptSymbol(std::string_view s) {
        if (!isSymbol(s)) return false;
        ++pos_;
        return true;
    }
    void expectWord(std::string_view w) {
        if (!acceptWord(w)) throw SyntaxError{};
    }
    void expectSymbol(std::string_view s) {
        if (!acceptSymbol(s)) throw SyntaxError{};
    }
    // A table or column name: bracketed, or a bare word.
    std::string name() {
        const Token& t = peek();
        if (t.kind != Tok::Name && t.kind != Tok::Word) throw SyntaxError{};
        ++pos_;
        return t.text;
    }
    void finish() {
        acceptSymbol(";");
        if (!atEnd()) throw SyntaxError{};
    }
    size_t offset() const { return peek().begin; }
    // A whole number written in the statement (sizes, precisions).
    int wholeNumber() {
        const Token& t = peek();
        if (t.kind != Tok::Number || t.text.find_first_not_of("0123456789") != std::string::npos ||
            t.text.size() > 9)
            throw SyntaxError{};
        ++pos_;
        return std::atoi(t.text.c_str());
    }
    // The source text between two token positions (for a column's DEFAULT expression).
    std::string sourceBetween(size_t fromToken, size_t toToken) const {
        size_t b = toks_[fromToken].begin, e = toks_[toToken - 1].end;
        return text_.substr(b, e - b);
    }
    const std::string& text() const { return text_; }
    size_t position() const { return pos_; }
    const Token& token(size_t k) const { return toks_[k]; }

    // ---- expressions ----
    ExprPtr expression() { return orExpr(); }

    ExprPtr orExpr() {
        ExprPtr e = andExpr();
        while (acceptWord("OR")) e = makeBinary(Op::Or, std::move(e), andExpr());
        return e;
    }
    ExprPtr andExpr() {
        ExprPtr e = notExpr();
        while (acceptWord("AND")) e = makeBinary(Op::And, std::move(e), notExpr());
        return e;
    }
    ExprPtr notExpr() {
        if (acceptWord("NOT")) return makeUnary(Op::Not, notExpr());
        return comparison();
    }
    ExprPtr comparison() {
        ExprPtr e = concat();
        static const std::pair<const char*, Op> ops[] = {{"=", Op::Eq},  {"<>", Op::Ne},
                                                         {"<", Op::Lt},  {">", Op::Gt},
                                                         {"<=", Op::Le}, {">=", Op::Ge}};
        for (const auto& [sym, op] : ops) {
            if (acceptSymbol(sym)) return makeBinary(op, std::move(e), concat());
        }
        if (acceptWord("IS")) {
            bool negated = acceptWord("NOT");
            expectWord("NULL");
            return makeUnary(negated ? Op::IsNotNull : Op::IsNull, std::move(e));
        }
        if (isWord("NOT") && isWord("LIKE", 1)) {
            pos_ += 2;
            return makeUnary(Op::Not, makeBinary(Op::Like, std::move(e), concat()));
        }
        if (acceptWord("LIKE")) return makeBinary(Op::Like, std::move(e), concat());
        return e;
    }
    ExprPtr concat() {
        ExprPtr e = additive();
        while (acceptSymbol("&")) e = makeBinary(Op::Concat, std::move(e), additive());
        return e;
    }
    ExprPtr additive() {
        ExprPtr e = multiplicative();
        for (;;) {
            if (acceptSymbol("+")) {
                e = makeBinary(Op::Add, std::move(e), multiplicative());
            } else if (acceptSymbol("-")) {
                e = makeBinary(Op::Sub, std::move(e), multiplicative());
            } else {
                return e;
            }
        }
    }
    ExprPtr multiplicative() {
        ExprPtr e = unary();
        for (;;) {
            if (acceptSymbol("*")) {
                e = makeBinary(Op::Mul, std::move(e), unary());
            } else if (acceptSymbol("/")) {
                e = makeBinary(Op::Div, std::move(e), unary());
            } else {
                return e;
            }
        }
    }
    ExprPtr unary() {
        if (acceptSymbol("-")) return makeUnary(Op::Neg, unary());
        if (acceptSymbol("+")) return unary();
        return primary();
    }
    ExprPtr primary() {
        const Token t = peek();
        switch (t.kind) {
            case Tok::Text:
                ++pos_;
                return makeLiteral(jet::Value(t.text));
            case Tok::Number:
                ++pos_;
                return makeLiteral(numberValue(t.text));
            case Tok::Date: {
                ++pos_;
                auto civil = parseLiteralDate(t.text);
                if (!civil) throw SyntaxError{};
                return makeLiteral(jet::Value(jet::DateTime{toOleDate(*civil)}));
            }
            case Tok::Symbol:
                if (acceptSymbol("(")) {
                    ExprPtr e = expression();
                    expectSymbol(")");
                    return e;
                }
                throw SyntaxError{};
            case Tok::Word:
                if (equalsWord(t.text, "NULL")) {
                    ++pos_;
                    return makeLiteral(jet::Value());
                }
                if (equalsWord(t.text, "TRUE")) {
                    ++pos_;
                    return makeLiteral(jet::Value(true));
                }
                if (equalsWord(t.text, "FALSE")) {
                    ++pos_;
                    return makeLiteral(jet::Value(false));
                }
                if (isReservedInExpression(t.text)) throw SyntaxError{};
                if (isSymbol("(", 1)) {
                    pos_ += 2;
                    auto call = std::make_unique<Expr>();
                    call->kind = Expr::Kind::Call;
                    call->name = t.text;
                    if (!acceptSymbol(")")) {
                        call->left = expression();
                        expectSymbol(")");
                    }
                    return call;
                }
                return columnRef();
            case Tok::Name:
                return columnRef();
            case Tok::End:
                break;
        }
        throw SyntaxError{};
    }
    ExprPtr columnRef() {
        auto e = std::make_unique<Expr>();
        e->kind = Expr::Kind::Column;
        e->name = name();
        if (isSymbol(".") && (peek(1).kind == Tok::Name || peek(1).kind == Tok::Word)) {
            ++pos_;
            e->qualifier = std::move(e->name);
            e->name = name();
        }
        return e;
    }

  private:
    std::string text_;
    std::vector<Token> toks_;
    size_t pos_ = 0;
};

std::string trimmedStatement(const std::string& s, size_t from) {
    std::string out = s.substr(std::min(from, s.size()));
    while (!out.empty() && (std::isspace((unsigned char)out.back()) || out.back() == ';'))
        out.pop_back();
    return out;
}

// ---- statements ----

// "[t].*" or "t.*" at the cursor.
bool acceptQualifiedStar(Parser& p) {
    if ((p.peek().kind == Tok::Name || p.peek().kind == Tok::Word) && p.isSymbol(".", 1) &&
        p.isSymbol("*", 2)) {
        p.name();
        p.expectSymbol(".");
        p.expectSymbol("*");
        return true;
    }
    return false;
}

Select parseSelect(Parser& p, size_t& exprStart) {
    Select s;
    p.expectWord("SELECT");
    if (p.acceptSymbol("*") || acceptQualifiedStar(p)) {
        s.allColumns = true;
    } else {
        s.allColumns = false;
        do {
            exprStart = p.offset();
            s.columns.push_back(p.columnRef());
        } while (p.acceptSymbol(","));
    }
    exprStart = std::string::npos;
    p.expectWord("FROM");
    s.table = p.name();
    if (p.acceptWord("WHERE")) {
        exprStart = p.offset();
        s.where = p.expression();
    }
    if (p.acceptWord("ORDER")) {
        p.expectWord("BY");
        exprStart = p.offset();
        do {
            OrderTerm term;
            term.column = p.columnRef();
            if (p.acceptWord("DESC")) {
                term.descending = true;
            } else {
                p.acceptWord("ASC");
            }
            s.orderBy.push_back(std::move(term));
        } while (p.acceptSymbol(","));
    }
    p.finish();
    return s;
}

Delete parseDelete(Parser& p, size_t& exprStart) {
    Delete d;
    p.expectWord("DELETE");
    if (!p.acceptSymbol("*")) acceptQualifiedStar(p);
    p.expectWord("FROM");
    d.table = p.name();
    if (p.acceptWord("WHERE")) {
        exprStart = p.offset();
        d.where = p.expression();
    }
    p.finish();
    return d;
}

Insert parseInsert(Parser& p, size_t& exprStart) {
    Insert ins;
    p.expectWord("INSERT");
    p.expectWord("INTO");
    ins.table = p.name();
    if (p.acceptSymbol("(")) {
        do {
            ExprPtr col = p.columnRef();
            ins.columns.push_back(col->name);
        } while (p.acceptSymbol(","));
        p.expectSymbol(")");
    }
    p.expectWord("VALUES");
    p.expectSymbol("(");
    exprStart = p.offset();
    do {
        ins.values.push_back(p.expression());
    } while (p.acceptSymbol(","));
    p.expectSymbol(")");
    p.finish();
    exprStart = std::string::npos;
    if (!ins.columns.empty() && ins.columns.size() != ins.values.size()) throw SyntaxError{};
    return ins;
}

Update parseUpdate(Parser& p, size_t& exprStart) {
    Update u;
    p.expectWord("UPDATE");
    u.table = p.name();
    p.expectWord("SET");
    do {
        exprStart = p.offset();
        Assignment a;
        a.column = p.columnRef()->name;
        p.expectSymbol("=");
        a.value = p.expression();
        u.assignments.push_back(std::move(a));
    } while (p.acceptSymbol(","));
    if (p.acceptWord("WHERE")) {
        exprStart = p.offset();
        u.where = p.expression();
    }
    p.finish();
    return u;
}

struct TypeName {
    const char* word;
    jet::ColumnType type;
    bool autoNumber;
};

constexpr TypeName kTypes[] = {
    {"TEXT", jet::ColumnType::Text, false},
    {"VARCHAR", jet::ColumnType::Text, false},
    {"CHAR", jet::ColumnType::Text, false},
    {"CHARACTER", jet::ColumnType::Text, false},
    {"STRING", jet::ColumnType::Text, false},
    {"NVARCHAR", jet::ColumnType::Text, false},
    {"NCHAR", jet::ColumnType::Text, false},
    {"ALPHANUMERIC", jet::ColumnType::Text, false},
    {"MEMO", jet::ColumnType::Memo, false},
    {"LONGTEXT", jet::ColumnType::Memo, false},
    {"LONGCHAR", jet::ColumnType::Memo, false},
    {"NOTE", jet::ColumnType::Memo, false},
    {"NTEXT", jet::ColumnType::Memo, false},
    {"BYTE", jet::ColumnType::Byte, false},
    {"TINYINT", jet::ColumnType::Byte, false},
    {"INTEGER1", jet::ColumnType::Byte, false},
    {"SHORT", jet::ColumnType::Integer, false},
    {"SMALLINT", jet::ColumnType::Integer, false},
    {"INTEGER2", jet::ColumnType::Integer, false},
    {"LONG", jet::ColumnType::Long, false},
    {"INT", jet::ColumnType::Long, false},
    {"INTEGER", jet::ColumnType::Long, false},
    {"INTEGER4", jet::ColumnType::Long, false},
    {"COUNTER", jet::ColumnType::Long, true},
    {"AUTOINCREMENT", jet::ColumnType::Long, true},
    {"IDENTITY", jet::ColumnType::Long, true},
    {"SINGLE", jet::ColumnType::Single, false},
    {"REAL", jet::ColumnType::Single, false},
    {"FLOAT4", jet::ColumnType::Single, false},
    {"IEEESINGLE", jet::ColumnType::Single, false},
    {"DOUBLE", jet::ColumnType::Double, false},
    {"FLOAT", jet::ColumnType::Double, false},
    {"FLOAT8", jet::ColumnType::Double, false},
    {"NUMBER", jet::ColumnType::Double, false},
    {"IEEEDOUBLE", jet::ColumnType::Double, false},
    {"CURRENCY", jet::ColumnType::Currency, false},
    {"MONEY", jet::ColumnType::Currency, false},
    {"DATETIME", jet::ColumnType::DateTime, false},
    {"DATE", jet::ColumnType::DateTime, false},
    {"TIME", jet::ColumnType::DateTime, false},
    {"TIMESTAMP", jet::ColumnType::DateTime, false},
    {"YESNO", jet::ColumnType::Boolean, false},
    {"BIT", jet::ColumnType::Boolean, false},
    {"LOGICAL", jet::ColumnType::Boolean, false},
    {"BOOLEAN", jet::ColumnType::Boolean, false},
    {"BINARY", jet::ColumnType::Binary, false},
    {"VARBINARY", jet::ColumnType::Binary, false},
    {"LONGBINARY", jet::ColumnType::OLE, false},
    {"OLEOBJECT", jet::ColumnType::OLE, false},
    {"GENERAL", jet::ColumnType::OLE, false},
    {"IMAGE", jet::ColumnType::OLE, false},
    {"GUID", jet::ColumnType::Guid, false},
    {"UNIQUEIDENTIFIER", jet::ColumnType::Guid, false},
    {"DECIMAL", jet::ColumnType::Decimal, false},
    {"NUMERIC", jet::ColumnType::Decimal, false},
    {"DEC", jet::ColumnType::Decimal, false},
};

const TypeName* findType(std::string_view word) {
    for (const TypeName& t : kTypes) {
        if (equalsWord(word, t.word)) return &t;
    }
    return nullptr;
}

std::vector<jet::IndexColumnDefinition> indexColumns(Parser& p) {
    std::vector<jet::IndexColumnDefinition> cols;
    p.expectSymbol("(");
    do {
        jet::IndexColumnDefinition c;
        c.column = p.name();
        if (p.acceptWord("DESC")) {
            c.ascending = false;
        } else {
            p.acceptWord("ASC");
        }
        cols.push_back(std::move(c));
    } while (p.acceptSymbol(","));
    p.expectSymbol(")");
    return cols;
}

// CONSTRAINT name PRIMARY KEY (cols) | UNIQUE (cols), or the same without CONSTRAINT name.
jet::IndexDefinition tableConstraint(Parser& p, const std::string& fallbackName) {
    jet::IndexDefinition ix;
    ix.name = p.acceptWord("CONSTRAINT") ? p.name() : fallbackName;
    if (p.acceptWord("PRIMARY")) {
        p.expectWord("KEY");
        ix.primaryKey = true;
        ix.unique = true;
        ix.required = true;
    } else {
        p.expectWord("UNIQUE");
        ix.unique = true;
    }
    ix.columns = indexColumns(p);
    return ix;
}

bool startsConstraint(const Parser& p) {
    return p.isWord("CONSTRAINT") || (p.isWord("PRIMARY") && p.isWord("KEY", 1)) ||
           (p.isWord("UNIQUE") && p.isSymbol("(", 1));
}

jet::ColumnDefinition columnDefinition(Parser& p, jet::TableDefinition& table) {
    jet::ColumnDefinition col;
    // Columns made by a statement accept empty text, as the provider makes them.
    col.allowZeroLength = true;
    col.name = p.name();
    if (p.peek().kind != Tok::Word) throw SyntaxError{};
    const TypeName* type = findType(p.peek().text);
    if (!type) throw SyntaxError{};
    p.name();
    col.type = type->type;
    col.autoNumber = type->autoNumber;
    if (col.type == jet::ColumnType::Text) col.size = 255;
    if (p.acceptSymbol("(")) {
        int first = p.wholeNumber();
        int second = -1;
        if (p.acceptSymbol(",")) second = p.wholeNumber();
        p.expectSymbol(")");
        if (col.type == jet::ColumnType::Decimal) {
            col.precision = static_cast<uint8_t>(first);
            col.scale = static_cast<uint8_t>(second < 0 ? 0 : second);
        } else if (!col.autoNumber) {  // COUNTER(seed, step): the engine numbers from 1
            col.size = first;
        }
    }
    for (;;) {
        if (p.isWord("NOT") && p.isWord("NULL", 1)) {
            p.name();
            p.name();
            col.required = true;
        } else if (p.acceptWord("NULL")) {
            col.required = false;
        } else if (p.acceptWord("DEFAULT")) {
            size_t from = p.position();
            p.concat();
            col.defaultValue = p.sourceBetween(from, p.position());
        } else if (p.acceptWord("WITH")) {
            if (!p.acceptWord("COMPRESSION")) p.expectWord("COMP");
            col.unicodeCompression = true;
        } else if (p.isWord("CONSTRAINT") || p.isWord("PRIMARY") || p.isWord("UNIQUE")) {
            jet::IndexDefinition ix;
            ix.name = p.acceptWord("CONSTRAINT") ? p.name() : std::string();
            if (p.acceptWord("PRIMARY")) {
                p.expectWord("KEY");
                ix.primaryKey = ix.unique = ix.required = true;
                if (ix.name.empty()) ix.name = "PrimaryKey";
            } else {
                p.expectWord("UNIQUE");
                ix.unique = true;
                if (ix.name.empty()) ix.name = col.name;
            }
            ix.columns.push_back({col.name, true});
            table.indexes.push_back(std::move(ix));
        } else {
            break;
        }
    }
    return col;
}

CreateTable parseCreateTable(Parser& p) {
    CreateTable c;
    c.definition.name = p.name();
    p.expectSymbol("(");
    do {
        if (startsConstraint(p)) {
            std::string fallback = p.isWord("PRIMARY") ? "PrimaryKey" : "Index";
            c.definition.indexes.push_back(tableConstraint(p, fallback));
        } else {
            c.definition.columns.push_back(columnDefinition(p, c.definition));
        }
    } while (p.acceptSymbol(","));
    p.expectSymbol(")");
    p.finish();
    if (c.definition.columns.empty()) throw SyntaxError{};
    return c;
}

CreateIndex parseCreateIndex(Parser& p, bool unique) {
    CreateIndex c;
    c.definition.unique = unique;
    c.definition.name = p.name();
    p.expectWord("ON");
    c.table = p.name();
    c.definition.columns = indexColumns(p);
    if (p.acceptWord("WITH")) {
        do {
            if (p.acceptWord("PRIMARY")) {
                c.definition.primaryKey = c.definition.unique = c.definition.required = true;
            } else if (p.acceptWord("DISALLOW")) {
                p.expectWord("NULL");
                c.definition.required = true;
            } else {
                p.expectWord("IGNORE");
                p.expectWord("NULL");
                c.definition.ignoreNulls = true;
            }
        } while ((p.isWord("PRIMARY") || p.isWord("DISALLOW") || p.isWord("IGNORE")));
    }
    p.finish();
    return c;
}

// The syntax error a statement kind reports, chosen by its first word.
Fault faultOfKind(const std::string& text) {
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return Fault::InvalidSql;
    size_t e = b;
    while (e < text.size() && std::isalpha(static_cast<unsigned char>(text[e]))) ++e;
    std::string word = text.substr(b, e - b);
    if (equalsWord(word, "SELECT")) return Fault::FromSyntax;
    if (equalsWord(word, "DELETE")) return Fault::DeleteSyntax;
    if (equalsWord(word, "INSERT")) return Fault::InsertSyntax;
    if (equalsWord(word, "UPDATE")) return Fault::UpdateSyntax;
    if (equalsWord(word, "CREATE")) {
        return text.find("INDEX") != std::string::npos || text.find("index") != std::string::npos
                   ? Fault::CreateIndexSyntax
                   : Fault::CreateTableSyntax;
    }
    return Fault::InvalidSql;
}

}  // namespace

Statement parseStatementText(const std::string& text) {
    const Fault fault = faultOfKind(text);
    if (fault == Fault::InvalidSql) throw makeError(fault);
    size_t exprStart = std::string::npos;
    try {
        Parser p(text);
        switch (fault) {
            case Fault::FromSyntax:
                return parseSelect(p, exprStart);
            case Fault::DeleteSyntax:
                return parseDelete(p, exprStart);
            case Fault::InsertSyntax:
                return parseInsert(p, exprStart);
            case Fault::UpdateSyntax:
                return parseUpdate(p, exprStart);
            default: {
                p.expectWord("CREATE");
                if (p.acceptWord("TABLE")) return parseCreateTable(p);
                bool unique = p.acceptWord("UNIQUE");
                p.expectWord("INDEX");
                return parseCreateIndex(p, unique);
            }
        }
    } catch (const SyntaxError&) {
        if (exprStart != std::string::npos) {
            throw makeError(Fault::QuerySyntax, trimmedStatement(text, exprStart));
        }
        // A quote or bracket left open stops the lexer before any clause is known.
        bool lexical = false;
        try {
            tokenize(text);
        } catch (const SyntaxError&) {
            lexical = true;
        }
        if (lexical && fault != Fault::CreateTableSyntax && fault != Fault::CreateIndexSyntax)
            throw makeError(Fault::QuerySyntax, trimmedStatement(text, 0));
        throw makeError(fault, trimmedStatement(text, 0));
    }
}

ExprPtr parseCriterion(const std::string& text) {
    try {
        Parser p(text);
        ExprPtr e = p.expression();
        if (!p.atEnd()) throw SyntaxError{};
        return e;
    } catch (const SyntaxError&) {
        throw makeError(Fault::ArgumentsWrong);
    }
}

ExprPtr parseDefault(const std::string& text) {
    try {
        Parser p(text);
        p.acceptSymbol("=");
        // Yes/No constants, as Access writes the default of a Yes/No column ("=No").
        if (p.peek().kind == Tok::Word && p.peek(1).kind == Tok::End) {
            for (const char* word : {"YES", "ON", "TRUE"}) {
                if (equalsWord(p.peek().text, word)) return makeLiteral(jet::Value(true));
            }
            for (const char* word : {"NO", "OFF", "FALSE"}) {
                if (equalsWord(p.peek().text, word)) return makeLiteral(jet::Value(false));
            }
        }
        ExprPtr e = p.expression();
        if (!p.atEnd()) return nullptr;
        return e;
    } catch (const SyntaxError&) {
        return nullptr;
    }
}

std::optional<std::string> tableNameOnly(const std::string& source) {
    // A statement is told by its first word, before anything is tokenised.
    size_t first = 0;
    while (first < source.size() && std::isspace(static_cast<unsigned char>(source[first])))
        ++first;
    size_t last = first;
    while (last < source.size() && std::isalpha(static_cast<unsigned char>(source[last]))) ++last;
    const std::string_view word(source.data() + first, last - first);
    for (std::string_view statement : {"SELECT", "DELETE", "INSERT", "UPDATE", "CREATE"}) {
        if (sameText(word, statement)) return std::nullopt;
    }
    try {
        Parser p(source);
        if (p.isWord("SELECT") || p.isWord("DELETE") || p.isWord("INSERT") || p.isWord("UPDATE") ||
            p.isWord("CREATE"))
            return std::nullopt;
        std::string name = p.name();
        p.finish();
        return name;
    } catch (const SyntaxError&) {
        // A bare name with blanks ("Data Calc") is still a table name to the provider.
        std::string trimmed = trimmedStatement(source, 0);
        size_t b = trimmed.find_first_not_of(" \t");
        if (b == std::string::npos) return std::nullopt;
        trimmed = trimmed.substr(b);
        if (trimmed.find_first_of("[]'\"()=<>,") != std::string::npos) return std::nullopt;
        return trimmed;
    }
}

}  // namespace data::sql
