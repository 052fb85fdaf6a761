// The lexer of the Jet SQL subset: statement text to tokens. Shared by the parser only.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace data::sql {

enum class Tok { End, Word, Name, Text, Number, Date, Symbol };

struct Token {
    Tok kind = Tok::End;
    std::string text;  // Word/Name: the name; Text: unquoted; Number/Date: as written; Symbol
    size_t begin = 0, end = 0;
};

// Thrown inside the parser; turned into the statement's syntax error at the top.
struct SyntaxError {};

bool equalsWord(std::string_view a, std::string_view b);

// REQUIRES: nothing. Throws SyntaxError for a quote, bracket or date left open, or a character
// that starts no token.
std::vector<Token> tokenize(const std::string& s);

}  // namespace data::sql
