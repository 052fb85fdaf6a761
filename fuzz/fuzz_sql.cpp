// Fuzz target: any text as an SQL statement, a search criterion and a column default. A text
// that does not parse must be refused with a run-time error, never with a crash. The text is
// also placed, as the importers place an employee code, between the quotes of a criterion:
// unless the quoting refuses it, the criterion must compare the column with exactly that text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "data/sql.h"
#include "layout/criteria.h"
#include "report/run_time_error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        (void)data::sql::parseStatement(text);
    } catch (const report::RunTimeError&) {
    }
    try {
        (void)data::sql::parseCriterion(text);
    } catch (const report::RunTimeError&) {
    }
    try {
        (void)data::sql::parseDefault(text);
    } catch (const report::RunTimeError&) {
    }
    (void)data::sql::tableNameOnly(text);

    const std::string criterion = "[Employee#]='" + text + "'";
    try {
        layout::checkQuotable(text, criterion);
    } catch (const report::RunTimeError&) {
        if (text.find('\'') == std::string::npos) std::abort();  // refused without a quote
        return 0;
    }
    const data::sql::ExprPtr parsed = data::sql::parseCriterion(criterion);
    using Kind = data::sql::Expr::Kind;
    if (parsed->kind != Kind::Binary || parsed->op != data::sql::Op::Eq ||
        parsed->left->kind != Kind::Column || parsed->left->name != "Employee#" ||
        parsed->right->kind != Kind::Literal || !(parsed->right->literal == jet::Value(text))) {
        std::abort();
    }
    return 0;
}
