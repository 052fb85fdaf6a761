// Fuzz target: any text as an SQL statement, a search criterion and a column default. A text
// that does not parse must be refused with a run-time error, never with a crash.
#include <cstddef>
#include <cstdint>
#include <string>

#include "data/sql.h"
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
    return 0;
}
