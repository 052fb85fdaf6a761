#include "layout/criteria.h"

#include "report/run_time_error.h"

namespace layout {

namespace {
// The provider's number for a syntax error in an expression (DB_E_ERRORSINCOMMAND).
constexpr int32_t kSyntaxError = -2147217900;
}  // namespace

void checkQuotable(const std::string& value, const std::string& expression) {
    if (value.find('\'') != std::string::npos) {
        throw report::RunTimeError(
            kSyntaxError,
            "Syntax error (missing operator) in query expression '" + expression + "'.",
            "Microsoft JET Database Engine");
    }
}

}  // namespace layout
