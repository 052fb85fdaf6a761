// Lexer of the Jet SQL subset (see data/sql.h).
#include "data/sql_lexer.h"

#include <cctype>

#include "data/evaluate.h"

namespace data::sql {
namespace {

bool isNameStart(unsigned char c) {
    return std::isalpha(c) || c == '_' || c >= 0x80;
}
bool isNameChar(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c == '@' || c >= 0x80;
}

}  // namespace

bool equalsWord(std::string_view a, std::string_view b) {
    return sameText(a, b);
}

std::vector<Token> tokenize(const std::string& s) {
    std::vector<Token> out;
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = s[i];
        if (std::isspace(c)) {
            ++i;
            continue;
        }
        Token t;
        t.begin = i;
        if (c == '[') {
            size_t close = s.find(']', i + 1);
            if (close == std::string::npos) throw SyntaxError{};
            t.kind = Tok::Name;
            t.text = s.substr(i + 1, close - i - 1);
            if (t.text.empty()) throw SyntaxError{};
            i = close + 1;
        } else if (c == '\'' || c == '"') {
            t.kind = Tok::Text;
            size_t j = i + 1;
            for (;;) {
                if (j >= s.size()) throw SyntaxError{};  // unterminated
                if (s[j] == static_cast<char>(c)) {
                    if (j + 1 < s.size() && s[j + 1] == static_cast<char>(c)) {
                        t.text += static_cast<char>(c);
                        j += 2;
                        continue;
                    }
                    break;
                }
                t.text += s[j++];
            }
            i = j + 1;
        } else if (c == '#') {
            size_t close = s.find('#', i + 1);
            if (close == std::string::npos) throw SyntaxError{};
            t.kind = Tok::Date;
            t.text = s.substr(i + 1, close - i - 1);
            i = close + 1;
        } else if (std::isdigit(c) ||
                   (c == '.' && i + 1 < s.size() && std::isdigit((unsigned char)s[i + 1]))) {
            size_t j = i;
            while (j < s.size() && std::isdigit((unsigned char)s[j])) ++j;
            if (j < s.size() && s[j] == '.') {
                ++j;
                while (j < s.size() && std::isdigit((unsigned char)s[j])) ++j;
            }
            if (j < s.size() && (s[j] == 'e' || s[j] == 'E')) {
                size_t k = j + 1;
                if (k < s.size() && (s[k] == '+' || s[k] == '-')) ++k;
                if (k < s.size() && std::isdigit((unsigned char)s[k])) {
                    while (k < s.size() && std::isdigit((unsigned char)s[k])) ++k;
                    j = k;
                }
            }
            if (j < s.size() && isNameStart((unsigned char)s[j])) throw SyntaxError{};
            t.kind = Tok::Number;
            t.text = s.substr(i, j - i);
            i = j;
        } else if (isNameStart(c)) {
            size_t j = i;
            while (j < s.size() && isNameChar((unsigned char)s[j])) ++j;
            t.kind = Tok::Word;
            t.text = s.substr(i, j - i);
            i = j;
        } else {
            t.kind = Tok::Symbol;
            if ((c == '<' || c == '>') && i + 1 < s.size() &&
                (s[i + 1] == '=' || (c == '<' && s[i + 1] == '>'))) {
                t.text = s.substr(i, 2);
                i += 2;
            } else if (std::string_view("(),.*;=<>+-/&").find(static_cast<char>(c)) !=
                       std::string_view::npos) {
                t.text = std::string(1, static_cast<char>(c));
                ++i;
            } else {
                throw SyntaxError{};
            }
        }
        t.end = i;
        out.push_back(std::move(t));
    }
    Token end;
    end.begin = end.end = s.size();
    out.push_back(end);
    return out;
}

}  // namespace data::sql
